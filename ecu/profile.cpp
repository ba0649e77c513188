#include "profile.h"

#include "encdec.h"

#include "diskFile.h"
#include "iniFile.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>

namespace {

// The forward-gear key stores PositionCount minus this; the count is kept within the selector's
// 4..7 forward gears when read.
constexpr int kFwdGearsOffset = 6;
constexpr int kMinPositionCount = 6;
constexpr int kMaxPositionCount = 9;
constexpr int kDefaultPositionCount = 8;
// A profile cannot name more ranges than this: a hand-edited or damaged count must neither loop
// for ever nor exhaust memory. Far above the controller's ten slots.
constexpr long long kMaxProfileRanges = 256;
// Range sections a save owns and rewrites: one per range slot of the controller.
constexpr int kOwnedRangeSections = kRangeSlots;
constexpr int kMaxSparkCutTimeout = 1000;

constexpr const char *kVehicle = "vehicle";
constexpr const char *kFeedback = "feedback";
constexpr const char *kSparkDelays = "sparkdelays";
constexpr const char *kRangePrefix = "range";

// The factory calibration: gear index i has its sample at kDefaultSamples[i].
constexpr std::array<int, 8> kDefaultSamples = {84, 228, 340, 452, 572, 700, 824, 940};
constexpr std::array<int, 8> kDefaultSparkDelays = {0, 0, 125, 115, 100, 90, 80, 70};
constexpr int kFirstTimedGear = 2;

// Missing-key defaults of the reader; they differ from the factory values on purpose.
struct TReadDefaults
{
    static constexpr int FwdGears = 0;
    static constexpr int Ranges = 0;
    static constexpr int GearThresholdUpper = 144;
    static constexpr int GearThresholdLower = 112;
    static constexpr int GearShiftType = 0;
    static constexpr int Debounce = 0;
    static constexpr int Ignore = 0;
    static constexpr int BlipTimeout = 100;
    static constexpr int BarrelThreshold = 5;
    static constexpr int CutAfterBlip = 0;
    static constexpr bool UseCutAfterBlip = false;
    static constexpr bool UseFeedback = false;
    static constexpr int FeedbackWindow = 5;
    static constexpr int SparkCutTimeout = 100;
};

std::string RangeSection(int n)
{
    return kRangePrefix + std::to_string(n);
}

std::string LetterKey(int index)
{
    return std::string(1, GearLetters[static_cast<std::size_t>(index)]);
}

// A signed decimal 32-bit integer, blanks around it allowed; anything else is not a number.
std::optional<std::int32_t> ParseInteger(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(std::numeric_limits<std::int32_t>::max()) + 1) {
            return std::nullopt;
        }
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

// Reads the profile's values; a value there that is no integer, or none at all, reads as the
// fallback, and is noted when someone asked.
class TProfileReader
{
public:
    TProfileReader(const TIniFile &ini, std::vector<std::string> *unreadable,
                   std::vector<std::string> *missing)
        : ini_(ini), unreadable_(unreadable), missing_(missing)
    { }

    std::optional<std::int32_t> Find(const std::string &section, const std::string &key) const
    {
        const auto value = ini_.Value(section, key);
        if (!value) {
            if (missing_ != nullptr) {
                missing_->push_back("[" + section + "] " + key);
            }
            return std::nullopt;
        }
        const auto parsed = ParseInteger(*value);
        if (!parsed && unreadable_ != nullptr) {
            unreadable_->push_back("[" + section + "] " + key + "=" + *value);
        }
        return parsed;
    }

    std::int32_t Integer(const std::string &section, const std::string &key,
                         std::int32_t fallback) const
    {
        return Find(section, key).value_or(fallback);
    }

    bool Boolean(const std::string &section, const std::string &key, bool fallback) const
    {
        const auto value = Find(section, key);
        return value ? *value != 0 : fallback;
    }

private:
    const TIniFile &ini_;
    std::vector<std::string> *unreadable_;
    std::vector<std::string> *missing_;
};

void WriteInteger(TIniFile &ini, const std::string &section, const std::string &key,
                  long long value)
{
    ini.SetValue(section, key, std::to_string(value));
}

void WriteBoolean(TIniFile &ini, const std::string &section, const std::string &key, bool value)
{
    ini.SetValue(section, key, value ? "1" : "0");
}

} // namespace

void LoadDefaults(TEcu &ecu)
{
    ecu.GearShiftType = 1;
    ecu.GearThresholdUpper = 78;
    ecu.GearThresholdLower = 69;
    ecu.Debounce = 1;
    ecu.Ignore = 125;
    ecu.SetPositionCount(kDefaultPositionCount);
    ecu.BarrelThreshold = 14;
    ecu.BlipTimeout = 125;
    ecu.CutAfterBlip = 0;
    for (std::size_t i = kFirstTimedGear; i < kDefaultSparkDelays.size(); ++i) {
        ecu.SparkDelays[i] = kDefaultSparkDelays[i];
    }
    ecu.FeedbackWindow = 5;
    ecu.SparkCutTimeout = 100;

    // Truncated here, unlike the rounded width of a calibration: 5 degrees give 14 either way.
    const int w = ecu.FeedbackWindow * 1024 / 360;
    ecu.Ranges.Clear();
    for (std::size_t i = 0; i < kDefaultSamples.size(); ++i) {
        TGearData &range = ecu.Ranges.Add();
        range.Gear = static_cast<std::uint8_t>(i);
        range.Adc = static_cast<std::uint16_t>(kDefaultSamples[i]);
        range.Lower = kDefaultSamples[i] - w;
        range.Upper = kDefaultSamples[i] + w;
        range.Sampled = false;
        ecu.Positions[i].Adc = range.Adc;
    }
}

TDiskRead ReadProfile(const std::string &fileName, TEcu &ecu)
{
    std::string text;
    const TDiskRead read = ReadDiskFile(fileName, text);
    if (read == TDiskRead::Failed || IsForeignText(text)) {
        return TDiskRead::Failed;
    }
    ReadProfileText(text, ecu);
    return read;
}

namespace {

bool NamesAProfileSection(const TIniFile &ini)
{
    for (const char *section : {kVehicle, kFeedback, kSparkDelays}) {
        if (ini.HasSection(section)) {
            return true;
        }
    }
    return ini.HasSection(RangeSection(0));
}

} // namespace

bool IsForeignText(const std::string &text)
{
    const TIniFile ini(text);
    return !NamesAProfileSection(ini) && !ini.OnlyBlanksAndComments();
}

bool HoldsSettings(const std::string &text)
{
    return NamesAProfileSection(TIniFile(text));
}

void ClearPositionsInUse(TEcu &ecu)
{
    for (int i = 0; i < std::min<int>(ecu.PositionCount, kPositionSlots); ++i) {
        ecu.Positions[static_cast<std::size_t>(i)].Adc = 0;
    }
}

void ClearEveryPosition(TEcu &ecu)
{
    for (std::size_t i = 0; i < kPositionSlots; ++i) {
        ecu.Positions[i].Adc = 0;
        ecu.SparkDelays[i] = 0;
    }
}

void ClearCutDurationsInUse(TEcu &ecu)
{
    for (int i = 0; i < std::min<int>(ecu.PositionCount, kPositionSlots); ++i) {
        ecu.SparkDelays[static_cast<std::size_t>(i)] = 0;
    }
}

bool ForwardGearsInRange(const std::string &text)
{
    const auto value = TIniFile(text).Value(kVehicle, "fwdgears");
    const auto parsed = value ? ParseInteger(*value) : std::nullopt;
    return !parsed
        || (*parsed >= kMinPositionCount - kFwdGearsOffset
            && *parsed <= kMaxPositionCount - kFwdGearsOffset);
}

void ReadProfileText(const std::string &text, TEcu &ecu, std::vector<std::string> *unreadable,
                     std::vector<std::string> *missing)
{
    const TIniFile ini(text);
    const TProfileReader read(ini, unreadable, missing);

    const long long positions
        = static_cast<long long>(read.Integer(kVehicle, "fwdgears", TReadDefaults::FwdGears))
        + kFwdGearsOffset;
    ecu.SetPositionCount(static_cast<int>(std::clamp<long long>(
        positions, std::numeric_limits<int>::min(), std::numeric_limits<int>::max())));
    if (ecu.PositionCount > kMaxPositionCount) {
        ecu.SetPositionCount(kMaxPositionCount);
    } else if (ecu.PositionCount < kMinPositionCount) {
        ecu.SetPositionCount(kMinPositionCount);
    }

    ecu.GearThresholdUpper
        = read.Integer(kVehicle, "gearthresholdupper", TReadDefaults::GearThresholdUpper);
    ecu.GearThresholdLower
        = read.Integer(kVehicle, "gearthresholdlower", TReadDefaults::GearThresholdLower);
    ecu.GearShiftType = read.Integer(kVehicle, "gearshifttype", TReadDefaults::GearShiftType);
    ecu.Debounce = read.Integer(kVehicle, "debounce", TReadDefaults::Debounce);
    ecu.Ignore = read.Integer(kVehicle, "ignore", TReadDefaults::Ignore);
    ecu.BlipTimeout = read.Integer(kVehicle, "bliptimeout", TReadDefaults::BlipTimeout);
    ecu.CutAfterBlip = read.Integer(kVehicle, "cutafterblip", TReadDefaults::CutAfterBlip);
    ecu.UseCutAfterBlip = read.Boolean(kVehicle, "usecutafterblip", TReadDefaults::UseCutAfterBlip);
    ecu.BarrelThreshold = read.Integer(kVehicle, "barrelthreshold", TReadDefaults::BarrelThreshold);
    const long long rangeCount = std::clamp<long long>(
        read.Integer(kVehicle, "ranges", TReadDefaults::Ranges), 0, kMaxProfileRanges);
    ecu.UseFeedback = read.Boolean(kFeedback, "flags", TReadDefaults::UseFeedback);
    ecu.FeedbackWindow = read.Integer(kFeedback, "window", TReadDefaults::FeedbackWindow);
    ecu.SparkCutTimeout = read.Integer(kSparkDelays, "timeout", TReadDefaults::SparkCutTimeout);

    ecu.Ranges.Clear();
    for (int n = 0; n < rangeCount; ++n) {
        const std::string section = RangeSection(n);
        TGearData &range = ecu.Ranges.Add();
        range.Gear = static_cast<std::uint8_t>(read.Integer(section, "gear", 0));
        range.Upper = read.Integer(section, "upper", 0);
        range.Lower = read.Integer(section, "lower", 0);
        range.Adc = static_cast<std::uint16_t>(read.Integer(section, "adc", 0));
        range.Sampled = false;
        // A gear beyond the position slots keeps its range but has no position to update.
        if (range.Gear < kPositionSlots) {
            ecu.Positions[range.Gear].Adc = range.Adc;
        }
    }

    // Reverse and neutral have no up-shift: their keys are read, but never missed.
    const TProfileReader readUntimed(ini, unreadable, nullptr);
    for (int i = 0; i < ecu.PositionCount; ++i) {
        if (const auto value
            = (i < kFirstTimedGear ? readUntimed : read).Find(kSparkDelays, LetterKey(i))) {
            ecu.SparkDelays[static_cast<std::size_t>(i)] = *value;
        }
    }
}

std::string ProfileText(const std::string &text, const TEcu &ecu)
{
    TIniFile ini(text);

    WriteInteger(ini, kVehicle, "fwdgears",
                 static_cast<long long>(ecu.PositionCount) - kFwdGearsOffset);
    WriteInteger(ini, kVehicle, "ranges", ecu.Ranges.Count());
    WriteInteger(ini, kVehicle, "gearthresholdupper", ecu.GearThresholdUpper);
    WriteInteger(ini, kVehicle, "gearthresholdlower", ecu.GearThresholdLower);
    WriteInteger(ini, kVehicle, "gearshifttype", ecu.GearShiftType);
    WriteInteger(ini, kVehicle, "debounce", ecu.Debounce);
    WriteInteger(ini, kVehicle, "ignore", ecu.Ignore);
    WriteInteger(ini, kVehicle, "bliptimeout", ecu.BlipTimeout);
    WriteInteger(ini, kVehicle, "barrelthreshold", ecu.BarrelThreshold);
    WriteInteger(ini, kVehicle, "cutafterblip", ecu.CutAfterBlip);
    WriteBoolean(ini, kVehicle, "usecutafterblip", ecu.UseCutAfterBlip);

    // Sections range10 and above are not the tool's to remove, nor is "timeout".
    for (int i = 0; i < kOwnedRangeSections; ++i) {
        ini.RemoveSection(RangeSection(i));
        ini.RemoveKey(kSparkDelays, LetterKey(i));
    }

    for (int n = 0; n < ecu.Ranges.Count(); ++n) {
        const TGearData &range = ecu.Ranges.Items(n);
        const std::string section = RangeSection(n);
        WriteInteger(ini, section, "gear", range.Gear);
        WriteInteger(ini, section, "lower", range.Lower);
        WriteInteger(ini, section, "upper", range.Upper);
        WriteInteger(ini, section, "adc", range.Adc);
    }

    // A count from the controller is stored unchecked; only gears with a letter have a key.
    const int positions = std::clamp(ecu.PositionCount, 0, static_cast<int>(GearLetters.size()));
    for (int i = 0; i < positions; ++i) {
        WriteInteger(ini, kSparkDelays, LetterKey(i), ecu.SparkDelays[static_cast<std::size_t>(i)]);
    }

    WriteBoolean(ini, kFeedback, "flags", ecu.UseFeedback);
    WriteInteger(ini, kFeedback, "window", ecu.FeedbackWindow);
    WriteInteger(ini, kSparkDelays, "timeout",
                 std::clamp(ecu.SparkCutTimeout, 0, kMaxSparkCutTimeout));

    return ini.Text();
}

bool WriteProfile(const std::string &fileName, const TEcu &ecu)
{
    // Whatever the file holds already is kept; a file that exists but cannot be read is not
    // overwritten, or its other sections would be lost.
    std::string text;
    if (ReadDiskFile(fileName, text) == TDiskRead::Failed) {
        return false;
    }
    return SaveDiskFile(fileName, ProfileText(text, ecu));
}
