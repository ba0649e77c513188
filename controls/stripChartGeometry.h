#pragma once

#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

// The live chart's arithmetic, kept apart from painting so it can be checked without a canvas:
// where the lanes lie, and how a time and a value become a pixel. Time runs left to right, values
// rise upwards. Pixels are computed in floating point; callers round where they draw.
namespace stripchart {

// Lanes from top to bottom: the barrel angle, the analogue input and the four status bits.
enum TLane { lnAngle, lnAnalogue, lnUpshift, lnDownshift, lnCut, lnBlip, kLaneCount };

struct TChartLayout
{
    std::array<QRect, kLaneCount> Lanes {}; // the plotting area of each lane
    QRect Plot; // from the top of the first lane to the bottom of the last
    int TimeAxisTop = 0; // time labels are written below the lanes from here
    int LabelRight = 0; // lane names and value labels end here, left of the lanes
};

// Margins and shares of the height.
constexpr int kLabelWidthInLetters = 13; // "Throttle blip", or a lane title and its values
constexpr int kOuterMargin = 6;
constexpr int kLaneGap = 4;
constexpr double kAnalogueShare = 0.28; // of the height left for the two value lanes
constexpr int kMinAngleLaneHeight = 40;

// textHeight is the height of a line of the chart's font; the bit lanes are a line and a half
// high, the time axis one line.
TChartLayout ChartLayout(QSize size, int textHeight, int letterWidth);

// The time window shown: SpanMs milliseconds ending at EndMs, across the lanes' width.
struct TTimeScale
{
    std::int64_t EndMs = 0;
    std::int64_t SpanMs = 30000;
    int Left = 0;
    int Width = 1;

    std::int64_t StartMs() const { return EndMs - SpanMs; }
};

TTimeScale TimeScale(const TChartLayout &layout, std::int64_t endMs, std::int64_t spanMs);
double TimeToX(const TTimeScale &scale, std::int64_t ms);
// The time under a pixel column (nearest millisecond).
std::int64_t XToTime(const TTimeScale &scale, double x);

// A value between min (bottom of the lane) and max (top) to its y; values beyond are not clipped.
double ValueToY(double value, double min, double max, const QRect &lane);
double AnalogueToY(int value, const QRect &lane); // 0..255; beyond, the nearer end

// The angle range of the angle lane: the gear ranges' extent with a margin, in whole multiples
// of kAngleStep degrees within 0..360; the whole turn when there are no ranges (low > high).
constexpr double kAngleStep = 15.0;
struct TAngleAxis
{
    double Min = 0;
    double Max = 360;
};
TAngleAxis AngleAxis(double lowestDeg, double highestDeg);
double AngleToY(double degrees, const TAngleAxis &axis, const QRect &lane);

// A gear range as a band across the whole lane, clipped to the lane; empty when it lies outside
// or low is above high.
QRect BandRect(double lowDeg, double highDeg, const TAngleAxis &axis, const QRect &lane);
// A period from one time to another across the given rows, clipped to the scale's window; empty
// when it lies outside. to < 0 means "still going" and ends at the window's end.
QRect PeriodRect(std::int64_t from, std::int64_t to, const TTimeScale &scale, const QRect &rows);
// An on-bar of a status bit lane: the period, inset from the lane's top and bottom.
constexpr int kBarInset = 3;
QRect BarRect(std::int64_t from, std::int64_t to, const TTimeScale &scale, const QRect &lane);

// Time ticks: a step from 1 s to whole days, the smallest whose ticks lie at least minGapPx apart.
// Counted back from the window's end when fromEnd (a scrolling live chart keeps its ticks and
// labels still), else at whole multiples of the step since the start of the run.
std::int64_t TickStepMs(const TTimeScale &scale, int minGapPx);
std::vector<std::int64_t> TimeTicks(const TTimeScale &scale, int minGapPx, bool fromEnd);
// Label of a tick: relative to the end ("-20 s", "0 s") when following the live data, else the
// time since the start of the run ("1:05:20", "12:40").
QString TickLabel(std::int64_t ms, const TTimeScale &scale, bool relative);
// Where each tick's label starts: centred on its x, kept within left..right; -1 for a label that
// would then run into the one before it (one kept at an edge is pushed towards its neighbour).
constexpr int kLabelGapPx = 4;
std::vector<int> TickLabelLefts(const std::vector<int> &xs, const std::vector<int> &widths,
                                int left, int right);

// Thins a trace for drawing: points sorted by x become at most two points per pixel column (its
// lowest and highest y, in the order they came), so two hours on a screen stay cheap to draw.
std::vector<QPointF> ThinTrace(const std::vector<QPointF> &points);

// The stretch [first, last) of a trace sorted by x that a repaint of the columns left..right
// needs: the points between them and one more on each side, so that the segments crossing
// either edge are the trace's own.
struct TStretch
{
    std::size_t First = 0;
    std::size_t Last = 0;
};
TStretch StretchBetween(const std::vector<QPointF> &points, double left, double right);

} // namespace stripchart
