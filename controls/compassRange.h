#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

#include <array>

// Round dial showing one value with a needle on a full-circle scale, with up to eleven coloured
// bands along the rim and up to eleven marker lines. The main window owns one to show the gear
// barrel angle. The face (with ranges, labels and markers) is cached in a pixmap; a new Position
// only repaints the rectangle of the old and the new needle.
class TCompassRange : public QWidget
{
    Q_OBJECT

public:
    // The range and marker arrays hold this many entries; counts are kept within 0..kMaxItems.
    static constexpr int kMaxItems = 11;
    static constexpr int kDefaultSize = 210;

    explicit TCompassRange(QWidget *parent = nullptr);

    QString FontName() const { return m_fontName; }
    void SetFontName(const QString &name);
    QColor ColorScale() const { return m_colorScale; }
    void SetColorScale(const QColor &colour);
    QColor ColorBack() const { return m_colorBack; }
    void SetColorBack(const QColor &colour);
    QColor ColorFont() const { return m_colorFont; }
    void SetColorFont(const QColor &colour);
    QColor ColorNeedle() const { return m_colorNeedle; }
    void SetColorNeedle(const QColor &colour);
    QColor ColorBorder() const { return m_colorBorder; }
    void SetColorBorder(const QColor &colour);
    int MaxValue() const { return m_maxValue; }
    void SetMaxValue(int value);
    float Position() const { return m_position; }
    void SetPosition(float value);
    int Marks() const { return m_marks; }
    void SetMarks(int marks);
    QString Units() const { return m_units; }
    void SetUnits(const QString &units);
    QString Title() const { return m_title; }
    void SetTitle(const QString &title);

    int RangeCount() const { return m_rangeCount; }
    void SetRangeCount(int count);
    void SetRange(int index, const QColor &colour, float low, float high);
    float RangeLow(int index) const;
    float RangeHigh(int index) const;
    QColor RangeColor(int index) const;

    int MarkerCount() const { return m_markerCount; }
    void SetMarkerCount(int count);
    void SetMarker(int index, const QColor &colour, float value);
    float MarkerValue(int index) const;
    QColor MarkerColor(int index) const;

    // How many times the cached face was rebuilt; a needle move must leave it unchanged.
    int FaceRenderCount() const { return m_faceRenderCount; }
    // The widget rectangle the needle covers at the current Position (empty when hidden).
    QRect NeedleRect() const;

    QSize sizeHint() const override;

signals:
    void OnSetPosition();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool NeedleVisible() const;
    // The needle as drawn; a null line while it is not drawn.
    QLine NeedleLine() const;
    void ClampPosition();
    void InvalidateFace();
    void RenderFace();

    QString m_fontName;
    QColor m_colorScale;
    QColor m_colorBack;
    QColor m_colorFont;
    QColor m_colorNeedle;
    QColor m_colorBorder;
    int m_maxValue;
    float m_position = 0.0f;
    int m_marks;
    QString m_units;
    QString m_title;

    int m_rangeCount = 0;
    std::array<float, kMaxItems> m_rangeLow {};
    std::array<float, kMaxItems> m_rangeHigh {};
    std::array<QColor, kMaxItems> m_rangeColor {};
    int m_markerCount = 0;
    std::array<float, kMaxItems> m_markerValue {};
    std::array<QColor, kMaxItems> m_markerColor {};

    // Face, ranges, labels and markers; everything but the needle.
    QImage m_face;
    QImage m_frame; // the face with the needle, composed for the area being painted
    bool m_faceValid = false;
    int m_faceRenderCount = 0;
};
