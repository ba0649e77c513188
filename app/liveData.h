#pragma once

#include "Ecu.h"
#include "liveSamples.h"
#include "rangeCheck.h"
#include "stripChart.h"

#include <QWidget>

#include <optional>
#include <utility>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QScrollBar;
class QTableWidget;
class QTimer;
class TLiveRecorder;

// The Live Data window: the strip chart of what the controller reports, live or from an opened
// data log, with the gear range check beside it. Non-modal; it may stay open beside the main
// window, and closing it only hides it.
class TfrmLiveData : public QWidget
{
    Q_OBJECT

public:
    TfrmLiveData(TLiveRecorder &recorder, QWidget *parent = nullptr);

    void cmbSpanChange();
    void btnPauseClick();
    void btnLiveClick();
    void btnOpenLogClick();
    void btnLoggingClick();
    void btnExportClick();
    void btnCheckRangesClick();
    void sbTimeChange();

    // Shows a saved log instead of the live data; false (after saying why) when it cannot.
    bool OpenLog(const QString &path);
    bool ShowingLog() const { return showingLog_; }
    const TLiveSamples &Shown() const;
    // The ranges the shown data is checked against: those recorded in the log when it has them,
    // else the model's.
    const TGearDataList &CheckedRanges() const;
    QString CursorText() const;

    // Spans offered, in milliseconds.
    static constexpr std::int64_t kSpans[] = {10000, 30000, 60000, 120000};
    static constexpr int kDefaultSpan = 1;

    TStripChart *chtLive = nullptr;
    QComboBox *cmbSpan = nullptr;
    QPushButton *btnPause = nullptr;
    QPushButton *btnLive = nullptr;
    QPushButton *btnOpenLog = nullptr;
    QPushButton *btnLogging = nullptr;
    QPushButton *btnExport = nullptr;
    QScrollBar *sbTime = nullptr;
    QLabel *lblCursor = nullptr;
    QDoubleSpinBox *edtMargin = nullptr;
    QPushButton *btnCheckRanges = nullptr;
    QLabel *lblCheckFrom = nullptr;
    QTableWidget *sgRangeCheck = nullptr;
    QTimer *tmrRedraw = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    // A file dropped on the window opens as on the main window: a log here, a profile there.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void SamplesChanged();
    void LoggingChanged();
    void UpdateCaption();
    void UpdateSettings();
    void UpdateScrollBar();
    void KeepListedSpan();
    void UpdateRedrawTimer();
    void Zoom(double factor, std::int64_t around);
    void tmrRedrawTimer();

    TLiveRecorder &recorder_;
    bool showingLog_ = false;
    QString logName_;
    std::int64_t scrollOriginMs_ = 0; // the time of the scroll bar's 0
    std::int64_t scrollUnitMs_ = 1; // the time of one step of the scroll bar
    TLiveSamples log_ {1};
    TRunRanges logRanges_; // what the opened log's markers say about its ranges
    std::optional<TLogTrigger> logTrigger_; // the trigger settings its last transfer left
    // The same for the live data, from the recorder's transfers, worked out again when they
    // change (their count and the time of the last).
    mutable TRunRanges liveRanges_;
    mutable std::pair<std::size_t, std::int64_t> liveRangesKey_ {0, -1};
    const TRunRanges &LiveRanges() const;
    std::int64_t logEndMs_ = 0;
    // What the bands and lines were last drawn from: they are checked with every reply.
    std::optional<std::pair<TGearDataList, TLogTrigger>> drawnSettings_;
    int redrawTicks_ = 0;
};
