#include "rangeCheck.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
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
            // A span round the whole scale has no edge: no reading can lie farther from one.
            best = std::max(best, std::min(m, (kAdcMax + 1) / 2));
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
        kept_ = -1;
        pending_ = -1;
        return;
    }
    ++runLength_;
    if (runLength_ <= kSettleReadings || sample.Gear >= kPositionSlots)
        return;
    atRest_[sample.Gear].push_back(sample.Adc);
    // Also round the scale: a gear whose range wraps rests across the join. A hand-edited log may
    // hold readings beyond the scale; those have no way round.
    const auto agree = [](int a, int b) {
        const int step = std::abs(a - b);
        const int around = a <= kAdcMax && b <= kAdcMax ? kAdcMax - step : step;
        return b >= 0 && std::min(step, around) <= kAgreeCounts;
    };
    std::vector<std::uint16_t> &kept = readings_[sample.Gear];
    if (agree(sample.Adc, pending_)) {
        kept.push_back(static_cast<std::uint16_t>(pending_));
    } else if (!agree(sample.Adc, kept_)) {
        // Held back until a later reading agrees with it; the one held before is left out.
        pending_ = sample.Adc;
        return;
    }
    kept.push_back(sample.Adc);
    kept_ = sample.Adc;
    pending_ = -1;
}

void TGearRangeCheck::Clear()
{
    for (auto &r : readings_)
        r.clear();
    for (auto &r : atRest_)
        r.clear();
    runGear_ = -1;
    runLength_ = 0;
    kept_ = -1;
    pending_ = -1;
    lastMs_ = 0;
}

std::vector<TGearRangeResult> TGearRangeCheck::Results(const TGearDataList &ranges,
                                                       double marginDeg) const
{
    std::vector<TGearRangeResult> results;
    for (int gear = 0; gear < kPositionSlots; ++gear) {
        const std::vector<TSpan> spans = SpansOf(ranges, gear);
        const std::vector<std::uint16_t> &all = atRest_[static_cast<std::size_t>(gear)];
        const std::vector<std::uint16_t> &kept = readings_[static_cast<std::size_t>(gear)];
        const int isolated = static_cast<int>(all.size() - kept.size());
        const bool unsteady = isolated > kMaxIsolated
            && isolated * 100 > static_cast<int>(all.size()) * kMaxIsolatedPercent;
        std::vector<std::uint16_t> values = unsteady ? all : kept;
        if (values.empty() && spans.empty())
            continue;
        TGearRangeResult r;
        r.Gear = gear;
        r.Readings = static_cast<int>(values.size());
        r.LeftOut = unsteady ? 0 : isolated;
        r.Unsteady = unsteady;
        r.HasRange = !spans.empty();
        // Readings of a gear whose range wraps round the scale are counted on from the top, so
        // that lowest, median and highest follow the range across the join.
        const bool wraps = std::any_of(spans.begin(), spans.end(),
                                       [](const TSpan &s) { return !s.LowerIsEdge; });
        if (wraps) {
            for (std::uint16_t &v : values)
                if (v < (kAdcMax + 1) / 2)
                    v = static_cast<std::uint16_t>(v + kAdcMax);
        }
        const auto degrees = [](double counts) {
            return counts * 360.0 / kAdcMax - (counts > kAdcMax ? 360.0 : 0.0);
        };
        if (!values.empty()) {
            std::sort(values.begin(), values.end());
            const std::size_t n = values.size();
            r.LowestDeg = degrees(values.front());
            r.HighestDeg = degrees(values.back());
            r.MedianDeg
                = degrees(n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0);
        }
        if (r.HasRange && !values.empty()) {
            int margin = std::numeric_limits<int>::max();
            for (std::uint16_t v : values) {
                const int m = MarginOf(v > kAdcMax ? v - kAdcMax : v, spans);
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

TRunRanges RangesOfRun(const std::vector<TLogMarker> &markers)
{
    TRunRanges run;
    std::optional<std::string> controller; // the ranges the controller was last known to run
    std::string_view before; // the marker before this one
    // The first and the last write that failed since the controller's ranges were last told.
    const TLogMarker *firstFailed = nullptr;
    const TLogMarker *lastFailed = nullptr;
    const std::string writeFailed
        = std::string(kSettingsWrittenEvent).append(kTransferFailedSuffix);
    const auto changedAt = [&run, &controller](const TLogMarker &m) {
        run.FromMs = m.Ms;
        run.FromTime = m.Time;
        run.BeforeUnknown = !controller;
    };
    for (const TLogMarker &m : markers) {
        TGearDataList ranges;
        const bool known = ParseKnownRangesEvent(m.Event, ranges);
        if (m.Event == writeFailed) {
            firstFailed = firstFailed ? firstFailed : &m;
            lastFailed = &m;
        } else if (known || ParseRangesEvent(m.Event, ranges)) {
            run.Known = true;
            if (known || before == kSettingsReadEvent || before == kSettingsWrittenEvent) {
                const std::string key = FormatRangesEvent(ranges);
                const bool same = controller && *controller == key;
                if (lastFailed && before == kSettingsReadEvent) {
                    // The read finds what the last failed write left, unless nothing changed.
                    if (!same || firstFailed != lastFailed)
                        changedAt(*lastFailed);
                } else if (lastFailed || (controller && !same)) {
                    changedAt(m);
                } else if (!controller && before == kSettingsWrittenEvent) {
                    // What the controller ran before this first write was never told.
                    changedAt(m);
                }
                firstFailed = lastFailed = nullptr;
                controller = key;
                run.Ranges = ranges;
            } else if (!controller) {
                run.Ranges = ranges;
            }
        }
        before = m.Event;
    }
    if (firstFailed) {
        run.UntilMs = firstFailed->Ms;
        run.UntilTime = firstFailed->Time;
    }
    return run;
}

std::string FormatKnownRangesEvent(const TGearDataList &ranges)
{
    return std::string(kSettingsKnownEvent).append(": ").append(FormatRangesEvent(ranges));
}

bool ParseKnownRangesEvent(std::string_view event, TGearDataList &ranges)
{
    if (!event.starts_with(kSettingsKnownEvent)
        || event.substr(kSettingsKnownEvent.size(), 2) != ": ")
        return false;
    return ParseRangesEvent(event.substr(kSettingsKnownEvent.size() + 2), ranges);
}

TLogTrigger TriggerOf(const TEcu &ecu)
{
    return {ecu.GearShiftType, ecu.GearThresholdUpper, ecu.GearThresholdLower, ecu.BarrelThreshold};
}

std::string FormatTriggerEvent(const TLogTrigger &trigger)
{
    char text[96];
    std::snprintf(text, sizeof text, "trigger %d %d %d %d", trigger.Method, trigger.UpThreshold,
                  trigger.DownThreshold, trigger.BarrelThreshold);
    return text;
}

bool ParseTriggerEvent(std::string_view event, TLogTrigger &trigger)
{
    if (!event.starts_with(kTriggerMarker))
        return false;
    TLogTrigger parsed;
    std::string_view rest = event.substr(kTriggerMarker.size());
    for (int *field :
         {&parsed.Method, &parsed.UpThreshold, &parsed.DownThreshold, &parsed.BarrelThreshold}) {
        if (rest.empty() || rest.front() != ' ')
            return false;
        rest.remove_prefix(1);
        const auto [next, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), *field);
        if (ec != std::errc() || next == rest.data())
            return false;
        rest.remove_prefix(static_cast<std::size_t>(next - rest.data()));
    }
    if (!rest.empty())
        return false;
    trigger = parsed;
    return true;
}

std::string FormatRangesEvent(const TGearDataList &ranges)
{
    std::string text(kRangesMarker);
    for (int k = 0; k < ranges.Count(); ++k) {
        const TGearData &r = ranges.Items(k);
        char item[64];
        std::snprintf(item, sizeof item, " %u:%ld-%ld@%u", static_cast<unsigned>(r.Gear),
                      static_cast<long>(r.Lower), static_cast<long>(r.Upper),
                      static_cast<unsigned>(r.Adc));
        text += item;
    }
    return text;
}

bool ParseRangesEvent(std::string_view event, TGearDataList &ranges)
{
    if (event.substr(0, kRangesMarker.size()) != kRangesMarker)
        return false;
    TGearDataList parsed;
    std::string_view rest = event.substr(kRangesMarker.size());
    while (!rest.empty()) {
        if (rest.front() != ' ')
            return false;
        rest.remove_prefix(1);
        const std::size_t end = std::min(rest.find(' '), rest.size());
        const std::string_view item = rest.substr(0, end);
        rest.remove_prefix(end);
        unsigned gear = 0;
        long lower = 0;
        long upper = 0;
        unsigned adc = 0;
        const char *p = item.data();
        const char *stop = item.data() + item.size();
        auto number = [&](auto &value, char after) {
            const auto [next, ec] = std::from_chars(p, stop, value);
            if (ec != std::errc() || (after && (next == stop || *next != after)))
                return false;
            p = after ? next + 1 : next;
            return true;
        };
        if (!number(gear, ':') || !number(lower, '-') || !number(upper, '@') || !number(adc, 0)
            || p != stop || adc > 0xFFFF)
            return false;
        // The controller may report a range for a gear this program has no slot for; it cannot be
        // checked, but it must not cost the others.
        if (gear >= kPositionSlots)
            continue;
        TGearData &r = parsed.Add();
        r.Gear = static_cast<std::uint8_t>(gear);
        r.Lower = static_cast<std::int32_t>(lower);
        r.Upper = static_cast<std::int32_t>(upper);
        r.Adc = static_cast<std::uint16_t>(adc);
    }
    ranges = parsed;
    return true;
}
