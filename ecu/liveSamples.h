#pragma once

#include "dataLog.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

// The samples behind the live chart: a ring of decoded status replies that keeps the newest
// Capacity() of them, and the periods the link was down. The ring is allocated once, at the first
// sample, and never grows past its capacity; a sample takes kBytesPerSample bytes.
class TLiveSamples
{
public:
    // Two hours of status replies at the poll rate of ten a second.
    static constexpr std::size_t kTwoHoursAt10Hz = 2 * 60 * 60 * 10;

    explicit TLiveSamples(std::size_t capacity = kTwoHoursAt10Hz);

    // Appends a sample; the oldest one goes when the ring is full. Times are expected not to go
    // backwards; a sample older than the newest is stored at the newest time so the ring stays
    // ordered for the searches below.
    void Add(const TLogSample &sample);
    void Clear();

    std::size_t Count() const { return count_; }
    std::size_t Capacity() const { return capacity_; }
    bool Empty() const { return count_ == 0; }
    // Sample i, 0 being the oldest held; i must be below Count().
    TLogSample At(std::size_t i) const;
    TLogSample Last() const { return At(count_ - 1); }
    // Index of the first sample at or after ms (Count() when there is none).
    std::size_t LowerBound(std::int64_t ms) const;

    // Link periods. A period with To < 0 is still open (the link is down now).
    struct TPeriod
    {
        std::int64_t From = 0;
        std::int64_t To = -1;
        bool operator==(const TPeriod &) const = default;
    };
    void LinkDown(std::int64_t ms);
    void LinkUp(std::int64_t ms);
    const std::deque<TPeriod> &DownPeriods() const { return down_; }

    // Bytes of state per held sample, and what the ring holds allocated.
    static constexpr std::size_t kBytesPerSample = 12;
    std::size_t AllocatedBytes() const { return ring_.capacity() * kBytesPerSample; }

private:
    // Times are kept as 32-bit offsets from the first sample's time: 49 days of run.
    struct TPacked
    {
        std::uint32_t Offset;
        std::uint16_t Adc;
        std::uint8_t Gear;
        std::uint8_t AnalogueInput;
        std::uint8_t StatusBits;
    };
    static_assert(sizeof(TPacked) == kBytesPerSample);

    void DropOldPeriods();

    std::size_t capacity_;
    std::vector<TPacked> ring_;
    std::size_t head_ = 0; // index of the oldest sample in ring_
    std::size_t count_ = 0;
    std::int64_t base_ = 0;
    std::deque<TPeriod> down_;
};

// Where the engaged gear changes, for the chart's letters. A gear counts once it has been reported
// for kGearSettledMs from its first reply: a barrel passing through the gap between two gears (the
// controller reports neutral there) or hanging in it for a moment is no change. A change is
// placed at that first reply, unless the gear is the one marked before.
inline constexpr std::int64_t kGearSettledMs = 500;

struct TGearChange
{
    std::int64_t Ms = 0;
    int Gear = 0;
    bool operator==(const TGearChange &) const = default;
};

// The changes among samples [first, last), the scan starting afresh at first.
std::vector<TGearChange> GearChanges(const TLiveSamples &samples, std::size_t first,
                                     std::size_t last);

// When the newest sample is the one that settled its gear: the time of that gear's first reply,
// where a change may just have been placed.
std::optional<std::int64_t> SettledByNewest(const TLiveSamples &samples);
