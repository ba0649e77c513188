#include "rangeCheck.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TGearDataList Ranges(std::initializer_list<std::array<int, 3>> ranges)
{
    TGearDataList list;
    for (const auto &[gear, lower, upper] : ranges) {
        TGearData &r = list.Add();
        r.Gear = static_cast<std::uint8_t>(gear);
        r.Lower = lower;
        r.Upper = upper;
    }
    return list;
}

double Deg(double counts)
{
    return counts * 360.0 / 1023.0;
}

// Feeds readings 100 ms apart.
struct TScriptedRun
{
    TGearRangeCheck Check;
    std::int64_t Ms = 0;

    void Hold(int gear, std::initializer_list<int> adcs, std::uint8_t bits = 0)
    {
        for (int adc : adcs) {
            Check.Add(
                {Ms, static_cast<std::uint16_t>(adc), static_cast<std::uint8_t>(gear), 0, bits});
            Ms += 100;
        }
    }
};

const TGearRangeResult *Find(const std::vector<TGearRangeResult> &results, int gear)
{
    for (const TGearRangeResult &r : results)
        if (r.Gear == gear)
            return &r;
    return nullptr;
}

} // namespace

TEST(GearRangeCheck, ScriptedRunGivesFiguresPerGearAndMarksTheOnesThatLeftOrNeared)
{
    const TGearDataList ranges
        = Ranges({{1, 100, 140}, {2, 200, 260}, {3, 300, 340}, {4, 400, 440}});
    TScriptedRun run;
    // Neutral: the first two readings after arriving are settling and not counted.
    run.Hold(1, {90, 95, 118, 121, 119, 124});
    run.Hold(1, {130, 180}, 0x01); // trigger and barrel travel: not at rest
    run.Hold(2, {199, 262, 230, 235, 255, 263}); // first gear drifts out of its range to 263
    run.Hold(2, {250}, 0x04);
    run.Hold(3, {320, 320, 320, 323, 337, 336}); // second gear comes within 2 degrees of its top
    run.Ms += 5000; // link gap: the count starts again
    run.Hold(3, {299, 299, 321, 322});
    run.Hold(9, {900, 900, 900, 900}); // a gear with no range
    const auto results = run.Check.Results(ranges, 2.0);

    const TGearRangeResult *n = Find(results, 1);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->Readings, 4);
    EXPECT_DOUBLE_EQ(n->LowestDeg, Deg(118));
    EXPECT_DOUBLE_EQ(n->MedianDeg, (Deg(119) + Deg(121)) / 2);
    EXPECT_DOUBLE_EQ(n->HighestDeg, Deg(124));
    EXPECT_DOUBLE_EQ(n->MarginDeg, Deg(16)); // 124 is 16 counts below 140
    EXPECT_EQ(n->Outside, 0);
    EXPECT_FALSE(n->Marked);

    const TGearRangeResult *first = Find(results, 2);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Readings, 4);
    EXPECT_DOUBLE_EQ(first->MedianDeg, (Deg(235) + Deg(255)) / 2);
    EXPECT_DOUBLE_EQ(first->HighestDeg, Deg(263));
    EXPECT_DOUBLE_EQ(first->MarginDeg, -Deg(3));
    EXPECT_EQ(first->Outside, 1);
    EXPECT_TRUE(first->Marked);

    const TGearRangeResult *second = Find(results, 3);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->Readings, 6); // 320, 323, 337, 336 and after the gap 321, 322; not 299
    EXPECT_DOUBLE_EQ(second->MarginDeg, Deg(3));
    EXPECT_LT(second->MarginDeg, 2.0);
    EXPECT_TRUE(second->Marked);
    // With a smaller chosen margin it passes.
    EXPECT_FALSE(Find(run.Check.Results(ranges, 1.0), 3)->Marked);

    const TGearRangeResult *third = Find(results, 4); // a range but never driven
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->Readings, 0);
    EXPECT_FALSE(third->Marked);

    const TGearRangeResult *x = Find(results, 9);
    ASSERT_NE(x, nullptr);
    EXPECT_FALSE(x->HasRange);
    EXPECT_TRUE(x->Marked);
    EXPECT_EQ(Find(results, 0), nullptr); // reverse: no range, no readings
}

TEST(GearRangeCheck, ARangeWrappingRoundTheScaleHasNoEdgeAtTheJoin)
{
    const TGearDataList ranges = Ranges({{0, 1000, 1023}, {0, 0, 20}});
    TScriptedRun run;
    run.Hold(0, {1010, 1010, 1010, 1021, 3});
    auto results = run.Check.Results(ranges, 0.5);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].Readings, 3);
    EXPECT_DOUBLE_EQ(results[0].MarginDeg, Deg(10)); // 1010 from 1000; 1021 and 3 are far inside
    EXPECT_FALSE(results[0].Marked);
    // The figures run on across the join: 1010, 1021, 3.
    EXPECT_DOUBLE_EQ(results[0].LowestDeg, Deg(1010));
    EXPECT_DOUBLE_EQ(results[0].MedianDeg, Deg(1021));
    EXPECT_NEAR(results[0].HighestDeg, Deg(3), 1e-9);

    // An even count whose middle pair straddles the join, and a reading beyond each far edge.
    run.Hold(0, {5, 30, 33, 990, 992});
    results = run.Check.Results(ranges, 0.5);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_NEAR(results[0].MedianDeg, Deg(0.5), 1e-9); // between 1021 and 3
    EXPECT_DOUBLE_EQ(results[0].LowestDeg, Deg(990));
    EXPECT_NEAR(results[0].HighestDeg, Deg(33), 1e-9);
    EXPECT_EQ(results[0].Outside, 4);
    EXPECT_DOUBLE_EQ(results[0].MarginDeg, Deg(-13));

    // One range round the whole scale has no edge at all.
    results = run.Check.Results(Ranges({{0, 0, 1023}}), 0.5);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_DOUBLE_EQ(results[0].MarginDeg, Deg(512));
    EXPECT_FALSE(results[0].Marked);
}

// A reply with one digit changed on the line reads 16 or 256 counts off.
TEST(GearRangeCheck, AReadingAgreeingWithNeitherItsRunNorTheNextIsLeftOut)
{
    const TGearDataList ranges
        = Ranges({{4, 400, 440}, {0, 1000, 1023}, {0, 0, 20}, {5, 0, 20}, {6, 500, 540}});
    TScriptedRun run;
    // 676 and 388 stand alone; 422 and 425 after them agree with the readings kept before; 437
    // lies exactly kAgreeCounts above 425; 450, one count further, is the run's last reading.
    run.Hold(4, {420, 420, 420, 421, 676, 422, 388, 425, 437, 450});
    // A step to a new resting place counts from its first reading once the next one confirms it.
    run.Hold(4, {0x10}, 0x02);
    run.Hold(4, {300, 300, 300, 302, 410, 412});
    // Three left out of 30 readings at rest is still a noisy line, not an unsteady barrel.
    for (int i = 0; i < 18; ++i)
        run.Hold(4, {415});
    // A barrel that does not rest: every reading jumps, and all of them count.
    run.Hold(6, {520, 520, 520, 505, 530, 506, 531, 507, 545});
    // Across the join of a wrapping range: 1018 and 7 are 12 counts apart round the scale.
    run.Hold(0, {1018, 1018, 1018, 7, 20, 1010, 1017});
    // A hand-edited log's reading beyond the scale has no way round to 5.
    run.Hold(5, {5, 5, 5, 1030});
    const auto results = run.Check.Results(ranges, 1.0);

    const TGearRangeResult *fourth = Find(results, 4);
    ASSERT_NE(fourth, nullptr);
    EXPECT_EQ(fourth->Readings, 27); // 420 421 422 425 437, 300 302 410 412, 18 × 415
    EXPECT_EQ(fourth->LeftOut, 3);
    EXPECT_DOUBLE_EQ(fourth->LowestDeg, Deg(300));
    EXPECT_DOUBLE_EQ(fourth->HighestDeg, Deg(437));
    EXPECT_EQ(fourth->Outside, 2); // 300 and 302 before the step, not 676, 388 or 450
    EXPECT_FALSE(fourth->Unsteady);

    const TGearRangeResult *sixth = Find(results, 6);
    ASSERT_NE(sixth, nullptr);
    EXPECT_TRUE(sixth->Unsteady);
    EXPECT_EQ(sixth->Readings, 7);
    EXPECT_EQ(sixth->LeftOut, 0);
    EXPECT_EQ(sixth->Outside, 1); // 545

    const TGearRangeResult *reverse = Find(results, 0);
    ASSERT_NE(reverse, nullptr);
    EXPECT_EQ(reverse->Readings, 4); // 1018 7 1010 1017; 20 is 13 from 7
    EXPECT_EQ(reverse->LeftOut, 1);
    EXPECT_EQ(reverse->Outside, 0);

    const TGearRangeResult *fifth = Find(results, 5);
    ASSERT_NE(fifth, nullptr);
    EXPECT_EQ(fifth->Readings, 0);
    EXPECT_EQ(fifth->LeftOut, 2);
}

TEST(GearRangeCheck, RangesAndTriggerTravelInMarkersAndComeBackTheSame)
{
    TGearDataList ranges = Ranges({{1, 100, 140}, {0, 1000, 1023}, {0, 0, 20}});
    ranges.Items(0).Adc = 120;
    ranges.Items(1).Adc = 1015;
    const std::string text = FormatRangesEvent(ranges);
    EXPECT_EQ(text, "ranges 1:100-140@120 0:1000-1023@1015 0:0-20@0");
    TGearDataList back;
    ASSERT_TRUE(ParseRangesEvent(text, back));
    ASSERT_EQ(back.Count(), 3);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(back.Items(k).Gear, ranges.Items(k).Gear);
        EXPECT_EQ(back.Items(k).Lower, ranges.Items(k).Lower);
        EXPECT_EQ(back.Items(k).Upper, ranges.Items(k).Upper);
        EXPECT_EQ(back.Items(k).Adc, ranges.Items(k).Adc);
    }
    EXPECT_TRUE(ParseRangesEvent("ranges", back));
    EXPECT_EQ(back.Count(), 0);
    // A gear past the last slot is left out; the others still count.
    ASSERT_TRUE(ParseRangesEvent("ranges 11:1-2@3 10:500-540@520 255:7-8@9", back));
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back.Items(0).Gear, 10);
    EXPECT_EQ(back.Items(0).Upper, 540);
    for (const char *bad : {"link up", "ranges 1:100-140", "ranges 11:1-2", "ranges 1:1-2@3x",
                            "ranges  1:1-2@3", "ranges 1:1-2@70000"}) {
        TGearDataList kept = ranges;
        EXPECT_FALSE(ParseRangesEvent(bad, kept)) << bad;
        EXPECT_EQ(kept.Count(), 3) << bad;
    }

    // The trigger settings beside them: an out-of-range value logged as the controller held it.
    const TLogTrigger trigger {2, 144, -3, 300};
    EXPECT_EQ(FormatTriggerEvent(trigger), "trigger 2 144 -3 300");
    TLogTrigger readTrigger;
    ASSERT_TRUE(ParseTriggerEvent("trigger 2 144 -3 300", readTrigger));
    EXPECT_EQ(readTrigger, trigger);
    for (const char *bad : {"trigger 1 78 69", "trigger 1 78 69 14 5", "trigger 1 78 69 14x",
                            "trigger  1 78 69 14", "triggers 1 78 69 14", "ranges"}) {
        TLogTrigger kept = trigger;
        EXPECT_FALSE(ParseTriggerEvent(bad, kept)) << bad;
        EXPECT_EQ(kept, trigger) << bad;
    }
}

// Readings count for the last ranges from where the controller was found to run with others.
TEST(GearRangeCheck, ARunsReadingsCountFromTheLastChangeOfTheControllersRanges)
{
    const std::string a = "ranges 1:100-140@120";
    const std::string b = "ranges 1:110-150@130";
    const std::string read(kSettingsReadEvent);
    const std::string written(kSettingsWrittenEvent);
    const std::string failed = written + std::string(kTransferFailedSuffix);
    const std::string readFailed = read + std::string(kTransferFailedSuffix);
    struct TCase
    {
        const char *name;
        std::vector<std::string> events; // one a second
        std::optional<std::int64_t> fromMs;
        std::optional<std::int64_t> untilMs = std::nullopt;
        bool beforeUnknown = false;
    };
    const std::string known = std::string(kSettingsKnownEvent) + ": " + a;
    const TCase cases[] = {
        {"nothing known before the write", {"logging started", a, written, a}, 3000, {}, true},
        {"known at the start, the same written", {"logging started", a, known, written, a}, {}},
        {"known at the start, other ones written", {known, written, b}, 2000},
        {"known only as one marker",
         {"logging started", a, std::string(kSettingsKnownEvent), a, written, a},
         5000,
         {},
         true},
        {"a first read finds what ran before", {"logging started", a, read, b}, std::nullopt},
        {"a failed write before anything was told", {failed, read, b}, 0, {}, true},
        {"read, then other ranges written", {read, a, written, b}, 3000},
        {"read, then the same ranges written", {read, a, written, a}, std::nullopt},
        {"a read of what was written is no change",
         {read, a, written, b, read, b, written, b},
         3000},
        {"an opened profile changes nothing in the controller",
         {read, a, "profile opened: x.ini", b, written, b},
         5000},
        {"written back", {read, a, written, b, written, a}, 5000},
        {"a read finds other ranges", {read, a, read, b}, 3000},
        // A write that failed may have left any mix of ranges in the controller.
        {"a failed write, then nothing told", {read, a, failed}, std::nullopt, 2000},
        {"a read finds what a failed write left", {read, a, failed, read, b}, 2000},
        {"a read finds a failed write changed nothing", {read, a, failed, read, a}, std::nullopt},
        {"a read after two failed writes", {read, a, failed, failed, read, a}, 3000},
        {"a write after a failed one", {read, a, failed, written, a}, 4000},
        {"a failed read changes nothing", {read, a, readFailed, read, a}, std::nullopt},
        {"a failed write after a read that ended the last",
         {read, a, failed, read, b, failed},
         2000,
         5000},
    };
    for (const TCase &c : cases) {
        std::vector<TLogMarker> markers;
        for (const std::string &e : c.events)
            markers.push_back({"2026-12-09T10:00:0" + std::to_string(markers.size()) + ".250",
                               static_cast<std::int64_t>(markers.size()) * 1000, e});
        const TRunRanges run = RangesOfRun(markers);
        const auto at = [&markers](std::int64_t ms) {
            return markers[static_cast<std::size_t>(ms / 1000)].Time;
        };
        EXPECT_TRUE(run.Known) << c.name;
        const auto last
            = std::find_if(c.events.rbegin(), c.events.rend(),
                           [](const std::string &e) { return e.starts_with("ranges"); });
        EXPECT_EQ(FormatRangesEvent(run.Ranges), *last) << c.name;
        EXPECT_EQ(run.FromMs, c.fromMs) << c.name;
        EXPECT_EQ(run.FromTime, c.fromMs ? at(*c.fromMs) : "") << c.name;
        EXPECT_EQ(run.UntilMs, c.untilMs) << c.name;
        EXPECT_EQ(run.UntilTime, c.untilMs ? at(*c.untilMs) : "") << c.name;
        EXPECT_EQ(run.BeforeUnknown, c.beforeUnknown) << c.name;
    }
    // A profile opened after the last transfer is not what the readings were driven with.
    const TRunRanges opened = RangesOfRun({{"", 0, read},
                                           {"", 0, a},
                                           {"", 1000, read},
                                           {"", 1000, b},
                                           {"", 2000, "profile opened: y.ini"},
                                           {"", 2000, a}});
    EXPECT_EQ(FormatRangesEvent(opened.Ranges), b);
    EXPECT_EQ(opened.FromMs, 1000);
    EXPECT_FALSE(RangesOfRun({{"", 0, read}, {"", 0, "link up"}}).Known);
}
