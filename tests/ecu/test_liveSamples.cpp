#include "liveSamples.h"

#include <gtest/gtest.h>

namespace {

TLogSample S(std::int64_t ms, std::uint16_t adc = 0)
{
    return {ms, adc, static_cast<std::uint8_t>(ms % 11), static_cast<std::uint8_t>(ms % 256),
            static_cast<std::uint8_t>(ms % 16)};
}

} // namespace

TEST(LiveSamples, RingKeepsTheNewestAndNeverGrowsPastItsCapacity)
{
    TLiveSamples ring(4);
    EXPECT_EQ(ring.AllocatedBytes(), 0u);
    for (int i = 0; i < 11; ++i) {
        ring.Add(S(i * 100, static_cast<std::uint16_t>(1000 + i)));
        EXPECT_EQ(ring.AllocatedBytes(), 4 * TLiveSamples::kBytesPerSample);
    }
    ASSERT_EQ(ring.Count(), 4u);
    // Oldest first, across the wrap of the ring.
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(ring.At(i), S(static_cast<std::int64_t>(700 + 100 * i), 1007 + i)) << i;
    EXPECT_EQ(ring.Last().Ms, 1000);
}

TEST(LiveSamples, TwoHoursAtTenAHertzFitInUnderAMegabyte)
{
    TLiveSamples ring;
    EXPECT_EQ(ring.Capacity(), 72000u);
    ring.Add(S(0));
    EXPECT_EQ(ring.AllocatedBytes(), 72000u * 12u);
}

TEST(LiveSamples, LowerBoundFindsTheFirstSampleAtOrAfterATime)
{
    TLiveSamples ring(5);
    for (int i = 0; i < 8; ++i) // holds 300 .. 700 with the ring wrapped
        ring.Add(S(i * 100));
    const struct
    {
        std::int64_t Ms;
        std::size_t Index;
    } rows[] = {{-1, 0}, {300, 0}, {301, 1}, {400, 1}, {699, 4}, {700, 4}, {701, 5}};
    for (const auto &row : rows)
        EXPECT_EQ(ring.LowerBound(row.Ms), row.Index) << row.Ms;
}

TEST(LiveSamples, ATimeGoingBackwardsIsHeldAtTheNewestTime)
{
    TLiveSamples ring(8);
    ring.Add(S(5000));
    ring.Add(S(4000, 9));
    EXPECT_EQ(ring.At(1).Ms, 5000);
    EXPECT_EQ(ring.At(1).Adc, 9);
}

TEST(LiveSamples, LinkPeriodsOpenCloseAndAgeOutWithTheSamples)
{
    TLiveSamples ring(3);
    ring.Add(S(0));
    ring.LinkDown(100);
    ring.LinkDown(150); // still the same period
    EXPECT_EQ(ring.DownPeriods(), (std::deque<TLiveSamples::TPeriod> {{100, -1}}));
    ring.LinkUp(900);
    ring.LinkUp(950); // up already: nothing
    ring.LinkDown(1200);
    EXPECT_EQ(ring.DownPeriods(), (std::deque<TLiveSamples::TPeriod> {{100, 900}, {1200, -1}}));
    ring.Add(S(1000));
    ring.Add(S(1100));
    EXPECT_EQ(ring.DownPeriods().size(), 2u);
    ring.Add(S(1300)); // the sample at 0 goes; the first period ended before 1000
    EXPECT_EQ(ring.DownPeriods(), (std::deque<TLiveSamples::TPeriod> {{1200, -1}}));
}
