#include "ledLamp.h"

#include "floodFill.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <array>

// Resource initialisers live at global scope; they keep the pictures of this static library
// from being dropped by the linker.
static void InitLedResources()
{
    Q_INIT_RESOURCE(leds);
}

namespace {

const QColor kDefaultTrue(QRgb {0x00FF00});
const QColor kDefaultFalse(QRgb {0xC0C0C0});
// A zero or negative period would spin the event loop; the system timer had the same floor.
constexpr int kMinTimerMs = 10;

struct TStyleInfo
{
    QSize Size;
    const char *Name;
};

constexpr std::array<TStyleInfo, 6> kStyles {{
    {{16, 16}, "SM"},
    {{22, 22}, "LG"},
    {{16, 16}, "SQSM"},
    {{22, 22}, "SQLG"},
    {{16, 22}, "VT"},
    {{22, 16}, "HZ"},
}};

const TStyleInfo &Info(TLEDStyle style)
{
    const auto index = static_cast<std::size_t>(style);
    return kStyles[index < kStyles.size() ? index : 0];
}

} // namespace

TLedLamp::TLedLamp(QWidget *parent)
    : QWidget(parent)
    , m_trueColor(kDefaultTrue)
    , m_falseColor(kDefaultFalse)
    , m_borderColor(palette().color(QPalette::Button))
{
    BuildImages();
}

TLedLamp::~TLedLamp()
{
    StopBlink();
}

QSize TLedLamp::StyleSize(TLEDStyle style)
{
    return Info(style).Size;
}

QString TLedLamp::ImageName(TLEDStyle style, bool bordered)
{
    return QLatin1String(bordered ? "B" : "N") + QLatin1String(Info(style).Name);
}

QImage TLedLamp::LoadImage(TLEDStyle style, bool bordered)
{
    static const bool initialised = (InitLedResources(), true);
    Q_UNUSED(initialised);
    QImage image(QStringLiteral(":/leds/%1.xpm").arg(ImageName(style, bordered)));
    if (image.isNull()) {
        return image;
    }
    return image.convertToFormat(QImage::Format_ARGB32);
}

QSize TLedLamp::sizeHint() const
{
    return StyleSize(m_style);
}

void TLedLamp::BuildImages()
{
    const QSize size = StyleSize(m_style);
    resize(size);
    updateGeometry();
    const QImage loaded = LoadImage(m_style, m_bordered);
    m_onImage = loaded;
    m_offImage = loaded;
    const QPoint centre(size.width() / 2, size.height() / 2);
    FloodFill(m_onImage, centre, kLitColour, m_trueColor.rgb());
    FloodFill(m_offImage, centre, kLitColour, m_falseColor.rgb());
}

void TLedLamp::DrawOn()
{
    m_showingOff = false;
    update();
}

void TLedLamp::DrawOff()
{
    m_showingOff = true;
    update();
}

void TLedLamp::StartBlink()
{
    if (m_blinkTimer != nullptr) {
        return;
    }
    m_showingOff = false;
    m_blinkTimer = new QTimer(this);
    m_blinkTimer->setInterval(std::max(kMinTimerMs, m_interval));
    connect(m_blinkTimer, &QTimer::timeout, this, &TLedLamp::BlinkTick);
    m_blinkTimer->start();
}

void TLedLamp::StopBlink()
{
    delete m_blinkTimer;
    m_blinkTimer = nullptr;
}

void TLedLamp::BlinkTick()
{
    m_showingOff = !m_showingOff;
    update();
    emit OnTimer();
}

void TLedLamp::SetValue(bool value)
{
    if (value == m_value) {
        return;
    }
    m_value = value;
    if (value) {
        DrawOn();
        if (m_blink) {
            StartBlink();
        }
    } else {
        StopBlink();
        DrawOff();
    }
}

void TLedLamp::SetBlink(bool blink)
{
    if (blink == m_blink) {
        return;
    }
    if (m_value) {
        DrawOn();
    } else {
        DrawOff();
    }
    m_blink = blink;
    if (m_blink && m_value) {
        StartBlink();
    } else {
        StopBlink();
    }
}

void TLedLamp::SetColour(QColor &field, const QColor &colour)
{
    if (colour == field) {
        return;
    }
    // Stopping and restarting the blink makes it start over from the on image.
    const bool blink = m_blink;
    if (blink) {
        SetBlink(false);
    }
    field = colour;
    BuildImages();
    SetBlink(blink);
    update();
}

void TLedLamp::SetTrueColor(const QColor &colour)
{
    SetColour(m_trueColor, colour);
}

void TLedLamp::SetFalseColor(const QColor &colour)
{
    SetColour(m_falseColor, colour);
}

void TLedLamp::SetBorderColor(const QColor &colour)
{
    SetColour(m_borderColor, colour);
}

void TLedLamp::SetBordered(bool bordered)
{
    if (bordered == m_bordered) {
        return;
    }
    m_bordered = bordered;
    BuildImages();
    update();
}

void TLedLamp::SetLEDStyle(TLEDStyle style)
{
    if (style == m_style) {
        return;
    }
    m_style = style;
    BuildImages();
    update();
}

void TLedLamp::SetInterval(int interval)
{
    m_interval = interval;
    if (m_blinkTimer != nullptr) {
        m_blinkTimer->setInterval(std::max(kMinTimerMs, interval));
    }
}

void TLedLamp::paintEvent(QPaintEvent *)
{
    const QImage &image = m_showingOff ? m_offImage : m_onImage;
    if (image.isNull()) {
        return;
    }
    QPainter p(this);
    p.drawImage(rect(), image);
}

void TLedLamp::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    emit OnMouseEnter();
}

void TLedLamp::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    emit OnMouseLeave();
}

void TLedLamp::mousePressEvent(QMouseEvent *event)
{
    QWidget::mousePressEvent(event);
    m_pressed = event->button() == Qt::LeftButton;
}

void TLedLamp::mouseReleaseEvent(QMouseEvent *event)
{
    QWidget::mouseReleaseEvent(event);
    const bool click = m_pressed && event->button() == Qt::LeftButton
        && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click) {
        emit OnClick();
    }
}
