#include "stripChart.h"

#include "Ecu.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <array>
#include <cmath>

using namespace stripchart;

namespace {

constexpr int kMinTickGapPx = 70;
constexpr std::int64_t kTraceGapMs = 1000; // a longer silence breaks the trace
constexpr double kWheelZoom = 1.25;
constexpr int kBandAlpha = 110;
constexpr int kShadeAlpha = 45;
constexpr int kNewStripMargin = 3;
constexpr int kStrokeReachPx = 3; // a trace's pen and its smoothing reach less than this

const QColor kLaneFill(0xFF, 0xFF, 0xFF);
const QColor kLaneFrame(0xA0, 0xA0, 0xA0);
const QColor kGrid(0xE4, 0xE4, 0xE4);
const QColor kAngleTrace(0x10, 0x20, 0x70);
const QColor kAnalogueTrace(0x00, 0x60, 0x60);
const QColor kUpLine(0x1B, 0x7F, 0x2A);
const QColor kDownLine(0x15, 0x55, 0xC0);
const QColor kBarrelLine(0x50, 0x50, 0x50);
const QColor kCursor(0x30, 0x30, 0x30);

struct TBitLane
{
    TLane Lane;
    std::uint8_t Bit;
    const char *Name;
    QColor Colour;
};
const TBitLane kBitLanes[] = {
    {lnUpshift, 0x01, "Up trigger", QColor(0x2E, 0x9D, 0x3A)},
    {lnDownshift, 0x02, "Down trigger", QColor(0x1E, 0x6B, 0xD6)},
    {lnCut, 0x04, "Engine cut", QColor(0xD0, 0x2A, 0x2A)},
    {lnBlip, 0x08, "Throttle blip", QColor(0xEF, 0x8A, 0x00)},
};

QColor GearColour(int gear)
{
    return QColor::fromRgb(static_cast<QRgb>(GearColourOf(gear)));
}

// Black letters on the light gear colours, white on the dark ones.
QColor LetterColour(const QColor &fill)
{
    return fill.lightness() > 110 ? Qt::black : Qt::white;
}

double AngleOf(const TLogSample &s)
{
    return CountsToDegrees(s.Adc);
}

} // namespace

TStripChart::TStripChart(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("chtLive"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(420, 300);
    Relayout();
}

void TStripChart::SetSamples(const TLiveSamples *samples)
{
    samples_ = samples;
    update();
}

void TStripChart::SetBands(const std::vector<TBand> &bands)
{
    bands_ = bands;
    double low = 1;
    double high = 0;
    for (const TBand &b : bands_) {
        if (low > high) {
            low = b.LowDeg;
            high = b.HighDeg;
        }
        low = std::min(low, b.LowDeg);
        high = std::max(high, b.HighDeg);
    }
    axis_ = stripchart::AngleAxis(low, high);
    InvalidateBackground();
}

void TStripChart::SetTrigger(const TTrigger &trigger)
{
    if (trigger == trigger_)
        return;
    trigger_ = trigger;
    InvalidateBackground();
}

void TStripChart::SetFollowing(bool following)
{
    if (following == following_)
        return;
    if (!following && NowMs)
        endMs_ = NowMs();
    following_ = following;
    ViewChanged();
}

void TStripChart::SetSpanMs(std::int64_t span)
{
    span = std::max<std::int64_t>(span, 1000);
    if (span == spanMs_)
        return;
    spanMs_ = span;
    ViewChanged();
}

void TStripChart::SetViewEnd(std::int64_t endMs)
{
    if (endMs == endMs_)
        return;
    endMs_ = endMs;
    if (!following_)
        ViewChanged();
}

void TStripChart::ViewChanged()
{
    InvalidateBackground();
    // The time under a cursor that stood still changed with the view (a wheel turned, the span
    // chosen): its read-out must not go on telling the time it stood on before.
    if (cursorX_ >= 0)
        emit CursorMoved();
}

std::int64_t TStripChart::FollowPixel() const
{
    const std::int64_t now = NowMs ? NowMs() : endMs_;
    return static_cast<std::int64_t>(
        std::floor(static_cast<double>(now) * layout_.Plot.width() / spanMs_));
}

TTimeScale TStripChart::Scale() const
{
    // A following chart ends on a whole pixel of its own time grid, so that moving on by a pixel
    // is a scroll of what is already drawn.
    const std::int64_t end = following_
        ? std::llround(static_cast<double>(followPixel_) * spanMs_ / layout_.Plot.width())
        : endMs_;
    return TimeScale(layout_, end, spanMs_);
}

void TStripChart::SamplesChanged()
{
    // Only a following chart moves with new data; a paused one or a log stays as it is.
    if (!following_ || !isVisible())
        return;
    const std::int64_t pixel = FollowPixel();
    const std::int64_t dx = pixel - followPixel_;
    const QRect plot = layout_.Plot;
    followPixel_ = pixel;
    if (dx < 0 || dx >= plot.width() / 2) {
        update(plot);
        return;
    }
    if (dx > 0) {
        scroll(static_cast<int>(-dx), 0, plot);
        // A label went with the scroll; it stands where it stood.
        for (const TThresholdLine &l : thresholds_)
            if (!l.Text.isEmpty())
                update(l.TextBox.united(l.TextBox.translated(static_cast<int>(-dx), 0)));
    }
    // The newest stretch of the traces, with a little room for the pen's width.
    update(QRect(plot.right() - static_cast<int>(dx) - kNewStripMargin, plot.top(),
                 static_cast<int>(dx) + kNewStripMargin + 1, plot.height()));
    // A gear's letter stands at the first of the replies that settled it, which on a short span
    // has left the newest strip by the time the last of them comes.
    if (const QRect letter = SettledLetterRect(); !letter.isEmpty())
        update(letter);
    if (cursorX_ >= 0) {
        update(CursorRect(cursorX_ - static_cast<int>(dx))); // the line went with the scroll
        update(CursorRect(cursorX_));
        emit CursorMoved(); // the time under it changed
    }
}

double TStripChart::LetterX(const TTimeScale &scale, std::int64_t ms) const
{
    if (!following_)
        return std::floor(TimeToX(scale, ms));
    // On the whole pixels of the following chart's time grid: a strip's scale ends on a whole
    // millisecond, and a letter drawn half a pixel apart in two strips would not join up.
    const auto pixel = static_cast<std::int64_t>(
        std::floor(static_cast<double>(ms) * layout_.Plot.width() / spanMs_));
    return static_cast<double>(layout_.Plot.right() + 1 - followPixel_ + pixel);
}

QRect TStripChart::SettledLetterRect() const
{
    const std::optional<std::int64_t> from = samples_ ? SettledByNewest(*samples_) : std::nullopt;
    if (!from)
        return {};
    const QRect angle = layout_.Lanes[lnAngle];
    const int x = std::max(angle.left(), static_cast<int>(LetterX(Scale(), *from)));
    // The letter's box and dotted line begin at x; their smoothing reaches a pixel further.
    return QRect(x - 2, angle.top(), angle.right() - x + 3, angle.height())
        .intersected(layout_.Plot);
}

std::int64_t TStripChart::CursorMs() const
{
    return XToTime(Scale(), cursorX_);
}

QRect TStripChart::CursorRect(int x) const
{
    return QRect(x - 1, layout_.Plot.top(), 3, layout_.Plot.height());
}

void TStripChart::SetCursorX(int x)
{
    // The window's end maps to one pixel past the lanes' last column.
    if (x >= 0 && (x < layout_.Plot.left() || x > layout_.Plot.right() + 1))
        x = -1;
    if (x == cursorX_)
        return;
    if (cursorX_ >= 0)
        update(CursorRect(cursorX_));
    cursorX_ = x;
    if (cursorX_ >= 0)
        update(CursorRect(cursorX_));
    emit CursorMoved();
}

void TStripChart::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    SetCursorX(layout_.Plot.contains(p) ? p.x() : -1);
}

void TStripChart::leaveEvent(QEvent *)
{
    SetCursorX(-1);
}

void TStripChart::wheelEvent(QWheelEvent *event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0)
        return;
    const std::int64_t around = XToTime(Scale(), event->position().x());
    emit ZoomRequested(delta > 0 ? 1 / kWheelZoom : kWheelZoom, around);
    event->accept();
}

void TStripChart::resizeEvent(QResizeEvent *)
{
    Relayout();
}

void TStripChart::showEvent(QShowEvent *)
{
    // Hidden, it followed nothing: it shows the present at once.
    followPixel_ = FollowPixel();
}

void TStripChart::Relayout()
{
    const QFontMetrics metrics(font());
    layout_ = ChartLayout(size(), metrics.height(), metrics.averageCharWidth());
    InvalidateBackground();
}

void TStripChart::InvalidateBackground()
{
    backgroundValid_ = false;
    followPixel_ = FollowPixel();
    update();
}

void TStripChart::RenderBackground()
{
    ++backgroundRenders_;
    const qreal dpr = devicePixelRatioF();
    background_ = QPixmap(size() * dpr);
    background_.setDevicePixelRatio(dpr);
    background_.fill(palette().color(QPalette::Window));
    QPainter p(&background_);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QFontMetrics metrics(font());
    const TTimeScale scale = Scale();
    const int right = layout_.LabelRight;

    for (const QRect &lane : layout_.Lanes)
        p.fillRect(lane, kLaneFill);

    // Time grid and labels.
    // A following chart scrolls what it has drawn, so its lanes carry nothing tied to a column:
    // the time ticks stand below them.
    const std::vector<std::int64_t> ticks = TimeTicks(scale, kMinTickGapPx, following_);
    for (std::int64_t t : ticks) {
        const int x = static_cast<int>(std::lround(TimeToX(scale, t)));
        if (following_) {
            p.setPen(kLaneFrame);
            p.drawLine(x, layout_.Plot.bottom() + 1, x, layout_.TimeAxisTop);
            continue;
        }
        p.setPen(kGrid);
        for (const QRect &lane : layout_.Lanes)
            p.drawLine(x, lane.top(), x, lane.bottom());
    }
    p.setPen(palette().color(QPalette::WindowText));
    QStringList labels;
    std::vector<int> xs;
    std::vector<int> widths;
    for (std::int64_t t : ticks) {
        labels << TickLabel(t, scale, following_);
        xs.push_back(static_cast<int>(std::lround(TimeToX(scale, t))));
        widths.push_back(metrics.horizontalAdvance(labels.back()));
    }
    const std::vector<int> lefts
        = TickLabelLefts(xs, widths, layout_.Plot.left(), layout_.Plot.right());
    for (std::size_t i = 0; i < lefts.size(); ++i)
        if (lefts[i] >= 0)
            p.drawText(lefts[i], layout_.TimeAxisTop + metrics.ascent(),
                       labels[static_cast<qsizetype>(i)]);

    // Angle lane: value grid, bands, barrel threshold lines.
    const QRect angle = layout_.Lanes[lnAngle];
    const double span = axis_.Max - axis_.Min;
    const double step = span > 180 ? 45 : span > 90 ? 30 : 15;
    for (double v = std::ceil(axis_.Min / step) * step; v <= axis_.Max; v += step) {
        const int y = static_cast<int>(std::lround(AngleToY(v, axis_, angle)));
        p.setPen(kGrid);
        p.drawLine(angle.left(), y, angle.right(), y);
        p.setPen(palette().color(QPalette::WindowText));
        const QString label = QStringLiteral("%1°").arg(v);
        p.drawText(
            right - metrics.horizontalAdvance(label),
            std::clamp(y + metrics.ascent() / 2, angle.top() + metrics.ascent(), angle.bottom()),
            label);
    }
    QFont bold = font();
    bold.setBold(true);
    for (const TBand &b : bands_) {
        const QRect r = BandRect(b.LowDeg, b.HighDeg, axis_, angle);
        if (r.isEmpty())
            continue;
        QColor fill = GearColour(b.Gear);
        fill.setAlpha(kBandAlpha);
        p.fillRect(r, fill);
        QColor edge = GearColour(b.Gear).darker(130);
        p.setPen(edge);
        p.drawLine(r.left(), r.top(), r.right(), r.top());
        p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
        // The band's letter stands beside the lane, where scrolling never moves it.
        p.setFont(bold);
        const QString letter(QLatin1Char(GearLetterOf(b.Gear)));
        const int boxW = metrics.horizontalAdvance(letter) + 6;
        const QRect box(kOuterMargin + metrics.height() + 2, r.center().y() - metrics.height() / 2,
                        boxW, metrics.height());
        p.fillRect(box, GearColour(b.Gear));
        p.setPen(LetterColour(GearColour(b.Gear)));
        p.drawText(box, Qt::AlignCenter, letter);
        p.setFont(font());
    }
    // Analogue lane: scale.
    const QRect analogue = layout_.Lanes[lnAnalogue];
    for (int v : {0, 128, 255}) {
        const int y = static_cast<int>(std::lround(AnalogueToY(v, analogue)));
        p.setPen(kGrid);
        p.drawLine(analogue.left(), y, analogue.right(), y);
        p.setPen(palette().color(QPalette::WindowText));
        const QString label = QString::number(v);
        p.drawText(right - metrics.horizontalAdvance(label),
                   std::clamp(y + metrics.ascent() / 2, analogue.top() + metrics.ascent(),
                              analogue.bottom()),
                   label);
    }

    // Lane names and frames. The value lanes' names stand on end beside their scales.
    p.setPen(palette().color(QPalette::WindowText));
    p.setFont(bold);
    const struct
    {
        const QRect &Lane;
        QString Name;
    } titles[] = {{angle, QStringLiteral("Barrel angle")}, {analogue, QStringLiteral("Analogue")}};
    for (const auto &t : titles) {
        p.save();
        p.translate(kOuterMargin, t.Lane.center().y());
        p.rotate(-90);
        p.drawText(QRect(-t.Lane.height() / 2, 0, t.Lane.height(), metrics.height()),
                   Qt::AlignHCenter | Qt::AlignTop, t.Name);
        p.restore();
    }
    p.setFont(font());
    for (const TBitLane &b : kBitLanes) {
        const QRect lane = layout_.Lanes[b.Lane];
        p.drawText(QRect(kOuterMargin, lane.top(), right - kOuterMargin, lane.height()),
                   Qt::AlignVCenter | Qt::AlignLeft, QLatin1String(b.Name));
    }
    p.setPen(kLaneFrame);
    p.setBrush(Qt::NoBrush);
    for (const QRect &lane : layout_.Lanes)
        p.drawRect(lane.adjusted(-1, -1, 0, 0));

    // Drawn over the still parts with each paint, but placed with them.
    thresholds_ = ThresholdLines();
    backgroundValid_ = true;
    backgroundEnd_ = scale.EndMs;
}

std::vector<TStripChart::TThresholdLine> TStripChart::ThresholdLines() const
{
    std::vector<TThresholdLine> lines;
    if (trigger_.Method == 2) {
        const QRect angle = layout_.Lanes[lnAngle];
        for (const TBand &b : bands_)
            for (double v : {b.PositionDeg - trigger_.BarrelThresholdDeg,
                             b.PositionDeg + trigger_.BarrelThresholdDeg}) {
                const int y = static_cast<int>(std::lround(AngleToY(v, axis_, angle)));
                if (y >= angle.top() && y <= angle.bottom())
                    lines.push_back({angle, y, kBarrelLine, QString(), QRect()});
            }
    } else if (trigger_.Method == 1) {
        const QRect analogue = layout_.Lanes[lnAnalogue];
        const QFontMetrics metrics(font());
        const struct
        {
            int Value;
            QColor Colour;
            QString Text;
        } values[]
            = {{trigger_.UpThreshold, kUpLine, QStringLiteral("up %1").arg(trigger_.UpThreshold)},
               {trigger_.DownThreshold, kDownLine,
                QStringLiteral("down %1").arg(trigger_.DownThreshold)}};
        for (const auto &v : values) {
            const int y = static_cast<int>(std::lround(AnalogueToY(v.Value, analogue)));
            const bool above = v.Value >= std::max(trigger_.UpThreshold, trigger_.DownThreshold);
            const int width = metrics.horizontalAdvance(v.Text);
            const int baseline = above ? y - 3 : y + metrics.ascent() + 1;
            const QRect box(analogue.right() - width - 4, baseline - metrics.ascent(), width + 1,
                            metrics.height());
            lines.push_back({analogue, y, v.Colour, v.Text, box});
        }
    }
    return lines;
}

void TStripChart::DrawThresholds(QPainter &p, const QRect &dirty) const
{
    constexpr int kDash = 4;
    constexpr int kPeriod = 6;
    for (const TThresholdLine &l : thresholds_) {
        // Dashes keep their places on the scrolled picture, so a strip painted later carries on
        // the pattern of what scrolled.
        const int left = std::max(l.Lane.left(), dirty.left());
        const int right = std::min(l.Lane.right(), dirty.right());
        if (l.Y >= dirty.top() && l.Y <= dirty.bottom() && left <= right) {
            const auto phase
                = static_cast<int>(((left + followPixel_) % kPeriod + kPeriod) % kPeriod);
            for (int x = left - phase; x <= right; x += kPeriod) {
                const int from = std::max(x, left);
                const int to = std::min(x + kDash - 1, right);
                if (from <= to)
                    p.fillRect(QRect(from, l.Y, to - from + 1, 1), l.Colour);
            }
        }
        if (!l.Text.isEmpty() && l.TextBox.intersects(dirty)) {
            p.setPen(l.Colour);
            p.drawText(l.TextBox, Qt::AlignLeft | Qt::AlignTop, l.Text);
        }
    }
}

void TStripChart::paintEvent(QPaintEvent *event)
{
    if (!backgroundValid_ || background_.size() != size() * devicePixelRatioF())
        RenderBackground();
    QPainter p(this);
    const QRect dirty = event->rect();
    p.drawPixmap(dirty, background_,
                 QRectF(dirty.topLeft() * background_.devicePixelRatio(),
                        dirty.size() * background_.devicePixelRatio()));
    if (dirty.intersects(layout_.Plot)) {
        p.setClipRect(dirty.intersected(layout_.Plot));
        DrawThresholds(p, dirty);
        DrawTraces(p, Scale(), dirty);
    }
    if (cursorX_ >= 0) {
        p.setClipRect(dirty);
        DrawCursor(p);
    }
}

void TStripChart::DrawTraces(QPainter &p, const TTimeScale &scale, const QRect &dirty) const
{
    if (!samples_)
        return;
    const QRect plot = layout_.Plot;
    const QRect angle = layout_.Lanes[lnAngle];
    const QRect analogue = layout_.Lanes[lnAnalogue];

    // Link down: shaded across every lane.
    QColor shade(0x60, 0x60, 0x60, kShadeAlpha);
    for (const TLiveSamples::TPeriod &d : samples_->DownPeriods()) {
        const QRect r = PeriodRect(d.From, d.To, scale, plot);
        if (r.isEmpty())
            continue;
        p.fillRect(r, shade);
        p.fillRect(r, QBrush(QColor(0x60, 0x60, 0x60, 70), Qt::BDiagPattern));
    }
    if (samples_->Empty())
        return;

    std::size_t first = samples_->LowerBound(scale.StartMs());
    if (first > 0)
        --first;
    std::size_t last = samples_->LowerBound(scale.EndMs + 1);
    if (last < samples_->Count())
        ++last;
    // Traces and bars only as far as the repainted strip reaches, with a sample beyond each side
    // to come in from: a cursor moving over a day-long log repaints a few columns, not the day.
    const double reach = kStrokeReachPx + 2;
    const std::size_t from
        = std::max(first, samples_->LowerBound(XToTime(scale, dirty.left() - reach)));
    const std::size_t to
        = std::min(last, samples_->LowerBound(XToTime(scale, dirty.right() + 1 + reach)) + 1);

    std::vector<std::vector<QPointF>> angleRuns(1);
    std::vector<std::vector<QPointF>> analogueRuns(1);
    std::int64_t barFrom[std::size(kBitLanes)] = {-1, -1, -1, -1};
    std::int64_t previousMs = 0;

    auto closeBars = [&](std::int64_t until) {
        for (std::size_t b = 0; b < std::size(kBitLanes); ++b) {
            if (barFrom[b] < 0)
                continue;
            p.fillRect(BarRect(barFrom[b], until, scale, layout_.Lanes[kBitLanes[b].Lane]),
                       kBitLanes[b].Colour);
            barFrom[b] = -1;
        }
    };

    for (std::size_t i = from > first ? from - 1 : from; i < to; ++i) {
        const TLogSample s = samples_->At(i);
        const double x = TimeToX(scale, s.Ms);
        if (!angleRuns.back().empty() && s.Ms - previousMs > kTraceGapMs) {
            angleRuns.emplace_back();
            analogueRuns.emplace_back();
            closeBars(previousMs);
        }
        angleRuns.back().emplace_back(x, AngleToY(AngleOf(s), axis_, angle));
        analogueRuns.back().emplace_back(x, AnalogueToY(s.AnalogueInput, analogue));
        for (std::size_t b = 0; b < std::size(kBitLanes); ++b) {
            const bool on = (s.StatusBits & kBitLanes[b].Bit) != 0;
            if (on && barFrom[b] < 0)
                barFrom[b] = s.Ms;
            else if (!on && barFrom[b] >= 0) {
                p.fillRect(BarRect(barFrom[b], s.Ms, scale, layout_.Lanes[kBitLanes[b].Lane]),
                           kBitLanes[b].Colour);
                barFrom[b] = -1;
            }
        }
        previousMs = s.Ms;
    }
    closeBars(previousMs);

    p.setRenderHint(QPainter::Antialiasing, true);
    const auto drawRuns = [&](const std::vector<std::vector<QPointF>> &runs, const QColor &colour,
                              const QRect &lane) {
        p.save();
        p.setClipRect(lane, Qt::IntersectClip);
        p.setPen(QPen(colour, 1.6));
        for (const std::vector<QPointF> &run : runs) {
            const std::vector<QPointF> thin = ThinTrace(run);
            // A reply repaints a strip a few pixels wide; stroking the whole trace for it would
            // cost more than all else the reply does. The ends of the stretch lie beyond the
            // strip by more than the pen reaches.
            const TStretch s = StretchBetween(thin, dirty.left() - kStrokeReachPx,
                                              dirty.right() + 1 + kStrokeReachPx);
            const std::size_t count = s.Last - s.First;
            if (thin.size() == 1)
                p.drawPoint(thin.front());
            else if (count > 1)
                p.drawPolyline(thin.data() + s.First, static_cast<int>(count));
        }
        p.restore();
    };
    drawRuns(analogueRuns, kAnalogueTrace, analogue);
    drawRuns(angleRuns, kAngleTrace, angle);

    // The engaged gear's letter where it changes, along the top of the angle lane.
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    if (letterBoxH_ < 0 || bold != letterFont_) {
        letterFont_ = bold;
        letterWidths_.fill(-1);
        letterBoxH_ = QFontMetrics(bold).height() + 2;
    }
    const int boxH = letterBoxH_;
    double lastRight = -1e9;
    for (const TGearChange &c : GearChanges(*samples_, first, last)) {
        const double x = std::max(LetterX(scale, c.Ms), static_cast<double>(plot.left()));
        const char letterChar = GearLetterOf(c.Gear);
        const QString letter {QLatin1Char(letterChar)};
        int &boxW = letterWidths_[static_cast<unsigned char>(letterChar)];
        if (boxW < 0)
            boxW = QFontMetrics(bold).horizontalAdvance(letter) + 8;
        // Letters closer than a box apart would overlap: the later one waits for room.
        if (x < lastRight + 2)
            continue;
        const QRectF box(x, angle.top() + 2, boxW, boxH);
        lastRight = box.right();
        // Only the letters on the repainted strip are drawn (the spacing above needs them all).
        if (box.right() + 1 < dirty.left() || box.left() - 1 > dirty.right())
            continue;
        p.setPen(QPen(kAngleTrace, 1, Qt::DotLine));
        p.drawLine(QPointF(x, box.bottom()), QPointF(x, angle.bottom()));
        const QColor fill = GearColour(c.Gear);
        p.setPen(fill.darker(160));
        p.setBrush(fill);
        p.drawRoundedRect(box, 3, 3);
        p.setPen(LetterColour(fill));
        p.drawText(box, Qt::AlignCenter, letter);
    }
    p.setBrush(Qt::NoBrush);
}

void TStripChart::DrawCursor(QPainter &p) const
{
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(kCursor, 1));
    p.drawLine(cursorX_, layout_.Plot.top(), cursorX_, layout_.Plot.bottom());
}
