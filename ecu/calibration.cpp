#include "calibration.h"

#include <algorithm>
#include <cstdlib>

namespace {

// A reverse sample this close to neutral (also across the ends of the scale) is taken as the
// same barrel position and gets no range of its own.
constexpr int kReverseNearNeutral = 40;
constexpr int kReverseAcrossEnds = 980;
// Below this many counts from the bottom of the scale a range is continued at the top end.
constexpr int kEndMargin = 10;

constexpr int kReverseGear = 0;
constexpr int kNeutralGear = 1;

// A tolerance read from a profile may be any 32-bit value; beyond the whole scale (and beyond
// any 16-bit sample) a wider width changes nothing, and the arithmetic stays far from overflow.
constexpr int kWidthLimit = 1 << 17;

int ToleranceWidth(int degrees)
{
    return std::clamp(WidthDegreesToCounts(degrees), -kWidthLimit, kWidthLimit);
}

int FindGear(const TGearDataList &list, int gear)
{
    for (int k = 0; k < list.Count(); ++k) {
        if (list.Items(k).Gear == gear) {
            return k;
        }
    }
    return -1;
}

TGearData &AppendRange(TGearDataList &list, std::uint8_t gear, int lower, int upper, int adc)
{
    TGearData &range = list.Add();
    range.Gear = gear;
    range.Lower = lower;
    range.Upper = upper;
    range.Adc = static_cast<std::uint16_t>(adc);
    range.Sampled = true;
    return range;
}

void DropReverseNextToNeutral(TGearDataList &ranges)
{
    const int reverse = FindGear(ranges, kReverseGear);
    if (reverse < 0) {
        return;
    }
    const int neutral = FindGear(ranges, kNeutralGear);
    if (neutral < 0) {
        return;
    }
    const int d = std::abs(ranges.Items(reverse).Adc - ranges.Items(neutral).Adc);
    if (d < kReverseNearNeutral || d > kReverseAcrossEnds) {
        ranges.Delete(reverse);
    }
}

// Each bound lies half-way to the neighbouring sample; the outer bounds of the first and last
// range mirror their inner bound about the sample.
void BoundsFromMidpoints(TGearDataList &ranges)
{
    const int n = ranges.Count();
    for (int k = 0; k < n; ++k) {
        TGearData &r = ranges.Items(k);
        const int a = r.Adc;
        if (k == 0) {
            r.Upper = (ranges.Items(1).Adc + a) / 2;
            r.Lower = a - (r.Upper - a);
        } else if (k == n - 1) {
            r.Lower = (ranges.Items(k - 1).Adc + a) / 2;
            r.Upper = a + (a - r.Lower);
        } else {
            r.Upper = (ranges.Items(k + 1).Adc + a) / 2;
            r.Lower = (ranges.Items(k - 1).Adc + a) / 2;
        }
    }
}

// The lowest gear's range continues from the top end of the scale.
void WrapLowEnd(TGearDataList &ranges)
{
    TGearData &first = ranges.Items(0);
    if (first.Lower < 0 || first.Adc < kEndMargin) {
        first.Lower = 0;
        const int upperLast = ranges.Items(ranges.Count() - 1).Upper;
        if (upperLast < kAdcMax) {
            const std::uint8_t gear = first.Gear; // Add() may move the elements
            AppendRange(ranges, gear, upperLast, kAdcMax, (kAdcMax + upperLast) / 2);
        }
    }
}

// The top gear's range continues from the bottom end of the scale.
void WrapHighEnd(TGearDataList &ranges)
{
    TGearData &last = ranges.Items(ranges.Count() - 1);
    if (last.Upper <= kAdcMax) {
        return;
    }
    last.Upper = kAdcMax;
    const std::uint8_t gear = last.Gear;
    TGearData &first = ranges.Items(0);
    if (first.Lower > kEndMargin) {
        const int upper = first.Lower;
        AppendRange(ranges, gear, 0, upper, kAdcMax);
    } else if (first.Adc - first.Lower > kEndMargin) {
        first.Lower = first.Adc / 2;
        const int upper = first.Lower;
        AppendRange(ranges, gear, 0, upper, kAdcMax);
    }
}

void ClipToScale(TGearData &r)
{
    r.Lower = std::max(r.Lower, 0);
    r.Upper = std::min(r.Upper, kAdcMax);
}

} // namespace

void BuildRanges(TEcu &ecu)
{
    TGearDataList &ranges = ecu.Ranges;
    ranges.Clear();
    // A count from the controller is stored unchecked; only existing positions are used.
    const int count = std::clamp(ecu.PositionCount, 0, kPositionSlots);
    for (int i = 0; i < count; ++i) {
        const TGearData &position = ecu.Positions[static_cast<std::size_t>(i)];
        TGearData &r = ranges.Add();
        r.Gear = position.Gear;
        r.Adc = position.Adc;
        r.Sampled = true;
    }
    ranges.SortByAdc();

    DropReverseNextToNeutral(ranges);

    if (ranges.Count() >= 2) {
        BoundsFromMidpoints(ranges);
        WrapLowEnd(ranges);
        WrapHighEnd(ranges);
    } else if (ranges.Count() == 1) {
        // No neighbour to take a midpoint from: a zero-width range on the sample.
        TGearData &only = ranges.Items(0);
        only.Lower = only.Adc;
        only.Upper = only.Adc;
    }

    // The tolerance only narrows a range around its sample, never widens it.
    const int w = ToleranceWidth(ecu.FeedbackWindow);
    for (int k = 0; k < ranges.Count(); ++k) {
        TGearData &r = ranges.Items(k);
        if (r.Adc - r.Lower > w) {
            r.Lower = r.Adc - w;
        }
        if (r.Upper - r.Adc > w) {
            r.Upper = r.Adc + w;
        }
        ClipToScale(r);
    }
}

void RecentreRanges(TEcu &ecu, int tolerance)
{
    const int w = ToleranceWidth(tolerance);
    for (int k = 0; k < ecu.Ranges.Count(); ++k) {
        TGearData &r = ecu.Ranges.Items(k);
        r.Lower = r.Adc - w;
        r.Upper = r.Adc + w;
        ClipToScale(r);
    }
}
