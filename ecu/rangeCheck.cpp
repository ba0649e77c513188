#include "rangeCheck.h"

#include <algorithm>
#include <limits>

namespace {

struct TSpan
{
    int Lower;
    int Upper;
    bool LowerIsEdge;
    bool UpperIsEdge;
};

// The gear's ranges. A gear whose range wraps round the ends of the scale owns two ranges, one
// from 0 and one up to the top; those two ends are a join, not an edge.
std::vector<TSpan> SpansOf(const TGearDataList &ranges, int gear)
{
    std::vector<TSpan> spans;
    for (int k = 0; k < ranges.Count(); ++k) {
        const TGearData &r = ranges.Items(k);
        if (r.Gear == gear && r.Upper > 0 && r.Lower <= r.Upper)
            spans.push_back({r.Lower, r.Upper, true, true});
    }
    const bool startsAtZero
        = std::any_of(spans.begin(), spans.end(), [](const TSpan &s) { return s.Lower <= 0; });
    const bool endsAtTop = std::any_of(spans.begin(), spans.end(),
                                       [](const TSpan &s) { return s.Upper >= kAdcMax; });
    if (startsAtZero && endsAtTop) {
        for (TSpan &s : spans) {
            if (s.Lower <= 0)
                s.LowerIsEdge = false;
            if (s.Upper >= kAdcMax)
                s.UpperIsEdge = false;
        }
    }
    return spans;
}

// Distance in counts from the reading to the nearest edge: positive inside a span, negative
// (the distance to the nearest span) outside all of them.
int MarginOf(int adc, const std::vector<TSpan> &spans)
{
    int best = std::numeric_limits<int>::min();
    int nearestOutside = std::numeric_limits<int>::max();
    for (const TSpan &s : spans) {
        if (adc >= s.Lower && adc <= s.Upper) {
            int m = std::numeric_limits<int>::max();
            if (s.LowerIsEdge)
                m = std::min(m, adc - s.Lower);
            if (s.UpperIsEdge)
                m = std::min(m, s.Upper - adc);
            best = std::max(best, m);
        } else {
            nearestOutside
                = std::min(nearestOutside, adc < s.Lower ? s.Lower - adc : adc - s.Upper);
        }
    }
    return best != std::numeric_limits<int>::min() ? best : -nearestOutside;
}

} // namespace

void TGearRangeCheck::Add(const TLogSample &sample)
{
    const bool quiet = (sample.StatusBits & kActiveBits) == 0;
    const bool gap = runLength_ > 0 && sample.Ms - lastMs_ > kMaxGapMs;
    lastMs_ = sample.Ms;
    if (!quiet || gap || sample.Gear != runGear_) {
        runGear_ = sample.Gear;
        runLength_ = quiet ? 1 : 0;
        return;
    }
    ++runLength_;
    if (runLength_ > kSettleReadings && sample.Gear < kPositionSlots)
        readings_[sample.Gear].push_back(sample.Adc);
}

void TGearRangeCheck::Clear()
{
    for (auto &r : readings_)
        r.clear();
    runGear_ = -1;
    runLength_ = 0;
    lastMs_ = 0;
}

std::vector<TGearRangeResult> TGearRangeCheck::Results(const TGearDataList &ranges,
                                                       double marginDeg) const
{
    std::vector<TGearRangeResult> results;
    for (int gear = 0; gear < kPositionSlots; ++gear) {
        const std::vector<TSpan> spans = SpansOf(ranges, gear);
        std::vector<std::uint16_t> values = readings_[static_cast<std::size_t>(gear)];
        if (values.empty() && spans.empty())
            continue;
        TGearRangeResult r;
        r.Gear = gear;
        r.Readings = static_cast<int>(values.size());
        r.HasRange = !spans.empty();
        if (!values.empty()) {
            std::sort(values.begin(), values.end());
            const std::size_t n = values.size();
            r.LowestDeg = CountsToDegrees(values.front());
            r.HighestDeg = CountsToDegrees(values.back());
            r.MedianDeg = n % 2
                ? CountsToDegrees(values[n / 2])
                : (CountsToDegrees(values[n / 2 - 1]) + CountsToDegrees(values[n / 2])) / 2;
        }
        if (r.HasRange && !values.empty()) {
            int margin = std::numeric_limits<int>::max();
            for (std::uint16_t v : values) {
                const int m = MarginOf(v, spans);
                margin = std::min(margin, m);
                r.Outside += m < 0;
            }
            r.MarginDeg = margin * 360.0 / kAdcMax;
        }
        r.Marked = r.Readings > 0 && (!r.HasRange || r.Outside > 0 || r.MarginDeg < marginDeg);
        results.push_back(r);
    }
    return results;
}
