#pragma once

#include "liveSamples.h"
#include "stripChartGeometry.h"

#include <QFont>
#include <QPixmap>
#include <QWidget>

#include <array>
#include <functional>

// The Live Data window's chart: barrel angle over the gear ranges, the analogue input with its
// trigger thresholds, and the four status bits as on-bars, against time. It draws whatever sample
// ring it is given (the live one or an opened log) and owns none of them.
//
// The still parts (lane frames, names, value labels, bands and, while following live data, the
// time labels) are kept in a pixmap; the trigger lines are drawn over it with every paint. While
// following, a new sample scrolls what is drawn by the whole pixels the time moved on and paints
// only the newest strip.
class TStripChart : public QWidget
{
    Q_OBJECT

public:
    struct TBand
    {
        int Gear = 0;
        double LowDeg = 0;
        double HighDeg = 0;
        double PositionDeg = 0; // the sampled position inside the range
    };
    // What the trigger lines show: the load cell's two thresholds on the analogue lane, or the
    // barrel threshold either side of each gear position on the angle lane.
    struct TTrigger
    {
        int Method = 0; // 0 switch, 1 load cell, 2 barrel position
        int UpThreshold = 0;
        int DownThreshold = 0;
        double BarrelThresholdDeg = 0;
        bool operator==(const TTrigger &) const = default;
    };

    explicit TStripChart(QWidget *parent = nullptr);

    void SetSamples(const TLiveSamples *samples); // not owned; may be null
    void SetBands(const std::vector<TBand> &bands);
    void SetTrigger(const TTrigger &trigger);
    const TTrigger &Trigger() const { return trigger_; }

    // Following: the window ends at the newest time (nowMs) and moves with it. Otherwise it
    // stays where SetViewEnd put it.
    void SetFollowing(bool following);
    bool Following() const { return following_; }
    void SetSpanMs(std::int64_t span);
    std::int64_t SpanMs() const { return spanMs_; }
    void SetViewEnd(std::int64_t endMs);
    std::int64_t ViewEnd() const { return endMs_; }
    // The clock of the live data, read when following.
    std::function<std::int64_t()> NowMs;

    // A new sample or link change arrived: repaints the lanes when it shows.
    void SamplesChanged();

    const stripchart::TChartLayout &Layout() const { return layout_; }
    stripchart::TTimeScale Scale() const;
    stripchart::TAngleAxis AngleAxis() const { return axis_; }

    // Cursor: the time under the mouse, or none.
    bool HasCursor() const { return cursorX_ >= 0; }
    std::int64_t CursorMs() const;
    void SetCursorX(int x); // -1 hides it

    // Counts of full repaints of the still parts, for tests of the repaint economy.
    int BackgroundRenders() const { return backgroundRenders_; }

signals:
    void CursorMoved(); // the cursor moved, appeared or went
    void ZoomRequested(double factor, std::int64_t aroundMs); // mouse wheel

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void Relayout();
    void InvalidateBackground();
    void ViewChanged();
    void RenderBackground();
    // Draws what lies in the plot; the traces only as far as `dirty` needs them.
    void DrawTraces(QPainter &painter, const stripchart::TTimeScale &scale,
                    const QRect &dirty) const;
    void DrawCursor(QPainter &painter) const;
    // A trigger threshold: a dashed line across its lane, and its label when it has one.
    struct TThresholdLine
    {
        QRect Lane;
        int Y = 0;
        QColor Colour;
        QString Text;
        QRect TextBox;
    };
    std::vector<TThresholdLine> ThresholdLines() const;
    void DrawThresholds(QPainter &painter, const QRect &dirty) const;
    QRect CursorRect(int x) const;
    // The column of a gear letter placed at ms.
    double LetterX(const stripchart::TTimeScale &scale, std::int64_t ms) const;
    // Where a gear letter placed by the newest reply stands, when that reply settled a gear.
    QRect SettledLetterRect() const;
    std::int64_t FollowPixel() const;

    const TLiveSamples *samples_ = nullptr;
    std::vector<TBand> bands_;
    TTrigger trigger_;
    stripchart::TAngleAxis axis_;
    stripchart::TChartLayout layout_;
    bool following_ = true;
    std::int64_t spanMs_ = 30000;
    std::int64_t endMs_ = 0;
    std::int64_t followPixel_ = 0; // where a following chart ends, in pixels of its time grid
    int cursorX_ = -1;
    QPixmap background_;
    bool backgroundValid_ = false;
    std::vector<TThresholdLine> thresholds_; // placed when the still parts were last drawn
    std::int64_t backgroundEnd_ = -1; // the view end the time labels were drawn for
    int backgroundRenders_ = 0;
    // The gear letters' box sizes, for the font they were measured in: measuring lays the text
    // out, and the letters are drawn with every strip.
    mutable QFont letterFont_;
    mutable std::array<int, 256> letterWidths_ {};
    mutable int letterBoxH_ = -1;
};
