#include "Display.h"
#include "displayGeometry.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <array>

using namespace display;

namespace {

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kGrey = 0xFF808080;

// Dot mask from seven rows given as in a font table (bit 4 leftmost).
std::uint64_t DotsOf(std::array<std::uint8_t, 7> rows)
{
    std::uint64_t mask = 0;
    for (int r = 0; r < 7; ++r) {
        for (int c = 0; c < 5; ++c) {
            if (rows[r] & (0x10 >> c)) {
                mask |= std::uint64_t {1} << (r * 5 + c);
            }
        }
    }
    return mask;
}

// A point well inside a convex polygon: the mean of its vertices.
QPoint Inside(const QPolygon &polygon)
{
    QPoint sum;
    for (const QPoint &p : polygon) {
        sum += p;
    }
    return sum / polygon.size();
}

QImage Render(TDisplay &display)
{
    QImage image(display.size(), QImage::Format_ARGB32);
    image.fill(0xFF336699);
    // Without the window background, so pixels the control leaves alone keep the fill.
    display.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

} // namespace

TEST(DisplayFont, LitSegmentsFollowTheFontOfEachStyle)
{
    const struct
    {
        TDigitStyle Style;
        char Digit;
        std::uint64_t Mask;
    } rows[] = {
        {ds7Seg, '0', 0x7D},
        {ds7Seg, '8', 0x7F},
        {ds7Seg, '9', 0x5F},
        {ds7Seg, 'A', 0x7B},
        {ds7Seg, 'f', 0x2B},
        {ds7Seg, 'G', 0x02}, // no pattern: the middle bar
        {ds7Seg, ' ', 0x02},
        {ds7Seg, 0, 0x02},
        {ds16Seg, 0, 0x0180}, // dash: bits 7 and 8
        {ds16Seg, ' ', 0x0000},
        {ds16Seg, '0', 0x4A15},
        {ds16Seg, 'A', 0x23C7},
        {ds16Seg, 'R', 0x13C7},
        {ds16Seg, 'r', 0x13C7},
        {ds16Seg, 'z', 0xC423},
        {ds16Seg, '_', 0xC000},
        {ds16Seg, '`', 0x0180},
        {ds16Seg, '~', 0x0180},
        {ds16Seg, 127, 0x0180},
        {ds16Seg, static_cast<char>(200), 0x0180},
        {ds16SegCustom, 'A', 0xBEEF}, // the pattern, not the character
        {ds5x7Dot, 0, DotsOf({0x02, 0x06, 0x0E, 0x1E, 0x0E, 0x06, 0x02})},
        {ds5x7Dot, ' ', 0},
        {ds5x7Dot, '0', DotsOf({0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E})},
        {ds5x7Bulb, 'A', DotsOf({0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11})},
        {ds5x7Bulb, 'a', DotsOf({0x00, 0x00, 0x0E, 0x12, 0x12, 0x12, 0x0D})},
        {ds5x7Dot, 127, DotsOf({0x0A, 0x15, 0x0A, 0x15, 0x0A, 0x15, 0x0A})},
        {ds5x7Dot, static_cast<char>(255), DotsOf({0x02, 0x06, 0x0E, 0x1E, 0x0E, 0x06, 0x02})},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(LitMask(row.Style, row.Digit, 0xBEEF), row.Mask)
            << "style " << row.Style << " code " << int(static_cast<unsigned char>(row.Digit));
    }
}

TEST(DisplayFont, DotFontHasAGlyphForEveryVisibleCharacterAndOwnLowerCase)
{
    for (int code = 1; code < 128; ++code) {
        if (code == ' ') {
            continue;
        }
        EXPECT_NE(LitMask(ds5x7Dot, static_cast<char>(code), 0), 0u) << code;
    }
    for (int code = 'a'; code <= 'z'; ++code) {
        EXPECT_NE(LitMask(ds5x7Dot, static_cast<char>(code), 0),
                  LitMask(ds5x7Dot, static_cast<char>(code - 32), 0))
            << char(code);
        // Rows use only the five columns.
        for (std::uint8_t row : DotRows(static_cast<unsigned char>(code))) {
            EXPECT_EQ(row & ~0x1F, 0);
        }
    }
}

TEST(DisplayGeometry, LengthsAndGapsAtTheDefaultSize)
{
    const struct
    {
        TDigitStyle Style;
        int Length;
        int Vertical;
        int ColumnGap;
        int RowGap;
        int Shapes;
    } rows[] = {
        {ds7Seg, 85, 68, 0, 0, 7},         {ds16Seg, 35, 75, 0, 0, 16},
        {ds16SegCustom, 35, 75, 0, 0, 16}, {ds5x7Dot, 0, 0, 6, 12, 35},
        {ds5x7Bulb, 0, 0, 6, 12, 35},
    };
    for (const auto &row : rows) {
        const TDisplayGeometry g = ComputeGeometry(row.Style, 120, 200, 15, 10);
        EXPECT_EQ(g.Length, row.Length) << row.Style;
        EXPECT_EQ(g.Vertical, row.Vertical) << row.Style;
        EXPECT_EQ(g.ColumnGap, row.ColumnGap) << row.Style;
        EXPECT_EQ(g.RowGap, row.RowGap) << row.Style;
        EXPECT_EQ(g.ShapeCount, row.Shapes) << row.Style;
        EXPECT_EQ(ShapeCount(row.Style), row.Shapes) << row.Style;
    }
}

TEST(DisplayGeometry, SegmentPolygonsFollowTheirShapes)
{
    using P = QPolygon;
    const struct
    {
        TDigitStyle Style;
        int Index;
        QPolygon Polygon;
    } rows[] = {
        // Lying hexagon: top bar at (17, 10), 85 x 15, h = 7.
        {ds7Seg, 0, P({{17, 17}, {24, 10}, {95, 10}, {102, 17}, {95, 25}, {24, 25}})},
        // Standing hexagon: lower right at (95, 107), 15 x 68.
        {ds7Seg, 6, P({{95, 114}, {102, 107}, {110, 114}, {110, 168}, {102, 175}, {95, 168}})},
        {ds16Seg, 0, P({{17, 10}, {32, 25}, {37, 25}, {52, 10}})}, // top trapezoid
        {ds16Seg, 15, P({{67, 190}, {82, 175}, {87, 175}, {102, 190}})}, // bottom trapezoid
        {ds16Seg, 2, P({{10, 17}, {25, 32}, {25, 77}, {10, 92}})}, // left trapezoid
        {ds16Seg, 13, P({{110, 107}, {95, 122}, {95, 167}, {110, 182}})}, // right trapezoid
        {ds16Seg, 3, P({{32, 32}, {39, 32}, {45, 70}, {45, 85}, {38, 85}, {32, 47}})},
        {ds16Seg, 10, P({{32, 168}, {32, 153}, {38, 115}, {45, 115}, {45, 130}, {39, 168}})},
        {ds5x7Dot, 6, P(QRect(31, 37, 15, 15), false)}, // row 1, column 1
        {ds5x7Bulb, 34, P(QRect(94, 172, 15, 15), false)},
    };
    for (const auto &row : rows) {
        const TDisplayGeometry g = ComputeGeometry(row.Style, 120, 200, 15, 10);
        EXPECT_EQ(g.Shapes[row.Index], row.Polygon) << row.Style << "/" << row.Index;
    }
}

TEST(TDisplay, StartsWithItsDeclaredDefaults)
{
    TDisplay display;
    EXPECT_EQ(display.size(), QSize(120, 200));
    EXPECT_FALSE(display.edit());
    EXPECT_EQ(display.CustomDigit(), 0);
    EXPECT_EQ(display.Digit(), 0);
    EXPECT_EQ(display.OnColor(), QColor(kRed));
    EXPECT_EQ(display.OffColor(), QColor(kGrey));
    EXPECT_EQ(display.BackColor(), QColor(Qt::black));
    EXPECT_EQ(display.PenOnColor(), QColor(Qt::black));
    EXPECT_EQ(display.PenOffColor(), QColor(Qt::black));
    EXPECT_EQ(display.SegWidth(), 15);
    EXPECT_EQ(display.Margin(), 10);
    EXPECT_EQ(display.DigitStyle(), ds7Seg);
}

TEST(TDisplay, PaintsLitAndUnlitSegmentsAndCarriesSegmentNumbers)
{
    const struct
    {
        TDigitStyle Style;
        char Digit;
    } rows[] = {{ds7Seg, '1'},        {ds7Seg, 'G'},   {ds16Seg, 'A'},  {ds16Seg, 0},
                {ds16SegCustom, 'x'}, {ds5x7Dot, 'A'}, {ds5x7Bulb, 'a'}};
    for (const auto &row : rows) {
        TDisplay display;
        display.SetDigitStyle(row.Style);
        display.SetDigit(row.Digit);
        display.SetCustomDigit(0x00F0);
        const QImage widget = Render(display);
        const QImage &image = display.OffscreenImage();
        ASSERT_EQ(image.size(), QSize(118, 198));
        const TDisplayGeometry &g = display.Geometry();
        const std::uint64_t lit = LitMask(row.Style, row.Digit, 0x00F0);
        const bool numbered = row.Style == ds16Seg || row.Style == ds16SegCustom;
        for (int i = 0; i < g.ShapeCount; ++i) {
            // Diagonals overlap their neighbours; their inner point may be covered.
            if (numbered && (i == 3 || i == 5 || i == 10 || i == 12)) {
                continue;
            }
            const QPoint at = Inside(g.Shapes[i]);
            const QRgb expected = ((lit >> i) & 1u) ? kRed : kGrey;
            const QRgb pixel = image.pixel(at);
            EXPECT_EQ(pixel & 0xFFFFFFF0, expected & 0xFFFFFFF0) << row.Style << "/" << i;
            EXPECT_EQ(qBlue(pixel) & 0xF, numbered ? i : 0) << row.Style << "/" << i;
            EXPECT_EQ(widget.pixel(at + QPoint(1, 1)), pixel) << "copied one pixel in";
        }
        EXPECT_EQ(image.pixel(2, 2), 0xFF000000) << "background";
        EXPECT_EQ(widget.pixel(0, 0), 0xFF336699) << "outer ring left unpainted";
        EXPECT_EQ(widget.pixel(119, 199), 0xFF336699) << "outer ring left unpainted";
    }
}

TEST(TDisplay, ChangeEventOnlyForANewCharacterOrPattern)
{
    TDisplay display;
    QSignalSpy changes(&display, &TDisplay::onChange);
    display.SetDigit(0);
    display.SetCustomDigit(0);
    display.SetOnColor(Qt::green);
    display.SetDigitStyle(ds16Seg);
    EXPECT_EQ(changes.count(), 0);
    display.SetDigit('A');
    display.SetDigit('A');
    EXPECT_EQ(changes.count(), 1);
    display.SetCustomDigit(5);
    display.SetCustomDigit(5);
    EXPECT_EQ(changes.count(), 2);
}

TEST(TDisplay, ClickInEditModeTogglesTheClickedSegment)
{
    const TDisplayGeometry g = ComputeGeometry(ds16SegCustom, 120, 200, 15, 10);
    const struct
    {
        const char *What;
        bool Edit;
        int Margin;
        QPoint At;
        quint16 After;
    } rows[] = {
        {"upper centre bar", true, 10, Inside(g.Shapes[4]), 0x0011},
        {"bottom right half", true, 10, Inside(g.Shapes[15]), 0x8001},
        {"lit segment 0 toggles off", true, 10, Inside(g.Shapes[0]), 0x0000},
        {"not in edit mode", false, 10, Inside(g.Shapes[4]), 0x0001},
        {"inside the margin band", true, 10, {5, 100}, 0x0001},
        {"black between segments", true, 10, {30, 100 - 20}, 0x0001},
        {"last pixel with no margin", true, 0, {120, 200}, 0x0001},
    };
    for (const auto &row : rows) {
        TDisplay display;
        display.SetDigitStyle(ds16SegCustom);
        display.SetMargin(row.Margin);
        display.SetCustomDigit(0x0001);
        display.SetEdit(row.Edit);
        display.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&display));
        QSignalSpy changes(&display, &TDisplay::onChange);
        QTest::mouseClick(&display, Qt::LeftButton, {}, row.At);
        EXPECT_EQ(display.CustomDigit(), row.After) << row.What;
        EXPECT_EQ(changes.count(), row.After != 0x0001 ? 1 : 0) << row.What;
    }
}

TEST(TDisplay, TinyOrResizedControlsPaintSafely)
{
    TDisplay display;
    for (QSize size : {QSize(2, 2), QSize(1, 1), QSize(10, 10), QSize(240, 100)}) {
        display.resize(size);
        for (TDigitStyle style : {ds7Seg, ds16Seg, ds5x7Dot, ds5x7Bulb, ds16SegCustom}) {
            display.SetDigitStyle(style);
            Render(display);
        }
        EXPECT_EQ(display.OffscreenImage().size(),
                  size.width() > 2 && size.height() > 2 ? size - QSize(2, 2) : QSize(0, 0));
    }
    display.SetDigitStyle(ds5x7Dot);
    EXPECT_EQ(display.Geometry().ColumnGap, (240 - 20 - 75) / 4);
}

TEST(TDisplay, AChangeAfterAPaintIsPaintedAsOnAFreshControl)
{
    // The picture is kept between paints; every property it is drawn from must renew it.
    using Change = void (*)(TDisplay &);
    const struct
    {
        const char *name;
        TDigitStyle style;
        Change change;
    } rows[] = {
        {"digit", ds16Seg, [](TDisplay &d) { d.SetDigit('7'); }},
        {"pattern", ds16SegCustom, [](TDisplay &d) { d.SetCustomDigit(0x0A05); }},
        {"on colour", ds16Seg, [](TDisplay &d) { d.SetOnColor(QColor(0x12, 0xC0, 0x34)); }},
        {"off colour", ds16Seg, [](TDisplay &d) { d.SetOffColor(QColor(0x40, 0x21, 0x90)); }},
        {"back colour", ds5x7Bulb, [](TDisplay &d) { d.SetBackColor(QColor(0x0B, 0x50, 0x33)); }},
        {"on pen", ds16Seg, [](TDisplay &d) { d.SetPenOnColor(QColor(0xF0, 0xE0, 0x01)); }},
        {"off pen", ds16Seg, [](TDisplay &d) { d.SetPenOffColor(QColor(0x03, 0xE0, 0xF1)); }},
        {"segment width", ds16Seg, [](TDisplay &d) { d.SetSegWidth(9); }},
        {"margin", ds16Seg, [](TDisplay &d) { d.SetMargin(11); }},
        {"style", ds16Seg, [](TDisplay &d) { d.SetDigitStyle(ds5x7Dot); }},
        {"size", ds16Seg, [](TDisplay &d) { d.resize(90, 130); }},
    };
    for (const auto &row : rows) {
        const auto prepare = [&row](TDisplay &d) {
            d.SetDigitStyle(row.style);
            d.SetCustomDigit(0x0300);
            d.SetDigit('2');
        };
        TDisplay painted;
        prepare(painted);
        const QImage before = Render(painted);
        row.change(painted);
        TDisplay fresh;
        prepare(fresh);
        row.change(fresh);
        const QImage after = Render(fresh);
        EXPECT_NE(before, after) << row.name << ": the change shows";
        EXPECT_EQ(Render(painted), after) << row.name;
    }
}
