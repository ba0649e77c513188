#include "ecuSimulator.h"

#include "encdec.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// Decodes replies with the tool's own codec, as the tool would see them.
std::vector<TQV3318MessageRec> Decode(const std::string &bytes)
{
    std::vector<TQV3318MessageRec> out;
    TQV3318EncDec codec;
    codec.OnMessage = [&out](const TQV3318MessageRec &m) { out.push_back(m); };
    codec.Receive(bytes);
    return out;
}

TQV3318MessageRec DecodeOne(const std::string &bytes)
{
    const auto all = Decode(bytes);
    EXPECT_EQ(all.size(), 1u) << bytes;
    return all.empty() ? TQV3318MessageRec {} : all.front();
}

struct TExchange
{
    const char *Request;
    const char *Reply;
};

} // namespace

// Every request on the factory settings, with the exact line the controller answers.
TEST(EcuSimulator, AnswersEveryRequestTypeWithOneCrTerminatedLine)
{
    const TExchange rows[] = {
        {"@V\n", "@V010000\r"},
        {"@P\n", "@p5C070203640B3A64\r"},
        {"@F\n", "@f0306009614\r"},
        {"@R00\n", "@r0000006700890078\r"},
        {"@R06\n", "@r0606035703790368\r"},
        {"@R07\n", "@r07FF000000000000\r"},
        {"@R09\n", "@r09FF000000000000\r"},
        {"@D02\n", "@d026E\r"},
        {"@D06\n", "@d0600\r"},
        {"@D0A\n", "@d0A00\r"},
    };
    for (const TExchange &row : rows) {
        TEcuSimulator sim;
        EXPECT_EQ(sim.Receive(row.Request), row.Reply) << row.Request;
    }
}

TEST(EcuSimulator, StatusReplyDecodesToTheLiveState)
{
    TEcuSimulator sim;
    sim.Advance(250);
    const TSimStatus live = sim.Status();
    const std::string reply = sim.Receive("@S\n");
    ASSERT_EQ(reply.size(), 13u) << reply; // "@s", ten digits, CR
    EXPECT_EQ(reply.back(), '\r');
    const TQV3318MessageRec m = DecodeOne(reply);
    EXPECT_EQ(m.MsgType, mtStatus);
    EXPECT_EQ(m.Adc, live.Adc);
    EXPECT_EQ(m.AnalogueInput, live.AnalogueInput);
    EXPECT_EQ(m.Gear, live.Gear);
    EXPECT_EQ(m.StatusBits, live.StatusBits);
    EXPECT_EQ(m.Gear, 1) << "starts in neutral";
}

TEST(EcuSimulator, FramingFollowsTheToolsRules)
{
    const TExchange rows[] = {
        {"@V\r\n", "@V010000\r"}, // CR LF is one line end
        {"@V\r", "@V010000\r"},
        {"noise@V\n", "@V010000\r"}, // bytes before "@" are ignored
        {"@S@V\n", "@V010000\r"}, // "@" restarts the line
        {"@V\n@F\n", "@V010000\r@f0306009614\r"},
        {"@\n", ""},
        {"@Z\n", ""}, // no such letter
        {"@L\n", ""}, // a known type the controller does not answer
        {"@R0000000000000000000\n", ""}, // 19 characters: dropped
        {"@R0000000000000000000V\n@V\n", "@V010000\r"}, // ignored up to the next "@"
        {"@v\n", ""}, // letters are case-sensitive
    };
    for (const TExchange &row : rows) {
        TEcuSimulator sim;
        EXPECT_EQ(sim.Receive(row.Request), row.Reply) << row.Request;
    }
    // Any chunking gives the same answer.
    TEcuSimulator sim;
    std::string replies;
    for (const char c : std::string("@R00\n@D03\n"))
        replies += sim.Receive(std::string(1, c));
    EXPECT_EQ(replies, "@r0000006700890078\r@d035F\r");
}

TEST(EcuSimulator, WrittenValuesAreTakenOverWithoutReplyAndReadBack)
{
    const struct
    {
        const char *Write;
        const char *Read;
        const char *Expected;
    } rows[] = {
        {"@p4E0801017D0E457D\n", "@P\n", "@p4E0801017D0E457D\r"},
        {"@f0005006400\n", "@F\n", "@f0005006400\r"},
        {"@r0000004600620054\n", "@R00\n", "@r0000004600620054\r"},
        {"@r0907035C037A036B\n", "@R09\n", "@r0907035C037A036B\r"},
        {"@d027D\n", "@D02\n", "@d027D\r"},
        {"@d0AFA\n", "@D0A\n", "@d0AFA\r"},
        {"@r03ff000000000000\n", "@R03\n", "@r03FF000000000000\r"}, // lower-case digits
    };
    for (const auto &row : rows) {
        TEcuSimulator sim;
        EXPECT_EQ(sim.Receive(row.Write), "") << row.Write;
        EXPECT_EQ(sim.Receive(row.Read), row.Expected) << row.Write;
    }
}

TEST(EcuSimulator, RangeWithGear255AndZeroBoundsEmptiesTheSlot)
{
    TEcuSimulator sim;
    // Even with a position left in it the slot is empty and reads back all zero.
    sim.Receive("@r02FF000000000123\n");
    EXPECT_TRUE(sim.Settings().Ranges[2].IsEmpty());
    EXPECT_EQ(sim.Receive("@R02\n"), "@r02FF000000000000\r");
    EXPECT_EQ(DecodeOne(sim.Receive("@R02\n")).Upper, 0) << "the tool skips a slot with Upper 0";
    EXPECT_EQ(sim.GearPosition(2), -1) << "first gear lost its only range";
}

TEST(EcuSimulator, IndicesBeyondTheSlotsAreIgnored)
{
    const char *lines[] = {
        "@R0A\n",   "@RFF\n",  "@D0B\n", "@DFF\n", "@r0A02001400300024\n", "@rFF02001400300024\n",
        "@d0B10\n", "@dFF10\n"};
    for (const char *line : lines) {
        TEcuSimulator sim;
        const TSimSettings before = sim.Settings();
        EXPECT_EQ(sim.Receive(line), "") << line;
        EXPECT_EQ(sim.Settings(), before) << line;
        EXPECT_EQ(sim.LinesReceived(), 1) << line;
    }
}

TEST(EcuSimulator, RestartResetsTheLiveStateButKeepsTheSettings)
{
    TEcuSimulator sim;
    sim.Receive("@p4E0801017D0E457D\n@d0450\n");
    const TSimSettings written = sim.Settings();
    sim.Advance(5000);
    EXPECT_EQ(sim.Receive("@X\n"), "");
    EXPECT_EQ(sim.Restarts(), 1);
    EXPECT_EQ(sim.ElapsedMs(), 0);
    EXPECT_EQ(sim.Settings(), written);
    EXPECT_EQ(sim.Status().Gear, 1);
    EXPECT_EQ(sim.Status().StatusBits, 0);
    EXPECT_EQ(sim.Receive("@P\n"), "@p4E0801017D0E457D\r");
}

TEST(EcuSimulator, VersionIsTheToolsOwnUnlessSetAndNarrowedToTwoDigits)
{
    TEcuSimulator sim;
    EXPECT_EQ(DecodeOne(sim.Receive("@V\n")).VersionText, "v 1.0.0");
    sim.SetVersion(1, 2, 3);
    EXPECT_EQ(sim.Receive("@V\n"), "@V010203\r");
    sim.SetVersion(300, -4, 255);
    EXPECT_EQ(sim.Receive("@V\n"), "@VFF00FF\r");
}

TEST(EcuSimulator, FactorySettingsDifferFromTheToolsDefaults)
{
    const TSimSettings s = SimFactorySettings();
    EXPECT_NE(s.Params.PositionCount, 8);
    EXPECT_NE(s.Params.GearThresholdUpper, 78);
    EXPECT_NE(s.Params.GearThresholdLower, 69);
    EXPECT_NE(s.Feedback.Window, 5);
    EXPECT_NE(s.CutDurations[2], 125);
    EXPECT_NE(s.Ranges[0].Adc, 84);
    // Every gear in use has one range around its position; the rest of the slots are empty.
    for (int slot = 0; slot < kRangeSlots; ++slot) {
        const TSimRange &r = s.Ranges[static_cast<std::size_t>(slot)];
        if (slot < s.Params.PositionCount) {
            EXPECT_EQ(r.Gear, slot);
            EXPECT_LT(r.Lower, r.Adc);
            EXPECT_GT(r.Upper, r.Adc);
        } else {
            EXPECT_TRUE(r.IsEmpty()) << slot;
        }
    }
}

namespace {

struct TSample
{
    long long Ms;
    TSimStatus Status;
};

std::vector<TSample> Record(TEcuSimulator &sim, int totalMs, int stepMs)
{
    std::vector<TSample> out;
    for (int t = 0; t < totalMs; t += stepMs) {
        sim.Advance(stepMs);
        out.push_back({sim.ElapsedMs(), sim.Status()});
    }
    return out;
}

// The gears dwelt in, in order, collapsing repeats and the neutral readings between ranges.
std::vector<int> GearsVisited(const std::vector<TSample> &samples)
{
    std::vector<int> out;
    for (const TSample &s : samples) {
        if (s.Status.StatusBits != 0)
            continue; // moving
        if (out.empty() || out.back() != s.Status.Gear)
            out.push_back(s.Status.Gear);
    }
    return out;
}

} // namespace

TEST(EcuSimulator, WalkShiftsUpThroughTheGearsThenDownAndTheGearFollowsTheRange)
{
    TEcuSimulator sim;
    const auto samples = Record(sim, 60'000, 20);
    const std::vector<int> route = sim.WalkRoute();
    EXPECT_EQ(route, (std::vector<int> {1, 2, 3, 4, 5, 6, 5, 4, 3, 2, 1, 0}));

    const std::vector<int> visited = GearsVisited(samples);
    ASSERT_GE(visited.size(), route.size() + 1);
    for (std::size_t i = 0; i < visited.size(); ++i)
        EXPECT_EQ(visited[i], route[i % route.size()]) << "visit " << i;

    int largestStep = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const TSimStatus &s = samples[i].Status;
        EXPECT_EQ(s.Gear, sim.GearAt(s.Adc)) << "at " << samples[i].Ms << " ms";
        if (i > 0)
            largestStep = std::max(largestStep, std::abs(s.Adc - samples[i - 1].Status.Adc));
    }
    // Smooth travel: the longest move (about 130 counts in 400 ms) never jumps in 20 ms.
    EXPECT_LE(largestStep, 16);
}

TEST(EcuSimulator, DwellsASecondOrTwoInEachGear)
{
    TEcuSimulator sim;
    const auto samples = Record(sim, 40'000, 10);
    long long stillSince = 0;
    std::vector<long long> dwells;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        const bool moving = samples[i].Status.StatusBits != 0;
        const bool wasMoving = samples[i - 1].Status.StatusBits != 0;
        if (moving && !wasMoving)
            dwells.push_back(samples[i].Ms - stillSince);
        if (!moving && wasMoving)
            stillSince = samples[i].Ms;
    }
    ASSERT_GE(dwells.size(), 10u);
    for (const long long ms : dwells) {
        EXPECT_GE(ms, TEcuSimulator::kDwellMinMs - 20);
        EXPECT_LE(ms, TEcuSimulator::kDwellMaxMs + 20);
    }
}

TEST(EcuSimulator, StatusBitsShowTriggerAndCutOnUpshiftsTriggerAndBlipOnDownshifts)
{
    TEcuSimulator sim;
    const auto samples = Record(sim, 30'000, 10);
    // Collect the bits seen between two dwells and classify each shift by its direction.
    std::set<int> upBits, downBits;
    int from = 1;
    std::uint8_t seen = 0;
    for (const TSample &s : samples) {
        if (s.Status.StatusBits != 0) {
            seen |= s.Status.StatusBits;
            continue;
        }
        if (seen != 0) {
            const int to = s.Status.Gear;
            if (from >= 2 && to >= 2)
                (to > from ? upBits : downBits).insert(seen);
            from = to;
            seen = 0;
        } else {
            from = s.Status.Gear;
        }
    }
    ASSERT_FALSE(upBits.empty());
    ASSERT_FALSE(downBits.empty());
    for (const int bits : upBits)
        EXPECT_EQ(bits, kStatusUpshift | kStatusCut);
    // Down-shifts blip and, with cut after blip on, cut briefly after it.
    for (const int bits : downBits)
        EXPECT_EQ(bits, kStatusDownshift | kStatusBlip | kStatusCut);
}

TEST(EcuSimulator, CutFollowsTheStoredStrategy)
{
    // Open loop: the cut lasts the duration stored for the gear being left.
    TEcuSimulator sim;
    sim.Receive("@f0006009600\n"); // no feedback, no cut after blip
    sim.Receive("@d0232\n"); // 50 ms out of first gear
    sim.HoldGear(2);
    sim.Advance(3000);
    ASSERT_TRUE(sim.HoldGear(3));
    sim.Advance(TEcuSimulator::kTriggerLeadMs);
    int cutMs = 0;
    bool blip = false;
    for (int t = 0; t < TEcuSimulator::kShiftMoveMs; ++t) {
        cutMs += (sim.Status().StatusBits & kStatusCut) ? 1 : 0;
        sim.Advance(1);
    }
    EXPECT_EQ(cutMs, 50);
    // No cut after blip: a down-shift shows no cut at all.
    ASSERT_TRUE(sim.HoldGear(2));
    for (int t = 0; t < TEcuSimulator::kTriggerLeadMs + TEcuSimulator::kShiftMoveMs; ++t) {
        EXPECT_FALSE(sim.Status().StatusBits & kStatusCut);
        blip = blip || (sim.Status().StatusBits & kStatusBlip);
        sim.Advance(1);
    }
    EXPECT_TRUE(blip);
}

TEST(EcuSimulator, HeldGearStaysUntilTheWalkResumes)
{
    TEcuSimulator sim;
    ASSERT_TRUE(sim.HoldGear(5)); // fourth gear
    EXPECT_FALSE(sim.Walking());
    sim.Advance(1000);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(sim.Status().Gear, 5);
        EXPECT_EQ(sim.Status().StatusBits, 0);
        sim.Advance(1000);
    }
    EXPECT_FALSE(sim.HoldGear(8)) << "no seventh gear in a five-speed box";
    EXPECT_FALSE(sim.HoldGear(11));
    EXPECT_FALSE(sim.HoldGear(-1));
    EXPECT_EQ(sim.Status().Gear, 5);

    sim.ResumeWalk();
    EXPECT_TRUE(sim.Walking());
    sim.Advance(TEcuSimulator::kDwellMaxMs + TEcuSimulator::kTriggerLeadMs
                + TEcuSimulator::kShiftMoveMs);
    EXPECT_EQ(sim.Status().Gear, 6) << "the walk carries on to a neighbouring gear";
}

TEST(EcuSimulator, NeutralWithoutARangeRestsOutsideEveryRange)
{
    TEcuSimulator sim;
    sim.Receive("@r01FF000000000000\n"); // neutral's slot emptied
    ASSERT_TRUE(sim.HoldGear(1));
    sim.Advance(1000);
    const TSimStatus s = sim.Status();
    EXPECT_EQ(s.Gear, 1);
    for (const TSimRange &r : sim.Settings().Ranges) {
        if (!r.IsEmpty()) {
            EXPECT_TRUE(s.Adc < r.Lower || s.Adc > r.Upper) << int(r.Gear);
        }
    }
}

TEST(EcuSimulator, WalkUsesRangesWrittenByTheTool)
{
    // The tool's default calibration: six forward gears at its own positions.
    const int positions[] = {84, 228, 340, 452, 572, 700, 824, 940};
    TEcuSimulator sim;
    for (int slot = 0; slot < kRangeSlots; ++slot) {
        TQV3318MessageRec m;
        m.MsgType = mtRange;
        m.Index = static_cast<std::uint8_t>(slot);
        m.Gear = kEmptyRangeGear;
        if (slot < 8) {
            m.Gear = static_cast<std::uint8_t>(slot);
            m.Adc = static_cast<std::uint16_t>(positions[slot]);
            m.Lower = static_cast<std::uint16_t>(positions[slot] - 14);
            m.Upper = static_cast<std::uint16_t>(positions[slot] + 14);
        }
        sim.Receive(TQV3318EncDec().Encode(m));
    }
    EXPECT_EQ(sim.WalkRoute(), (std::vector<int> {1, 2, 3, 4, 5, 6, 7, 6, 5, 4, 3, 2, 1, 0}));
    const auto samples = Record(sim, 40'000, 20);
    std::set<int> gears;
    for (const TSample &s : samples) {
        gears.insert(s.Status.Gear);
        // The barrel stays where it was until the first shift after the new calibration.
        if (s.Status.StatusBits == 0 && s.Ms > 3000) {
            EXPECT_NEAR(s.Status.Adc, positions[s.Status.Gear], 1) << "at " << s.Ms << " ms";
        }
    }
    EXPECT_EQ(gears, (std::set<int> {0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST(EcuSimulator, SameAdvanceCallsGiveTheSameStatusSequence)
{
    TEcuSimulator a, b;
    for (int i = 0; i < 2000; ++i) {
        const int step = 1 + (i * 7) % 45;
        a.Advance(step);
        b.Advance(step);
        ASSERT_EQ(a.Receive("@S\n"), b.Receive("@S\n")) << i;
    }
    // Chunking of time does not matter either.
    TEcuSimulator c, d;
    c.Advance(12'345);
    for (int i = 0; i < 12'345; ++i)
        d.Advance(1);
    EXPECT_EQ(c.Receive("@S\n"), d.Receive("@S\n"));
}

TEST(EcuSimulator, LoadCellRisesPastTheThresholdDuringAShift)
{
    TEcuSimulator sim;
    int restMax = 0, shiftMax = 0;
    for (const TSample &s : Record(sim, 20'000, 10)) {
        int &slot = s.Status.StatusBits ? shiftMax : restMax;
        slot = std::max<int>(slot, s.Status.AnalogueInput);
    }
    const TSimParams &p = sim.Settings().Params;
    EXPECT_LT(restMax, std::min(p.GearThresholdLower, p.GearThresholdUpper));
    EXPECT_GT(shiftMax, std::max(p.GearThresholdLower, p.GearThresholdUpper));
}
