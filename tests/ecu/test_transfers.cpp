#include "panelRules.h"
#include "profile.h"
#include "settingsCompare.h"
#include "transfers.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

std::vector<std::string> Encoded(const TMessageList &messages)
{
    TQV3318EncDec codec;
    std::vector<std::string> lines;
    for (const TQV3318MessageRec &m : messages)
        lines.push_back(codec.Encode(m));
    return lines;
}

TQV3318MessageRec Range(int index, int gear, int lower, int upper, int adc)
{
    TQV3318MessageRec m;
    m.MsgType = mtRange;
    m.Index = static_cast<std::uint8_t>(index);
    m.Gear = static_cast<std::uint8_t>(gear);
    m.Lower = static_cast<std::uint16_t>(lower);
    m.Upper = static_cast<std::uint16_t>(upper);
    m.Adc = static_cast<std::uint16_t>(adc);
    return m;
}

} // namespace

TEST(Transfers, ReadStepsAskForEveryCutDurationBelowTheTopGear)
{
    EXPECT_EQ(Encoded(ParamsReadStep()), std::vector<std::string> {"@P\n"});
    const auto gears = Encoded(GearsReadStep());
    ASSERT_EQ(gears.size(), 11u);
    EXPECT_EQ(gears.front(), "@F\n");
    EXPECT_EQ(gears.back(), "@R09\n");
    // A grid of seven rows (six positions): first to third gear.
    EXPECT_EQ(Encoded(SparksReadStep(7)),
              (std::vector<std::string> {"@F\n", "@D02\n", "@D03\n", "@D04\n"}));
    EXPECT_EQ(Encoded(SparksReadStep(10)).size(), 7u);
}

// A value that does not fit its field (a hand-edited profile) goes as the nearest one that does,
// on both sides, never as its low bits.
TEST(Transfers, WriteStepsSendWhatFitsAndFillEmptySlots)
{
    TEcu ecu;
    ecu.SetPositionCount(6);
    ecu.GearThresholdUpper = 0x1FF;
    ecu.Debounce = 256;
    ecu.Ignore = 255;
    ecu.BarrelThreshold = -1;
    ecu.UseFeedback = true;
    ecu.UseCutAfterBlip = true;
    ecu.SparkCutTimeout = 0x10064;
    ecu.SparkDelays[5] = -3;
    ecu.SparkDelays[6] = 300;
    TGearData &r = ecu.Ranges.Add();
    r.Gear = 1;
    r.Lower = 1009;
    r.Upper = 12;
    r.Adc = 1023;
    TGearData &beyond = ecu.Ranges.Add();
    beyond.Gear = 2;
    beyond.Lower = -5;
    beyond.Upper = 0x10000;
    beyond.Adc = 5;

    EXPECT_EQ(Encoded(ParamsWriteStep(ecu)).front(), "@pFF0600FFFF000000\n");
    const auto gears = Encoded(GearsWriteStep(ecu));
    ASSERT_EQ(gears.size(), 11u);
    EXPECT_EQ(gears[0], "@f0300FFFF00\n");
    EXPECT_EQ(gears[1], "@r000103F1000C03FF\n");
    EXPECT_EQ(gears[2], "@r01020000FFFF0005\n");
    EXPECT_EQ(gears[10], "@r09FF000000000000\n");
    const auto sparks = Encoded(SparksWriteStep(ecu));
    ASSERT_EQ(sparks.size(), 5u); // indices 2..6
    EXPECT_EQ(sparks[3], "@d0500\n");
    EXPECT_EQ(sparks.back(), "@d06FF\n");

    // More than ten ranges all go out, with no empty slots after them.
    for (int i = 0; i < 10; ++i)
        ecu.Ranges.Add();
    EXPECT_EQ(GearsWriteStep(ecu).size(), 13u);
    // A position count beyond the table stops at its last index.
    ecu.PositionCount = 40;
    EXPECT_EQ(SparksWriteStep(ecu).size(), 9u);
}

// What a controller holds after a write differs from the model exactly where a value does not
// travel as it is.
TEST(Transfers, AsWrittenDiffersOnlyWhereAValueDoesNotTravel)
{
    TEcu fits;
    LoadDefaults(fits);
    fits.Debounce = 255;
    fits.SparkCutTimeout = 65535;
    fits.SparkDelays[7] = 250;
    struct Row
    {
        const char *name;
        std::function<void(TEcu &)> edit;
        TSettingField differs;
    };
    const Row rows[] = {
        {"debounce beyond its byte", [](TEcu &e) { e.Debounce = 256; }, TSettingField::Debounce},
        {"negative mask", [](TEcu &e) { e.Ignore = -1; }, TSettingField::Ignore},
        {"cut duration beyond its byte", [](TEcu &e) { e.SparkDelays[4] = 300; },
         TSettingField::SparkDelay},
        {"maximum cut beyond 16 bits", [](TEcu &e) { e.SparkCutTimeout = 65536; },
         TSettingField::SparkCutTimeout},
        {"a range with no upper bound", [](TEcu &e) { e.Ranges.Items(3).Upper = 0; },
         TSettingField::Ranges},
        {"an eleventh range",
         [](TEcu &e) {
             for (int i = 0; i < 3; ++i) {
                 TGearData &r = e.Ranges.Add();
                 r = e.Ranges.Items(0);
             }
         },
         TSettingField::Ranges},
    };
    EXPECT_EQ(CountDiffering(CompareSettings(fits, AsWritten(fits))), 0);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TEcu unfit = fits;
        row.edit(unfit);
        std::vector<TSettingField> differing;
        for (const TCompareRow &r : CompareSettings(unfit, AsWritten(unfit)))
            if (r.Differs())
                differing.push_back(r.Field);
        EXPECT_EQ(differing, std::vector<TSettingField> {row.differs});
    }
}

TEST(Transfers, ReceivedRangesStartAFreshListAtSlotZero)
{
    TEcu ecu;
    ecu.Ranges.Add();
    EXPECT_FALSE(ApplyRange(ecu, Range(0, 2, 0, 0, 5))) << "Upper 0 is an empty slot";
    EXPECT_EQ(ecu.Ranges.Count(), 1);

    EXPECT_TRUE(ApplyRange(ecu, Range(0, 2, 300, 380, 340)));
    EXPECT_TRUE(ApplyRange(ecu, Range(1, 200, 1, 2, 3)));
    ASSERT_EQ(ecu.Ranges.Count(), 2);
    EXPECT_EQ(ecu.Positions[2].Adc, 340);
    EXPECT_EQ(ecu.Ranges.Items(1).Gear, 200);
    EXPECT_FALSE(ecu.Ranges.Items(0).Sampled);
}

TEST(Transfers, ReceivedCutDurationsOutsideTheTableAreIgnored)
{
    TEcu ecu;
    TQV3318MessageRec m;
    m.MsgType = mtSparkDelay;
    m.Index = 10;
    m.Value = 77;
    EXPECT_TRUE(ApplySparkDelay(ecu, m));
    EXPECT_EQ(ecu.SparkDelays[10], 77);
    m.Index = 11;
    EXPECT_FALSE(ApplySparkDelay(ecu, m));
}

TEST(Transfers, MarkersGoWithSampledRangesAndOneSampleForAWrappedGear)
{
    TGearDataList ranges;
    EXPECT_EQ(RangeMarkerCount(ranges, 4), 4) << "no ranges keep the count";
    for (int gear : {0, 1, 2, 0}) {
        TGearData &r = ranges.Add();
        r.Gear = static_cast<std::uint8_t>(gear);
        r.Sampled = true;
    }
    EXPECT_EQ(RangeMarkerCount(ranges, 0), 3);
    ranges.Items(3).Gear = 5;
    EXPECT_EQ(RangeMarkerCount(ranges, 0), 4);
    ranges.Items(0).Sampled = false;
    EXPECT_EQ(RangeMarkerCount(ranges, 9), 0);
}

TEST(Transfers, RangeLinesNameTheGearByItsLetter)
{
    TGearData r;
    r.Gear = 2;
    r.Lower = 326;
    r.Adc = 340;
    r.Upper = 354;
    EXPECT_EQ(RangeLine(2, r), "[2] gear 1 low 326 adc 340 high 354");
    r.Gear = 9;
    EXPECT_EQ(RangeLine(10, r), "[10] gear x low 326 adc 340 high 354");
    r.Gear = 40;
    EXPECT_EQ(RangeLine(0, r), "[0] gear ? low 326 adc 340 high 354");
}

TEST(PanelRules, OnlySignedDecimalIntegersAreNumbers)
{
    const std::pair<const char *, std::optional<std::int32_t>> rows[] = {
        {"42", 42},
        {"-5", -5},
        {" 7 ", 7},
        {"\t12\r\n", 12},
        {"1\n2", std::nullopt},
        {"+3", 3},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"12abc", std::nullopt},
        {"0x10", std::nullopt},
        {"+-1", std::nullopt},
        {"-", std::nullopt},
        {"2147483647", 2147483647},
        {"2147483648", std::nullopt},
    };
    for (const auto &[text, expected] : rows)
        EXPECT_EQ(ParseDecimal(text), expected) << '"' << text << '"';
    EXPECT_EQ(Clamp(-3, 0, 10), 0);
    EXPECT_EQ(Clamp(30, 0, 10), 10);
    EXPECT_EQ(Clamp(4, 0, 10), 4);
}
