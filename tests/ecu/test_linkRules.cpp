#include "linkRules.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

std::string Letters(const TMessageList &messages)
{
    TQV3318EncDec codec;
    std::string lines;
    for (const TQV3318MessageRec &m : messages) {
        const std::string line = codec.Encode(m);
        lines += line.substr(1, line.size() - 2) + ' ';
    }
    return lines;
}

} // namespace

TEST(LinkRules, PollAsksForTheVersionWhileDownAndTheStatusWhileUp)
{
    EXPECT_EQ(PollType(false), mtVersion);
    EXPECT_EQ(PollType(true), mtStatusRequest);
}

TEST(LinkRules, LinkIsLostAtTheSecondTickWithoutAMessage)
{
    int missed = 0;
    EXPECT_FALSE(LinkTick(missed, TLinkDemand::Answer));
    EXPECT_EQ(missed, 1);
    EXPECT_TRUE(LinkTick(missed, TLinkDemand::NoLine));
    EXPECT_TRUE(LinkTick(missed, TLinkDemand::Answer))
        << "every further tick while down repeats the verdict";
    missed = 0; // a decoded message
    EXPECT_FALSE(LinkTick(missed, TLinkDemand::Answer));
    // Silence after nothing but writes is not counted, before or after a miss.
    EXPECT_FALSE(LinkTick(missed, TLinkDemand::QuietOnly));
    EXPECT_EQ(missed, 1);
    EXPECT_TRUE(LinkTick(missed, TLinkDemand::NotSent));
}

// Settings written and the reset, all of them sent, are taken in silence: a tick's time that saw
// them excuses the silence, also of the polls after them.
TEST(LinkRules, ALinkTickAsksForAnAnswerUnlessQuietLinesLeft)
{
    struct Row
    {
        std::vector<std::pair<const char *, bool>> lines; // line, sent
        TLinkDemand demand;
    };
    const std::vector<Row> rows {
        {{}, TLinkDemand::NoLine},
        {{{"@p4E08010A0A05202F\n", true}, {"@r0002006700890078\n", true}}, TLinkDemand::QuietOnly},
        {{{"@f0114000A32\n", true}, {"@d020A\n", true}, {"@X\n", true}}, TLinkDemand::QuietOnly},
        {{{"@d020A\n", true}, {"@S\n", true}}, TLinkDemand::QuietOnly},
        {{{"@S\n", true}, {"@S\n", true}}, TLinkDemand::Answer},
        {{{"@V\n", true}, {"@r0002006700890078\n", true}}, TLinkDemand::QuietOnly},
        {{{"@R00\n", true}}, TLinkDemand::Answer},
        {{{"@P\n", true}}, TLinkDemand::Answer},
        {{{"@F\n", true}}, TLinkDemand::Answer},
        {{{"@D02\n", true}}, TLinkDemand::Answer},
        {{{"@d020A\n", true}, {"@d030A\n", false}}, TLinkDemand::NotSent},
        {{{"@S\n", false}, {"@d030A\n", true}}, TLinkDemand::NotSent},
        {{{"@\n", true}}, TLinkDemand::Answer},
    };
    for (const Row &row : rows) {
        TLinkDemand demand = TLinkDemand::NoLine;
        std::string trace;
        for (const auto &[line, sent] : row.lines) {
            demand = WithLineTaken(demand, line, sent);
            trace += line;
        }
        EXPECT_EQ(demand, row.demand) << trace;
    }
}

TEST(LinkRules, VersionsMatchOnMajorAndMinorOnly)
{
    EXPECT_TRUE(VersionsMatch(1, 3, 1, 3));
    EXPECT_FALSE(VersionsMatch(1, 3, 1, 2));
    EXPECT_FALSE(VersionsMatch(1, 3, 3, 1)) << "numbers swapped";
    EXPECT_FALSE(VersionsMatch(2, 3, 1, 3));
    EXPECT_FALSE(VersionsMatch(1, 0, 0, 0)) << "no version reply counts as 0.0";
}

TEST(LinkRules, StepRunsWithAtMostOneLineWaitingAndCountsTowardZero)
{
    EXPECT_TRUE(TransferStepReady(0));
    EXPECT_TRUE(TransferStepReady(1));
    EXPECT_FALSE(TransferStepReady(2));
    std::vector<int> read {kReadFirstStep};
    while (read.back() != 0)
        read.push_back(NextTransferStep(read.back()));
    EXPECT_EQ(read, (std::vector<int> {3, 2, 1, 0}));
    std::vector<int> write {kWriteFirstStep};
    while (write.back() != 0)
        write.push_back(NextTransferStep(write.back()));
    EXPECT_EQ(write, (std::vector<int> {-3, -2, -1, 0}));
    EXPECT_EQ(NextTransferStep(0), 0);
}

// With six forward gears the read asks P, F, R00..R09, F, D02..D06; the write sends the ranges,
// empty slots up to 9 and the cut durations up to the position count.
TEST(LinkRules, StepLinesFollowTheSequences)
{
    TEcu ecu;
    ecu.SetPositionCount(8);
    const int rows = GridRowCountFor(ecu.PositionCount);
    EXPECT_EQ(rows, 9);
    std::string read;
    for (int step = kReadFirstStep; step != 0; step = NextTransferStep(step))
        read += Letters(TransferStepLines(step, ecu, rows));
    EXPECT_EQ(read, "P F R00 R01 R02 R03 R04 R05 R06 R07 R08 R09 F D02 D03 D04 D05 D06 ");

    TGearData &range = ecu.Ranges.Add();
    range.Gear = 1;
    range.Lower = 0x10;
    range.Upper = 0x20;
    range.Adc = 0x18;
    ecu.SparkDelays[8] = 0x33;
    const std::string write
        = Letters(TransferStepLines(-2, ecu, rows)) + Letters(TransferStepLines(-1, ecu, rows));
    EXPECT_EQ(write.substr(0, 30), "f0000000000 r0001001000200018 ");
    EXPECT_NE(write.find("r09FF000000000000 d0200"), std::string::npos);
    EXPECT_NE(write.find("d0833 "), std::string::npos);
    EXPECT_TRUE(TransferStepLines(0, ecu, rows).empty());
    // The grid holds at most nine positions whatever count arrives.
    EXPECT_EQ(GridRowCountFor(12), 10);
    EXPECT_EQ(GridRowCountFor(-1), 1);
}
