#include "encdec.h"

#include <span>
#include <type_traits>
#include <utility>

namespace {

constexpr int kByteDigits = 2; // an 8-bit field on the wire
constexpr int kWordDigits = 4; // a 16-bit field on the wire
constexpr int kHexBase = 16;
constexpr std::string_view kHexDigits = "0123456789ABCDEF";

constexpr unsigned kLowByteMask = 0xFF;
constexpr unsigned kLHighBitsMask = 0x3; // bits 9-8 of one L value
constexpr int kLHighBitsShift = 8;
constexpr unsigned kLValueMask = 0x3FF;
constexpr std::uint8_t kQFlagOn = 0xFF;

using TGetter = unsigned (*)(const TQV3318MessageRec &);
using TSetter = void (*)(TQV3318MessageRec &, unsigned);

// One fixed-width hexadecimal field of a payload. A field without setter occupies its place on
// the wire but is not decoded (it is sent as zeros).
struct TFieldSpec
{
    int Position;
    int Width;
    TGetter Get;
    TSetter Set;
};

// One record member as a field; the narrowing to the member's width is done here, once.
template<auto Member>
constexpr TFieldSpec Field(int position, int width)
{
    return {position, width,
            [](const TQV3318MessageRec &m) { return static_cast<unsigned>(m.*Member); },
            [](TQV3318MessageRec &m, unsigned v) {
                m.*Member = static_cast<std::remove_reference_t<decltype(m.*Member)>>(v);
            }};
}

constexpr TFieldSpec Gap(int position, int width)
{
    return {position, width, [](const TQV3318MessageRec &) { return 0u; }, nullptr};
}

// Bits 7-6 of the shared byte hold value 0's bits 9-8, bits 1-0 hold value 3's.
constexpr int LHighShift(int index)
{
    return 6 - 2 * index;
}

template<int I>
constexpr TFieldSpec LLowField()
{
    return {1 + I * kByteDigits, kByteDigits,
            [](const TQV3318MessageRec &m) { return m.LValues[I] & kLowByteMask; },
            [](TQV3318MessageRec &m, unsigned v) {
                m.LValues[I] = static_cast<std::uint16_t>((m.LValues[I] & ~kLowByteMask)
                                                          | (v & kLowByteMask));
            }};
}

constexpr TFieldSpec LHighField()
{
    return {9, kByteDigits,
            [](const TQV3318MessageRec &m) {
                unsigned bits = 0;
                for (int i = 0; i < 4; ++i) {
                    const unsigned high = (m.LValues[i] >> kLHighBitsShift) & kLHighBitsMask;
                    bits |= high << LHighShift(i);
                }
                return bits;
            },
            [](TQV3318MessageRec &m, unsigned v) {
                for (int i = 0; i < 4; ++i) {
                    const unsigned high = (v >> LHighShift(i)) & kLHighBitsMask;
                    m.LValues[i] = static_cast<std::uint16_t>(
                        ((m.LValues[i] & kLowByteMask) | (high << kLHighBitsShift)) & kLValueMask);
                }
            }};
}

constexpr TFieldSpec kVersionFields[] = {
    Field<&TQV3318MessageRec::VersionMajor>(1, kByteDigits),
    Field<&TQV3318MessageRec::VersionMinor>(3, kByteDigits),
    Field<&TQV3318MessageRec::VersionRelease>(5, kByteDigits),
};
constexpr TFieldSpec kStatusFields[] = {
    Field<&TQV3318MessageRec::Adc>(1, kWordDigits),
    Field<&TQV3318MessageRec::AnalogueInput>(5, kByteDigits),
    Field<&TQV3318MessageRec::Gear>(7, kByteDigits),
    Field<&TQV3318MessageRec::StatusBits>(9, kByteDigits),
};
constexpr TFieldSpec kZDataFields[] = {
    Gap(1, kByteDigits),
    Field<&TQV3318MessageRec::Value>(3, kByteDigits),
};
constexpr TFieldSpec kParamsFields[] = {
    Field<&TQV3318MessageRec::GearThresholdUpper>(1, kByteDigits),
    Field<&TQV3318MessageRec::PositionCount>(3, kByteDigits),
    Field<&TQV3318MessageRec::GearShiftType>(5, kByteDigits),
    Field<&TQV3318MessageRec::Debounce>(7, kByteDigits),
    Field<&TQV3318MessageRec::Ignore>(9, kByteDigits),
    Field<&TQV3318MessageRec::BarrelThreshold>(11, kByteDigits),
    Field<&TQV3318MessageRec::GearThresholdLower>(13, kByteDigits),
    Field<&TQV3318MessageRec::BlipTimeout>(15, kByteDigits),
};
constexpr TFieldSpec kIndexFields[] = {
    Field<&TQV3318MessageRec::Index>(1, kByteDigits),
};
constexpr TFieldSpec kRangeFields[] = {
    Field<&TQV3318MessageRec::Index>(1, kByteDigits),
    Field<&TQV3318MessageRec::Gear>(3, kByteDigits),
    Field<&TQV3318MessageRec::Lower>(5, kWordDigits),
    Field<&TQV3318MessageRec::Upper>(9, kWordDigits),
    Field<&TQV3318MessageRec::Adc>(13, kWordDigits),
};
constexpr TFieldSpec kSparkDelayFields[] = {
    Field<&TQV3318MessageRec::Index>(1, kByteDigits),
    Field<&TQV3318MessageRec::Value>(3, kByteDigits),
};
constexpr TFieldSpec kLDataFields[] = {
    LLowField<0>(), LLowField<1>(), LLowField<2>(), LLowField<3>(), LHighField(),
};
constexpr TFieldSpec kQRequestFields[] = {
    Field<&TQV3318MessageRec::Index>(1, kByteDigits),
    TFieldSpec {3, kByteDigits,
                [](const TQV3318MessageRec &m) { return m.QFlag ? unsigned {kQFlagOn} : 0u; },
                [](TQV3318MessageRec &m, unsigned v) { m.QFlag = v != 0; }},
};
constexpr TFieldSpec kQDataFields[] = {
    Field<&TQV3318MessageRec::Index>(1, kByteDigits),
    Gap(3, kByteDigits),
    Field<&TQV3318MessageRec::QValue>(5, kWordDigits),
};
constexpr TFieldSpec kFeedbackFields[] = {
    Field<&TQV3318MessageRec::FeedbackFlags>(1, kByteDigits),
    Field<&TQV3318MessageRec::FeedbackWindow>(3, kByteDigits),
    Field<&TQV3318MessageRec::SparkCutTimeout>(5, kWordDigits),
    Field<&TQV3318MessageRec::CutAfterBlip>(9, kByteDigits),
};

// How each type is laid out on the wire, whether a received line of it is decoded field by field,
// and whether the tool's encoder writes its payload (requests such as "V" go out bare).
struct TTypeSpec
{
    std::span<const TFieldSpec> Fields;
    bool DecodeFields;
    bool EncodeFields;
};

constexpr std::array<TTypeSpec, kMessageTypeCount> kTypes = {{
    {{}, false, false}, // mtNone
    {kVersionFields, true, false}, // mtVersion
    {{}, false, false}, // mtReset
    {{}, false, false}, // mtStatusRequest
    {kStatusFields, true, true}, // mtStatus: encoded so a simulated controller can reply
    {kZDataFields, true, false}, // mtZData
    {{}, false, false}, // mtParamsRequest
    {kParamsFields, true, true}, // mtParams
    {kIndexFields, false, true}, // mtRangeRequest: its slot is not decoded
    {kRangeFields, true, true}, // mtRange
    {kIndexFields, true, true}, // mtSparkDelayRequest
    {kSparkDelayFields, true, true}, // mtSparkDelay
    {{}, false, false}, // mtLRequest
    {kLDataFields, true, true}, // mtLData
    {kQRequestFields, false, true}, // mtQRequest: its fields are not decoded
    {kQDataFields, true, false}, // mtQData
    {{}, false, false}, // mtFeedbackRequest
    {kFeedbackFields, true, true}, // mtFeedback
}};

int HexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// A field cut short by the end of the line is worth the digits that arrived; one non-digit makes
// the whole field 0.
unsigned ParseField(std::string_view line, int position, int width)
{
    unsigned value = 0;
    for (int i = position; i < position + width && i < static_cast<int>(line.size()); ++i) {
        const int digit = HexValue(line[static_cast<std::size_t>(i)]);
        if (digit < 0) {
            return 0;
        }
        value = value * kHexBase + static_cast<unsigned>(digit);
    }
    return value;
}

void AppendHex(std::string &out, unsigned value, int width)
{
    for (int shift = (width - 1) * 4; shift >= 0; shift -= 4) {
        out += kHexDigits[(value >> shift) & 0xF];
    }
}

std::string EncodeWith(const TQV3318MessageRec &message, bool (*withPayload)(const TTypeSpec &))
{
    if (message.MsgType >= kMessageTypeCount) {
        return {};
    }
    const TTypeSpec &type = kTypes[message.MsgType];
    std::string line;
    line += kLineStart;
    line += MessageLetters[message.MsgType];
    if (withPayload(type)) {
        for (const TFieldSpec &field : type.Fields) {
            AppendHex(line, field.Get(message), field.Width);
        }
    }
    line += kLineEndSent;
    return line;
}

} // namespace

bool TQV3318EncDec::DecodeLine(std::string_view line, TQV3318MessageRec &message)
{
    if (line.empty()) {
        return false;
    }
    const std::size_t type = MessageLetters.find(line.front());
    if (type == std::string_view::npos
        || line.size() < static_cast<std::size_t>(MessageMinLengths[type])) {
        return false;
    }
    message = TQV3318MessageRec {};
    message.MsgType = static_cast<std::uint8_t>(type);
    const TTypeSpec &layout = kTypes[type];
    if (layout.DecodeFields) {
        for (const TFieldSpec &field : layout.Fields) {
            if (field.Set != nullptr) {
                field.Set(message, ParseField(line, field.Position, field.Width));
            }
        }
    }
    if (type == mtVersion) {
        message.VersionText = "v " + std::to_string(message.VersionMajor) + "."
            + std::to_string(message.VersionMinor) + "." + std::to_string(message.VersionRelease);
    }
    return true;
}

void TQV3318EncDec::Receive(std::string_view text)
{
    for (const char c : text) {
        if (c == '\n' || c == '\r') {
            const bool complete = inLine_ && !rxLine_.empty();
            // The line state is reset before the handler runs, so a handler that throws leaves
            // the codec idle instead of holding half a line.
            std::string line;
            line.swap(rxLine_);
            inLine_ = false;
            if (complete) {
                TQV3318MessageRec message;
                if (DecodeLine(line, message) && OnMessage) {
                    decodedLine_ = std::move(line);
                    OnMessage(message);
                }
            }
        } else if (c == kLineStart) {
            rxLine_.clear();
            inLine_ = true;
        } else if (inLine_) {
            if (rxLine_.size() < kMaxRxLine) {
                rxLine_ += c;
            } else {
                rxLine_.clear();
                inLine_ = false;
            }
        }
    }
}

std::string TQV3318EncDec::Encode(const TQV3318MessageRec &message) const
{
    return EncodeWith(message, [](const TTypeSpec &type) { return type.EncodeFields; });
}

std::string TQV3318EncDec::EncodeReply(const TQV3318MessageRec &message)
{
    return EncodeWith(message, [](const TTypeSpec &type) { return !type.Fields.empty(); });
}
