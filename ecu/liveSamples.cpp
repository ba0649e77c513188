#include "liveSamples.h"

#include <algorithm>
#include <limits>

namespace {
constexpr std::int64_t kMaxOffset = std::numeric_limits<std::uint32_t>::max();
} // namespace

TLiveSamples::TLiveSamples(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) { }

void TLiveSamples::Add(const TLogSample &sample)
{
    if (ring_.capacity() < capacity_)
        ring_.reserve(capacity_);
    if (count_ == 0)
        base_ = sample.Ms;
    std::int64_t offset = sample.Ms - base_;
    if (count_ > 0)
        offset = std::max<std::int64_t>(offset, ring_[(head_ + count_ - 1) % capacity_].Offset);
    offset = std::clamp<std::int64_t>(offset, 0, kMaxOffset);
    const TPacked packed {static_cast<std::uint32_t>(offset), sample.Adc, sample.Gear,
                          sample.AnalogueInput, sample.StatusBits};
    if (ring_.size() < capacity_) {
        ring_.push_back(packed);
        ++count_;
    } else if (count_ < capacity_) {
        ring_[(head_ + count_) % capacity_] = packed;
        ++count_;
    } else {
        ring_[head_] = packed;
        head_ = (head_ + 1) % capacity_;
        DropOldPeriods();
    }
}

void TLiveSamples::Clear()
{
    head_ = 0;
    count_ = 0;
    base_ = 0;
    ring_.clear();
    down_.clear();
}

TLogSample TLiveSamples::At(std::size_t i) const
{
    const TPacked &p = ring_[(head_ + std::min(i, count_ - 1)) % capacity_];
    return {base_ + p.Offset, p.Adc, p.Gear, p.AnalogueInput, p.StatusBits};
}

std::size_t TLiveSamples::LowerBound(std::int64_t ms) const
{
    std::size_t low = 0;
    std::size_t high = count_;
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (At(mid).Ms < ms)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

void TLiveSamples::LinkDown(std::int64_t ms)
{
    if (!down_.empty() && down_.back().To < 0)
        return; // already down
    down_.push_back({ms, -1});
    DropOldPeriods();
}

void TLiveSamples::LinkUp(std::int64_t ms)
{
    if (!down_.empty() && down_.back().To < 0)
        down_.back().To = std::max(ms, down_.back().From);
}

void TLiveSamples::DropOldPeriods()
{
    // Periods that ended before the oldest sample can no longer be shown; without this a link
    // that drops every few seconds for days would grow the list without end.
    const std::int64_t oldest = count_ > 0 ? At(0).Ms : 0;
    while (!down_.empty() && down_.front().To >= 0 && down_.front().To < oldest)
        down_.pop_front();
}

std::vector<TGearChange> GearChanges(const TLiveSamples &samples, std::size_t first,
                                     std::size_t last)
{
    std::vector<TGearChange> changes;
    last = std::min(last, samples.Count());
    int candidate = -1;
    std::int64_t candidateFrom = 0;
    int marked = -1;
    for (std::size_t i = first; i < last; ++i) {
        const TLogSample s = samples.At(i);
        if (s.Gear != candidate) {
            candidate = s.Gear;
            candidateFrom = s.Ms;
        }
        if (candidate != marked && s.Ms - candidateFrom >= kGearSettledMs) {
            changes.push_back({candidateFrom, candidate});
            marked = candidate;
        }
    }
    return changes;
}

std::optional<std::int64_t> SettledByNewest(const TLiveSamples &samples)
{
    const std::size_t count = samples.Count();
    if (count < 2)
        return std::nullopt;
    const TLogSample newest = samples.Last();
    const std::int64_t previousMs = samples.At(count - 2).Ms;
    // Back to the first reply of the newest gear, stopping as soon as the reply before the newest
    // had already settled it.
    std::size_t from = count - 1;
    while (from > 0 && samples.At(from - 1).Gear == newest.Gear) {
        --from;
        if (previousMs - samples.At(from).Ms >= kGearSettledMs)
            return std::nullopt;
    }
    const std::int64_t fromMs = samples.At(from).Ms;
    if (from == count - 1 || newest.Ms - fromMs < kGearSettledMs)
        return std::nullopt;
    return fromMs;
}
