#include "liveRecorder.h"

#include "liveData.h"
#include "main.h"
#include "rangeCheck.h"
#include "statusPanels.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

namespace {
constexpr int kLoggingPanelWidth = 330;
// How often a closed log's wait for the disk is looked at, while one goes on.
constexpr int kCloseCheckMs = 100;
} // namespace

TLiveRecorder::TLiveRecorder(TfrmMain &main, TPrompts *prompts)
    : QObject(&main), main_(main), prompts_(prompts)
{
    setObjectName(QStringLiteral("LiveData"));
    RunClock = [start = LogClockMs()] { return LogClockMs() - start; };
    // Until the controller answers, the link is down.
    samples_.LinkDown(0);

    syncTimer_ = new QTimer(this);
    syncTimer_->setObjectName(QStringLiteral("tmrLogSync"));
    syncTimer_->setSingleShot(true);
    syncTimer_->setInterval(kSyncMs);
    connect(syncTimer_, &QTimer::timeout, this, &TLiveRecorder::SyncNow);
    closeTimer_ = new QTimer(this);
    closeTimer_->setObjectName(QStringLiteral("tmrLogClose"));
    closeTimer_->setSingleShot(true);
    closeTimer_->setInterval(kCloseCheckMs);
    connect(closeTimer_, &QTimer::timeout, this, &TLiveRecorder::CheckClosedLogs);

    BuildMenu();
    if (main_.pnlStatusBar) {
        main_.pnlStatusBar->AddPanel({kLoggingPanelWidth, Qt::AlignLeft, QString(), false});
        statusPanel_ = main_.pnlStatusBar->PanelCount() - 1;
    }
    ShowLogging();
}

TLiveRecorder::~TLiveRecorder()
{
    // The main window is being destroyed: only what this object owns may be touched.
    delete window_.data();
    if (log_.IsOpen()) {
        // Nobody is left to tell of a failure here.
        static_cast<void>(log_.WriteMarker(Now(), NowMs() - runStartMs_, "logging stopped"));
        static_cast<void>(log_.Close());
    }
}

void TLiveRecorder::BuildMenu()
{
    QMenuBar *bar = main_.menuBar();
    auto *tools = new QMenu(QStringLiteral("Tools"), bar);
    tools->setObjectName(QStringLiteral("Tools1"));
    // Before Help, which stays the last menu.
    const QList<QAction *> menus = bar->actions();
    bar->insertMenu(menus.isEmpty() ? nullptr : menus.last(), tools);

    LiveData1 = tools->addAction(QStringLiteral("Live Data"), this, &TLiveRecorder::LiveData1Click);
    LiveData1->setShortcut(QKeySequence(Qt::Key_F9));
    OpenLog1 = tools->addAction(QStringLiteral("Open Log..."), this, &TLiveRecorder::OpenLog1Click);
    tools->addSeparator();
    StartLogging1 = tools->addAction(QStringLiteral("Start Logging"), this,
                                     &TLiveRecorder::StartLogging1Click);
    StopLogging1
        = tools->addAction(QStringLiteral("Stop Logging"), this, &TLiveRecorder::StopLogging1Click);
    LiveData1->setObjectName(QStringLiteral("LiveData1"));
    OpenLog1->setObjectName(QStringLiteral("OpenLog1"));
    StartLogging1->setObjectName(QStringLiteral("StartLogging1"));
    StopLogging1->setObjectName(QStringLiteral("StopLogging1"));
}

std::string TLiveRecorder::Now() const
{
    return FormatLogTime(WallClock());
}

QString TLiveRecorder::LogsFolder() const
{
    return main_.LogsFolder();
}

QString TLiveRecorder::ProfileName() const
{
    return main_.ProfileFileName.isEmpty() ? QString()
                                           : QFileInfo(main_.ProfileFileName).completeBaseName();
}

QString TLiveRecorder::RangesEvent() const
{
    return QString::fromStdString(FormatRangesEvent(main_.Ecu.Ranges));
}

void TLiveRecorder::StatusReceived(const TQV3318MessageRec &message)
{
    const TLogSample sample {NowMs(), message.Adc, message.Gear, message.AnalogueInput,
                             message.StatusBits};
    samples_.Add(sample);
    if (log_.IsOpen()) {
        TLogSample row = sample;
        row.Ms -= runStartMs_;
        if (!log_.WriteSample(Now(), row))
            WriteFailed();
        else if (!syncTimer_->isActive())
            syncTimer_->start();
    }
    emit SamplesChanged();
}

void TLiveRecorder::LinkChanged(bool connected)
{
    // The watchdog reports a lost link at every tick while it stays lost: only changes count.
    if (connected == connected_)
        return;
    connected_ = connected;
    if (!connected && transferReading_ >= 0)
        transferBroken_ = true;
    if (connected)
        samples_.LinkUp(NowMs());
    else
        samples_.LinkDown(NowMs());
    Marker(connected ? QStringLiteral("link up") : QStringLiteral("link down"));
    emit SamplesChanged();
}

void TLiveRecorder::TransferStarted(bool reading)
{
    transferReading_ = reading ? 1 : 0;
    transferBroken_ = !connected_;
}

void TLiveRecorder::LineNotSent()
{
    if (transferReading_ >= 0)
        transferBroken_ = true;
}

TTransferEnd TLiveRecorder::TransferFinished(bool unanswered)
{
    if (transferReading_ < 0)
        return TTransferEnd::Done;
    const bool reading = transferReading_ == 1;
    transferReading_ = -1;
    const std::string_view event = reading ? kSettingsReadEvent : kSettingsWrittenEvent;
    const QString what = QString::fromUtf8(event.data(), static_cast<qsizetype>(event.size()));
    const std::string time = Now();
    const std::int64_t ms = NowMs();
    // Old transfers go first, half at a time, leaving what they told of the controller's ranges.
    if (rangeMarkers_.size() + 2 > kMaxRangeMarkers) {
        auto cut = rangeMarkers_.begin() + kMaxRangeMarkers / 2;
        TGearDataList ranges;
        if (ParseRangesEvent(cut->Event, ranges))
            ++cut; // the ranges go with their transfer
        const std::vector<TLogMarker> dropped(rangeMarkers_.begin(), cut);
        const std::vector<TLogMarker> known = KnownRangeMarkers(dropped, true);
        rangeMarkers_.erase(rangeMarkers_.begin(), cut);
        rangeMarkers_.insert(rangeMarkers_.begin(), known.begin(), known.end());
    }
    // The transfer runs to its end whatever the link does; a broken one must not pass for done,
    // nor leave its emptied or partial ranges as the ones a later reading of the log checks by.
    if (transferBroken_ || unanswered) {
        const std::string_view suffix
            = transferBroken_ ? kTransferFailedSuffix : kReadUnansweredSuffix;
        const QString failed
            = what + QString::fromUtf8(suffix.data(), static_cast<qsizetype>(suffix.size()));
        Marker(failed);
        // A failed read leaves the controller as it was; a failed write may have changed it.
        if (!reading) {
            rangeMarkers_.push_back({time, ms, failed.toStdString()});
            knownTrigger_.clear();
        }
        return transferBroken_ ? TTransferEnd::LinkLost : TTransferEnd::Unanswered;
    }
    // A read brings the controller's ranges into the model; a write puts the model's into the
    // controller. Either way they are the ones it runs with from here on.
    const QString ranges = RangesEvent();
    Marker(what);
    Marker(ranges);
    knownTrigger_ = QString::fromStdString(FormatTriggerEvent(TriggerOf(main_.Ecu)));
    Marker(knownTrigger_);
    rangeMarkers_.push_back({time, ms, std::string(event)});
    rangeMarkers_.push_back({time, ms, ranges.toStdString()});
    return TTransferEnd::Done;
}

void TLiveRecorder::ProfileOpened(const QString &path)
{
    Marker(QStringLiteral("profile opened: ") + QFileInfo(path).fileName());
    Marker(RangesEvent());
}

void TLiveRecorder::ProfileSaved(const QString &path)
{
    Marker(QStringLiteral("profile saved: ") + QFileInfo(path).fileName());
}

void TLiveRecorder::Marker(const QString &event)
{
    if (!log_.IsOpen())
        return;
    if (!log_.WriteMarker(Now(), NowMs() - runStartMs_, event.toStdString()))
        WriteFailed();
    else if (!syncTimer_->isActive())
        syncTimer_->start();
}

void TLiveRecorder::SyncNow()
{
    if (!log_.IsOpen())
        return;
    switch (log_.PollSync()) {
    case TDataLogFile::TSync::Failed:
        WriteFailed();
        return;
    case TDataLogFile::TSync::Running: // a slow disk: the rows since wait their turn
        syncTimer_->start();
        return;
    case TDataLogFile::TSync::Idle:
    case TDataLogFile::TSync::Done:
        break;
    }
    // The status panel, the window's title and any later message name the file as it is now.
    if (log_.FollowRename()) {
        ShowLogging();
        emit LoggingChanged();
    }
    if (!log_.Unsynced())
        return;
    // Rows written on would reach no file anybody can open.
    if (log_.Deleted()) {
        WriteFailed(QStringLiteral("Logging stopped: %1 was deleted"));
        return;
    }
    if (!log_.StartSync()) {
        WriteFailed();
        return;
    }
    // Back within the second for how it went.
    syncTimer_->start();
}

void TLiveRecorder::CloseLog(bool report)
{
    const QString path = log_.Path();
    closing_.push_back({path, log_.CloseInBackground(), report});
    closeTimer_->start();
}

void TLiveRecorder::CheckClosedLogs()
{
    // Taken out before any question: its nested loop may come back here.
    std::vector<TClosingLog> done;
    for (auto it = closing_.begin(); it != closing_.end();) {
        if (it->Synced.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
            done.push_back(std::move(*it));
            it = closing_.erase(it);
        } else {
            ++it;
        }
    }
    if (!closing_.empty())
        closeTimer_->start();
    for (TClosingLog &log : done) {
        // The last rows may not be on the disk: the user must not take the log for whole.
        if (!log.Synced.get() && log.Report)
            prompts_->Ask(&main_, TPrompts::Error,
                          QStringLiteral("Logging stopped: unable to write to %1").arg(log.Path),
                          TPrompts::Ok);
    }
}

void TLiveRecorder::WriteFailed(const QString &message)
{
    const QString path = log_.Path();
    CloseLog(false); // reported below, whatever the disk gives
    syncTimer_->stop();
    ShowLogging();
    emit LoggingChanged();
    // Said once, and not from inside the receive path that found it.
    QTimer::singleShot(0, this, [this, text = message.arg(path)] {
        prompts_->Ask(&main_, TPrompts::Error, text, TPrompts::Ok);
    });
}

void TLiveRecorder::StartLogging1Click()
{
    if (log_.IsOpen())
        return;
    const QString folder = LogsFolder();
    log_.SyncDescriptor = SyncDescriptor;
    if (!QDir().mkpath(folder)
        || !log_.OpenNew(folder, QDateTime::currentDateTime(), ProfileName())) {
        prompts_->Ask(&main_, TPrompts::Error,
                      QStringLiteral("Unable to start logging: cannot write to %1").arg(folder),
                      TPrompts::Ok);
        return;
    }
    runStartMs_ = NowMs();
    const QString profile = ProfileName();
    Marker(QStringLiteral("logging started, profile ")
           + (profile.isEmpty() ? QStringLiteral("(none)") : profile));
    Marker(QStringLiteral("link ") + (connected_ ? QStringLiteral("up") : QStringLiteral("down")));
    Marker(RangesEvent());
    // An opened log is checked against the ranges the controller runs, where a transfer told them.
    for (const TLogMarker &m : KnownRangeMarkers(rangeMarkers_, false))
        Marker(QString::fromStdString(m.Event));
    // And drawn with the thresholds it runs by, not with the panel's when the log is opened.
    if (!knownTrigger_.isEmpty())
        Marker(knownTrigger_);
    ShowLogging();
    emit LoggingChanged();
}

std::vector<TLogMarker> TLiveRecorder::KnownRangeMarkers(const std::vector<TLogMarker> &markers,
                                                         bool trimming)
{
    const TRunRanges run = RangesOfRun(markers);
    if (!run.Known || (run.UntilMs && !trimming))
        return {};
    // Trimmed, the readings from a change on still count from it, as from a write whose ranges
    // before are not known.
    const bool changed = trimming && run.FromMs;
    const TLogMarker at = changed ? TLogMarker {run.FromTime, *run.FromMs, {}}
        : run.UntilMs             ? TLogMarker {run.UntilTime, *run.UntilMs, {}}
                                  : markers.back();
    std::vector<TLogMarker> known;
    if (changed)
        known = {{at.Time, at.Ms, std::string(kSettingsWrittenEvent)},
                 {at.Time, at.Ms, FormatRangesEvent(run.Ranges)}};
    else
        known = {{at.Time, at.Ms, FormatKnownRangesEvent(run.Ranges)}};
    // The first write that failed since: from then on the ranges are not known. The later ones
    // are kept with the transfers after them.
    if (run.UntilMs)
        known.push_back({run.UntilTime, *run.UntilMs,
                         std::string(kSettingsWrittenEvent).append(kTransferFailedSuffix)});
    return known;
}

void TLiveRecorder::StopLogging1Click()
{
    if (!log_.IsOpen())
        return;
    Marker(QStringLiteral("logging stopped"));
    if (!log_.IsOpen()) // the marker's write failed, and was reported
        return;
    CloseLog(true);
    syncTimer_->stop();
    ShowLogging();
    emit LoggingChanged();
}

void TLiveRecorder::ShowLogging()
{
    StartLogging1->setEnabled(!log_.IsOpen());
    StopLogging1->setEnabled(log_.IsOpen());
    if (statusPanel_ >= 0) {
        main_.pnlStatusBar->SetPanelText(statusPanel_,
                                         log_.IsOpen() ? QStringLiteral("Logging to ")
                                                 + QFileInfo(log_.Path()).fileName()
                                                       : QString());
        main_.pnlStatusBar->update();
    }
}

TfrmLiveData *TLiveRecorder::Window()
{
    if (!window_)
        window_ = new TfrmLiveData(*this, &main_);
    return window_;
}

void TLiveRecorder::LiveData1Click()
{
    TfrmLiveData *window = Window();
    window->show();
    window->raise();
    window->activateWindow();
}

void TLiveRecorder::OpenLog1Click()
{
    Window()->btnOpenLogClick();
}

void TLiveRecorder::OpenDroppedLog(const QString &path)
{
    if (Window()->OpenLog(path))
        LiveData1Click();
}
