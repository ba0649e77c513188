#pragma once

#include "dataLogFile.h"
#include "encdec.h"
#include "liveSamples.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <future>
#include <vector>

class QAction;
class QTimer;
class TPrompts;
class TfrmLiveData;
class TfrmMain;

// Keeps what the controller reported: every decoded status reply goes into the live sample ring
// and, while logging, into the data log, with marker rows for link changes, transfers and
// profiles. The main window owns one and tells it what happens; it owns the Live Data window and
// the menu commands that go with it.
// How a whole read or write of the settings ended.
enum class TTransferEnd { Done, LinkLost, Unanswered };

class TLiveRecorder : public QObject
{
    Q_OBJECT

public:
    TLiveRecorder(TfrmMain &main, TPrompts *prompts);
    ~TLiveRecorder() override;

    // What the main window reports.
    void StatusReceived(const TQV3318MessageRec &message);
    void LinkChanged(bool connected);
    void TransferStarted(bool reading);
    // A queued line left the queue without reaching the port.
    void LineNotSent();
    // LinkLost when a transfer ran and the link was down, or a line was lost, meanwhile;
    // Unanswered when a read's requests were not all answered (told by the main window).
    TTransferEnd TransferFinished(bool unanswered = false);
    void ProfileOpened(const QString &path);
    void ProfileSaved(const QString &path);

    // Menu commands.
    void LiveData1Click();
    void StartLogging1Click();
    void StopLogging1Click();
    void OpenLog1Click();
    // A log dropped on the main window: shown in the Live Data window once it could be read.
    void OpenDroppedLog(const QString &path);

    // A transfer runs whose link went down or one of whose lines was lost: it has failed already.
    bool TransferBroken() const { return transferReading_ >= 0 && transferBroken_; }
    bool Logging() const { return log_.IsOpen(); }
    QString LogPath() const { return log_.IsOpen() ? log_.Path() : QString(); }
    QString LogsFolder() const;
    const TLiveSamples &Samples() const { return samples_; }
    // The transfers that came through and their ranges, logging or not, for the range check.
    const std::vector<TLogMarker> &RangeMarkers() const { return rangeMarkers_; }
    // Milliseconds since the recorder was made.
    std::int64_t NowMs() const { return RunClock(); }
    TfrmMain &Main() const { return main_; }
    TPrompts *Prompts() const { return prompts_; }
    // The Live Data window, made when first asked for.
    TfrmLiveData *Window();
    bool HasWindow() const { return !window_.isNull(); }

    // Writes a marker row when logging, with the current time.
    void Marker(const QString &event);

    // The clock of the ms column and the chart (LogClockMs from its making); tests set their own.
    std::function<std::int64_t()> RunClock;
    // The disk's wait on the log file's descriptor (see TDataLogFile); tests set their own.
    std::function<bool(int descriptor)> SyncDescriptor = TDataLogFile::SyncToDisk;
    // The wall clock of the log's time column; tests set their own.
    std::function<std::chrono::system_clock::time_point()> WallClock
        = [] { return std::chrono::system_clock::now(); };

    QAction *LiveData1 = nullptr;
    QAction *StartLogging1 = nullptr;
    QAction *StopLogging1 = nullptr;
    QAction *OpenLog1 = nullptr;

    static constexpr int kSyncMs = 1000;
    // A session holds a few transfers: this keeps a day of them and more.
    static constexpr std::size_t kMaxRangeMarkers = 512;

signals:
    void SamplesChanged();
    void LoggingChanged();

private:
    void BuildMenu();
    void ShowLogging();
    // message holds %1 for the log's path.
    void WriteFailed(const QString &message
                     = QStringLiteral("Logging stopped: unable to write to %1"));
    void SyncNow();
    // Hands the log to a worker that waits for the disk; report: a failure is to be told.
    void CloseLog(bool report);
    void CheckClosedLogs();
    std::string Now() const;
    QString ProfileName() const;
    QString RangesEvent() const;
    // The markers that tell which ranges the controller runs after the given transfers, if they
    // told them; trimming: in place of those transfers, so also where writes failed since and
    // from when the ranges last changed.
    static std::vector<TLogMarker> KnownRangeMarkers(const std::vector<TLogMarker> &markers,
                                                     bool trimming);

    TfrmMain &main_;
    TPrompts *prompts_;
    TLiveSamples samples_;
    std::vector<TLogMarker> rangeMarkers_;
    QString knownTrigger_; // the controller's trigger marker, as the last transfer told it
    TDataLogFile log_;
    std::int64_t runStartMs_ = 0;
    QTimer *syncTimer_ = nullptr;
    // Logs closed while the disk's wait for their last rows goes on.
    struct TClosingLog
    {
        QString Path;
        std::future<bool> Synced;
        bool Report = false;
    };
    std::vector<TClosingLog> closing_;
    QTimer *closeTimer_ = nullptr;
    bool connected_ = false;
    int transferReading_ = -1; // 1 read, 0 write, -1 none running
    bool transferBroken_ = false; // the link was down, or a line was lost, during the transfer
    QPointer<TfrmLiveData> window_;
    int statusPanel_ = -1;
};
