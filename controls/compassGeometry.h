#pragma once

#include <QLine>
#include <QPoint>
#include <QPointF>
#include <QPolygon>
#include <QString>

// The dial's arithmetic, kept apart from painting so it can be checked without a canvas.
// A dial angle of 0 degrees points straight down and rising angles run counter-clockwise on
// screen. Coordinates are computed in floating point and rounded half to even when used.
namespace compass {

struct TDialGeometry
{
    int CentreX = 0;
    int CentreY = 0;
    int Radius = 0;
};

// Gap between the widget's shorter side and the dial, per side.
constexpr int kRimInset = 4;
// Ring pen width; the face ellipse reaches this far beyond the radius.
constexpr int kRingPenWidth = 3;
constexpr int kRangePenWidth = 3;
constexpr int kTickPenWidth = 2;
constexpr int kPointerPenWidth = 2;
constexpr double kHubFraction = 0.15;
constexpr double kRangeDepth = 0.1;
constexpr double kLabelRadius = 0.72;
constexpr double kMajorTickDepth = 0.15;
constexpr double kMinorTickDepth = 0.12;
constexpr double kPointerOuter = 0.85;
constexpr double kTitleRise = 0.4;
constexpr double kUnitsRise = 0.25;

// Nearest integer, ties to even.
int RoundEven(double value);

TDialGeometry DialGeometry(int width, int height);
// Point at dial angle thetaDeg and distance rho from the centre, unrounded.
QPointF DialPoint(const TDialGeometry &g, double thetaDeg, double rho);
int HubRadius(const TDialGeometry &g);
// Point size of all text on the dial.
int FontPointSize(const TDialGeometry &g);

// Band polygon for a range; empty when the range is not drawn (high below low, maxValue <= 0).
QPolygon RangePolygon(const TDialGeometry &g, float low, float high, int maxValue);

// Dial angle of major mark k.
double MarkAngle(int marks, int k);
// Text of major mark k: maxValue / marks * k with up to 15 significant digits.
QString MarkLabel(int maxValue, int marks, int k);
// Horizontal centre and bottom of a label at dial angle thetaDeg; letterHeight is the height of
// the text "A" in the dial font.
QPoint LabelAnchor(const TDialGeometry &g, double thetaDeg, int letterHeight);
QLine MajorTick(const TDialGeometry &g, double thetaDeg);
// Minor tick k, placed in the ordinary screen angle convention.
QLine MinorTick(const TDialGeometry &g, int marks, int k);
// Bottom y of the title and of the units line (both centred on the centre's x).
int TitleBottom(const TDialGeometry &g);
int UnitsBottom(const TDialGeometry &g);

// Needle and marker line for value v: from just inside the rim towards the hub.
QLine PointerLine(const TDialGeometry &g, float value, int maxValue);

} // namespace compass
