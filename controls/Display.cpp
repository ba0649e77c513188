#include "Display.h"

#include <QMouseEvent>
#include <QPainter>

using namespace display;

namespace {

// Windows 0x00BBGGRR values of the defaults, as RGB.
const QColor kDefaultOn(QRgb {0xFF0000});
const QColor kDefaultOff(QRgb {0x808080});
const QColor kDefaultBack(QRgb {0x000000});
const QColor kDefaultPen(QRgb {0x000000});
// The segment number rides in the low nibble of the fill's blue channel.
constexpr int kSegmentNumberMask = 0xF;
// The control's outermost pixel ring is left to the parent; the image sits one pixel in.
constexpr int kImageInset = 1;

bool Carries16SegNumbers(TDigitStyle style)
{
    return style == ds16Seg || style == ds16SegCustom;
}

} // namespace

TDisplay::TDisplay(QWidget *parent)
    : QWidget(parent)
    , m_onColor(kDefaultOn)
    , m_offColor(kDefaultOff)
    , m_backColor(kDefaultBack)
    , m_penOnColor(kDefaultPen)
    , m_penOffColor(kDefaultPen)
{
    resize(kDefaultWidth, kDefaultHeight);
    RecomputeGeometry();
}

QSize TDisplay::sizeHint() const
{
    return {kDefaultWidth, kDefaultHeight};
}

void TDisplay::SetCustomDigit(quint16 pattern)
{
    if (pattern == m_customDigit) {
        return;
    }
    m_customDigit = pattern;
    Invalidate();
    emit onChange();
}

void TDisplay::SetDigit(char digit)
{
    if (digit == m_digit) {
        return;
    }
    m_digit = digit;
    Invalidate();
    emit onChange();
}

void TDisplay::SetColour(QColor &field, const QColor &colour)
{
    if (colour == field) {
        return;
    }
    field = colour;
    InvalidateLooks();
}

void TDisplay::SetOnColor(const QColor &colour)
{
    SetColour(m_onColor, colour);
}
void TDisplay::SetOffColor(const QColor &colour)
{
    SetColour(m_offColor, colour);
}
void TDisplay::SetBackColor(const QColor &colour)
{
    SetColour(m_backColor, colour);
}
void TDisplay::SetPenOnColor(const QColor &colour)
{
    SetColour(m_penOnColor, colour);
}
void TDisplay::SetPenOffColor(const QColor &colour)
{
    SetColour(m_penOffColor, colour);
}

void TDisplay::SetSegWidth(int width)
{
    if (width == m_segWidth) {
        return;
    }
    m_segWidth = width;
    RecomputeGeometry();
    InvalidateLooks();
}

void TDisplay::SetMargin(int margin)
{
    if (margin == m_margin) {
        return;
    }
    m_margin = margin;
    RecomputeGeometry();
    InvalidateLooks();
}

void TDisplay::SetDigitStyle(TDigitStyle style)
{
    if (style == m_style) {
        return;
    }
    m_style = style;
    RecomputeGeometry();
    InvalidateLooks();
}

void TDisplay::RecomputeGeometry()
{
    m_geometry = ComputeGeometry(m_style, width(), height(), m_segWidth, m_margin);
    m_geometrySize = size();
}

void TDisplay::Invalidate()
{
    m_imageValid = false;
    update();
}

void TDisplay::InvalidateLooks()
{
    m_drawn.clear();
    Invalidate();
}

void TDisplay::RenderImage()
{
    if (m_geometrySize != size()) {
        RecomputeGeometry();
        m_image = QImage();
        m_imageValid = false;
        m_drawn.clear();
    }
    // The dial under the display asks for a repaint whenever its needle moves; the picture only
    // changes with the digit, the colours or the geometry.
    if (m_imageValid) {
        return;
    }
    const QSize imageSize(width() - 2 * kImageInset, height() - 2 * kImageInset);
    if (imageSize.isEmpty()) {
        m_image = QImage();
        return;
    }
    const std::uint64_t lit = LitMask(m_style, m_digit, m_customDigit);
    for (const auto &[pattern, picture] : m_drawn) {
        if (pattern == lit) {
            m_image = picture;
            m_imageValid = true;
            return;
        }
    }
    // A new picture: the one shown may be a kept one, which must stay as it is.
    m_image = QImage(imageSize, QImage::Format_RGB32);
    m_image.fill(m_backColor.rgb());

    QPainter p(&m_image);
    const bool numbered = Carries16SegNumbers(m_style);
    for (int i = 0; i < m_geometry.ShapeCount; ++i) {
        const bool on = (lit >> i) & 1u;
        QColor fill = on ? m_onColor : m_offColor;
        if (numbered) {
            fill.setBlue(fill.blue() | i);
        }
        p.setBrush(fill);
        p.setPen(on ? m_penOnColor : m_penOffColor);
        switch (m_style) {
        case ds5x7Dot:
            // A pen-outlined rectangle covers one pixel more than its size; keep it to s x s.
            p.drawRect(m_geometry.Cells[i].adjusted(0, 0, -1, -1));
            break;
        case ds5x7Bulb:
            p.drawEllipse(m_geometry.Cells[i].adjusted(0, 0, -1, -1));
            break;
        default:
            p.drawPolygon(m_geometry.Shapes[i]);
            break;
        }
    }
    p.end();
    m_imageValid = true;
    // A segment editor may make any of 65536 patterns: only the last few are kept.
    constexpr std::size_t kKeptPictures = 16;
    if (m_drawn.size() >= kKeptPictures) {
        m_drawn.erase(m_drawn.begin());
    }
    m_drawn.emplace_back(lit, m_image);
}

void TDisplay::paintEvent(QPaintEvent *)
{
    RenderImage();
    if (m_image.isNull()) {
        return;
    }
    QPainter p(this);
    p.drawImage(kImageInset, kImageInset, m_image);
}

void TDisplay::mouseReleaseEvent(QMouseEvent *event)
{
    QWidget::mouseReleaseEvent(event);
    if (!m_edit || event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint at = event->position().toPoint();
    const int m = m_margin;
    if (at.x() < m || at.x() > width() - m || at.y() < m || at.y() > height() - m) {
        return;
    }
    // Hit-test against what is shown now; the image is one pixel off the click coordinates, as
    // it always was, but a point past its edge (a small margin) is ignored rather than read.
    RenderImage();
    if (!m_image.rect().contains(at)) {
        return;
    }
    const QRgb pixel = m_image.pixel(at) & RGB_MASK;
    if (pixel == 0) {
        return;
    }
    const int segment = qBlue(pixel) & kSegmentNumberMask;
    SetCustomDigit(static_cast<quint16>(m_customDigit ^ (1u << segment)));
}
