#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Message types of the serial protocol; the value is the index into MessageLetters.
enum TMessageType : std::uint8_t {
    mtNone = 0,
    mtVersion,
    mtReset,
    mtStatusRequest,
    mtStatus,
    mtZData,
    mtParamsRequest,
    mtParams,
    mtRangeRequest,
    mtRange,
    mtSparkDelayRequest,
    mtSparkDelay,
    mtLRequest,
    mtLData,
    mtQRequest,
    mtQData,
    mtFeedbackRequest,
    mtFeedback,
};

inline constexpr int kMessageTypeCount = 18;
inline constexpr std::string_view MessageLetters = " VXSszPpRrDdLlQqFf";
inline constexpr std::array<int, kMessageTypeCount> MessageMinLengths
    = {0, 1, 1, 1, 11, 2, 1, 2, 2, 17, 2, 4, 1, 9, 2, 3, 1, 1};

inline constexpr char kLineStart = '@';
inline constexpr char kLineEndSent = '\n';
// Longest line body (letter and payload) that is still decoded; one more character drops it.
inline constexpr std::size_t kMaxRxLine = 18;

// The settings messages: the controller's answers to a read, and the lines a write sends.
inline constexpr bool IsSettingsMessage(std::size_t type)
{
    return type == mtParams || type == mtFeedback || type == mtRange || type == mtSparkDelay;
}

// Status bits of mtStatus.
inline constexpr std::uint8_t kStatusUpshift = 0x01;
inline constexpr std::uint8_t kStatusDownshift = 0x02;
inline constexpr std::uint8_t kStatusCut = 0x04;
inline constexpr std::uint8_t kStatusBlip = 0x08;

// Feedback flags of mtFeedback.
inline constexpr std::uint8_t kFeedbackUseFeedback = 0x01;
inline constexpr std::uint8_t kFeedbackUseCutAfterBlip = 0x02;

// Gear value of an empty range slot.
inline constexpr std::uint8_t kEmptyRangeGear = 255;
inline constexpr int kRangeSlots = 10;

// One protocol message in either direction; every field zero when made.
struct TQV3318MessageRec
{
    std::uint8_t MsgType = mtNone;
    std::uint16_t Adc = 0;
    std::uint8_t Gear = 0;
    std::uint16_t QValue = 0;
    std::uint8_t StatusBits = 0;
    std::uint8_t Index = 0;
    std::uint16_t Lower = 0;
    std::uint16_t Upper = 0;
    std::uint8_t Value = 0;
    std::array<std::uint16_t, 4> LValues {};
    bool QFlag = false;
    std::string VersionText;
    std::int32_t VersionMinor = 0;
    std::int32_t VersionMajor = 0;
    std::int32_t VersionRelease = 0;
    std::uint8_t GearThresholdUpper = 0;
    std::uint8_t GearThresholdLower = 0;
    std::uint8_t BarrelThreshold = 0;
    std::uint8_t GearShiftType = 0;
    std::uint8_t PositionCount = 0;
    std::uint8_t Ignore = 0;
    std::uint8_t Debounce = 0;
    std::uint8_t AnalogueInput = 0;
    std::uint8_t FeedbackFlags = 0;
    std::uint8_t FeedbackWindow = 0;
    std::uint16_t SparkCutTimeout = 0;
    std::uint8_t BlipTimeout = 0;
    std::uint8_t CutAfterBlip = 0;
};

// The codec of the serial protocol. Receive() frames characters into lines between "@" and CR or
// LF and hands each decoded line to OnMessage; Encode() builds one outgoing line. The only state
// is the line being received.
class TQV3318EncDec
{
public:
    std::function<void(const TQV3318MessageRec &)> OnMessage;

    // A handler that throws leaves the codec idle (the line it was given is already consumed);
    // the exception reaches the caller and the rest of text is not processed.
    void Receive(std::string_view text);
    // The line the tool sends: requests go out bare, the settings messages with their payload.
    // mtStatus is written with its full status payload so a simulated controller can build its
    // replies here too. A MsgType outside the table gives an empty string (nothing to send).
    std::string Encode(const TQV3318MessageRec &message) const;
    // The line as the controller sends it: every type with its whole payload, fields the decoder
    // skips written as zeros (mtVersion with its three numbers, mtZData, mtQData ...). For
    // simulators and tests; the tool itself sends only what Encode() makes.
    static std::string EncodeReply(const TQV3318MessageRec &message);

    // The partial line held between calls, for diagnostics and tests.
    const std::string &RxLine() const { return rxLine_; }
    bool InLine() const { return inLine_; }
    // The line body being handed to OnMessage, for logging it as it was received.
    const std::string &DecodedLine() const { return decodedLine_; }

    // Decodes one line body (letter and payload, without "@" and line end); false when the line
    // is not a message.
    static bool DecodeLine(std::string_view line, TQV3318MessageRec &message);

private:
    std::string rxLine_;
    bool inLine_ = false;
    std::string decodedLine_;
};
