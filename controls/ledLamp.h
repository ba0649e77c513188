#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>
#include <QWidget>

class QTimer;

enum TLEDStyle { LEDSmall, LEDLarge, LEDSqSmall, LEDSqLarge, LEDVertical, LEDHorizontal };

// Indicator lamp drawn from one of twelve LED pictures whose lime lit area is recoloured with
// TrueColor (on image) and FalseColor (off image). While on it may blink with its own timer.
// The control takes the size of its style whenever it rebuilds its images.
class TLedLamp : public QWidget
{
    Q_OBJECT

public:
    // The lit area of every LED picture is this colour before recolouring.
    static constexpr QRgb kLitColour = 0xFF00FF00;
    static constexpr int kDefaultInterval = 1000;

    explicit TLedLamp(QWidget *parent = nullptr);
    ~TLedLamp() override;

    QColor TrueColor() const { return m_trueColor; }
    void SetTrueColor(const QColor &colour);
    QColor FalseColor() const { return m_falseColor; }
    void SetFalseColor(const QColor &colour);
    QColor BorderColor() const { return m_borderColor; }
    void SetBorderColor(const QColor &colour);
    bool Blink() const { return m_blink; }
    void SetBlink(bool blink);
    bool Bordered() const { return m_bordered; }
    void SetBordered(bool bordered);
    bool Value() const { return m_value; }
    void SetValue(bool value);
    int Interval() const { return m_interval; }
    void SetInterval(int interval);
    TLEDStyle LEDStyle() const { return m_style; }
    void SetLEDStyle(TLEDStyle style);

    // True while the off image is the one shown.
    bool ShowingOff() const { return m_showingOff; }
    const QImage &OnImage() const { return m_onImage; }
    const QImage &OffImage() const { return m_offImage; }
    // True while the blink timer exists.
    bool IsBlinking() const { return m_blinkTimer != nullptr; }

    static QSize StyleSize(TLEDStyle style);
    // Resource name of the picture, e.g. "BSM" (bordered) or "NSM".
    static QString ImageName(TLEDStyle style, bool bordered);
    // The picture as stored, before recolouring; null when the resource is missing.
    static QImage LoadImage(TLEDStyle style, bool bordered);

    QSize sizeHint() const override;

signals:
    void OnTimer();
    void OnMouseEnter();
    void OnMouseLeave();
    void OnClick();

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void SetColour(QColor &field, const QColor &colour);
    void BuildImages();
    void DrawOn();
    void DrawOff();
    void StartBlink();
    void StopBlink();
    void BlinkTick();

    QColor m_trueColor;
    QColor m_falseColor;
    QColor m_borderColor;
    bool m_blink = true;
    bool m_bordered = true;
    bool m_value = false;
    int m_interval = kDefaultInterval;
    TLEDStyle m_style = LEDSmall;

    QImage m_onImage;
    QImage m_offImage;
    bool m_showingOff = true;
    QTimer *m_blinkTimer = nullptr;
    bool m_pressed = false;
};
