#pragma once

#include <QPolygon>
#include <QRect>

#include <array>
#include <cstdint>

enum TDigitStyle { ds7Seg, ds16Seg, ds5x7Dot, ds5x7Bulb, ds16SegCustom };

// Segment and dot layout of the character display, as plain functions of the control's size,
// segment width and margin (integer arithmetic, divisions truncate toward zero).
namespace display {

constexpr int kSevenSegments = 7;
constexpr int kSixteenSegments = 16;
constexpr int kDotColumns = 5;
constexpr int kDotRows = 7;
constexpr int kDotCount = kDotColumns * kDotRows;

// Lengths and polygons of one style. For the dot styles `Shapes` holds the 35 cells row by row
// (each as a four-point rectangle polygon) and `Cells` the same cells as rectangles.
struct TDisplayGeometry
{
    TDigitStyle Style = ds7Seg;
    int Length = 0; // L: horizontal bar (7-seg) or half-bar (16-seg) length
    int Vertical = 0; // V: vertical bar length
    int ColumnGap = 0; // a: dot styles
    int RowGap = 0; // e: dot styles
    std::array<QPolygon, kDotCount> Shapes {};
    std::array<QRect, kDotCount> Cells {};
    int ShapeCount = 0;
};

TDisplayGeometry ComputeGeometry(TDigitStyle style, int width, int height, int segWidth,
                                 int margin);

// Number of segments or dots a style draws.
int ShapeCount(TDigitStyle style);

// Lit shapes for a character (or the custom pattern in ds16SegCustom): bit i lights shape i;
// for the dot styles bit (row * 5 + column).
std::uint64_t LitMask(TDigitStyle style, char digit, std::uint16_t customDigit);

// Font lookups by character code; codes outside 0..127 show what code 0 shows.
std::uint8_t SevenSegmentMask(unsigned char code);
std::uint16_t SixteenSegmentMask(unsigned char code);
// Seven rows, top to bottom, bit 4 the leftmost column.
const std::array<std::uint8_t, kDotRows> &DotRows(unsigned char code);

} // namespace display
