#include "calibration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <ostream>
#include <tuple>
#include <vector>

namespace {

struct TRange
{
    int Gear;
    int Lower;
    int Adc;
    int Upper;
    bool operator==(const TRange &) const = default;
};

std::ostream &operator<<(std::ostream &os, const TRange &r)
{
    return os << "{gear " << r.Gear << ": " << r.Lower << ".." << r.Adc << ".." << r.Upper << "}";
}

std::vector<TRange> RangesOf(const TEcu &ecu)
{
    std::vector<TRange> out;
    for (int k = 0; k < ecu.Ranges.Count(); ++k) {
        const TGearData &r = ecu.Ranges.Items(k);
        EXPECT_TRUE(r.Sampled);
        out.push_back({r.Gear, r.Lower, r.Adc, r.Upper});
    }
    return out;
}

TEcu Sampled(const std::vector<int> &adcs, int tolerance = 5)
{
    TEcu ecu;
    ecu.SetPositionCount(static_cast<int>(adcs.size()));
    for (std::size_t i = 0; i < adcs.size(); ++i) {
        ecu.Positions[i].Adc = static_cast<std::uint16_t>(adcs[i]);
    }
    ecu.FeedbackWindow = tolerance;
    return ecu;
}

struct TBuildRow
{
    const char *Name;
    std::vector<int> Samples; // by gear position index
    int Tolerance;
    std::vector<TRange> Expected; // in the order the list holds them
};

void PrintTo(const TBuildRow &row, std::ostream *os)
{
    *os << row.Name;
}

class Calibration : public ::testing::TestWithParam<TBuildRow>
{
};

TEST_P(Calibration, BuildsTheRanges)
{
    TEcu ecu = Sampled(GetParam().Samples, GetParam().Tolerance);
    ecu.Ranges.Add().Gear = 9; // stale ranges are replaced
    BuildRanges(ecu);
    EXPECT_EQ(RangesOf(ecu), GetParam().Expected);
}

const std::vector<int> kSix = {84, 228, 340, 452, 572, 700};

INSTANTIATE_TEST_SUITE_P(
    Ranges, Calibration,
    ::testing::Values(
        TBuildRow {"WorkedExample",
                   kSix,
                   5,
                   {{0, 70, 84, 98},
                    {1, 214, 228, 242},
                    {2, 326, 340, 354},
                    {3, 438, 452, 466},
                    {4, 558, 572, 586},
                    {5, 686, 700, 714}}},
        // Wide enough that the midpoints show through: R 12..156, N 156..284 ... 4th 636..764.
        TBuildRow {"WorkedExampleMidpointsWithWideTolerance",
                   kSix,
                   360,
                   {{0, 12, 84, 156},
                    {1, 156, 228, 284},
                    {2, 284, 340, 396},
                    {3, 396, 452, 512},
                    {4, 512, 572, 636},
                    {5, 636, 700, 764}}},
        TBuildRow {"SamplesInAnyOrderAreSortedFirst",
                   {452, 84, 700, 228, 572, 340},
                   5,
                   {{1, 70, 84, 98},
                    {3, 214, 228, 242},
                    {5, 326, 340, 354},
                    {0, 438, 452, 466},
                    {4, 558, 572, 586},
                    {2, 686, 700, 714}}},
        TBuildRow {"ReverseWithin40OfNeutralGetsNoRange",
                   {100, 130, 340, 452, 572, 700},
                   5,
                   {{1, 116, 130, 144},
                    {2, 326, 340, 354},
                    {3, 438, 452, 466},
                    {4, 558, 572, 586},
                    {5, 686, 700, 714}}},
        TBuildRow {"ReverseExactly40FromNeutralKeepsItsRange",
                   {188, 228, 340, 452, 572, 700},
                   5,
                   {{0, 174, 188, 202},
                    {1, 214, 228, 242},
                    {2, 326, 340, 354},
                    {3, 438, 452, 466},
                    {4, 558, 572, 586},
                    {5, 686, 700, 714}}},
        // 1010 vs 20: 990 apart, i.e. 33 counts across the ends of the scale.
        TBuildRow {"ReverseAcrossTheEndsNextToNeutralGetsNoRange",
                   {1010, 20, 340, 452, 572, 700},
                   5,
                   {{1, 6, 20, 34},
                    {2, 326, 340, 354},
                    {3, 438, 452, 466},
                    {4, 558, 572, 586},
                    {5, 686, 700, 714},
                    {1, 879, 893, 907}}},
        // 1000 vs 20: exactly 980 apart, so reverse keeps its range; neutral's lower bound
        // mirrors below 0 and the top range continues at the bottom from half of 20.
        TBuildRow {"ReverseExactly980FromNeutralKeepsItsRange",
                   {1000, 20, 340, 452, 572, 700},
                   5,
                   {{1, 10, 20, 34},
                    {2, 326, 340, 354},
                    {3, 438, 452, 466},
                    {4, 558, 572, 586},
                    {5, 686, 700, 714},
                    {0, 986, 1000, 1014},
                    {0, 1009, 1023, 10}}},
        TBuildRow {"LowFirstSampleContinuesAtTheTop",
                   {5, 228, 340, 452, 572, 700},
                   5,
                   {{0, 0, 5, 19},
                    {1, 214, 228, 242},
                    {2, 326, 340, 354},
                    {3, 438, 452, 466},
                    {4, 558, 572, 586},
                    {5, 686, 700, 714},
                    {0, 879, 893, 907}}},
        // A low first sample, but the top range already ends at 1023: nothing is appended.
        TBuildRow {"LowFirstSampleWithTopRangeEndingAt1023AppendsNothing",
                   {5, 228, 340, 452, 572, 700, 954, 1000},
                   360,
                   {{0, 0, 5, 116},
                    {1, 116, 228, 284},
                    {2, 284, 340, 396},
                    {3, 396, 452, 512},
                    {4, 512, 572, 636},
                    {5, 636, 700, 827},
                    {6, 827, 954, 977},
                    {7, 977, 1000, 1023}}},
        TBuildRow {"TopRangeContinuesAtTheBottom",
                   {84, 228, 340, 452, 572, 700, 900, 1000},
                   5,
                   {{0, 70, 84, 98},
                    {1, 214, 228, 242},
                    {2, 326, 340, 354},
                    {3, 438, 452, 466},
                    {4, 558, 572, 586},
                    {5, 686, 700, 714},
                    {6, 886, 900, 914},
                    {7, 986, 1000, 1014},
                    {7, 1009, 1023, 12}}},
        TBuildRow {"TopRangeAppendedBeforeTolerance",
                   {84, 228, 340, 452, 572, 700, 900, 1000},
                   360,
                   {{0, 12, 84, 156},
                    {1, 156, 228, 284},
                    {2, 284, 340, 396},
                    {3, 396, 452, 512},
                    {4, 512, 572, 636},
                    {5, 636, 700, 800},
                    {6, 800, 900, 950},
                    {7, 950, 1000, 1023},
                    {7, 0, 1023, 12}}},
        // Lowest Lower exactly 10 with its sample 30 above it: Lower becomes 40 / 2 = 20, and
        // the appended range ends there.
        TBuildRow {"TopRangeWithLowestLowerAt10HalvesTheLowestSample",
                   {40, 100, 340, 452, 572, 700, 900, 1000},
                   360,
                   {{0, 20, 40, 70},
                    {1, 70, 100, 220},
                    {2, 220, 340, 396},
                    {3, 396, 452, 512},
                    {4, 512, 572, 636},
                    {5, 636, 700, 800},
                    {6, 800, 900, 950},
                    {7, 950, 1000, 1023},
                    {7, 0, 1023, 20}}},
        // Lowest range 5..25 round its sample 15 (first gear; neutral is next): Lower not above
        // 10 and the sample exactly 10 above it, so the top range is cut at 1023 and nothing is
        // appended.
        TBuildRow {"TopRangeWithLowestSample10AboveItsLowerAppendsNothing",
                   {500, 35, 15, 300, 700, 800, 900, 1000},
                   360,
                   {{2, 5, 15, 25},
                    {1, 25, 35, 167},
                    {3, 167, 300, 400},
                    {0, 400, 500, 600},
                    {4, 600, 700, 750},
                    {5, 750, 800, 850},
                    {6, 850, 900, 950},
                    {7, 950, 1000, 1023}}},
        TBuildRow {"SingleRemainingSampleIsAZeroWidthRange", {100, 110}, 5, {{1, 110, 110, 110}}},
        TBuildRow {"NoPositionsNoRanges", {}, 5, {}},
        TBuildRow {"TwoSamples", {300, 600}, 15, {{0, 257, 300, 343}, {1, 557, 600, 643}}}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(Calibration, PositionCountBeyondTheSlotsUsesOnlyExistingPositions)
{
    TEcu ecu = Sampled(kSix);
    ecu.PositionCount = 200; // as a controller may report it
    BuildRanges(ecu);
    // Eleven positions (five of them unsampled at 0) plus the range continued at the top.
    ASSERT_EQ(ecu.Ranges.Count(), kPositionSlots + 1);
    for (const TRange &r : RangesOf(ecu)) {
        EXPECT_LT(r.Gear, kPositionSlots);
    }
}

TEST(Calibration, ExtremeToleranceStaysWithinTheScale)
{
    for (const int tolerance : {std::numeric_limits<int>::max(), std::numeric_limits<int>::min()}) {
        TEcu ecu = Sampled(kSix, tolerance);
        BuildRanges(ecu);
        RecentreRanges(ecu, tolerance);
        for (const TRange &r : RangesOf(ecu)) {
            EXPECT_GE(r.Lower, 0);
            EXPECT_LE(r.Upper, kAdcMax);
        }
    }
}

TEST(Calibration, RecentringGivesEveryRangeTheFullWidthClipped)
{
    struct Row
    {
        std::vector<int> Samples;
        std::vector<TRange> Expected; // at 15 degrees: 43 counts each side
    };
    for (const Row &row : std::vector<Row> {
             {{84, 228, 340, 452, 572, 700, 900, 1000},
              {{0, 41, 84, 127},
               {1, 185, 228, 271},
               {2, 297, 340, 383},
               {3, 409, 452, 495},
               {4, 529, 572, 615},
               {5, 657, 700, 743},
               {6, 857, 900, 943},
               {7, 957, 1000, 1023},
               {7, 980, 1023, 1023}}},
             {{5, 228, 340, 452, 572, 700},
              {{0, 0, 5, 48},
               {1, 185, 228, 271},
               {2, 297, 340, 383},
               {3, 409, 452, 495},
               {4, 529, 572, 615},
               {5, 657, 700, 743},
               {0, 850, 893, 936}}},
         }) {
        TEcu ecu = Sampled(row.Samples);
        BuildRanges(ecu);
        RecentreRanges(ecu, 15);
        EXPECT_EQ(RangesOf(ecu), row.Expected);
        EXPECT_EQ(ecu.FeedbackWindow, 5); // the caller owns the setting

        // Back to 5: re-centred on the samples with 14 each side, whatever the bounds were.
        RecentreRanges(ecu, 5);
        for (const TRange &r : RangesOf(ecu)) {
            EXPECT_EQ(r.Lower, std::max(r.Adc - 14, 0)) << r;
            EXPECT_EQ(r.Upper, std::min(r.Adc + 14, kAdcMax)) << r;
        }
    }
}

} // namespace
