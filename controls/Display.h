#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

#include <cstdint>
#include <utility>
#include <vector>

#include "displayGeometry.h"

// One character shown the way a lit-segment display does: seven or sixteen segments, a 5 x 7
// matrix of square dots or round bulbs, or a free sixteen-segment pattern (CustomDigit). It
// paints through an off-screen image; in edit mode a click toggles the clicked segment of the
// free pattern.
class TDisplay : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kDefaultWidth = 120;
    static constexpr int kDefaultHeight = 200;
    static constexpr int kDefaultSegWidth = 15;
    static constexpr int kDefaultMargin = 10;

    explicit TDisplay(QWidget *parent = nullptr);

    bool edit() const { return m_edit; }
    void SetEdit(bool edit) { m_edit = edit; }
    quint16 CustomDigit() const { return m_customDigit; }
    void SetCustomDigit(quint16 pattern);
    char Digit() const { return m_digit; }
    void SetDigit(char digit);
    QColor OnColor() const { return m_onColor; }
    void SetOnColor(const QColor &colour);
    QColor OffColor() const { return m_offColor; }
    void SetOffColor(const QColor &colour);
    QColor BackColor() const { return m_backColor; }
    void SetBackColor(const QColor &colour);
    QColor PenOnColor() const { return m_penOnColor; }
    void SetPenOnColor(const QColor &colour);
    QColor PenOffColor() const { return m_penOffColor; }
    void SetPenOffColor(const QColor &colour);
    int SegWidth() const { return m_segWidth; }
    void SetSegWidth(int width);
    int Margin() const { return m_margin; }
    void SetMargin(int margin);
    TDigitStyle DigitStyle() const { return m_style; }
    void SetDigitStyle(TDigitStyle style);

    // Geometry of the current style and size, as last computed.
    const display::TDisplayGeometry &Geometry() const { return m_geometry; }
    // The off-screen image of the last paint ((Width - 2) x (Height - 2)).
    const QImage &OffscreenImage() const { return m_image; }

    QSize sizeHint() const override;

signals:
    void onChange();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void SetColour(QColor &field, const QColor &colour);
    void RecomputeGeometry();
    void RenderImage();
    void Invalidate();
    // A change of what every pattern is drawn with: the kept pictures go too.
    void InvalidateLooks();

    bool m_edit = false;
    quint16 m_customDigit = 0;
    char m_digit = 0;
    QColor m_onColor;
    QColor m_offColor;
    QColor m_backColor;
    QColor m_penOnColor;
    QColor m_penOffColor;
    int m_segWidth = kDefaultSegWidth;
    int m_margin = kDefaultMargin;
    TDigitStyle m_style = ds7Seg;

    display::TDisplayGeometry m_geometry;
    QSize m_geometrySize;
    QImage m_image;
    bool m_imageValid = false;
    // Pictures of the last patterns drawn, by their lit segments: a gear display shows the same
    // few letters again and again, and drawing the segments costs far more than a copy.
    std::vector<std::pair<std::uint64_t, QImage>> m_drawn;
};
