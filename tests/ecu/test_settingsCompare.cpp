#include "profile.h"
#include "settingsCompare.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

TEcu Defaults()
{
    TEcu ecu;
    LoadDefaults(ecu);
    return ecu;
}

// Setting label -> state, for the rows that are not equal.
std::map<std::string, TCompareState> NotEqual(const std::vector<TCompareRow> &rows)
{
    std::map<std::string, TCompareState> result;
    for (const TCompareRow &row : rows)
        if (row.State != TCompareState::Same)
            result[row.Setting] = row.State;
    return result;
}

const TCompareRow &RowOf(const std::vector<TCompareRow> &rows, const std::string &setting)
{
    for (const TCompareRow &row : rows)
        if (row.Setting == setting)
            return row;
    throw std::runtime_error("no row " + setting);
}

void SetRange(TEcu &ecu, int gear, int lower, int upper, int adc)
{
    for (int k = 0; k < ecu.Ranges.Count(); ++k) {
        TGearData &r = ecu.Ranges.Items(k);
        if (r.Gear == gear) {
            r.Lower = lower;
            r.Upper = upper;
            r.Adc = static_cast<std::uint16_t>(adc);
            return;
        }
    }
    FAIL() << "no range of gear " << gear;
}

void RemoveRange(TEcu &ecu, int gear)
{
    for (int k = ecu.Ranges.Count() - 1; k >= 0; --k)
        if (ecu.Ranges.Items(k).Gear == gear)
            ecu.Ranges.Delete(k);
}

constexpr auto D = TCompareState::Different;

} // namespace

TEST(SettingsCompare, EqualModelsListEverySettingOnceAndNothingDiffers)
{
    const TEcu ecu = Defaults();
    const auto rows = CompareSettings(ecu, ecu);
    // 11 panel settings, gear count, tolerance, cut durations of first to fifth gear, 8 ranges.
    ASSERT_EQ(rows.size(), 11u + 2u + 5u + 8u);
    EXPECT_EQ(CountDiffering(rows), 0);
    EXPECT_EQ(CountUnknown(rows), 0);
    EXPECT_EQ(rows.front().Setting, "Gearshift Trigger Method");
    EXPECT_EQ(rows.front().Left, "Load Cell (Analogue)");
    // Values as the panel shows them: the mask in ms, the barrel threshold in degrees.
    EXPECT_EQ(RowOf(rows, "Trigger Mask").Left, "500");
    EXPECT_EQ(RowOf(rows, "Trigger Mask").Unit, "ms");
    EXPECT_EQ(RowOf(rows, "Maximum Blip Duration").Left, "250");
    EXPECT_EQ(RowOf(rows, "Trigger Threshold (Degrees)").Left, "5");
    EXPECT_EQ(RowOf(rows, "No. Of Forwards Gears").Left, "6");
    EXPECT_EQ(RowOf(rows, "Cut Duration (Fifth)").Left, "80");
    EXPECT_EQ(RowOf(rows, "Up-Shift Cut Strategy").Left, "Timed Per Gear (Open-Loop)");
    // 70..98 counts, sampled at 84.
    EXPECT_EQ(RowOf(rows, "Reverse Range").Left, "24.6 to 34.5, sampled 29.6");
    EXPECT_EQ(RowOf(rows, "Reverse Range").Gear, 0);
}

TEST(SettingsCompare, ExactlyTheChangedKindOfFieldDiffers)
{
    struct Case
    {
        const char *Name;
        std::function<void(TEcu &)> Change;
        std::map<std::string, TCompareState> Expected;
    };
    const std::vector<Case> cases = {
        {"scalar", [](TEcu &e) { e.Debounce = 3; }, {{"Trigger Debounce", D}}},
        {"mask by one unit", [](TEcu &e) { e.Ignore = 126; }, {{"Trigger Mask", D}}},
        {"flag", [](TEcu &e) { e.UseCutAfterBlip = true; }, {{"Cut After Blip", D}}},
        {"strategy", [](TEcu &e) { e.UseFeedback = true; }, {{"Up-Shift Cut Strategy", D}}},
        {"maximum cut", [](TEcu &e) { e.SparkCutTimeout = 101; }, {{"Maximum Cut Duration", D}}},
        {"tolerance", [](TEcu &e) { e.FeedbackWindow = 6; }, {{"Gear Position Tolerance", D}}},
        {"cut duration", [](TEcu &e) { e.SparkDelays[4] = 99; }, {{"Cut Duration (Third)", D}}},
        // The top gear's entry is not a setting of the panel.
        {"top gear's entry", [](TEcu &e) { e.SparkDelays[7] = 99; }, {}},
        {"range bound", [](TEcu &e) { SetRange(e, 3, 438, 467, 452); }, {{"Second Range", D}}},
        {"range sample", [](TEcu &e) { SetRange(e, 3, 438, 466, 451); }, {{"Second Range", D}}},
        {"range on one side only", [](TEcu &e) { RemoveRange(e, 7); }, {{"Sixth Range", D}}},
        {"number of gears",
         [](TEcu &e) { e.SetPositionCount(6); },
         {{"No. Of Forwards Gears", D},
          {"Cut Duration (Fourth)", D},
          {"Cut Duration (Fifth)", D},
          {"Fifth Range", D},
          {"Sixth Range", D}}},
        // Shown alike (2 degrees) yet stored differently.
        {"hidden by the panel's rounding",
         [](TEcu &e) { e.BarrelThreshold = 6; },
         {{"Trigger Threshold (Degrees)", D}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        const TEcu left = Defaults();
        TEcu right = Defaults();
        c.Change(right);
        const auto rows = CompareSettings(left, right);
        EXPECT_EQ(NotEqual(rows), c.Expected);
        EXPECT_EQ(CountDiffering(rows), static_cast<int>(c.Expected.size()));
    }
}

TEST(SettingsCompare, ShownValuesNameWhatThePanelWouldHide)
{
    TEcu left = Defaults();
    TEcu right = Defaults();
    left.BarrelThreshold = 5; // 1.76 degrees, shown as 2
    right.BarrelThreshold = 40; // 14 degrees, beyond the trackbar's 10
    left.FeedbackWindow = 20;
    right.SetPositionCount(6);
    const auto rows = CompareSettings(left, right);
    EXPECT_EQ(RowOf(rows, "Trigger Threshold (Degrees)").Left, "2 (5 counts)");
    EXPECT_EQ(RowOf(rows, "Trigger Threshold (Degrees)").Right, "10 (40 counts)");
    EXPECT_EQ(CellText(RowOf(rows, "Trigger Threshold (Degrees)").Left, "degrees"),
              "2 degrees (5 counts)");
    EXPECT_EQ(RowOf(rows, "Gear Position Tolerance").Left, "15 (stored 20)");
    EXPECT_EQ(RowOf(rows, "Gear Position Tolerance").Right, "5");
    EXPECT_EQ(RowOf(rows, "Cut Duration (Fifth)").Right, "-");
    EXPECT_EQ(RowOf(rows, "Sixth Range").Right, "none");
}

TEST(SettingsCompare, RangesAreMatchedByGearNotByListPosition)
{
    TEcu left = Defaults();
    // Reverse continued across the top end of the scale: two ranges of one gear.
    TGearData &wrap = left.Ranges.Add();
    wrap.Gear = 0;
    wrap.Lower = 1000;
    wrap.Upper = 1023;
    wrap.Adc = 1011;
    TEcu right;
    right = left;
    right.Ranges.Clear();
    for (int k = left.Ranges.Count() - 1; k >= 0; --k)
        right.Ranges.Add() = left.Ranges.Items(k);
    right.Ranges.Items(0).Sampled = true; // not a setting
    const auto rows = CompareSettings(left, right);
    EXPECT_EQ(CountDiffering(rows), 0);
    EXPECT_EQ(RowOf(rows, "Reverse Range").Left,
              "24.6 to 34.5, sampled 29.6; 351.9 to 360.0, sampled 355.8");

    // A gear beyond the name table is labelled by its letter, or its number.
    TGearData &odd = right.Ranges.Add();
    odd.Gear = 9;
    odd.Upper = 5;
    TGearData &odder = right.Ranges.Add();
    odder.Gear = 200;
    odder.Upper = 5;
    EXPECT_EQ(NotEqual(CompareSettings(left, right)),
              (std::map<std::string, TCompareState> {{"gear x Range", D}, {"gear 200 Range", D}}));
}

TEST(SettingsCompare, UnansweredRequestsAreUnknownNeverEqual)
{
    const TEcu left = Defaults();
    const TEcu right = Defaults(); // equal values: only what is known may show as equal
    TSettingsKnown known = TSettingsKnown::Nothing();
    auto rows = CompareSettings(left, right, known);
    EXPECT_EQ(CountUnknown(rows), static_cast<int>(rows.size()));
    EXPECT_EQ(RowOf(rows, "Trigger Debounce").Right, kUnknownValue);
    EXPECT_EQ(RowOf(rows, "Trigger Debounce").Left, "1");

    // The controller answered the parameters, one feedback request, nine range slots and the cut
    // duration of first gear, then fell silent.
    const auto received = [&](TMessageType type, int index = 0, int upper = 0) {
        TQV3318MessageRec m;
        m.MsgType = type;
        m.Index = static_cast<std::uint8_t>(index);
        m.Upper = static_cast<std::uint16_t>(upper);
        known.NoteReceived(m);
    };
    received(mtParams);
    received(mtFeedback);
    for (int slot = 0; slot < 9; ++slot)
        received(mtRange, slot);
    received(mtSparkDelay, 2);
    // Indices beyond the tables and other messages are ignored.
    received(mtRange, 200);
    received(mtSparkDelay, 200);
    received(mtStatus, 9);
    EXPECT_FALSE(known.Ranges());
    rows = CompareSettings(left, right, known);
    const std::map<std::string, TCompareState> unknown = {
        {"Cut Duration (Second)", TCompareState::Unknown},
        {"Cut Duration (Third)", TCompareState::Unknown},
        {"Cut Duration (Fourth)", TCompareState::Unknown},
        {"Cut Duration (Fifth)", TCompareState::Unknown},
        {"Reverse Range", TCompareState::Unknown},
        {"Neutral Range", TCompareState::Unknown},
        {"First Range", TCompareState::Unknown},
        {"Second Range", TCompareState::Unknown},
        {"Third Range", TCompareState::Unknown},
        {"Fourth Range", TCompareState::Unknown},
        {"Fifth Range", TCompareState::Unknown},
        {"Sixth Range", TCompareState::Unknown},
    };
    EXPECT_EQ(NotEqual(rows), unknown);
    received(mtRange, 9);
    EXPECT_TRUE(known.Ranges());
    EXPECT_EQ(CountUnknown(CompareSettings(left, right, known)), 4);
    // A range for slot 0 that comes late clears the list the slots before it had filled; an
    // empty slot 0 clears nothing.
    received(mtRange, 0);
    EXPECT_TRUE(known.Ranges());
    received(mtRange, 0, 77);
    EXPECT_EQ(known.RangeSlots, std::bitset<kRangeSlots>(1));

    // Without the gear count, the left side's decides which cut durations are listed; a gear the
    // right side does not use needs no answer.
    TSettingsKnown noParams = TSettingsKnown();
    noParams.Params = false;
    TEcu fewer = Defaults();
    fewer.SetPositionCount(6);
    rows = CompareSettings(left, fewer, noParams);
    EXPECT_EQ(RowOf(rows, "Cut Duration (Fifth)").State, TCompareState::Same);
    EXPECT_EQ(RowOf(rows, "No. Of Forwards Gears").State, TCompareState::Unknown);
    TSettingsKnown noSparks = TSettingsKnown();
    noSparks.SparkDelays.reset();
    rows = CompareSettings(left, fewer, noSparks);
    EXPECT_EQ(RowOf(rows, "Cut Duration (Third)").State, TCompareState::Unknown);
    EXPECT_EQ(RowOf(rows, "Cut Duration (Fifth)").State, TCompareState::Different);
}

TEST(SettingsCompare, DifferingRowsComeFirstThenUnknownKeepingTheirOrder)
{
    const TEcu left = Defaults();
    TEcu right = Defaults();
    right.SparkDelays[6] = 1;
    right.Debounce = 7;
    TSettingsKnown known;
    known.Feedback = false;
    const auto rows = DifferingFirst(CompareSettings(left, right, known));
    ASSERT_GE(rows.size(), 7u);
    EXPECT_EQ(rows[0].Setting, "Trigger Debounce");
    EXPECT_EQ(rows[1].Setting, "Cut Duration (Fifth)");
    EXPECT_EQ(rows[2].Setting, "Cut After Blip");
    EXPECT_EQ(rows[6].Setting, "Gear Position Tolerance");
    EXPECT_EQ(rows[7].State, TCompareState::Same);
    EXPECT_EQ(rows[7].Setting, "Gearshift Trigger Method");
}

TEST(SettingsCompare, PlainTextTableMarksDifferingAndUnknownRows)
{
    std::vector<TCompareRow> rows(3);
    rows[0] = {TSettingField::Debounce, -1, "Trigger Debounce", "ms", "1", "3",
               TCompareState::Different};
    rows[1] = {TSettingField::GearShiftType,
               -1,
               "Gearshift Trigger Method",
               "",
               "Barrel Position",
               kUnknownValue,
               TCompareState::Unknown};
    rows[2] = {TSettingField::SparkDelay, 7, "Cut Duration (Sixth)", "ms", "70", "-",
               TCompareState::Same};
    EXPECT_EQ(ComparisonText(rows, "Tool", "ECU"),
              "  Setting                   Tool             ECU\n"
              "* Trigger Debounce          1 ms             3 ms\n"
              "? Gearshift Trigger Method  Barrel Position  unknown\n"
              "  Cut Duration (Sixth)      70 ms            -\n");
    EXPECT_EQ(ComparisonText({}, "Tool", ""), "  Setting  Tool\n");
}

TEST(SettingsCompare, TakingRowsCopiesOnlyTheirFields)
{
    const TEcu tool = Defaults();
    TEcu ecu = Defaults();
    ecu.Debounce = 9;
    ecu.Ignore = 30;
    ecu.SparkDelays[3] = 44;
    SetRange(ecu, 4, 500, 600, 550);
    ecu.Positions[4].Adc = 550;
    TGearData &second = ecu.Ranges.Add(); // a second range of the same gear
    second.Gear = 4;
    second.Lower = 0;
    second.Upper = 3;
    second.Adc = 1;
    const auto rows = CompareSettings(tool, ecu);
    ASSERT_EQ(CountDiffering(rows), 4);

    // Only the debounce and the range of third gear are chosen.
    TEcu taken = tool;
    for (const TCompareRow &row : rows) {
        if (row.Setting == "Trigger Debounce" || row.Setting == "Third Range") {
            EXPECT_TRUE(TakeSetting(taken, ecu, row));
        }
    }
    EXPECT_EQ(taken.Debounce, 9);
    EXPECT_EQ(taken.Positions[4].Adc, 550);
    EXPECT_EQ(
        NotEqual(CompareSettings(taken, ecu)),
        (std::map<std::string, TCompareState> {{"Trigger Mask", D}, {"Cut Duration (Second)", D}}));
    EXPECT_EQ(taken.Ranges.Count(), tool.Ranges.Count() + 1);

    // A range of a gear the model has no position for is refused, unless the number of gears
    // comes first; one that removes such a gear's range is not.
    ecu.SetPositionCount(6);
    TEcu fewer = taken;
    fewer.SetPositionCount(4); // drops the ranges of gears 4 and up
    const auto fewerRows = CompareSettings(fewer, ecu);
    const TEcu before = fewer;
    EXPECT_FALSE(TakeSetting(fewer, ecu, RowOf(fewerRows, "Third Range")));
    EXPECT_EQ(CountDiffering(CompareSettings(fewer, before)), 0);
    EXPECT_TRUE(TakeSetting(fewer, ecu, RowOf(fewerRows, "No. Of Forwards Gears")));
    EXPECT_TRUE(TakeSetting(fewer, ecu, RowOf(fewerRows, "Third Range")));
    TEcu beyond = ecu;
    beyond.Ranges.Add() = ecu.Ranges.Items(0); // a range kept as the controller sent it
    beyond.Ranges.Items(beyond.Ranges.Count() - 1).Gear = 7;
    EXPECT_TRUE(TakeSetting(beyond, ecu, RowOf(CompareSettings(beyond, ecu), "Sixth Range")));
    EXPECT_EQ(beyond.Ranges.Count(), ecu.Ranges.Count());
    // Nor the cut duration of an up-shift the other side does not have: it shows no value ("-"),
    // and the model's own was replaced by one never shown. With the number of gears taken first,
    // the model has no such up-shift either and keeps its value.
    TEcu more = ecu;
    more.SetPositionCount(8);
    more.SparkDelays[5] = 75;
    TEcu lessUsed = ecu;
    lessUsed.SparkDelays[5] = 31;
    const TCompareRow fourth = RowOf(CompareSettings(more, lessUsed), "Cut Duration (Fourth)");
    ASSERT_EQ(fourth.Right, "-");
    EXPECT_FALSE(TakeSetting(more, lessUsed, fourth));
    EXPECT_TRUE(TakeSetting(more, lessUsed,
                            RowOf(CompareSettings(more, lessUsed), "No. Of Forwards Gears")));
    EXPECT_TRUE(TakeSetting(more, lessUsed, fourth));
    EXPECT_EQ(more.SparkDelays[5], 75);

    // Every row taken leaves nothing different; the gear count goes through SetPositionCount.
    for (const TCompareRow &row : CompareSettings(taken, ecu)) {
        EXPECT_TRUE(TakeSetting(taken, ecu, row));
    }
    EXPECT_EQ(CountDiffering(CompareSettings(taken, ecu)), 0);
    EXPECT_EQ(taken.PositionCount, 6);

    // An unknown row is refused and changes nothing.
    TSettingsKnown known;
    known.Params = false;
    TEcu other = Defaults();
    other.Debounce = 2;
    const TCompareRow unknown = RowOf(CompareSettings(tool, other, known), "Trigger Debounce");
    TEcu untouched = tool;
    EXPECT_FALSE(TakeSetting(untouched, other, unknown));
    EXPECT_EQ(untouched.Debounce, 1);
}
