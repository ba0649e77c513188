#include "transfers.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace {

TQV3318MessageRec Message(TMessageType type, int index = 0)
{
    TQV3318MessageRec m;
    m.MsgType = type;
    m.Index = static_cast<std::uint8_t>(index);
    return m;
}

constexpr int kFirstGearIndex = 2;

// A model value as its field on the line carries it. Only a hand-edited profile holds a value
// that does not fit; it goes as the nearest one that does, never as its low bits (a debounce of
// 300 would reach the controller as 44).
template<typename Field>
Field Fitted(std::int64_t value)
{
    return static_cast<Field>(std::clamp<std::int64_t>(value, std::numeric_limits<Field>::min(),
                                                       std::numeric_limits<Field>::max()));
}

} // namespace

TMessageList ParamsReadStep()
{
    return {Message(mtParamsRequest)};
}

TMessageList GearsReadStep()
{
    TMessageList lines {Message(mtFeedbackRequest)};
    for (int slot = 0; slot < kRangeSlots; ++slot)
        lines.push_back(Message(mtRangeRequest, slot));
    return lines;
}

TMessageList SparksReadStep(int gridRowCount)
{
    TMessageList lines {Message(mtFeedbackRequest)};
    for (int i = kFirstGearIndex; i <= gridRowCount - 3; ++i)
        lines.push_back(Message(mtSparkDelayRequest, i));
    return lines;
}

TMessageList ParamsWriteStep(const TEcu &ecu)
{
    TQV3318MessageRec m = Message(mtParams);
    m.GearThresholdUpper = Fitted<std::uint8_t>(ecu.GearThresholdUpper);
    m.GearThresholdLower = Fitted<std::uint8_t>(ecu.GearThresholdLower);
    m.GearShiftType = Fitted<std::uint8_t>(ecu.GearShiftType);
    m.PositionCount = Fitted<std::uint8_t>(ecu.PositionCount);
    m.Debounce = Fitted<std::uint8_t>(ecu.Debounce);
    m.Ignore = Fitted<std::uint8_t>(ecu.Ignore);
    m.BarrelThreshold = Fitted<std::uint8_t>(ecu.BarrelThreshold);
    m.BlipTimeout = Fitted<std::uint8_t>(ecu.BlipTimeout);
    return {m};
}

TMessageList GearsWriteStep(const TEcu &ecu)
{
    TQV3318MessageRec feedback = Message(mtFeedback);
    feedback.FeedbackFlags
        = static_cast<std::uint8_t>((ecu.UseFeedback ? kFeedbackUseFeedback : 0)
                                    | (ecu.UseCutAfterBlip ? kFeedbackUseCutAfterBlip : 0));
    feedback.FeedbackWindow = Fitted<std::uint8_t>(ecu.FeedbackWindow);
    feedback.SparkCutTimeout = Fitted<std::uint16_t>(ecu.SparkCutTimeout);
    feedback.CutAfterBlip = Fitted<std::uint8_t>(ecu.CutAfterBlip);
    TMessageList lines {feedback};

    const int count = ecu.Ranges.Count();
    for (int i = 0; i < count; ++i) {
        const TGearData &range = ecu.Ranges.Items(i);
        TQV3318MessageRec m = Message(mtRange, i);
        m.Gear = range.Gear;
        m.Lower = Fitted<std::uint16_t>(range.Lower);
        m.Upper = Fitted<std::uint16_t>(range.Upper);
        m.Adc = range.Adc;
        lines.push_back(m);
    }
    for (int slot = count; slot < kRangeSlots; ++slot) {
        TQV3318MessageRec m = Message(mtRange, slot);
        m.Gear = kEmptyRangeGear;
        lines.push_back(m);
    }
    return lines;
}

TMessageList SparksWriteStep(const TEcu &ecu)
{
    TMessageList lines;
    // The top gear's entry and the one past it go too; the table ends at index 10 whatever the
    // position count says.
    for (int i = kFirstGearIndex; i <= ecu.PositionCount && i < kPositionSlots; ++i) {
        TQV3318MessageRec m = Message(mtSparkDelay, i);
        m.Value = Fitted<std::uint8_t>(ecu.SparkDelays[static_cast<std::size_t>(i)]);
        lines.push_back(m);
    }
    return lines;
}

void ApplyParams(TEcu &ecu, const TQV3318MessageRec &message)
{
    ecu.GearThresholdUpper = message.GearThresholdUpper;
    ecu.GearThresholdLower = message.GearThresholdLower;
    ecu.GearShiftType = message.GearShiftType;
    ecu.SetPositionCount(message.PositionCount);
    ecu.Ignore = message.Ignore;
    ecu.Debounce = message.Debounce;
    ecu.BarrelThreshold = message.BarrelThreshold;
    ecu.BlipTimeout = message.BlipTimeout;
}

void ApplyFeedback(TEcu &ecu, const TQV3318MessageRec &message)
{
    ecu.UseFeedback = (message.FeedbackFlags & kFeedbackUseFeedback) != 0;
    ecu.UseCutAfterBlip = (message.FeedbackFlags & kFeedbackUseCutAfterBlip) != 0;
    ecu.FeedbackWindow = message.FeedbackWindow;
    ecu.SparkCutTimeout = message.SparkCutTimeout;
    ecu.CutAfterBlip = message.CutAfterBlip;
}

bool ApplySparkDelay(TEcu &ecu, const TQV3318MessageRec &message)
{
    if (message.Index >= kPositionSlots)
        return false;
    ecu.SparkDelays[message.Index] = message.Value;
    return true;
}

bool ApplyRange(TEcu &ecu, const TQV3318MessageRec &message)
{
    if (message.Upper == 0)
        return false;
    if (message.Index == 0)
        ecu.Ranges.Clear();
    TGearData &range = ecu.Ranges.Add();
    range.Gear = message.Gear;
    range.Lower = message.Lower;
    range.Upper = message.Upper;
    range.Adc = message.Adc;
    // A gear beyond the position table keeps its range but has no position to record.
    if (message.Gear < kPositionSlots)
        ecu.Positions[message.Gear].Adc = message.Adc;
    return true;
}

TEcu AsWritten(const TEcu &ecu)
{
    TEcu held = ecu;
    for (const TQV3318MessageRec &m : ParamsWriteStep(ecu))
        ApplyParams(held, m);
    held.Ranges.Clear();
    for (const TQV3318MessageRec &m : GearsWriteStep(ecu)) {
        if (m.MsgType == mtFeedback)
            ApplyFeedback(held, m);
        else if (m.Index < kRangeSlots)
            ApplyRange(held, m);
    }
    for (const TQV3318MessageRec &m : SparksWriteStep(ecu))
        ApplySparkDelay(held, m);
    return held;
}

int RangeMarkerCount(const TGearDataList &ranges, int currentCount)
{
    const int n = ranges.Count();
    if (n == 0)
        return currentCount;
    const TGearData &first = ranges.Items(0);
    if (!first.Sampled)
        return 0;
    // A gear continued across the ends of the scale owns two ranges but has one sample.
    return first.Gear == ranges.Items(n - 1).Gear ? n - 1 : n;
}

std::string RangeLine(int index, const TGearData &range)
{
    char line[96];
    std::snprintf(line, sizeof line, "[%d] gear %c low %d adc %d high %d", index,
                  GearLetterOf(range.Gear), static_cast<int>(range.Lower),
                  static_cast<int>(range.Adc), static_cast<int>(range.Upper));
    return line;
}
