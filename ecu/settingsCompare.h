#pragma once

#include "Ecu.h"
#include "encdec.h"

#include <bitset>
#include <string>
#include <vector>

// Side-by-side comparison of two complete settings models, so the user sees what a transfer or a
// profile would change before anything is overwritten. The left side is always a whole model (the
// tool's own, or a profile); the right side may be a model read from the controller, of which only
// the answered requests are known.

// What the right-hand model holds. A model read from the controller starts with nothing known;
// each reply marks its part (NoteReceived). A profile or the tool's own model is known entirely.
struct TSettingsKnown
{
    bool Params = true; // thresholds, trigger method, number of gears, debounce, mask, blip
    bool Feedback = true; // cut strategy, cut after blip and its duration, tolerance, maximum cut
    std::bitset<kRangeSlots> RangeSlots = std::bitset<kRangeSlots>().set(); // answered slots
    std::bitset<kPositionSlots> SparkDelays = std::bitset<kPositionSlots>().set(); // per index

    static TSettingsKnown Nothing();
    // The ranges are known only when every slot answered: an unanswered slot might have held a
    // second range of any gear.
    bool Ranges() const { return RangeSlots.all(); }
    // Marks the part of the model a received settings message fills; other messages change
    // nothing. A range for slot 0 that clears the model's list unmarks the slots before it.
    void NoteReceived(const TQV3318MessageRec &message);
};

// The setting a row stands for; SparkDelay and Ranges rows also carry a gear index.
enum class TSettingField {
    GearShiftType,
    GearThresholdUpper,
    GearThresholdLower,
    BarrelThreshold,
    Debounce,
    Ignore,
    BlipTimeout,
    UseCutAfterBlip,
    CutAfterBlip,
    UseFeedback,
    SparkCutTimeout,
    PositionCount,
    FeedbackWindow,
    SparkDelay,
    Ranges,
};

enum class TCompareState { Same, Different, Unknown };

// One compared setting: its label as the panel names it, the unit the panel shows it in, and each
// side's value as the panel shows it ("unknown" for a side that was not received, "-" for a cut
// duration of a gear that side does not have, "none" for a gear without a range).
struct TCompareRow
{
    TSettingField Field = TSettingField::GearShiftType;
    int Gear = -1; // gear position index of a SparkDelay or Ranges row, else -1
    std::string Setting;
    std::string Unit;
    std::string Left;
    std::string Right;
    TCompareState State = TCompareState::Same;

    bool Differs() const { return State == TCompareState::Different; }
};

inline constexpr const char *kUnknownValue = "unknown";

// Every setting in the panel's order, then the number of gears, the tolerance, the cut duration of
// each gear in use on either side and the ranges of each gear present on either side (matched by
// gear, not by list position). Differences are decided on the stored values, so two values the
// panel would show alike (a clamped threshold) still differ; the shown text then names the stored
// value too.
std::vector<TCompareRow> CompareSettings(const TEcu &left, const TEcu &right,
                                         const TSettingsKnown &rightKnown = {});

// The same rows, differing ones first, then unknown ones, then equal ones; order kept within each.
std::vector<TCompareRow> DifferingFirst(std::vector<TCompareRow> rows);
int CountDiffering(const std::vector<TCompareRow> &rows);
int CountUnknown(const std::vector<TCompareRow> &rows);

// A side's value with its unit, as a table cell shows it.
std::string CellText(const std::string &value, const std::string &unit);

// The rows as a plain-text table: a marker column ("*" differs, "?" unknown), then the setting and
// both values under the given headings, columns padded with spaces, one line per row, each ending
// in a line feed.
std::string ComparisonText(const std::vector<TCompareRow> &rows, const std::string &leftHeading,
                           const std::string &rightHeading);

// Copies the setting of a row from one model into the other: a Ranges row replaces every range of
// its gear and that gear's sampled position. An unknown row is not taken (false), nor a range of a
// gear beyond into's number of gears, nor the cut duration of an up-shift from does not have while
// into has it (false; the number of gears taken first lets them in). The gear
// count goes through SetPositionCount, which drops the ranges of gears that no longer exist, so a
// caller taking several rows takes them in the order CompareSettings gives.
bool TakeSetting(TEcu &into, const TEcu &from, const TCompareRow &row);
