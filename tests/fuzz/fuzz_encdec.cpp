// Fuzz target of the codec's receiving half: any bytes from the wire.
// - Nothing is read or written out of bounds (the sanitizers watch), the held line never passes
//   its limit.
// - Framing does not depend on how the bytes are split: fed at once or one at a time, the same
//   records come out.
// - Every decoded record, encoded again as the controller sends it, decodes to the same record;
//   so does the tool's own encoding for the types the tool sends with their payload.

#include "encdec.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

auto Fields(const TQV3318MessageRec &m)
{
    return std::tie(m.MsgType, m.Adc, m.Gear, m.QValue, m.StatusBits, m.Index, m.Lower, m.Upper,
                    m.Value, m.LValues, m.QFlag, m.VersionText, m.VersionMinor, m.VersionMajor,
                    m.VersionRelease, m.GearThresholdUpper, m.GearThresholdLower, m.BarrelThreshold,
                    m.GearShiftType, m.PositionCount, m.Ignore, m.Debounce, m.AnalogueInput,
                    m.FeedbackFlags, m.FeedbackWindow, m.SparkCutTimeout, m.BlipTimeout,
                    m.CutAfterBlip);
}

[[noreturn]] void Fail(const char *what, const std::string &line)
{
    std::fprintf(stderr, "codec property broken: %s (line \"%s\")\n", what, line.c_str());
    std::abort();
}

std::vector<TQV3318MessageRec> Decode(std::string_view text, bool byteByByte)
{
    std::vector<TQV3318MessageRec> records;
    TQV3318EncDec codec;
    codec.OnMessage = [&records](const TQV3318MessageRec &m) { records.push_back(m); };
    if (byteByByte) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            codec.Receive(text.substr(i, 1));
        }
    } else {
        codec.Receive(text);
    }
    if (codec.RxLine().size() > kMaxRxLine || (!codec.InLine() && !codec.RxLine().empty())) {
        Fail("held line", codec.RxLine());
    }
    return records;
}

// The tool sends these without the payload the controller's reply carries.
bool ToolSendsBare(std::uint8_t type)
{
    return type == mtVersion || type == mtZData || type == mtQData;
}

void ExpectRoundTrip(const TQV3318MessageRec &m, const std::string &line, const char *what)
{
    const auto back = Decode(line, false);
    if (back.size() != 1 || Fields(back[0]) != Fields(m)) {
        Fail(what, line);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const auto whole = Decode(text, false);
    const auto single = Decode(text, true);
    if (whole.size() != single.size()) {
        Fail("split input gives other records", "");
    }
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (Fields(whole[i]) != Fields(single[i])) {
            Fail("split input gives other records", "");
        }
        ExpectRoundTrip(whole[i], TQV3318EncDec::EncodeReply(whole[i]), "reply encoding");
        if (!ToolSendsBare(whole[i].MsgType)) {
            ExpectRoundTrip(whole[i], TQV3318EncDec().Encode(whole[i]), "tool encoding");
        }
    }
    return 0;
}
