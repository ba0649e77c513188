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

TEST(LiveSamples, AGearIsMarkedWhereItBeganOnceHeldHalfASecond)
{
    // Replies every 100 ms; gear indices: 5 fourth, 1 neutral, 6 fifth.
    const struct
    {
        const char *Name;
        std::vector<std::pair<int, int>> Runs; // gear, replies
        std::vector<TGearChange> Changes;
    } cases[] = {
        {"through the gap", {{5, 10}, {1, 3}, {6, 10}}, {{0, 5}, {1300, 6}}},
        {"400 ms in neutral", {{5, 10}, {1, 5}, {6, 10}}, {{0, 5}, {1500, 6}}},
        {"500 ms in neutral", {{5, 10}, {1, 6}, {6, 10}}, {{0, 5}, {1000, 1}, {1600, 6}}},
        {"back to the same gear", {{5, 10}, {1, 2}, {5, 10}}, {{0, 5}}},
        {"never held long enough", {{5, 5}, {6, 5}}, {}},
    };
    for (const auto &c : cases) {
        TLiveSamples ring(100);
        std::size_t changesSoFar = 0;
        for (const auto &[gear, replies] : c.Runs)
            for (int i = 0; i < replies; ++i) {
                ring.Add({static_cast<std::int64_t>(ring.Count()) * 100, 300,
                          static_cast<std::uint8_t>(gear), 0, 0});
                // The reply that places a change is the one that reports it settled.
                const std::vector<TGearChange> now = GearChanges(ring, 0, ring.Count());
                if (now.size() > changesSoFar) {
                    EXPECT_EQ(SettledByNewest(ring), now.back().Ms)
                        << c.Name << " " << ring.Count();
                }
                changesSoFar = now.size();
            }
        EXPECT_EQ(GearChanges(ring, 0, ring.Count()), c.Changes) << c.Name;
    }

    // Replies that stop for a while: the time held counts, not the number of replies.
    TLiveSamples ring(10);
    ring.Add({0, 300, 4, 0, 0});
    ring.Add({700, 300, 4, 0, 0});
    EXPECT_EQ(GearChanges(ring, 0, 2), (std::vector<TGearChange> {{0, 4}}));
    EXPECT_EQ(SettledByNewest(ring), 0);
    // A scan from the middle of a run starts the run there.
    ring.Add({800, 300, 4, 0, 0});
    ring.Add({1300, 300, 4, 0, 0});
    EXPECT_EQ(GearChanges(ring, 2, 4), (std::vector<TGearChange> {{800, 4}}));
    EXPECT_FALSE(SettledByNewest(ring)); // settled long before
}
