#include "liveData.h"

#include "diskFile.h"
#include "droppedFile.h"
#include "liveRecorder.h"
#include "main.h"
#include "rangeCheck.h"

#include <QBuffer>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <array>
#include <cmath>
#include <istream>
#include <limits>
#include <memory>
#include <streambuf>

namespace {

constexpr std::int64_t kScrollUnitMs = 100;
constexpr std::int64_t kMinSpanMs = 2000;
constexpr std::int64_t kCursorReachMs = 1000; // farther from a reply, the cursor shows none
constexpr int kRedrawMs = 500;
constexpr int kCheckEveryRedraws = 10; // the live range check refreshes every 5 s
constexpr std::size_t kMaxTimeText = 32;
constexpr double kDefaultMarginDeg = 2.0;
constexpr int kStaleMs = 400;
constexpr int kResultColumn = 6; // of the range check

const QString kTitle = QStringLiteral("Live Data");

// Degrees as every other number of the window, the table beside it included: with a point. A
// comma is taken for the point, as a user of a comma locale types it; neither is ever read as a
// thousands separator, which made "1.5" a margin of 15.
class TDegreesSpinBox : public QDoubleSpinBox
{
public:
    explicit TDegreesSpinBox(QWidget *parent) : QDoubleSpinBox(parent)
    {
        QLocale c = QLocale::c();
        c.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
        setLocale(c);
    }

    QValidator::State validate(QString &input, int &pos) const override
    {
        input.replace(QLatin1Char(','), QLatin1Char('.'));
        return QDoubleSpinBox::validate(input, pos);
    }
};
const QString kLogFilter = QStringLiteral("Data Logs (*.csv *.txt)");
const QString kPngFilter = QStringLiteral("PNG Images (*.png)");

// A file read a block at a time as a standard stream, so the parser never holds a large log, or a
// large file that is no log, whole in memory.
class TDeviceStreamBuf : public std::streambuf
{
public:
    explicit TDeviceStreamBuf(QIODevice &device) : device_(device) { }

protected:
    int_type underflow() override
    {
        const qint64 read = device_.read(block_.data(), static_cast<qint64>(block_.size()));
        if (read <= 0)
            return traits_type::eof();
        setg(block_.data(), block_.data(), block_.data() + read);
        return traits_type::to_int_type(block_[0]);
    }

private:
    QIODevice &device_;
    std::array<char, 1 << 16> block_ {};
};

// Where a heading lacks a column the rows are read from, the user is told which.
QString NoRowsText(const QString &path, const std::vector<std::string> &missing)
{
    QStringList names;
    for (const std::string &name : missing)
        names << QString::fromStdString(name);
    return names.isEmpty()
        ? QStringLiteral("No data rows in %1").arg(path)
        : QStringLiteral("No data rows in %1: no column is headed %2").arg(path, names.join(", "));
}

QString Degrees(double value)
{
    return QString::number(value, 'f', 1) + QChar(0x00B0);
}

QString BitNames(std::uint8_t bits)
{
    QStringList names;
    const char *const all[] = {"up trigger", "down trigger", "cut", "blip"};
    for (int i = 0; i < 4; ++i)
        if (bits & (1u << i))
            names << QLatin1String(all[i]);
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}

// Whether a cell already shows what `fresh` would. The check runs every few seconds, and a
// table whose every cell is replaced repaints whole.
bool ShowsTheSame(const QTableWidgetItem *shown, const QTableWidgetItem &fresh)
{
    if (shown == nullptr)
        return false;
    for (const int role :
         {Qt::DisplayRole, Qt::TextAlignmentRole, Qt::BackgroundRole, Qt::ToolTipRole})
        if (shown->data(role) != fresh.data(role))
            return false;
    return true;
}

} // namespace

TfrmLiveData::TfrmLiveData(TLiveRecorder &recorder, QWidget *parent)
    : QWidget(parent, Qt::Window), recorder_(recorder)
{
    setObjectName(QStringLiteral("frmLiveData"));
    setAcceptDrops(true);
    // Within the screen: on a small laptop the range check and the buttons below the chart would
    // otherwise lie beyond its edge.
    QSize size(1100, 860);
    if (const QScreen *screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size());
    resize(size);

    auto *tools = new QHBoxLayout;
    cmbSpan = new QComboBox(this);
    cmbSpan->setObjectName(QStringLiteral("cmbSpan"));
    for (std::int64_t span : kSpans)
        cmbSpan->addItem(QStringLiteral("%1 s").arg(span / 1000));
    cmbSpan->setCurrentIndex(kDefaultSpan);
    auto button = [this](const char *name, const QString &text) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    btnPause = button("btnPause", QStringLiteral("Pause"));
    btnLive = button("btnLive", QStringLiteral("Back to Live"));
    btnOpenLog = button("btnOpenLog", QStringLiteral("Open Log..."));
    btnLogging = button("btnLogging", QStringLiteral("Start Logging"));
    btnExport = button("btnExport", QStringLiteral("Export PNG..."));
    tools->addWidget(new QLabel(QStringLiteral("Show"), this));
    tools->addWidget(cmbSpan);
    tools->addWidget(btnPause);
    tools->addWidget(btnLive);
    tools->addStretch();
    tools->addWidget(btnLogging);
    tools->addWidget(btnOpenLog);
    tools->addWidget(btnExport);

    auto *chartArea = new QWidget(this);
    auto *chartLayout = new QVBoxLayout(chartArea);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chtLive = new TStripChart(chartArea);
    chtLive->NowMs = [this] { return recorder_.NowMs(); };
    sbTime = new QScrollBar(Qt::Horizontal, chartArea);
    sbTime->setObjectName(QStringLiteral("sbTime"));
    lblCursor = new QLabel(chartArea);
    lblCursor->setObjectName(QStringLiteral("lblCursor"));
    lblCursor->setTextFormat(Qt::PlainText);
    chartLayout->addWidget(chtLive, 1);
    chartLayout->addWidget(sbTime);
    chartLayout->addWidget(lblCursor);

    auto *check = new QGroupBox(QStringLiteral("Gear Range Check"), this);
    check->setObjectName(QStringLiteral("grpRangeCheck"));
    auto *checkLayout = new QVBoxLayout(check);
    auto *checkTools = new QHBoxLayout;
    edtMargin = new TDegreesSpinBox(check);
    edtMargin->setObjectName(QStringLiteral("edtMargin"));
    edtMargin->setRange(0, 20);
    edtMargin->setSingleStep(0.5);
    edtMargin->setDecimals(1);
    edtMargin->setSuffix(QStringLiteral("°"));
    edtMargin->setValue(kDefaultMarginDeg);
    btnCheckRanges = new QPushButton(QStringLiteral("Check"), check);
    btnCheckRanges->setObjectName(QStringLiteral("btnCheckRanges"));
    checkTools->addWidget(
        new QLabel(QStringLiteral("Readings at rest per gear against its range. Mark gears "
                                  "within"),
                   check));
    checkTools->addWidget(edtMargin);
    checkTools->addWidget(new QLabel(QStringLiteral("of an edge."), check));
    checkTools->addStretch();
    checkTools->addWidget(btnCheckRanges);
    sgRangeCheck = new QTableWidget(0, 7, check);
    sgRangeCheck->setObjectName(QStringLiteral("sgRangeCheck"));
    sgRangeCheck->setHorizontalHeaderLabels({QStringLiteral("Gear"), QStringLiteral("Readings"),
                                             QStringLiteral("Lowest"), QStringLiteral("Median"),
                                             QStringLiteral("Highest"), QStringLiteral("Margin"),
                                             QStringLiteral("Result")});
    sgRangeCheck->verticalHeader()->hide();
    sgRangeCheck->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    sgRangeCheck->horizontalHeader()->setSectionResizeMode(kResultColumn, QHeaderView::Stretch);
    sgRangeCheck->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sgRangeCheck->setSelectionMode(QAbstractItemView::NoSelection);
    sgRangeCheck->setTabKeyNavigation(false); // Tab goes on to the next control
    lblCheckFrom = new QLabel(check);
    lblCheckFrom->setObjectName(QStringLiteral("lblCheckFrom"));
    lblCheckFrom->setTextFormat(Qt::PlainText);
    lblCheckFrom->setWordWrap(true);
    lblCheckFrom->hide();
    checkLayout->addLayout(checkTools);
    checkLayout->addWidget(lblCheckFrom);
    checkLayout->addWidget(sgRangeCheck);

    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(chartArea);
    split->addWidget(check);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    split->setSizes({560, 250});

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(split, 1);

    tmrRedraw = new QTimer(this);
    tmrRedraw->setObjectName(QStringLiteral("tmrRedraw"));
    tmrRedraw->setInterval(kRedrawMs);

    connect(cmbSpan, &QComboBox::currentIndexChanged, this, &TfrmLiveData::cmbSpanChange);
    connect(btnPause, &QPushButton::clicked, this, &TfrmLiveData::btnPauseClick);
    connect(btnLive, &QPushButton::clicked, this, &TfrmLiveData::btnLiveClick);
    connect(btnOpenLog, &QPushButton::clicked, this, &TfrmLiveData::btnOpenLogClick);
    connect(btnLogging, &QPushButton::clicked, this, &TfrmLiveData::btnLoggingClick);
    connect(btnExport, &QPushButton::clicked, this, &TfrmLiveData::btnExportClick);
    connect(btnCheckRanges, &QPushButton::clicked, this, &TfrmLiveData::btnCheckRangesClick);
    connect(edtMargin, &QDoubleSpinBox::valueChanged, this, &TfrmLiveData::btnCheckRangesClick);
    connect(sbTime, &QScrollBar::valueChanged, this, &TfrmLiveData::sbTimeChange);
    connect(chtLive, &TStripChart::CursorMoved, this, [this] { lblCursor->setText(CursorText()); });
    connect(chtLive, &TStripChart::ZoomRequested, this, &TfrmLiveData::Zoom);
    connect(tmrRedraw, &QTimer::timeout, this, &TfrmLiveData::tmrRedrawTimer);
    connect(&recorder_, &TLiveRecorder::SamplesChanged, this, &TfrmLiveData::SamplesChanged);
    connect(&recorder_, &TLiveRecorder::LoggingChanged, this, &TfrmLiveData::LoggingChanged);

    chtLive->SetSpanMs(kSpans[kDefaultSpan]);
    btnLiveClick();
    LoggingChanged();
    lblCursor->setText(CursorText());
}

const TLiveSamples &TfrmLiveData::Shown() const
{
    return showingLog_ ? log_ : recorder_.Samples();
}

const TRunRanges &TfrmLiveData::LiveRanges() const
{
    const std::vector<TLogMarker> &markers = recorder_.RangeMarkers();
    const std::pair<std::size_t, std::int64_t> key {markers.size(),
                                                    markers.empty() ? -1 : markers.back().Ms};
    if (key != liveRangesKey_) {
        liveRangesKey_ = key;
        liveRanges_ = RangesOfRun(markers);
    }
    return liveRanges_;
}

const TGearDataList &TfrmLiveData::CheckedRanges() const
{
    // The readings are judged by the ranges the controller runs with, as its last read or write
    // that came through left them: the panel's may have changed since (a profile opened, a
    // calibration) without reaching it. Before any transfer the panel's are all there is.
    const TRunRanges &run = showingLog_ ? logRanges_ : LiveRanges();
    return run.Known ? run.Ranges : recorder_.Main().Ecu.Ranges;
}

void TfrmLiveData::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    UpdateSettings();
    btnCheckRangesClick();
    UpdateRedrawTimer();
}

void TfrmLiveData::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    UpdateRedrawTimer();
}

void TfrmLiveData::UpdateCaption()
{
    QString title = kTitle;
    if (showingLog_)
        title += QStringLiteral(" - ") + logName_;
    if (recorder_.Logging())
        title += QStringLiteral(" - logging to ") + QFileInfo(recorder_.LogPath()).fileName();
    setWindowTitle(title);
}

void TfrmLiveData::LoggingChanged()
{
    btnLogging->setText(recorder_.Logging() ? QStringLiteral("Stop Logging")
                                            : QStringLiteral("Start Logging"));
    UpdateCaption();
}

void TfrmLiveData::btnLoggingClick()
{
    if (recorder_.Logging())
        recorder_.StopLogging1Click();
    else
        recorder_.StartLogging1Click();
}

// The bands and trigger lines follow the model; a status reply redraws them only when the
// settings they come from have changed.
void TfrmLiveData::UpdateSettings()
{
    const TGearDataList &ranges = CheckedRanges();
    // An opened log draws the thresholds it was driven with when it tells them; a log written
    // before it did, as its ranges, draws the panel's.
    const TLogTrigger trigger
        = showingLog_ && logTrigger_ ? *logTrigger_ : TriggerOf(recorder_.Main().Ecu);
    if (drawnSettings_ && drawnSettings_->first == ranges && drawnSettings_->second == trigger)
        return;
    drawnSettings_.emplace(ranges, trigger);
    std::vector<TStripChart::TBand> bands;
    for (int k = 0; k < ranges.Count(); ++k) {
        const TGearData &r = ranges.Items(k);
        if (r.Upper == 0 || r.Lower > r.Upper)
            continue;
        bands.push_back(
            {r.Gear, CountsToDegrees(r.Lower), CountsToDegrees(r.Upper), CountsToDegrees(r.Adc)});
    }
    chtLive->SetBands(bands);
    // The barrel threshold is a width: counts x 360 / 1024.
    chtLive->SetTrigger({trigger.Method, trigger.UpThreshold, trigger.DownThreshold,
                         trigger.BarrelThreshold * 360.0 / 1024.0});
}

void TfrmLiveData::SamplesChanged()
{
    if (!isVisible() || showingLog_)
        return;
    UpdateSettings();
    chtLive->SamplesChanged();
}

void TfrmLiveData::UpdateRedrawTimer()
{
    const bool want = isVisible() && !showingLog_;
    if (want && !tmrRedraw->isActive())
        tmrRedraw->start();
    else if (!want)
        tmrRedraw->stop();
}

void TfrmLiveData::tmrRedrawTimer()
{
    // While no replies come (link down) the chart still moves on, showing the gap.
    const TLiveSamples &samples = recorder_.Samples();
    if (chtLive->Following()
        && (samples.Empty() || recorder_.NowMs() - samples.Last().Ms > kStaleMs))
        chtLive->SamplesChanged();
    if (++redrawTicks_ % kCheckEveryRedraws == 0)
        btnCheckRangesClick();
}

void TfrmLiveData::cmbSpanChange()
{
    const int index = cmbSpan->currentIndex();
    if (index < 0 || index >= static_cast<int>(std::size(kSpans)))
        return;
    const std::int64_t end = chtLive->ViewEnd();
    const std::int64_t oldSpan = chtLive->SpanMs();
    chtLive->SetSpanMs(kSpans[index]);
    if (!chtLive->Following()) // keep the middle of the view where it was
        chtLive->SetViewEnd(end - oldSpan / 2 + kSpans[index] / 2);
    UpdateScrollBar();
}

void TfrmLiveData::Zoom(double factor, std::int64_t around)
{
    const TLiveSamples &shown = Shown();
    const std::int64_t whole
        = shown.Empty() ? kSpans[0] : std::max(kSpans[0], shown.Last().Ms - shown.At(0).Ms);
    const std::int64_t span = std::clamp<std::int64_t>(
        std::llround(static_cast<double>(chtLive->SpanMs()) * factor), kMinSpanMs, whole);
    if (!chtLive->Following()) {
        const std::int64_t end = chtLive->ViewEnd();
        chtLive->SetViewEnd(around + std::llround(static_cast<double>(end - around) * factor));
    }
    chtLive->SetSpanMs(span);
    const QSignalBlocker block(cmbSpan);
    cmbSpan->setCurrentIndex(-1);
    for (std::size_t i = 0; i < std::size(kSpans); ++i)
        if (kSpans[i] == span)
            cmbSpan->setCurrentIndex(static_cast<int>(i));
    UpdateScrollBar();
}

void TfrmLiveData::btnPauseClick()
{
    if (showingLog_)
        return;
    const bool pause = chtLive->Following();
    chtLive->SetFollowing(!pause);
    btnPause->setText(pause ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    UpdateScrollBar();
    lblCursor->setText(CursorText());
}

void TfrmLiveData::btnLiveClick()
{
    showingLog_ = false;
    log_ = TLiveSamples(1);
    logRanges_ = {};
    logTrigger_.reset();
    KeepListedSpan();
    chtLive->SetSamples(&recorder_.Samples());
    chtLive->SetFollowing(true);
    btnPause->setText(QStringLiteral("Pause"));
    btnPause->setEnabled(true);
    btnLive->setVisible(false);
    UpdateScrollBar();
    UpdateSettings();
    UpdateCaption();
    UpdateRedrawTimer();
    btnCheckRangesClick();
}

void TfrmLiveData::UpdateScrollBar()
{
    const QSignalBlocker block(sbTime);
    const TLiveSamples &shown = Shown();
    if (chtLive->Following() || shown.Empty()) {
        sbTime->setEnabled(false);
        sbTime->setRange(0, 0);
        return;
    }
    const std::int64_t span = chtLive->SpanMs();
    const std::int64_t first = shown.At(0).Ms;
    const std::int64_t last
        = showingLog_ ? shown.Last().Ms : std::max(shown.Last().Ms, chtLive->ViewEnd());
    // The bar counts from the first sample, in units that keep the longest run a log may hold
    // within its int range.
    scrollOriginMs_ = first;
    scrollUnitMs_ = std::max(kScrollUnitMs, (last - first) / std::numeric_limits<int>::max() + 1);
    const auto units = [this](std::int64_t ms) { return (ms - scrollOriginMs_) / scrollUnitMs_; };
    // A paused live view may end before a whole span of data: it stays where it was. A log's
    // view always ends a span or more after its start, so zooming out shows the run, not the
    // time before it.
    const std::int64_t min
        = units(showingLog_ ? first + span : std::min(first + span, chtLive->ViewEnd()));
    const std::int64_t max = std::max(min, units(last + scrollUnitMs_ - 1));
    sbTime->setEnabled(max > min);
    sbTime->setRange(static_cast<int>(min), static_cast<int>(max));
    sbTime->setPageStep(static_cast<int>(std::max<std::int64_t>(1, span / scrollUnitMs_)));
    sbTime->setSingleStep(static_cast<int>(std::max<std::int64_t>(1, span / scrollUnitMs_ / 10)));
    const std::int64_t end = std::clamp(units(chtLive->ViewEnd()), min, max);
    sbTime->setValue(static_cast<int>(end));
    // The view keeps its own millisecond unless the bar had to move it.
    if (end != units(chtLive->ViewEnd()))
        chtLive->SetViewEnd(scrollOriginMs_ + end * scrollUnitMs_);
}

void TfrmLiveData::sbTimeChange()
{
    if (!chtLive->Following())
        chtLive->SetViewEnd(scrollOriginMs_
                            + static_cast<std::int64_t>(sbTime->value()) * scrollUnitMs_);
    lblCursor->setText(CursorText());
}

void TfrmLiveData::KeepListedSpan()
{
    // A zoom of one run means nothing to the next, or to the live view.
    if (cmbSpan->currentIndex() < 0) {
        const QSignalBlocker block(cmbSpan);
        cmbSpan->setCurrentIndex(kDefaultSpan);
        chtLive->SetSpanMs(kSpans[kDefaultSpan]);
    }
}

QString TfrmLiveData::CursorText() const
{
    if (!chtLive->HasCursor())
        return QStringLiteral("Move the mouse over the chart to read the values at a time.");
    const std::int64_t ms = chtLive->CursorMs();
    const TLiveSamples &shown = Shown();
    QString when = showingLog_
        ? stripchart::TickLabel(ms, chtLive->Scale(), false)
            + QStringLiteral(".%1").arg((ms % 1000) / 100)
        : QStringLiteral("%1 s").arg((ms - chtLive->Scale().EndMs) / 1000.0, 0, 'f', 1);
    const std::size_t i = shown.LowerBound(ms);
    std::size_t nearest = i;
    if (i >= shown.Count() || (i > 0 && ms - shown.At(i - 1).Ms < shown.At(i).Ms - ms))
        nearest = i - 1;
    if (shown.Empty() || nearest >= shown.Count()
        || std::llabs(shown.At(nearest).Ms - ms) > kCursorReachMs)
        return when + QStringLiteral("   no reply from the controller");
    const TLogSample s = shown.At(nearest);
    return when
        + QStringLiteral("   Angle %1 (%2)   Gear %3   Analogue %4   Status %5 (%6)")
              .arg(Degrees(CountsToDegrees(s.Adc)))
              .arg(s.Adc)
              .arg(QLatin1Char(GearLetterOf(s.Gear)))
              .arg(s.AnalogueInput)
              .arg(QStringLiteral("%1").arg(s.StatusBits, 2, 16, QLatin1Char('0')).toUpper())
              .arg(BitNames(s.StatusBits));
}

void TfrmLiveData::btnCheckRangesClick()
{
    TGearRangeCheck check;
    const TLiveSamples &shown = Shown();
    // Readings driven with other ranges than the controller runs with now do not count.
    const TRunRanges &run = showingLog_ ? logRanges_ : LiveRanges();
    // The time of day from a marker's ISO 8601 text, else the start of that text as it stands: a
    // hand-edited log may hold anything there.
    const auto timeOfDay = [](const std::string &text) {
        const QString time = QString::fromStdString(text.substr(0, kMaxTimeText));
        const qsizetype t = time.indexOf(QLatin1Char('T'));
        return t < 0 ? time : time.mid(t + 1).section(QLatin1Char('.'), 0, 0);
    };
    QStringList notes;
    if (run.FromMs && run.BeforeUnknown)
        notes << QStringLiteral(
                     "Readings from %1 on: the ranges were written to the controller then, and "
                     "the ones it ran with before are not known.")
                     .arg(timeOfDay(run.FromTime));
    else if (run.FromMs)
        notes << QStringLiteral(
                     "Readings from %1 on: the controller's ranges changed then, and the "
                     "readings before were driven with other ranges.")
                     .arg(timeOfDay(run.FromTime));
    if (run.UntilMs)
        notes << QStringLiteral("Readings after %1 do not count: a write to the controller failed "
                                "then, and the ranges it left are not known until the settings are "
                                "read.")
                     .arg(timeOfDay(run.UntilTime));
    lblCheckFrom->setVisible(!notes.isEmpty());
    lblCheckFrom->setText(notes.join(QLatin1Char(' ')));
    const std::size_t end = run.UntilMs ? shown.LowerBound(*run.UntilMs) : shown.Count();
    for (std::size_t i = run.FromMs ? shown.LowerBound(*run.FromMs) : 0; i < end; ++i)
        check.Add(shown.At(i));
    const std::vector<TGearRangeResult> results
        = check.Results(CheckedRanges(), edtMargin->value());
    const bool rowsChanged = sgRangeCheck->rowCount() != static_cast<int>(results.size());
    sgRangeCheck->setRowCount(static_cast<int>(results.size()));
    std::array<bool, kResultColumn> widthsChanged {};
    for (int row = 0; row < static_cast<int>(results.size()); ++row) {
        const TGearRangeResult &r = results[static_cast<std::size_t>(row)];
        const QString name = QString::fromUtf8(GearNameOf(r.Gear).data(),
                                               static_cast<qsizetype>(GearNameOf(r.Gear).size()));
        QString result;
        if (r.Readings == 0)
            result = QStringLiteral("not driven");
        else if (!r.HasRange)
            result = QStringLiteral("no range");
        else if (r.Outside > 0)
            result = QStringLiteral("%1 reading(s) outside its range").arg(r.Outside);
        else if (r.Marked)
            result = QStringLiteral("within %1 of an edge").arg(Degrees(edtMargin->value()));
        else
            result = QStringLiteral("fits");
        const bool figures = r.Readings > 0;
        const QString cells[] = {
            QStringLiteral("%1  %2").arg(QLatin1Char(GearLetterOf(r.Gear))).arg(name),
            QString::number(r.Readings),
            figures ? Degrees(r.LowestDeg) : QString(),
            figures ? Degrees(r.MedianDeg) : QString(),
            figures ? Degrees(r.HighestDeg) : QString(),
            figures && r.HasRange ? Degrees(r.MarginDeg) : QString(),
            result,
        };
        const QColor fill = !r.Marked      ? QColor()
            : r.Outside > 0 || !r.HasRange ? QColor(0xF8, 0xC8, 0xC8)
                                           : QColor(0xFF, 0xE8, 0xA8);
        for (int column = 0; column < 7; ++column) {
            auto item = std::make_unique<QTableWidgetItem>(cells[column]);
            if (column > 0 && column < kResultColumn)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (fill.isValid())
                item->setBackground(fill);
            if (column == 1 && (r.LeftOut > 0 || r.Unsteady)) {
                const QString jump = Degrees(TGearRangeCheck::kAgreeCounts * 360.0 / kAdcMax);
                item->setToolTip(
                    r.Unsteady
                        ? QStringLiteral("The readings jump by more than %1 too often to be "
                                         "replies damaged on the line:\nthe barrel does not "
                                         "rest, and every reading counts")
                              .arg(jump)
                        : QStringLiteral("%1 more reading(s) left out: each lay more than %2\nfrom "
                                         "the readings around it, as a reply damaged on the line "
                                         "does")
                              .arg(r.LeftOut)
                              .arg(jump));
            }
            if (ShowsTheSame(sgRangeCheck->item(row, column), *item))
                continue;
            if (column < kResultColumn)
                widthsChanged[static_cast<std::size_t>(column)] = true;
            sgRangeCheck->setItem(row, column, item.release());
        }
    }
    // The figures take what they need; the result stretches over the rest.
    for (int column = 0; column < kResultColumn; ++column)
        if (rowsChanged || widthsChanged[static_cast<std::size_t>(column)])
            sgRangeCheck->resizeColumnToContents(column);
}

bool TfrmLiveData::OpenLog(const QString &path)
{
    QFile file(path);
    // A pipe or a device named like a log would block the window until something writes to it.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        recorder_.Prompts()->Ask(this, TPrompts::Error,
                                 QStringLiteral("Unable to read %1").arg(path), TPrompts::Ok);
        return false;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    TDeviceStreamBuf block(file);
    std::istream text(&block);
    const TParsedLog parsed = ParseLog(text);
    QGuiApplication::restoreOverrideCursor();
    if (parsed.Samples.empty()) {
        recorder_.Prompts()->Ask(this, TPrompts::Information,
                                 NoRowsText(path, parsed.MissingColumns), TPrompts::Ok);
        return false;
    }
    log_ = TLiveSamples(parsed.Samples.size());
    for (const TLogSample &s : parsed.Samples)
        log_.Add(s);
    for (const TLogMarker &m : parsed.Markers) {
        if (m.Event == "link down")
            log_.LinkDown(m.Ms);
        else if (m.Event == "link up")
            log_.LinkUp(m.Ms);
    }
    logRanges_ = RangesOfRun(parsed.Markers);
    logTrigger_.reset();
    for (const TLogMarker &m : parsed.Markers)
        if (TLogTrigger trigger; ParseTriggerEvent(m.Event, trigger))
            logTrigger_ = trigger;
    if (!log_.DownPeriods().empty() && log_.DownPeriods().back().To < 0)
        log_.LinkUp(log_.Last().Ms); // still down when the log ended
    showingLog_ = true;
    logName_ = QFileInfo(path).fileName();
    chtLive->SetSamples(&log_);
    chtLive->SetFollowing(false);
    KeepListedSpan();
    chtLive->SetViewEnd(log_.At(0).Ms + chtLive->SpanMs());
    btnPause->setEnabled(false);
    btnLive->setVisible(true);
    UpdateScrollBar();
    UpdateSettings();
    UpdateCaption();
    UpdateRedrawTimer();
    btnCheckRangesClick();
    return true;
}

void TfrmLiveData::dragEnterEvent(QDragEnterEvent *event)
{
    AcceptDroppedFile(event);
}

void TfrmLiveData::dropEvent(QDropEvent *event)
{
    // A profile dropped here opens as one, as on the main window.
    OpenAfterDrop(event, this,
                  [this](const QString &path) { recorder_.Main().OpenDroppedFile(path); });
}

void TfrmLiveData::btnOpenLogClick()
{
    const QString path
        = recorder_.Prompts()->OpenFileName(this, recorder_.LogsFolder(), kLogFilter);
    if (path.isEmpty())
        return;
    if (OpenLog(path) && !isVisible())
        show();
}

void TfrmLiveData::btnExportClick()
{
    const QString path = recorder_.Prompts()->SaveFileName(this, recorder_.LogsFolder(), kPngFilter,
                                                           QStringLiteral("png"));
    if (path.isEmpty())
        return;
    // The dialog leaves this question to the window, as Save As does: a picture of the same name
    // may be one the user keeps.
    if (QFileInfo::exists(path)
        && recorder_.Prompts()->Ask(this, TPrompts::Confirmation,
                                    QStringLiteral("File exists - overwrite?"),
                                    TPrompts::Ok | TPrompts::Cancel)
            != TPrompts::Ok)
        return;
    // Encoded in memory first: the image writer's own path for a failed write loses memory. The
    // file is then saved as profiles are: beside, and put in place whole, so a full disk leaves no
    // broken picture and an older one of the name stays as it was.
    QByteArray png;
    QBuffer buffer(&png);
    const bool saved = buffer.open(QIODevice::WriteOnly) && chtLive->grab().save(&buffer, "PNG")
        && SaveDiskFile(path.toStdString(), std::string_view(png.constData(), png.size()));
    if (!saved)
        recorder_.Prompts()->Ask(this, TPrompts::Error,
                                 QStringLiteral("Unable to write to %1").arg(path), TPrompts::Ok);
}
