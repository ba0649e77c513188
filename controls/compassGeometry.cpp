#include "compassGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace compass {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;
// Rounded coordinates stay far inside int; a wild value from the caller cannot overflow.
constexpr double kCoordinateLimit = 1.0e9;
// A band never needs more than one full turn of one-degree steps.
constexpr int kMaxRangeSteps = 361;
constexpr int kLabelDigits = 15;
constexpr double kFontScale = 9.0 / 102.0;

QPoint Rounded(QPointF p)
{
    return {RoundEven(p.x()), RoundEven(p.y())};
}

} // namespace

int RoundEven(double value)
{
    if (!std::isfinite(value)) {
        return 0;
    }
    // nearbyint honours the default rounding mode: to nearest, ties to even.
    return static_cast<int>(std::nearbyint(std::clamp(value, -kCoordinateLimit, kCoordinateLimit)));
}

TDialGeometry DialGeometry(int width, int height)
{
    TDialGeometry g;
    g.Radius = std::min(width, height) / 2 - kRimInset;
    g.CentreX = width / 2;
    g.CentreY = height / 2;
    return g;
}

QPointF DialPoint(const TDialGeometry &g, double thetaDeg, double rho)
{
    const double t = thetaDeg * kDegToRad;
    return {g.CentreX + rho * std::sin(t), g.CentreY + rho * std::cos(t)};
}

int HubRadius(const TDialGeometry &g)
{
    return RoundEven(kHubFraction * g.Radius);
}

int FontPointSize(const TDialGeometry &g)
{
    return RoundEven(kFontScale * g.Radius);
}

QPolygon RangePolygon(const TDialGeometry &g, float low, float high, int maxValue)
{
    if (maxValue <= 0) {
        return {};
    }
    const int s = RoundEven(static_cast<double>(low) * 360.0 / maxValue);
    const int e = RoundEven(static_cast<double>(high) * 360.0 / maxValue);
    // Computed in 64 bits: e - s + 1 can exceed int for absurd bounds.
    const long long span = static_cast<long long>(e) - s + 1;
    if (span <= 0) {
        return {};
    }
    const int m = static_cast<int>(std::min<long long>(span, kMaxRangeSteps));
    const double inner = g.Radius - kRangeDepth * g.Radius;
    QPolygon polygon(2 * m);
    for (int j = 0; j < m; ++j) {
        polygon[j] = Rounded(DialPoint(g, s + j, g.Radius));
        polygon[2 * m - 1 - j] = Rounded(DialPoint(g, s + j, inner));
    }
    return polygon;
}

double MarkAngle(int marks, int k)
{
    return marks > 0 ? k * (360.0 / marks) : 0.0;
}

QString MarkLabel(int maxValue, int marks, int k)
{
    if (marks == 0) {
        return {};
    }
    const double value = static_cast<double>(maxValue) / marks * k;
    return QString::number(value, 'g', kLabelDigits);
}

QPoint LabelAnchor(const TDialGeometry &g, double thetaDeg, int letterHeight)
{
    const double rho = kLabelRadius * g.Radius;
    const double t = thetaDeg * kDegToRad;
    return {RoundEven(g.CentreX + rho * std::sin(t)),
            RoundEven(g.CentreY + rho * std::cos(t)) + RoundEven(letterHeight / 2.0)};
}

QLine MajorTick(const TDialGeometry &g, double thetaDeg)
{
    return {Rounded(DialPoint(g, thetaDeg, g.Radius)),
            Rounded(DialPoint(g, thetaDeg, g.Radius - kMajorTickDepth * g.Radius))};
}

QLine MinorTick(const TDialGeometry &g, int marks, int k)
{
    if (marks <= 0) {
        return {};
    }
    const double phi = (135.0 + 360.0 / (2.0 * marks) + k * (360.0 / marks)) * kDegToRad;
    const double outer = g.Radius;
    const double inner = g.Radius - kMinorTickDepth * g.Radius;
    return {Rounded({g.CentreX + outer * std::cos(phi), g.CentreY + outer * std::sin(phi)}),
            Rounded({g.CentreX + inner * std::cos(phi), g.CentreY + inner * std::sin(phi)})};
}

int TitleBottom(const TDialGeometry &g)
{
    return g.CentreY - RoundEven(kTitleRise * g.Radius);
}

int UnitsBottom(const TDialGeometry &g)
{
    return g.CentreY - RoundEven(kUnitsRise * g.Radius);
}

QLine PointerLine(const TDialGeometry &g, float value, int maxValue)
{
    if (maxValue <= 0) {
        return {};
    }
    // Kept in single precision like the stored value, so the degree rounds the same way.
    const float t = 180.0f - value;
    const int d = RoundEven(static_cast<double>(t) * 360.0 / maxValue);
    const double phi = d * kDegToRad - 3.0 * std::numbers::pi / 2.0;
    const double outer = g.Radius - kMajorTickDepth * g.Radius;
    const int q = g.Radius - RoundEven(kPointerOuter * g.Radius);
    return {RoundEven(g.CentreX - outer * std::cos(phi)),
            RoundEven(g.CentreY - outer * std::sin(phi)), RoundEven(g.CentreX - q * std::cos(phi)),
            RoundEven(g.CentreY - q * std::sin(phi))};
}

} // namespace compass
