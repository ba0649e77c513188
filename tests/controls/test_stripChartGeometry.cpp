#include "stripChartGeometry.h"

#include <gtest/gtest.h>

using namespace stripchart;

namespace {

// An 800 x 500 chart with a 14-pixel line and 7-pixel letters.
TChartLayout Layout()
{
    return ChartLayout(QSize(800, 500), 14, 7);
}

} // namespace

TEST(StripChartGeometry, LanesStackFromAngleToBlipBesideTheLabels)
{
    const TChartLayout layout = Layout();
    EXPECT_EQ(layout.LabelRight, 6 + 13 * 7);
    // 370 pixels for the two value lanes after four bit lanes of 21 and five gaps of 4.
    const QRect expected[kLaneCount] = {
        {101, 6, 693, 266},  {101, 276, 693, 104}, {101, 384, 693, 21},
        {101, 409, 693, 21}, {101, 434, 693, 21},  {101, 459, 693, 21},
    };
    for (int lane = 0; lane < kLaneCount; ++lane)
        EXPECT_EQ(layout.Lanes[static_cast<std::size_t>(lane)], expected[lane]) << lane;
    EXPECT_EQ(layout.Plot, QRect(101, 6, 693, 474));
    EXPECT_EQ(layout.TimeAxisTop, 482);
    // Too small a window still leaves the value lanes their minimum height.
    EXPECT_EQ(ChartLayout(QSize(100, 50), 14, 7).Lanes[lnAngle].height(), 80 - 22);
}

TEST(StripChartGeometry, TimeAndPixelsMapBothWays)
{
    const TTimeScale scale = TimeScale(Layout(), 60000, 30000);
    EXPECT_EQ(scale.StartMs(), 30000);
    const struct
    {
        std::int64_t Ms;
        double X;
    } rows[] = {{30000, 101}, {60000, 794}, {45000, 447.5}, {20000, 101 - 693 / 3.0}};
    for (const auto &row : rows) {
        EXPECT_DOUBLE_EQ(TimeToX(scale, row.Ms), row.X) << row.Ms;
        EXPECT_EQ(XToTime(scale, row.X), row.Ms) << row.X;
    }
    EXPECT_EQ(XToTime(scale, 102), 30043); // one pixel is 43.3 ms at 30 s across 693 pixels
}

TEST(StripChartGeometry, ValuesRiseFromTheLanesBottomRowToItsTopRow)
{
    const QRect analogue = Layout().Lanes[lnAnalogue];
    EXPECT_DOUBLE_EQ(AnalogueToY(0, analogue), 379);
    EXPECT_DOUBLE_EQ(AnalogueToY(255, analogue), 276);
    EXPECT_DOUBLE_EQ(AnalogueToY(78, analogue), 379 - 78 * 103 / 255.0);
    EXPECT_DOUBLE_EQ(AnalogueToY(256, analogue), 276); // thresholds off the scale
    EXPECT_DOUBLE_EQ(AnalogueToY(-1, analogue), 379);

    const TAngleAxis axis = AngleAxis(29.9, 300.0);
    EXPECT_EQ(axis.Min, 0); // 15 below 29.9 rounded down, within the turn
    EXPECT_EQ(axis.Max, 315);
    EXPECT_EQ(AngleAxis(84.4, 121).Min, 60);
    EXPECT_EQ(AngleAxis(84.4, 121).Max, 150);
    EXPECT_EQ(AngleAxis(10, 355).Max, 360);
    EXPECT_EQ(AngleAxis(1, 0).Max, 360); // no ranges: the whole turn
    EXPECT_EQ(AngleAxis(1, 0).Min, 0);
}

TEST(StripChartGeometry, BandsSpanTheLaneBetweenTheirAnglesAndClipToIt)
{
    const QRect lane(10, 0, 100, 361); // one pixel per degree on a whole turn
    const TAngleAxis axis;
    EXPECT_EQ(BandRect(90, 180, axis, lane), QRect(QPoint(10, 180), QPoint(109, 270)));
    EXPECT_EQ(BandRect(350, 400, axis, lane), QRect(QPoint(10, 0), QPoint(109, 10)));
    EXPECT_TRUE(BandRect(400, 500, axis, lane).isEmpty());
    EXPECT_TRUE(BandRect(20, 10, axis, lane).isEmpty());
}

TEST(StripChartGeometry, PeriodsAndBarsClipToTheTimeWindow)
{
    const TTimeScale scale {20000, 10000, 100, 1000}; // 10 .. 20 s over x 100 .. 1100
    const QRect rows(100, 50, 1000, 30);
    const struct
    {
        std::int64_t From, To;
        QRect Rect;
    } periods[] = {
        {12000, 13000, {300, 50, 100, 30}},
        {5000, 11000, {100, 50, 100, 30}}, // begun before the window
        {19000, -1, {1000, 50, 100, 30}}, // still going: to the end
        {14000, 14000, {500, 50, 1, 30}}, // a single reply still shows
        {21000, 22000, {}},
        {7000, 8000, {}},
    };
    for (const auto &p : periods)
        EXPECT_EQ(PeriodRect(p.From, p.To, scale, rows), p.Rect) << p.From;
    EXPECT_EQ(BarRect(12000, 13000, scale, rows), QRect(300, 53, 100, 24));
}

TEST(StripChartGeometry, TicksStayOnTheEndWhileLiveAndOnWholeStepsInALog)
{
    const TTimeScale live = TimeScale(Layout(), 61234, 30000);
    EXPECT_EQ(TickStepMs(live, 60), 5000); // 2000 ms would be 47 pixels
    const std::vector<std::int64_t> fromEnd = TimeTicks(live, 60, true);
    ASSERT_EQ(fromEnd.size(), 7u);
    EXPECT_EQ(fromEnd.front(), 31234);
    EXPECT_EQ(fromEnd.back(), 61234);
    EXPECT_EQ(TickLabel(fromEnd.front(), live, true), "-30 s");
    EXPECT_EQ(TickLabel(fromEnd.back(), live, true), "0 s");

    const std::vector<std::int64_t> whole = TimeTicks(live, 60, false);
    ASSERT_EQ(whole.size(), 6u);
    EXPECT_EQ(whole.front(), 35000);
    EXPECT_EQ(whole.back(), 60000);
    EXPECT_EQ(TickLabel(65000, live, false), "1:05");
    EXPECT_EQ(TickLabel(3725000, live, false), "1:02:05");
    // Two hours on 693 pixels: ticks a quarter of an hour apart; a day, three hours; a damaged
    // log that claims 35 years, still no more ticks than fit.
    EXPECT_EQ(TickStepMs(TimeScale(Layout(), 7200000, 7200000), 60), 900000);
    EXPECT_EQ(TickStepMs(TimeScale(Layout(), 86400000, 86400000), 60), 10800000);
    const std::int64_t years = std::int64_t {1} << 40;
    const TTimeScale all = TimeScale(Layout(), years, years);
    EXPECT_EQ(TickStepMs(all, 60) % 86400000, 0);
    const std::size_t fit = TimeTicks(all, 60, false).size();
    EXPECT_GE(fit, 5u);
    EXPECT_LE(fit, 693u / 60u + 1u);
}

TEST(StripChartGeometry, TickLabelsStayInsideAndNeverRunIntoEachOther)
{
    const struct
    {
        const char *Name;
        std::vector<int> Xs;
        std::vector<int> Widths;
        std::vector<int> Lefts;
    } rows[] = {
        {"centred where they fit", {100, 170, 240}, {40, 40, 40}, {80, 150, 220}},
        {"first kept inside the left edge", {50, 130}, {40, 40}, {60, 110}},
        {"first pushed into its neighbour", {50, 120}, {40, 40}, {60, -1}},
        // The last one, kept inside the right edge, would overlap the one before: left out.
        {"last pushed into its neighbour", {460, 530, 600}, {56, 56, 56}, {432, 502, -1}},
        {"last pushed, still clear", {460, 530, 600}, {40, 40, 40}, {440, 510, 560}},
        {"exactly the gap apart", {100, 144}, {40, 40}, {80, 124}},
        {"one pixel short of the gap", {100, 143}, {40, 40}, {80, -1}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.Name);
        EXPECT_EQ(TickLabelLefts(row.Xs, row.Widths, 60, 600), row.Lefts);
    }
}

TEST(StripChartGeometry, ThinTraceKeepsEachColumnsExtremesInOrder)
{
    std::vector<QPointF> points;
    for (int i = 0; i < 1000; ++i) // ten columns of 100 points each
        points.emplace_back(10 + i / 100 + (i % 100) / 200.0, (i * 37) % 101);
    const std::vector<QPointF> thin = ThinTrace(points);
    ASSERT_EQ(thin.size(), 20u);
    for (std::size_t c = 0; c < 10; ++c) {
        const double a = thin[2 * c].y();
        const double b = thin[2 * c + 1].y();
        EXPECT_EQ(std::min(a, b), 0) << c;
        EXPECT_EQ(std::max(a, b), 100) << c;
        EXPECT_EQ(std::floor(thin[2 * c].x()), 10 + static_cast<double>(c));
    }
    // A trace already thinner than the columns passes unchanged.
    const std::vector<QPointF> sparse = {{1, 5}, {3, 2}, {7, 9}};
    EXPECT_EQ(ThinTrace(sparse), sparse);
}

TEST(StripChartGeometry, StretchBetweenTakesTheColumnsAndOneNeighbourEachSide)
{
    const std::vector<QPointF> trace = {{2, 0}, {5, 0}, {9, 0}, {14, 0}, {20, 0}};
    const struct
    {
        double left, right;
        std::size_t first, last;
    } rows[] = {
        {5, 14, 0, 5}, // points on both edges are inside; their neighbours come along
        {5.5, 13.5, 1, 4}, // nothing on the edges: the points just outside are the neighbours
        {10, 13, 2, 4}, // no point between: the segment crossing the strip
        {-4, 1, 0, 1}, // before the trace
        {21, 30, 4, 5}, // after it
        {0, 100, 0, 5},
    };
    for (const auto &row : rows) {
        const TStretch s = StretchBetween(trace, row.left, row.right);
        EXPECT_EQ(s.First, row.first) << row.left;
        EXPECT_EQ(s.Last, row.last) << row.left;
    }
    EXPECT_EQ(StretchBetween({}, 0, 10).Last, 0u);
}
