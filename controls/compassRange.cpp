#include "compassRange.h"

#include "compassGeometry.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

using namespace compass;

namespace {

const QColor kDefaultScale(QRgb {0x000000});
const QColor kDefaultBack(QRgb {0xC0C0C0});
const QColor kDefaultFont(QRgb {0xFFFFFF});
const QColor kDefaultNeedle(QRgb {0xFF8000});
const QColor kDefaultBorder(QRgb {0x808080});
constexpr int kDefaultMaxValue = 360;
constexpr int kDefaultMarks = 12;
// Slack round the needle's bounding box for the pen width and its caps.
constexpr int kNeedleRectSlack = kPointerPenWidth + 2;

bool ValidIndex(int index)
{
    return index >= 0 && index < TCompassRange::kMaxItems;
}

template<class T>
bool Assign(T &field, const T &value)
{
    if (field == value) {
        return false;
    }
    field = value;
    return true;
}

// Draws text centred on x with the bottom of its cell on y.
void DrawCentredText(QPainter &p, int x, int bottom, const QString &text)
{
    const QFontMetrics fm = p.fontMetrics();
    p.drawText(x - fm.horizontalAdvance(text) / 2, bottom - fm.descent(), text);
}

// The ellipse a pen of `width` draws inside the box (l, t)..(r, b), right and bottom exclusive.
QRectF BoxEllipse(int l, int t, int r, int b, int width)
{
    const qreal half = width / 2.0;
    return {l + half, t + half, qreal(r - l - width), qreal(b - t - width)};
}

QRect LineRect(const QLine &line)
{
    return QRect(line.p1(), line.p2())
        .normalized()
        .adjusted(-kNeedleRectSlack, -kNeedleRectSlack, kNeedleRectSlack, kNeedleRectSlack);
}

} // namespace

TCompassRange::TCompassRange(QWidget *parent)
    : QWidget(parent)
    , m_fontName(QStringLiteral("Century Gothic"))
    , m_colorScale(kDefaultScale)
    , m_colorBack(kDefaultBack)
    , m_colorFont(kDefaultFont)
    , m_colorNeedle(kDefaultNeedle)
    , m_colorBorder(kDefaultBorder)
    , m_maxValue(kDefaultMaxValue)
    , m_marks(kDefaultMarks)
    , m_units(QStringLiteral("30"))
    , m_title(QStringLiteral("Degrees"))
{
    resize(kDefaultSize, kDefaultSize);
}

QSize TCompassRange::sizeHint() const
{
    return {kDefaultSize, kDefaultSize};
}

// A property change redraws the whole control, face included.
#define COMPASS_SETTER(Name, Type, field)                                                          \
    void TCompassRange::Set##Name(Type value)                                                      \
    {                                                                                              \
        if (Assign(field, value)) {                                                                \
            InvalidateFace();                                                                      \
        }                                                                                          \
    }

COMPASS_SETTER(FontName, const QString &, m_fontName)
COMPASS_SETTER(ColorScale, const QColor &, m_colorScale)
COMPASS_SETTER(ColorBack, const QColor &, m_colorBack)
COMPASS_SETTER(ColorFont, const QColor &, m_colorFont)
COMPASS_SETTER(ColorNeedle, const QColor &, m_colorNeedle)
COMPASS_SETTER(ColorBorder, const QColor &, m_colorBorder)
COMPASS_SETTER(MaxValue, int, m_maxValue)
COMPASS_SETTER(Marks, int, m_marks)
COMPASS_SETTER(Units, const QString &, m_units)
COMPASS_SETTER(Title, const QString &, m_title)

#undef COMPASS_SETTER

void TCompassRange::SetPosition(float value)
{
    if (value == m_position) {
        return;
    }
    // Only the strip under the old and the new needle is repainted; the face stays cached. A move
    // too small to shift the needle's end points repaints nothing: the same pixels would come.
    const QLine before = NeedleLine();
    m_position = value;
    emit OnSetPosition();
    if (NeedleVisible()) {
        ClampPosition();
    }
    const QLine after = NeedleLine();
    if (after == before) {
        return;
    }
    const QRect dirty = NeedleRect() | LineRect(before);
    if (!dirty.isEmpty()) {
        update(dirty);
    }
}

void TCompassRange::SetRangeCount(int count)
{
    m_rangeCount = std::clamp(count, 0, kMaxItems);
    InvalidateFace();
}

void TCompassRange::SetRange(int index, const QColor &colour, float low, float high)
{
    if (!ValidIndex(index)) {
        return;
    }
    m_rangeLow[index] = low;
    m_rangeHigh[index] = high;
    m_rangeColor[index] = colour;
    InvalidateFace();
}

float TCompassRange::RangeLow(int index) const
{
    return ValidIndex(index) ? m_rangeLow[index] : 0;
}

float TCompassRange::RangeHigh(int index) const
{
    return ValidIndex(index) ? m_rangeHigh[index] : 0;
}

QColor TCompassRange::RangeColor(int index) const
{
    return ValidIndex(index) ? m_rangeColor[index] : QColor();
}

void TCompassRange::SetMarkerCount(int count)
{
    m_markerCount = std::clamp(count, 0, kMaxItems);
    InvalidateFace();
}

void TCompassRange::SetMarker(int index, const QColor &colour, float value)
{
    if (ValidIndex(index)) {
        m_markerValue[index] = value;
        m_markerColor[index] = colour;
    }
    // Repaints even for an index it ignores; callers rely on that to refresh the dial.
    InvalidateFace();
}

float TCompassRange::MarkerValue(int index) const
{
    return ValidIndex(index) ? m_markerValue[index] : 0;
}

QColor TCompassRange::MarkerColor(int index) const
{
    return ValidIndex(index) ? m_markerColor[index] : QColor();
}

bool TCompassRange::NeedleVisible() const
{
    return m_colorNeedle != m_colorBack && m_maxValue > 0;
}

void TCompassRange::ClampPosition()
{
    if (std::isnan(m_position)) {
        m_position = 0;
    }
    m_position = std::clamp(m_position, 0.0f, static_cast<float>(m_maxValue));
}

QLine TCompassRange::NeedleLine() const
{
    if (!NeedleVisible()) {
        return {};
    }
    const TDialGeometry g = DialGeometry(width(), height());
    const float shown = std::isnan(m_position)
        ? 0.0f
        : std::clamp(m_position, 0.0f, static_cast<float>(m_maxValue));
    return PointerLine(g, shown, m_maxValue);
}

QRect TCompassRange::NeedleRect() const
{
    return NeedleVisible() ? LineRect(NeedleLine()) : QRect();
}

void TCompassRange::InvalidateFace()
{
    m_faceValid = false;
    update();
}

void TCompassRange::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_faceValid = false;
}

void TCompassRange::RenderFace()
{
    const qreal dpr = devicePixelRatioF();
    m_face = QImage(size() * dpr, QImage::Format_ARGB32_Premultiplied);
    m_face.setDevicePixelRatio(dpr);
    m_face.fill(Qt::transparent);
    m_faceValid = true;
    ++m_faceRenderCount;

    const TDialGeometry g = DialGeometry(width(), height());
    if (g.Radius <= 0 || m_face.isNull()) {
        return;
    }
    const int r = g.Radius;
    const int cx = g.CentreX;
    const int cy = g.CentreY;
    QPainter p(&m_face);

    // Ring and face.
    p.setBrush(m_colorScale);
    p.setPen(QPen(m_colorBorder, kRingPenWidth));
    const int outer = r + kRingPenWidth;
    p.drawEllipse(BoxEllipse(cx - outer, cy - outer, cx + outer, cy + outer, kRingPenWidth));

    // Hub.
    p.setPen(QPen(m_colorBorder, 1));
    const int h = HubRadius(g);
    p.drawEllipse(BoxEllipse(cx - h, cy - h, cx + h, cy + h, 1));

    // Ranges: bands on the rim.
    for (int i = 0; i < m_rangeCount; ++i) {
        const QPolygon band = RangePolygon(g, m_rangeLow[i], m_rangeHigh[i], m_maxValue);
        if (band.isEmpty()) {
            continue;
        }
        p.setPen(QPen(m_rangeColor[i], kRangePenWidth));
        p.setBrush(m_rangeColor[i]);
        p.drawPolygon(band);
    }

    // Major marks: labels and ticks.
    QFont font(m_fontName);
    font.setPointSize(std::max(1, FontPointSize(g)));
    font.setBold(true);
    p.setFont(font);
    p.setBrush(Qt::NoBrush);
    if (m_maxValue > 0 && m_marks > 0) {
        const int letterHeight = p.fontMetrics().height();
        for (int k = 0; k < m_marks; ++k) {
            const double theta = MarkAngle(m_marks, k);
            const QPoint anchor = LabelAnchor(g, theta, letterHeight);
            p.setPen(QPen(m_colorFont, 1));
            DrawCentredText(p, anchor.x(), anchor.y(), MarkLabel(m_maxValue, m_marks, k));
            p.setPen(QPen(m_colorFont, kTickPenWidth));
            p.drawLine(MajorTick(g, theta));
        }
    }

    // Minor ticks.
    p.setPen(QPen(m_colorFont, 1));
    for (int k = 0; k < m_marks; ++k) {
        p.drawLine(MinorTick(g, m_marks, k));
    }

    // Title and units.
    font.setBold(false);
    p.setFont(font);
    DrawCentredText(p, cx, TitleBottom(g), m_title);
    DrawCentredText(p, cx, UnitsBottom(g), m_units);

    // Markers are part of the cached face: they only move when SetMarker repaints.
    if (m_maxValue > 0) {
        for (int i = 0; i < m_markerCount; ++i) {
            float &value = m_markerValue[i];
            value = std::isnan(value) ? 0.0f
                                      : std::clamp(value, 0.0f, static_cast<float>(m_maxValue));
            p.setPen(QPen(m_markerColor[i], kPointerPenWidth));
            p.drawLine(PointerLine(g, value, m_maxValue));
        }
    }
}

void TCompassRange::paintEvent(QPaintEvent *event)
{
    if (!m_faceValid || m_face.deviceIndependentSize().toSize() != size()) {
        RenderFace();
    }
    const QRect area = event->rect();
    if (area.isEmpty()) {
        return;
    }
    // The needle is the exclusive-or of its colour and the face under it, so it is composed in
    // an off-screen copy of the exposed area: widget back buffers need not support raster ops.
    // The copy is kept from paint to paint: a new image would also need a new paint engine.
    const qreal dpr = m_face.devicePixelRatio();
    if (m_frame.size() != m_face.size() || m_frame.devicePixelRatio() != dpr) {
        m_frame = QImage(m_face.size(), QImage::Format_ARGB32_Premultiplied);
        m_frame.setDevicePixelRatio(dpr);
    }
    {
        QPainter fp(&m_frame);
        fp.setClipRect(area);
        fp.setCompositionMode(QPainter::CompositionMode_Source);
        fp.drawImage(0, 0, m_face);
        if (NeedleVisible()) {
            ClampPosition();
            fp.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            fp.setPen(QPen(m_colorNeedle, kPointerPenWidth));
            fp.drawLine(PointerLine(DialGeometry(width(), height()), m_position, m_maxValue));
        }
    }
    QPainter p(this);
    p.drawImage(QRectF(area), m_frame,
                QRectF(QPointF(area.topLeft()) * dpr, QSizeF(area.size()) * dpr));
}
