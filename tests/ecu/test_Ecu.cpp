#include "Ecu.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <vector>

namespace {

std::vector<int> GearsOf(const TGearDataList &list)
{
    std::vector<int> gears;
    for (int k = 0; k < list.Count(); ++k) {
        gears.push_back(list.Items(k).Gear);
    }
    return gears;
}

TEST(Model, NewModelIsEmptyWithElevenNumberedPositions)
{
    const TEcu ecu;
    EXPECT_EQ(ecu.PositionCount, 0);
    EXPECT_EQ(ecu.Ranges.Count(), 0);
    for (int i = 0; i < kPositionSlots; ++i) {
        const TGearData &p = ecu.Positions[static_cast<std::size_t>(i)];
        EXPECT_EQ(p.Gear, i);
        EXPECT_EQ(p.Adc, 0);
        EXPECT_FALSE(p.Sampled);
        EXPECT_EQ(ecu.SparkDelays[static_cast<std::size_t>(i)], 0);
    }
    EXPECT_EQ(ecu.SparkCutTimeout, 0);
    EXPECT_EQ(ecu.BlipTimeout, 0);
    EXPECT_EQ(ecu.CutAfterBlip, 0);
    EXPECT_FALSE(ecu.UseFeedback);
}

TEST(Model, SetPositionCountDeletesRangesOfMissingGearsKeepingOrder)
{
    struct Row
    {
        int Count;
        std::vector<int> Remaining;
    };
    const std::vector<int> before = {7, 0, 3, 6, 1, 2, 5, 4, 7};
    for (const Row &row : std::vector<Row> {
             {6, {0, 3, 1, 2, 5, 4}},
             {8, before},
             {9, before},
             {1, {0}},
             {0, {}},
             {-5, {}},
         }) {
        TEcu ecu;
        for (const int gear : before) {
            TGearData &r = ecu.Ranges.Add();
            r.Gear = static_cast<std::uint8_t>(gear);
            r.Adc = static_cast<std::uint16_t>(100 + gear);
        }
        for (int i = 0; i < kPositionSlots; ++i) {
            ecu.Positions[static_cast<std::size_t>(i)].Adc = static_cast<std::uint16_t>(10 * i);
        }
        ecu.SetPositionCount(row.Count);
        EXPECT_EQ(ecu.PositionCount, row.Count);
        EXPECT_EQ(GearsOf(ecu.Ranges), row.Remaining) << "count " << row.Count;
        for (int i = 0; i < kPositionSlots; ++i) { // positions are not touched
            EXPECT_EQ(ecu.Positions[static_cast<std::size_t>(i)].Adc, 10 * i);
        }
    }
}

TEST(GearDataList, IndexOutsideTheListThrows)
{
    TGearDataList list;
    EXPECT_THROW(list.Items(0), std::out_of_range);
    list.Add().Adc = 5;
    list.Add().Adc = 6;
    const TGearDataList &view = list;
    EXPECT_EQ(view.Items(1).Adc, 6);
    for (const int bad :
         {-1, 2, std::numeric_limits<int>::max(), std::numeric_limits<int>::min()}) {
        EXPECT_THROW(list.Items(bad), std::out_of_range) << bad;
        EXPECT_THROW(view.Items(bad), std::out_of_range) << bad;
        EXPECT_THROW(list.Delete(bad), std::out_of_range) << bad;
    }
    list.Delete(0);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(0).Adc, 6);
    EXPECT_EQ(list.Add().Adc, 0); // a new record is zeroed
}

TEST(GearDataList, SortsAscendingByTheirKey)
{
    TGearDataList list;
    const std::vector<std::pair<int, int>> adcUpper
        = {{940, 5},
           {84, std::numeric_limits<std::int32_t>::max()},
           {228, -7},
           {0, std::numeric_limits<std::int32_t>::min()},
           {65535, 0}};
    for (const auto &[adc, upper] : adcUpper) {
        TGearData &r = list.Add();
        r.Adc = static_cast<std::uint16_t>(adc);
        r.Upper = upper;
    }
    list.SortByAdc();
    std::vector<int> adcs;
    for (int k = 0; k < list.Count(); ++k) {
        adcs.push_back(list.Items(k).Adc);
    }
    EXPECT_EQ(adcs, (std::vector<int> {0, 84, 228, 940, 65535}));

    // Extreme bounds from a profile must still sort: their difference does not fit 32 bits.
    list.SortByUpper();
    std::vector<std::int32_t> uppers;
    for (int k = 0; k < list.Count(); ++k) {
        uppers.push_back(list.Items(k).Upper);
    }
    EXPECT_EQ(uppers,
              (std::vector<std::int32_t> {std::numeric_limits<std::int32_t>::min(), -7, 0, 5,
                                          std::numeric_limits<std::int32_t>::max()}));
}

TEST(Conversions, RoundHalfEvenTiesGoToTheEvenNeighbour)
{
    struct Row
    {
        double In;
        int Out;
    };
    for (const Row &row : std::vector<Row> {{0.5, 0},
                                            {1.5, 2},
                                            {2.5, 2},
                                            {3.5, 4},
                                            {-0.5, 0},
                                            {-1.5, -2},
                                            {-2.5, -2},
                                            {2.4999, 2},
                                            {2.5001, 3},
                                            {-2.5001, -3},
                                            {7.0, 7},
                                            {std::nan(""), 0},
                                            {1e20, std::numeric_limits<int>::max()},
                                            {-1e20, std::numeric_limits<int>::min()}}) {
        EXPECT_EQ(RoundHalfEven(row.In), row.Out) << row.In;
    }
}

TEST(Conversions, ReadingsAsPrintfWritesThem)
{
    for (const int value :
         {0, 7, 42, 99, 100, 359, 999, 1000, 1023, 123456, -1, -7, -99, -100, -1000,
          std::numeric_limits<int>::max(), std::numeric_limits<int>::min()}) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "%3.3d", value);
        EXPECT_EQ(ThreeDigits(value), expected) << value;
    }
    for (const int value : {0x00, 0x05, 0x0A, 0x5F, 0xA0, 0xFF}) {
        char expected[8];
        std::snprintf(expected, sizeof expected, "%02X", value);
        EXPECT_EQ(HexByte(static_cast<std::uint8_t>(value)), expected) << value;
    }
}

TEST(Conversions, WidthsInDegreesAndCounts)
{
    struct Row
    {
        int Degrees;
        int Counts;
    };
    for (const Row &row : std::vector<Row> {{0, 0}, {1, 3}, {2, 6}, {5, 14}, {10, 28}, {15, 43}}) {
        EXPECT_EQ(WidthDegreesToCounts(row.Degrees), row.Counts) << row.Degrees;
    }
    for (const Row &row : std::vector<Row> {{0, 0},
                                            {1, 3},
                                            {5, 14},
                                            {2, 5},
                                            {10, 28},
                                            {15, 43},
                                            // exact ties: 64 -> 22.5, 192 -> 67.5
                                            {22, 64},
                                            {68, 192}}) {
        EXPECT_EQ(WidthCountsToDegrees(row.Counts), row.Degrees) << row.Counts;
    }
}

TEST(Conversions, PositionAnglesRoundTripEveryCount)
{
    EXPECT_DOUBLE_EQ(CountsToDegrees(kAdcMax), 360.0);
    EXPECT_DOUBLE_EQ(CountsToDegrees(0), 0.0);
    EXPECT_EQ(DegreesToCounts(180.0), 512); // 511.5 exactly: the even neighbour
    EXPECT_EQ(DegreesToCounts(360.0), kAdcMax);
    for (int counts = 0; counts <= kAdcMax; ++counts) {
        ASSERT_EQ(DegreesToCounts(CountsToDegrees(counts)), counts);
    }
}

TEST(GearTables, LetterNameAndColourForAnyIndex)
{
    struct Row
    {
        int Index;
        char Letter;
        std::string_view Name;
        std::uint32_t Colour;
    };
    for (const Row &row : std::vector<Row> {
             {0, 'R', "Reverse", 0xFF0000},
             {1, 'N', "Neutral", 0x0000FF},
             {2, '1', "First", 0x008000},
             {3, '2', "Second", 0xC0DCC0},
             {4, '3', "Third", 0x00FF00},
             {5, '4', "Fourth", 0xFFFF00},
             {6, '5', "Fifth", 0x00FFFF},
             {7, '6', "Sixth", 0xFF00FF},
             {8, '7', "Seventh", 0xA6CAF0},
             {9, 'x', "", 0x808080},
             {10, '?', "", 0x808080},
             {255, '?', "", 0x808080},
             {-1, '?', "", 0x808080},
             {std::numeric_limits<int>::min(), '?', "", 0x808080},
         }) {
        EXPECT_EQ(GearLetterOf(row.Index), row.Letter) << row.Index;
        EXPECT_EQ(GearNameOf(row.Index), row.Name) << row.Index;
        EXPECT_EQ(GearColourOf(row.Index), row.Colour) << row.Index;
    }
}

} // namespace
