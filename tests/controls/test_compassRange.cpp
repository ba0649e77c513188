#include "compassGeometry.h"
#include "compassRange.h"
#include "paintRecorder.h"

#include <QImage>
#include <QPaintEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace compass;

namespace {

const QRgb kBlack = 0xFF000000;
const QRgb kWhite = 0xFFFFFFFF;

QImage Render(TCompassRange &dial)
{
    QImage image(dial.size(), QImage::Format_ARGB32);
    image.fill(0xFF204060);
    dial.render(&image);
    return image;
}

int CountColour(const QImage &image, QRect area, QRgb colour)
{
    int n = 0;
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            n += image.pixel(x, y) == colour;
        }
    }
    return n;
}

} // namespace

TEST(CompassGeometry, RoundingIsHalfToEvenAndSafeForWildValues)
{
    const struct
    {
        double In;
        int Out;
    } rows[] = {{0.5, 0},    {1.5, 2},     {2.5, 2}, {-0.5, 0},     {-1.5, -2},
                {85.85, 86}, {155.5, 156}, {NAN, 0}, {INFINITY, 0}, {1e300, 1000000000}};
    for (const auto &row : rows) {
        EXPECT_EQ(RoundEven(row.In), row.Out) << row.In;
    }
}

TEST(CompassGeometry, DefaultDialHasRadius101AtCentre105)
{
    const TDialGeometry g = DialGeometry(210, 210);
    EXPECT_EQ(g.Radius, 101);
    EXPECT_EQ(g.CentreX, 105);
    EXPECT_EQ(g.CentreY, 105);
    EXPECT_EQ(HubRadius(g), 15);
    EXPECT_EQ(FontPointSize(g), 9);
    EXPECT_EQ(TitleBottom(g), 105 - 40);
    EXPECT_EQ(UnitsBottom(g), 105 - 25);
    // The shorter side decides.
    EXPECT_EQ(DialGeometry(300, 101).Radius, 46);
}

TEST(CompassGeometry, LabelsRunCounterClockwiseFromTheBottom)
{
    const TDialGeometry g = DialGeometry(210, 210);
    const int letter = 14;
    const struct
    {
        int K;
        const char *Text;
        QPoint Anchor;
    } rows[] = {
        {0, "0", {105, 178 + 7}}, // bottom
        {3, "90", {178, 105 + 7}}, // right
        {6, "180", {105, 32 + 7}}, // top
        {9, "270", {32, 105 + 7}}, // left
        {1, "30", {141, 168 + 7}}, // 0.72r * (sin 30, cos 30) = (36.36, 62.98)
    };
    for (const auto &row : rows) {
        EXPECT_EQ(MarkLabel(360, 12, row.K), row.Text);
        EXPECT_EQ(LabelAnchor(g, MarkAngle(12, row.K), letter), row.Anchor) << row.Text;
    }
    EXPECT_EQ(MarkLabel(360, 7, 1), "51.4285714285714");
    EXPECT_EQ(MarkLabel(100, 8, 1), "12.5");
}

TEST(CompassGeometry, PointerLinesRunFromInsideTheRimToTheHub)
{
    const TDialGeometry g = DialGeometry(210, 210);
    const struct
    {
        float Value;
        int MaxValue;
        QLine Line;
    } rows[] = {
        {90, 360, {191, 105, 120, 105}},
        {0, 360, {105, 191, 105, 120}},
        {180, 360, {105, 19, 105, 90}},
        {270, 360, {19, 105, 90, 105}},
        {360, 360, {105, 191, 105, 120}},
        // Any other maximum offsets the pointer's zero: 0 of 100 turns by 648 degrees.
        {0, 100, {23, 78, 91, 100}},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(PointerLine(g, row.Value, row.MaxValue), row.Line) << row.Value;
    }
    EXPECT_TRUE(PointerLine(g, 90, 0).isNull());
    EXPECT_TRUE(PointerLine(g, 90, -5).isNull());
}

TEST(CompassGeometry, RangeBandsFollowTheRimInDegreeSteps)
{
    const TDialGeometry g = DialGeometry(210, 210);
    EXPECT_EQ(RangePolygon(g, 0, 30, 360).size(), 62);
    EXPECT_TRUE(RangePolygon(g, 350, 10, 360).isEmpty());
    EXPECT_TRUE(RangePolygon(g, 0, 30, 0).isEmpty());
    // One degree wide: a radial stroke from 0.9r to r.
    const QPolygon stroke = RangePolygon(g, 10, 10, 360);
    ASSERT_EQ(stroke.size(), 2);
    EXPECT_EQ(stroke[0],
              QPoint(RoundEven(105 + 101 * std::sin(10 * M_PI / 180)),
                     RoundEven(105 + 101 * std::cos(10 * M_PI / 180))));
    EXPECT_EQ(stroke[1],
              QPoint(RoundEven(105 + 90.9 * std::sin(10 * M_PI / 180)),
                     RoundEven(105 + 90.9 * std::cos(10 * M_PI / 180))));
    // Scale units convert to degrees; absurd bounds never build more than one turn.
    EXPECT_EQ(RangePolygon(g, 0, 50, 100).size(), 2 * 181);
    EXPECT_EQ(RangePolygon(g, -1e30f, 1e30f, 360).size(), 2 * 361);
}

TEST(CompassGeometry, MinorTicksCoverMajorTicksWithTwelveMarksAndSplitThemWithEight)
{
    const TDialGeometry g = DialGeometry(210, 210);
    // Within a pixel: both round the same rim point, reached through different angles.
    auto onMajor = [&](int marks, int k) {
        const QPoint p = MinorTick(g, marks, k).p1();
        for (int j = 0; j < marks; ++j) {
            if ((MajorTick(g, MarkAngle(marks, j)).p1() - p).manhattanLength() <= 1) {
                return true;
            }
        }
        return false;
    };
    for (int k = 0; k < 12; ++k) {
        EXPECT_TRUE(onMajor(12, k)) << k;
    }
    for (int k = 0; k < 8; ++k) {
        EXPECT_FALSE(onMajor(8, k)) << k;
    }
    EXPECT_TRUE(MinorTick(g, 0, 0).isNull());
}

TEST(CompassRange, StartsWithItsDeclaredDefaults)
{
    TCompassRange dial;
    EXPECT_EQ(dial.size(), QSize(210, 210));
    EXPECT_EQ(dial.FontName(), "Century Gothic");
    EXPECT_EQ(dial.ColorScale(), QColor(0x000000u));
    EXPECT_EQ(dial.ColorBack(), QColor(0xC0C0C0u));
    EXPECT_EQ(dial.ColorFont(), QColor(0xFFFFFFu));
    EXPECT_EQ(dial.ColorNeedle(), QColor(0xFF8000u));
    EXPECT_EQ(dial.ColorBorder(), QColor(0x808080u));
    EXPECT_EQ(dial.MaxValue(), 360);
    EXPECT_EQ(dial.Position(), 0.0f);
    EXPECT_EQ(dial.Marks(), 12);
    EXPECT_EQ(dial.Units(), "30");
    EXPECT_EQ(dial.Title(), "Degrees");
    EXPECT_EQ(dial.RangeCount(), 0);
    EXPECT_EQ(dial.MarkerCount(), 0);
}

TEST(CompassRange, LabelsAppearAtBottomRightTopAndLeftOfTheRenderedDial)
{
    TCompassRange dial;
    dial.SetColorNeedle(dial.ColorBack());
    const QImage image = Render(dial);
    const TDialGeometry g = DialGeometry(210, 210);
    // Around each label centre there is label ink; half-way between labels there is none.
    for (int k = 0; k < 12; ++k) {
        const QPointF c = DialPoint(g, MarkAngle(12, k), kLabelRadius * g.Radius);
        EXPECT_GT(CountColour(image, QRect(c.toPoint() - QPoint(4, 4), QSize(9, 9)), kWhite), 0)
            << k;
        const QPointF between = DialPoint(g, MarkAngle(12, k) + 15, kLabelRadius * g.Radius);
        EXPECT_EQ(CountColour(image, QRect(between.toPoint() - QPoint(3, 3), QSize(7, 7)), kWhite),
                  0)
            << k;
    }
    // The face is black inside a grey ring (the ticks at 0 and 180 reach onto it); the hub is
    // outlined in grey.
    EXPECT_EQ(image.pixel(105, 140), kBlack);
    for (int y : {1, 2, 207, 208}) {
        EXPECT_EQ(image.pixel(105, y), 0xFF808080) << y;
    }
    EXPECT_EQ(image.pixel(105, 105 - 15), 0xFF808080);
    EXPECT_EQ(image.pixel(105, 105 + 14), 0xFF808080);
    EXPECT_EQ(image.pixel(105, 100), kBlack);
}

TEST(CompassRange, NeedleIsTheExclusiveOrOfItsColourAndTheFace)
{
    TCompassRange face;
    face.SetColorNeedle(face.ColorBack());
    face.SetPosition(90);
    const QImage plain = Render(face);

    TCompassRange dial;
    dial.SetPosition(90);
    const QImage needled = Render(dial);

    const QRect band = QRect(QPoint(118, 102), QPoint(193, 108));
    int changed = 0;
    int overLabel = 0;
    for (int y = 0; y < 210; ++y) {
        for (int x = 0; x < 210; ++x) {
            const QRgb before = plain.pixel(x, y);
            const QRgb after = needled.pixel(x, y);
            if (before == after) {
                continue;
            }
            ++changed;
            ASSERT_TRUE(band.contains(x, y)) << x << "," << y;
            ASSERT_EQ(after, before ^ 0x00FF8000) << x << "," << y;
            overLabel += before == kWhite;
        }
    }
    EXPECT_GT(changed, 2 * 60);
    // The needle crosses the "90" label, where it shows white XOR orange.
    EXPECT_GT(overLabel, 0);
    EXPECT_EQ(needled.pixel(150, 105), 0xFFFF8000);
}

TEST(CompassRange, PositionIsLimitedWhenDrawnAndTheLimitedValueIsKept)
{
    const struct
    {
        float Set;
        bool Hidden;
        float Stored;
        QPoint Lit; // a pixel the needle covers
    } rows[] = {
        {400, false, 360, {105, 150}},
        {-20, false, 0, {105, 150}},
        {180, false, 180, {105, 60}}, // crosses the title
        // A hidden needle is not drawn, so nothing limits the value.
        {400, true, 400, {}},
    };
    TCompassRange bare;
    bare.SetColorNeedle(bare.ColorBack());
    const QImage face = Render(bare);
    for (const auto &row : rows) {
        TCompassRange dial;
        if (row.Hidden) {
            dial.SetColorNeedle(dial.ColorBack());
        }
        dial.SetPosition(row.Set);
        const QImage image = Render(dial);
        EXPECT_EQ(dial.Position(), row.Stored) << row.Set;
        if (!row.Hidden) {
            EXPECT_EQ(image.pixel(row.Lit), face.pixel(row.Lit) ^ 0x00FF8000) << row.Set;
        }
    }
}

TEST(CompassRange, NewPositionRaisesOneEventAndKeepsTheFace)
{
    TCompassRange dial;
    QSignalSpy moved(&dial, &TCompassRange::OnSetPosition);
    Render(dial);
    const int faces = dial.FaceRenderCount();

    dial.SetPosition(45);
    EXPECT_EQ(moved.count(), 1);
    dial.SetPosition(45);
    EXPECT_EQ(moved.count(), 1);
    Render(dial);
    EXPECT_EQ(dial.FaceRenderCount(), faces);

    // Property setters rebuild the face, but only on a real change.
    dial.SetTitle(QStringLiteral("Degrees"));
    Render(dial);
    EXPECT_EQ(dial.FaceRenderCount(), faces);
    dial.SetTitle(QStringLiteral("Angle"));
    Render(dial);
    EXPECT_EQ(dial.FaceRenderCount(), faces + 1);
}

TEST(CompassRange, PositionChangeRepaintsOnlyTheOldAndNewNeedle)
{
    TCompassRange dial;
    PaintRecorder recorder;
    dial.installEventFilter(&recorder);
    dial.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dial));
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.Paints > 0; }, 5000));
    const int faces = dial.FaceRenderCount();

    const QRect before = dial.NeedleRect();
    recorder.Painted = QRegion();
    recorder.Paints = 0;
    dial.SetPosition(90);
    const QRect after = dial.NeedleRect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.Paints > 0; }, 5000));
    EXPECT_TRUE((QRegion(before) + after).contains(recorder.Painted.boundingRect()))
        << "painted beyond the needle";
    EXPECT_LT(recorder.Painted.boundingRect().width() * recorder.Painted.boundingRect().height(),
              210 * 210 / 2);
    EXPECT_EQ(dial.FaceRenderCount(), faces);

    // A move that leaves the needle on the same pixels paints nothing; the next pixel does.
    recorder.Paints = 0;
    dial.SetPosition(90.02f);
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.Paints, 0);
    EXPECT_EQ(dial.NeedleRect(), after);
    dial.SetPosition(92);
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.Paints > 0; }, 5000));
}

TEST(CompassRange, NeedleAreasPaintedOneAfterAnotherMatchAWholePaint)
{
    // Each move paints only the old and the new needle onto what is already there, as the
    // window's back buffer keeps it; the result is a whole paint's, with no needle left behind.
    TCompassRange dial;
    dial.SetPosition(30);
    QImage image = Render(dial);
    for (float position : {200.0f, 45.0f, 47.5f, 300.0f}) {
        const QRect before = dial.NeedleRect();
        dial.SetPosition(position);
        const QRegion area = QRegion(before) + dial.NeedleRect();
        dial.render(&image, area.boundingRect().topLeft(), QRegion(area.boundingRect()));
        TCompassRange fresh;
        fresh.SetPosition(position);
        ASSERT_EQ(image, Render(fresh)) << position;
    }
}

TEST(CompassRange, OutOfRangeIndexIsIgnoredByRangesButMarkersStillRepaint)
{
    TCompassRange dial;
    PaintRecorder recorder;
    dial.installEventFilter(&recorder);
    dial.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dial));
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.Paints > 0; }, 5000));
    QCoreApplication::processEvents();
    const int faces = dial.FaceRenderCount();
    recorder.Paints = 0;

    dial.SetRange(11, Qt::red, 0, 90);
    dial.SetRange(-1, Qt::red, 0, 90);
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.Paints, 0);
    EXPECT_EQ(dial.FaceRenderCount(), faces);

    dial.SetMarker(11, Qt::red, 30);
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.Paints > 0; }, 5000));
    EXPECT_EQ(dial.FaceRenderCount(), faces + 1);
    EXPECT_EQ(dial.MarkerValue(11), 0.0f);

    // Counts stay within the arrays whatever the caller passes.
    dial.SetRangeCount(50);
    EXPECT_EQ(dial.RangeCount(), 11);
    dial.SetMarkerCount(-3);
    EXPECT_EQ(dial.MarkerCount(), 0);
}

TEST(CompassRange, RangesDrawOnlyWhenLowIsNotAboveHigh)
{
    TCompassRange bare;
    const QImage reference = Render(bare);
    const TDialGeometry g = DialGeometry(210, 210);
    const QPoint rim25 = DialPoint(g, 25, 0.95 * g.Radius).toPoint();
    const struct
    {
        float Low;
        float High;
        bool Drawn;
    } rows[] = {{350, 10, false}, {10, 40, true}, {10, 10, true}};
    for (const auto &row : rows) {
        TCompassRange dial;
        dial.SetRangeCount(1);
        dial.SetRange(0, Qt::red, row.Low, row.High);
        const QImage image = Render(dial);
        EXPECT_EQ(image != reference, row.Drawn) << row.Low << ".." << row.High;
        if (row.High > row.Low) {
            EXPECT_EQ(image.pixel(rim25), 0xFFFF0000);
        }
    }
}

TEST(CompassRange, NeedleMatchingTheBackColourIsHiddenButMarkersStay)
{
    TCompassRange a;
    TCompassRange b;
    for (TCompassRange *dial : {&a, &b}) {
        dial->SetColorNeedle(dial->ColorBack());
        dial->SetMarkerCount(1);
        dial->SetMarker(0, Qt::red, 90);
    }
    b.SetPosition(200);
    const QImage image = Render(a);
    EXPECT_EQ(image, Render(b));
    EXPECT_EQ(image.pixel(150, 105), 0xFFFF0000);
}

TEST(CompassRange, NoMarksMeansNoLabelsOrTicks)
{
    TCompassRange dial;
    dial.SetTitle(QString());
    dial.SetUnits(QString());
    dial.SetColorNeedle(dial.ColorBack());
    EXPECT_GT(CountColour(Render(dial), QRect(0, 0, 210, 210), kWhite), 100);
    dial.SetMarks(0);
    EXPECT_EQ(CountColour(Render(dial), QRect(0, 0, 210, 210), kWhite), 0);
}

TEST(CompassRange, NonPositiveMaximumDrawsOnlyTheFace)
{
    TCompassRange dial;
    dial.SetRangeCount(1);
    dial.SetRange(0, Qt::red, 0, 90);
    dial.SetMarkerCount(1);
    dial.SetMarker(0, Qt::red, 45);
    dial.SetPosition(30);
    for (int max : {0, -360}) {
        dial.SetMaxValue(max);
        const QImage image = Render(dial);
        EXPECT_EQ(CountColour(image, image.rect(), 0xFFFF0000), 0) << max;
        EXPECT_EQ(CountColour(image, image.rect(), 0xFFFF8000), 0) << max;
    }
}
