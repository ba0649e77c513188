#include "settingsCompare.h"

#include "panelRules.h"

#include <algorithm>
#include <set>
#include <tuple>

namespace {

constexpr int kFirstGearIndex = 2;
// Limits of the panel's trackbars that show a stored value only within them.
constexpr int kBarrelDegreesMax = 10;
constexpr int kToleranceMin = 1;
constexpr int kToleranceMax = 15;
// The panel shows the mask in steps of 4 ms and the blip in steps of 2 ms.
constexpr int kIgnoreMsPerUnit = 4;
constexpr int kBlipMsPerUnit = 2;
// Reverse and neutral come before the forward gears.
constexpr int kNonForwardPositions = 2;

const char *const kNotInUse = "-";
const char *const kNoRange = "none";

std::string Number(long long value)
{
    return std::to_string(value);
}

std::string TriggerMethod(int type)
{
    switch (type) {
    case 0:
        return "Switch (Digital)";
    case 1:
        return "Load Cell (Analogue)";
    case 2:
        return "Barrel Position";
    default:
        return "type " + Number(type);
    }
}

std::string CutStrategy(bool useFeedback)
{
    return useFeedback ? "Use Gear Position Feedback (Closed-Loop)" : "Timed Per Gear (Open-Loop)";
}

// The panel shows whole degrees within its trackbar's limits; when that hides the stored counts,
// they are named too.
std::string BarrelThresholdText(int counts)
{
    const int shown = Clamp(WidthCountsToDegrees(counts), 0, kBarrelDegreesMax);
    std::string text = Number(shown);
    if (WidthDegreesToCounts(shown) != counts)
        text += " (" + Number(counts) + " counts)";
    return text;
}

std::string ToleranceText(int degrees)
{
    const int shown = Clamp(degrees, kToleranceMin, kToleranceMax);
    std::string text = Number(shown);
    if (shown != degrees)
        text += " (stored " + Number(degrees) + ")";
    return text;
}

std::string GearLabel(int gear)
{
    const std::string_view name = GearNameOf(gear);
    if (!name.empty())
        return std::string(name);
    const char letter = GearLetterOf(gear);
    return letter != '?' ? std::string("gear ") + letter : "gear " + Number(gear);
}

// The highest index whose cut duration the panel edits: the gear below the top gear.
int LastCutIndex(const TEcu &ecu)
{
    return std::min(ecu.PositionCount - kNonForwardPositions, kPositionSlots - 1);
}

using TRangeKey = std::tuple<std::int32_t, std::int32_t, std::uint16_t>;

std::vector<TRangeKey> RangesOf(const TEcu &ecu, int gear)
{
    std::vector<TRangeKey> ranges;
    for (int k = 0; k < ecu.Ranges.Count(); ++k) {
        const TGearData &r = ecu.Ranges.Items(k);
        if (r.Gear == gear)
            ranges.emplace_back(r.Lower, r.Upper, r.Adc);
    }
    // A gear's two ranges may be listed in either order on the two sides.
    std::sort(ranges.begin(), ranges.end());
    return ranges;
}

std::string RangesText(const std::vector<TRangeKey> &ranges)
{
    if (ranges.empty())
        return kNoRange;
    std::string text;
    for (const auto &[lower, upper, adc] : ranges) {
        if (!text.empty())
            text += "; ";
        text += CountsToDegreesText(lower) + " to " + CountsToDegreesText(upper) + ", sampled "
            + CountsToDegreesText(adc);
    }
    return text;
}

class TRowBuilder
{
public:
    explicit TRowBuilder(std::vector<TCompareRow> &rows) : rows_(rows) { }

    // Adds a row whose right side is known only when rightKnown; same tells whether the stored
    // values agree.
    void Add(TSettingField field, int gear, std::string setting, std::string unit, std::string left,
             std::string right, bool rightKnown, bool same)
    {
        TCompareRow row;
        row.Field = field;
        row.Gear = gear;
        row.Setting = std::move(setting);
        row.Unit = std::move(unit);
        row.Left = std::move(left);
        row.Right = rightKnown ? std::move(right) : kUnknownValue;
        row.State = !rightKnown ? TCompareState::Unknown
            : same              ? TCompareState::Same
                                : TCompareState::Different;
        rows_.push_back(std::move(row));
    }

private:
    std::vector<TCompareRow> &rows_;
};

} // namespace

TSettingsKnown TSettingsKnown::Nothing()
{
    TSettingsKnown known;
    known.Params = false;
    known.Feedback = false;
    known.RangeSlots.reset();
    known.SparkDelays.reset();
    return known;
}

void TSettingsKnown::NoteReceived(const TQV3318MessageRec &message)
{
    switch (message.MsgType) {
    case mtParams:
        Params = true;
        break;
    case mtFeedback:
        Feedback = true;
        break;
    case mtRange:
        // A range in slot 0 starts the list afresh (see ApplyRange): slots answered before it
        // are gone from the model again.
        if (message.Index == 0 && message.Upper != 0)
            RangeSlots.reset();
        if (message.Index < kRangeSlots)
            RangeSlots.set(message.Index);
        break;
    case mtSparkDelay:
        if (message.Index < kPositionSlots)
            SparkDelays.set(message.Index);
        break;
    default:
        break;
    }
}

std::vector<TCompareRow> CompareSettings(const TEcu &left, const TEcu &right,
                                         const TSettingsKnown &rightKnown)
{
    std::vector<TCompareRow> rows;
    TRowBuilder add(rows);
    const auto scalar = [&](TSettingField field, const char *setting, const char *unit,
                            std::int32_t l, std::int32_t r, bool known, auto shown) {
        add.Add(field, -1, setting, unit, shown(l), shown(r), known, l == r);
    };
    const auto plain = [](std::int32_t v) { return Number(v); };
    const bool params = rightKnown.Params;
    const bool feedback = rightKnown.Feedback;

    // The panel, top to bottom: trigger method, down-shift and up-shift strategies.
    scalar(TSettingField::GearShiftType, "Gearshift Trigger Method", "", left.GearShiftType,
           right.GearShiftType, params, TriggerMethod);
    scalar(TSettingField::GearThresholdUpper, "Upshift Trigger Threshold", "",
           left.GearThresholdUpper, right.GearThresholdUpper, params, plain);
    scalar(TSettingField::GearThresholdLower, "Downshift Trigger Threshold", "",
           left.GearThresholdLower, right.GearThresholdLower, params, plain);
    scalar(TSettingField::BarrelThreshold, "Trigger Threshold (Degrees)", "degrees",
           left.BarrelThreshold, right.BarrelThreshold, params, BarrelThresholdText);
    scalar(TSettingField::Debounce, "Trigger Debounce", "ms", left.Debounce, right.Debounce, params,
           plain);
    scalar(TSettingField::Ignore, "Trigger Mask", "ms", left.Ignore, right.Ignore, params,
           [](std::int32_t v) { return Number(static_cast<long long>(v) * kIgnoreMsPerUnit); });
    scalar(TSettingField::BlipTimeout, "Maximum Blip Duration", "ms", left.BlipTimeout,
           right.BlipTimeout, params,
           [](std::int32_t v) { return Number(static_cast<long long>(v) * kBlipMsPerUnit); });
    add.Add(TSettingField::UseCutAfterBlip, -1, "Cut After Blip", "",
            left.UseCutAfterBlip ? "On" : "Off", right.UseCutAfterBlip ? "On" : "Off", feedback,
            left.UseCutAfterBlip == right.UseCutAfterBlip);
    scalar(TSettingField::CutAfterBlip, "Cut After Blip Duration", "ms", left.CutAfterBlip,
           right.CutAfterBlip, feedback, plain);
    add.Add(TSettingField::UseFeedback, -1, "Up-Shift Cut Strategy", "",
            CutStrategy(left.UseFeedback), CutStrategy(right.UseFeedback), feedback,
            left.UseFeedback == right.UseFeedback);
    scalar(TSettingField::SparkCutTimeout, "Maximum Cut Duration", "ms", left.SparkCutTimeout,
           right.SparkCutTimeout, feedback, plain);

    // Gear calibration.
    scalar(TSettingField::PositionCount, "No. Of Forwards Gears", "", left.PositionCount,
           right.PositionCount, params,
           [](std::int32_t v) { return Number(static_cast<long long>(v) - kNonForwardPositions); });
    scalar(TSettingField::FeedbackWindow, "Gear Position Tolerance", "degrees", left.FeedbackWindow,
           right.FeedbackWindow, feedback, ToleranceText);

    // Cut durations of the up-shifts either side has. Without the right side's gear count, the
    // left side's decides which gears are listed, as it decided which were asked for.
    const int lastLeft = LastCutIndex(left);
    const int lastRight = params ? LastCutIndex(right) : lastLeft;
    for (int i = kFirstGearIndex; i <= std::max(lastLeft, lastRight); ++i) {
        const std::size_t slot = static_cast<std::size_t>(i);
        const bool leftInUse = i <= lastLeft;
        const bool rightInUse = i <= lastRight;
        const std::string leftText = leftInUse ? Number(left.SparkDelays[slot]) : kNotInUse;
        const std::string rightText = rightInUse ? Number(right.SparkDelays[slot]) : kNotInUse;
        const bool known = !rightInUse || rightKnown.SparkDelays.test(slot);
        const bool same = leftInUse == rightInUse
            && (!leftInUse || left.SparkDelays[slot] == right.SparkDelays[slot]);
        add.Add(TSettingField::SparkDelay, i, "Cut Duration (" + GearLabel(i) + ")", "ms", leftText,
                rightText, known, same);
    }

    // Ranges by gear, for every gear either side has a range of.
    std::set<int> gears;
    for (const TEcu *ecu : {&left, &right})
        for (int k = 0; k < ecu->Ranges.Count(); ++k)
            gears.insert(ecu->Ranges.Items(k).Gear);
    for (const int gear : gears) {
        const auto l = RangesOf(left, gear);
        const auto r = RangesOf(right, gear);
        add.Add(TSettingField::Ranges, gear, GearLabel(gear) + " Range", "degrees", RangesText(l),
                RangesText(r), rightKnown.Ranges(), l == r);
    }
    return rows;
}

std::vector<TCompareRow> DifferingFirst(std::vector<TCompareRow> rows)
{
    const auto rank = [](const TCompareRow &row) {
        switch (row.State) {
        case TCompareState::Different:
            return 0;
        case TCompareState::Unknown:
            return 1;
        case TCompareState::Same:
            break;
        }
        return 2;
    };
    std::stable_sort(rows.begin(), rows.end(),
                     [&](const TCompareRow &a, const TCompareRow &b) { return rank(a) < rank(b); });
    return rows;
}

int CountDiffering(const std::vector<TCompareRow> &rows)
{
    return static_cast<int>(std::count_if(rows.begin(), rows.end(),
                                          [](const TCompareRow &row) { return row.Differs(); }));
}

int CountUnknown(const std::vector<TCompareRow> &rows)
{
    return static_cast<int>(std::count_if(rows.begin(), rows.end(), [](const TCompareRow &row) {
        return row.State == TCompareState::Unknown;
    }));
}

std::string CellText(const std::string &value, const std::string &unit)
{
    if (unit.empty() || value == kUnknownValue || value == kNotInUse || value == kNoRange)
        return value;
    // "2 degrees (5 counts)": the unit goes with the number, before what is said of it.
    const std::size_t note = value.find(" (");
    if (note != std::string::npos)
        return value.substr(0, note) + " " + unit + value.substr(note);
    return value + " " + unit;
}

std::string ComparisonText(const std::vector<TCompareRow> &rows, const std::string &leftHeading,
                           const std::string &rightHeading)
{
    struct TLine
    {
        std::string Marker, Setting, Left, Right;
    };
    std::vector<TLine> lines {{" ", "Setting", leftHeading, rightHeading}};
    for (const TCompareRow &row : rows) {
        const char *marker = row.State == TCompareState::Different ? "*"
            : row.State == TCompareState::Unknown                  ? "?"
                                                                   : " ";
        lines.push_back(
            {marker, row.Setting, CellText(row.Left, row.Unit), CellText(row.Right, row.Unit)});
    }
    std::size_t settingWidth = 0;
    std::size_t leftWidth = 0;
    for (const TLine &line : lines) {
        settingWidth = std::max(settingWidth, line.Setting.size());
        leftWidth = std::max(leftWidth, line.Left.size());
    }
    std::string text;
    for (const TLine &line : lines) {
        std::string out = line.Marker + " " + line.Setting;
        out.append(settingWidth - line.Setting.size() + 2, ' ');
        out += line.Left;
        out.append(leftWidth - line.Left.size() + 2, ' ');
        out += line.Right;
        // No trailing blanks: the right column may be empty.
        out.erase(out.find_last_not_of(' ') + 1);
        text += out + "\n";
    }
    return text;
}

bool TakeSetting(TEcu &into, const TEcu &from, const TCompareRow &row)
{
    if (row.State == TCompareState::Unknown)
        return false;
    switch (row.Field) {
    case TSettingField::GearShiftType:
        into.GearShiftType = from.GearShiftType;
        break;
    case TSettingField::GearThresholdUpper:
        into.GearThresholdUpper = from.GearThresholdUpper;
        break;
    case TSettingField::GearThresholdLower:
        into.GearThresholdLower = from.GearThresholdLower;
        break;
    case TSettingField::BarrelThreshold:
        into.BarrelThreshold = from.BarrelThreshold;
        break;
    case TSettingField::Debounce:
        into.Debounce = from.Debounce;
        break;
    case TSettingField::Ignore:
        into.Ignore = from.Ignore;
        break;
    case TSettingField::BlipTimeout:
        into.BlipTimeout = from.BlipTimeout;
        break;
    case TSettingField::UseCutAfterBlip:
        into.UseCutAfterBlip = from.UseCutAfterBlip;
        break;
    case TSettingField::CutAfterBlip:
        into.CutAfterBlip = from.CutAfterBlip;
        break;
    case TSettingField::UseFeedback:
        into.UseFeedback = from.UseFeedback;
        break;
    case TSettingField::SparkCutTimeout:
        into.SparkCutTimeout = from.SparkCutTimeout;
        break;
    case TSettingField::PositionCount:
        into.SetPositionCount(from.PositionCount);
        break;
    case TSettingField::FeedbackWindow:
        into.FeedbackWindow = from.FeedbackWindow;
        break;
    case TSettingField::SparkDelay:
        if (row.Gear < 0 || row.Gear >= kPositionSlots)
            return false;
        // The other side does not use it: no value was shown to take. Once the gear count is
        // taken too, this side does not use it either, and there is nothing to take.
        if (row.Right == kNotInUse)
            return row.Gear > LastCutIndex(into);
        into.SparkDelays[static_cast<std::size_t>(row.Gear)]
            = from.SparkDelays[static_cast<std::size_t>(row.Gear)];
        break;
    case TSettingField::Ranges: {
        // A gear the model has no position for would keep a range that no lower gear count can
        // have: the number of gears is taken with it, first.
        bool adds = false;
        for (int k = 0; k < from.Ranges.Count(); ++k)
            adds = adds || from.Ranges.Items(k).Gear == row.Gear;
        if (adds && row.Gear >= into.PositionCount)
            return false;
        for (int k = into.Ranges.Count() - 1; k >= 0; --k)
            if (into.Ranges.Items(k).Gear == row.Gear)
                into.Ranges.Delete(k);
        for (int k = 0; k < from.Ranges.Count(); ++k)
            if (from.Ranges.Items(k).Gear == row.Gear)
                into.Ranges.Add() = from.Ranges.Items(k);
        if (row.Gear >= 0 && row.Gear < kPositionSlots)
            into.Positions[static_cast<std::size_t>(row.Gear)].Adc
                = from.Positions[static_cast<std::size_t>(row.Gear)].Adc;
        break;
    }
    }
    return true;
}
