#include "stripChartGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace stripchart {

namespace {

constexpr double kBitLaneLines = 1.5;
constexpr int kAnalogueMax = 255;
constexpr double kFullTurn = 360.0;
constexpr std::int64_t kMsPerSecond = 1000;
constexpr std::int64_t kMsPerDay = 24 * 3600 * kMsPerSecond;
constexpr std::int64_t kSteps[]
    = {1000,   2000,   5000,    10000,   15000,   30000,    60000,    120000,   300000,
       600000, 900000, 1800000, 3600000, 7200000, 10800000, 21600000, 43200000, kMsPerDay};

} // namespace

TChartLayout ChartLayout(QSize size, int textHeight, int letterWidth)
{
    TChartLayout layout;
    layout.LabelRight = kOuterMargin + kLabelWidthInLetters * letterWidth;
    const int left = layout.LabelRight + kLaneGap;
    const int width = std::max(1, size.width() - left - kOuterMargin);
    const int top = kOuterMargin;
    const int bottom = size.height() - kOuterMargin - textHeight; // exclusive
    const int bitHeight = static_cast<int>(std::lround(kBitLaneLines * textHeight));
    const int valueHeight = std::max(2 * kMinAngleLaneHeight,
                                     bottom - top - 4 * bitHeight - (kLaneCount - 1) * kLaneGap);
    const int analogue = static_cast<int>(std::lround(valueHeight * kAnalogueShare));
    const int angle = valueHeight - analogue;

    int y = top;
    const int heights[kLaneCount] = {angle, analogue, bitHeight, bitHeight, bitHeight, bitHeight};
    for (int lane = 0; lane < kLaneCount; ++lane) {
        layout.Lanes[static_cast<std::size_t>(lane)] = QRect(left, y, width, heights[lane]);
        y += heights[lane] + kLaneGap;
    }
    layout.Plot = layout.Lanes.front().united(layout.Lanes.back());
    layout.TimeAxisTop = layout.Plot.bottom() + 1 + kLaneGap / 2;
    return layout;
}

TTimeScale TimeScale(const TChartLayout &layout, std::int64_t endMs, std::int64_t spanMs)
{
    return {endMs, std::max<std::int64_t>(spanMs, 1), layout.Plot.left(),
            std::max(layout.Plot.width(), 1)};
}

double TimeToX(const TTimeScale &scale, std::int64_t ms)
{
    return scale.Left
        + static_cast<double>(ms - scale.StartMs()) * scale.Width
        / static_cast<double>(scale.SpanMs);
}

std::int64_t XToTime(const TTimeScale &scale, double x)
{
    return scale.StartMs()
        + std::llround((x - scale.Left) * static_cast<double>(scale.SpanMs) / scale.Width);
}

double ValueToY(double value, double min, double max, const QRect &lane)
{
    if (max <= min)
        return lane.bottom();
    // The lane's top and bottom pixel rows are the ends of the scale.
    return lane.bottom() - (value - min) * (lane.height() - 1) / (max - min);
}

double AnalogueToY(int value, const QRect &lane)
{
    // A threshold from a hand-edited profile may lie off the scale; it stays at the lane's edge.
    return ValueToY(std::clamp(value, 0, kAnalogueMax), 0, kAnalogueMax, lane);
}

TAngleAxis AngleAxis(double lowestDeg, double highestDeg)
{
    if (!(lowestDeg <= highestDeg))
        return {};
    const double min = std::floor(lowestDeg / kAngleStep) * kAngleStep - kAngleStep;
    const double max = std::ceil(highestDeg / kAngleStep) * kAngleStep + kAngleStep;
    return {std::max(0.0, min), std::min(kFullTurn, max)};
}

double AngleToY(double degrees, const TAngleAxis &axis, const QRect &lane)
{
    return ValueToY(degrees, axis.Min, axis.Max, lane);
}

QRect BandRect(double lowDeg, double highDeg, const TAngleAxis &axis, const QRect &lane)
{
    if (lowDeg > highDeg)
        return {};
    const int top = static_cast<int>(std::lround(AngleToY(highDeg, axis, lane)));
    const int bottom = static_cast<int>(std::lround(AngleToY(lowDeg, axis, lane)));
    return QRect(QPoint(lane.left(), top), QPoint(lane.right(), bottom)).intersected(lane);
}

QRect PeriodRect(std::int64_t from, std::int64_t to, const TTimeScale &scale, const QRect &rows)
{
    if (to < 0)
        to = scale.EndMs;
    if (to < from || to < scale.StartMs() || from > scale.EndMs)
        return {};
    const double left = std::max(TimeToX(scale, from), static_cast<double>(scale.Left));
    const double right
        = std::min(TimeToX(scale, to), static_cast<double>(scale.Left + scale.Width));
    const int x0 = static_cast<int>(std::lround(left));
    // Every period is at least a pixel wide, so a short blip still shows.
    const int x1 = std::max(x0 + 1, static_cast<int>(std::lround(right)));
    return QRect(x0, rows.top(), x1 - x0, rows.height()).intersected(rows);
}

QRect BarRect(std::int64_t from, std::int64_t to, const TTimeScale &scale, const QRect &lane)
{
    return PeriodRect(from, to, scale, lane.adjusted(0, kBarInset, 0, -kBarInset));
}

std::int64_t TickStepMs(const TTimeScale &scale, int minGapPx)
{
    for (std::int64_t step : kSteps)
        if (step * scale.Width / static_cast<double>(scale.SpanMs) >= minGapPx)
            return step;
    // Whole days beyond: however long a log claims to be, the ticks fit the width.
    const double days = std::ceil(static_cast<double>(minGapPx) * static_cast<double>(scale.SpanMs)
                                  / std::max(scale.Width, 1) / kMsPerDay);
    return static_cast<std::int64_t>(std::max(days, 1.0)) * kMsPerDay;
}

std::vector<std::int64_t> TimeTicks(const TTimeScale &scale, int minGapPx, bool fromEnd)
{
    const std::int64_t step = TickStepMs(scale, minGapPx);
    std::int64_t first = scale.EndMs - (scale.SpanMs / step) * step;
    if (!fromEnd) {
        const std::int64_t start = scale.StartMs();
        first = (start >= 0 ? (start + step - 1) / step : start / step) * step;
    }
    std::vector<std::int64_t> ticks;
    for (std::int64_t t = first; t <= scale.EndMs; t += step)
        ticks.push_back(t);
    return ticks;
}

QString TickLabel(std::int64_t ms, const TTimeScale &scale, bool relative)
{
    if (relative) {
        const std::int64_t seconds = (ms - scale.EndMs) / kMsPerSecond;
        return QStringLiteral("%1 s").arg(seconds);
    }
    const std::int64_t total = std::max<std::int64_t>(0, ms) / kMsPerSecond;
    const std::int64_t h = total / 3600;
    const std::int64_t m = total / 60 % 60;
    const std::int64_t s = total % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(h)
            .arg(m, 2, 10, QLatin1Char('0'))
            .arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

std::vector<int> TickLabelLefts(const std::vector<int> &xs, const std::vector<int> &widths,
                                int left, int right)
{
    std::vector<int> lefts;
    const std::size_t n = std::min(xs.size(), widths.size());
    lefts.reserve(n);
    int usedTo = std::numeric_limits<int>::min();
    for (std::size_t i = 0; i < n; ++i) {
        const int at = std::clamp(xs[i] - widths[i] / 2, left, std::max(left, right - widths[i]));
        const bool fits = usedTo == std::numeric_limits<int>::min() || at >= usedTo + kLabelGapPx;
        lefts.push_back(fits ? at : -1);
        if (fits)
            usedTo = at + widths[i];
    }
    return lefts;
}

std::vector<QPointF> ThinTrace(const std::vector<QPointF> &points)
{
    std::vector<QPointF> out;
    out.reserve(std::min<std::size_t>(points.size(), 4096));
    std::size_t i = 0;
    while (i < points.size()) {
        const long column = std::lround(std::floor(points[i].x()));
        std::size_t low = i;
        std::size_t high = i;
        std::size_t j = i + 1;
        for (; j < points.size() && std::lround(std::floor(points[j].x())) == column; ++j) {
            if (points[j].y() < points[low].y())
                low = j;
            if (points[j].y() > points[high].y())
                high = j;
        }
        if (low == high) {
            out.push_back(points[low]);
        } else {
            out.push_back(points[std::min(low, high)]);
            out.push_back(points[std::max(low, high)]);
        }
        i = j;
    }
    return out;
}

TStretch StretchBetween(const std::vector<QPointF> &points, double left, double right)
{
    const auto byX = [](const QPointF &p, double x) { return p.x() < x; };
    const auto inside = std::lower_bound(points.begin(), points.end(), left, byX);
    const auto beyond = std::upper_bound(points.begin(), points.end(), right,
                                         [](double x, const QPointF &p) { return x < p.x(); });
    TStretch s;
    s.First = static_cast<std::size_t>(inside - points.begin());
    s.Last = static_cast<std::size_t>(beyond - points.begin());
    if (s.First > 0)
        --s.First;
    if (s.Last < points.size())
        ++s.Last;
    return s;
}

} // namespace stripchart
