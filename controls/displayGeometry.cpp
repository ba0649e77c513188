#include "displayGeometry.h"

namespace display {

namespace {

// Polygon builders; (x, y) origin, w x t box, h half the segment width s.
QPolygon Hexagon(int x, int y, int w, int t, int h)
{
    if (t <= w) {
        return QPolygon({QPoint(x, y + h), QPoint(x + h, y), QPoint(x + w - h, y),
                         QPoint(x + w, y + h), QPoint(x + w - h, y + t), QPoint(x + h, y + t)});
    }
    return QPolygon({QPoint(x, y + h), QPoint(x + h, y), QPoint(x + w, y + h),
                     QPoint(x + w, y + t - h), QPoint(x + h, y + t), QPoint(x, y + t - h)});
}

QPolygon TopTrapezoid(int x, int y, int w, int t, int s)
{
    return QPolygon(
        {QPoint(x, y), QPoint(x + s, y + t), QPoint(x + w - s, y + t), QPoint(x + w, y)});
}

QPolygon BottomTrapezoid(int x, int y, int w, int t, int s)
{
    return QPolygon(
        {QPoint(x, y + t), QPoint(x + s, y), QPoint(x + w - s, y), QPoint(x + w, y + t)});
}

QPolygon LeftTrapezoid(int x, int y, int w, int t, int s)
{
    return QPolygon(
        {QPoint(x, y), QPoint(x + w, y + s), QPoint(x + w, y + t - s), QPoint(x, y + t)});
}

QPolygon RightTrapezoid(int x, int y, int w, int t, int s)
{
    return QPolygon(
        {QPoint(x + w, y), QPoint(x, y + s), QPoint(x, y + t - s), QPoint(x + w, y + t)});
}

QPolygon FallingDiagonal(int x, int y, int ex, int ey, int h, int s)
{
    return QPolygon({QPoint(x, y), QPoint(x + h, y), QPoint(ex, ey - s), QPoint(ex, ey),
                     QPoint(ex - h, ey), QPoint(x, y + s)});
}

QPolygon RisingDiagonal(int x, int y, int ex, int ey, int h, int s)
{
    return QPolygon({QPoint(x, y), QPoint(x, y - s), QPoint(ex - h, ey), QPoint(ex, ey),
                     QPoint(ex, ey + s), QPoint(x + h, y)});
}

void SevenSegment(TDisplayGeometry &g, int W, int H, int s, int M)
{
    const int h = s / 2;
    const int L = W - 2 * M - s;
    const int V = H / 2 - s - h - M;
    g.Length = L;
    g.Vertical = V;
    g.Shapes[0] = Hexagon(M + h, M, L, s, h);
    g.Shapes[1] = Hexagon(M + h, H / 2 - h, L, s, h);
    g.Shapes[2] = Hexagon(M + h, H - M - s, L, s, h);
    g.Shapes[3] = Hexagon(M, M + s, s, V, h);
    g.Shapes[4] = Hexagon(W - M - s, M + s, s, V, h);
    g.Shapes[5] = Hexagon(M, H / 2 + h, s, V, h);
    g.Shapes[6] = Hexagon(W - M - s, H / 2 + h, s, V, h);
    g.ShapeCount = kSevenSegments;
}

void SixteenSegment(TDisplayGeometry &g, int W, int H, int s, int M)
{
    const int h = s / 2;
    const int L = W / 2 - M - s;
    const int V = H / 2 - s - M;
    g.Length = L;
    g.Vertical = V;
    g.Shapes[0] = TopTrapezoid(M + h, M, L, s, s);
    g.Shapes[1] = TopTrapezoid(W / 2 + h, M, L, s, s);
    g.Shapes[2] = LeftTrapezoid(M, M + h, s, V, s);
    g.Shapes[3] = FallingDiagonal(M + s + h, M + s + h, W / 2 - s, H / 2 - s, h, s);
    g.Shapes[4] = Hexagon(W / 2 - h, M + h, s, V, h);
    g.Shapes[5] = RisingDiagonal(W / 2 + s, H / 2 - s, W - M - s - h, M + s + h, h, s);
    g.Shapes[6] = RightTrapezoid(W - M - s, M + h, s, V, s);
    g.Shapes[7] = Hexagon(M + h, H / 2 - h, L, s, h);
    g.Shapes[8] = Hexagon(W / 2 + h, H / 2 - h, L, s, h);
    g.Shapes[9] = LeftTrapezoid(M, H / 2 + h, s, V, s);
    g.Shapes[10] = RisingDiagonal(M + s + h, H - M - s - h, W / 2 - s, H / 2 + s, h, s);
    g.Shapes[11] = Hexagon(W / 2 - h, H / 2 + h, s, V, h);
    g.Shapes[12] = FallingDiagonal(W / 2 + s, H / 2 + s, W - M - s - h, H - M - s - h, h, s);
    g.Shapes[13] = RightTrapezoid(W - M - s, H / 2 + h, s, V, s);
    g.Shapes[14] = BottomTrapezoid(M + h, H - M - s, L, s, s);
    g.Shapes[15] = BottomTrapezoid(W / 2 + h, H - M - s, L, s, s);
    g.ShapeCount = kSixteenSegments;
}

void DotMatrix(TDisplayGeometry &g, int W, int H, int s, int M)
{
    g.ColumnGap = (W - 2 * M - kDotColumns * s) / (kDotColumns - 1);
    g.RowGap = (H - 2 * M - kDotRows * s) / (kDotRows - 1);
    for (int r = 0; r < kDotRows; ++r) {
        for (int c = 0; c < kDotColumns; ++c) {
            const QRect cell(M + c * (s + g.ColumnGap), M + r * (s + g.RowGap), s, s);
            g.Cells[r * kDotColumns + c] = cell;
            g.Shapes[r * kDotColumns + c] = QPolygon(cell, false);
        }
    }
    g.ShapeCount = kDotCount;
}

} // namespace

int ShapeCount(TDigitStyle style)
{
    switch (style) {
    case ds7Seg:
        return kSevenSegments;
    case ds16Seg:
    case ds16SegCustom:
        return kSixteenSegments;
    case ds5x7Dot:
    case ds5x7Bulb:
        return kDotCount;
    }
    return 0;
}

TDisplayGeometry ComputeGeometry(TDigitStyle style, int width, int height, int segWidth, int margin)
{
    TDisplayGeometry g;
    g.Style = style;
    switch (style) {
    case ds7Seg:
        SevenSegment(g, width, height, segWidth, margin);
        break;
    case ds16Seg:
    case ds16SegCustom:
        SixteenSegment(g, width, height, segWidth, margin);
        break;
    case ds5x7Dot:
    case ds5x7Bulb:
        DotMatrix(g, width, height, segWidth, margin);
        break;
    }
    return g;
}

std::uint64_t LitMask(TDigitStyle style, char digit, std::uint16_t customDigit)
{
    const auto code = static_cast<unsigned char>(digit);
    switch (style) {
    case ds7Seg:
        return SevenSegmentMask(code);
    case ds16Seg:
        return SixteenSegmentMask(code);
    case ds16SegCustom:
        return customDigit;
    case ds5x7Dot:
    case ds5x7Bulb: {
        std::uint64_t mask = 0;
        const auto &rows = DotRows(code);
        for (int r = 0; r < kDotRows; ++r) {
            for (int c = 0; c < kDotColumns; ++c) {
                if (rows[r] & (1u << (kDotColumns - 1 - c))) {
                    mask |= std::uint64_t {1} << (r * kDotColumns + c);
                }
            }
        }
        return mask;
    }
    }
    return 0;
}

} // namespace display
