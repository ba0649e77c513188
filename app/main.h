#pragma once

#include "Ecu.h"
#include "agreedAnswers.h"
#include "controllerBackups.h"
#include "ecuLink.h"
#include "encdec.h"
#include "linkRules.h"
#include "prompts.h"
#include "settingsCompare.h"

#include <QMainWindow>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPainter;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSlider;
class QTableWidget;
class QTimer;
class TCompassRange;
class TDisplay;
class TLedLamp;
class TLiveRecorder;
class TSerialPortDriver;
class TStatusPanels;
class TfrmAbout;
class TfrmCompare;
class TfrmComms;
class TfrmDebug;
class TfrmProgress;

// What the main window takes from its surroundings. The program passes the real ones; tests pass
// scripted prompts, a private settings store and a program folder of their own.
struct TMainEnvironment
{
    TPrompts *Prompts = nullptr; // not owned
    QString ProgramPath; // full path of the program file; its folder holds "profiles" and help
    QString UserDataFolder; // per-user data folder: profiles of a program that cannot keep them
    QStringList Arguments; // command-line arguments after the program name
    std::function<QString()> ReadStoredPort;
    std::function<bool(const QString &)> WriteStoredPort;
    std::function<bool()> DebuggerAttached;
    // The desktop's default handler; false when none took the document.
    std::function<bool(const QString &)> OpenDocument;
    std::function<void()> Terminate; // ends the program once the window has closed
    // The recent profiles, most recent first, kept in the settings store.
    std::function<QStringList()> ReadRecentProfiles;
    std::function<bool(const QStringList &)> WriteRecentProfiles;
};

// The windows shown from the main window; created once at start-up, not owned by it.
struct TAuxWindows
{
    TfrmAbout *About = nullptr;
    TfrmComms *Comms = nullptr;
    TfrmDebug *Debug = nullptr;
    TfrmProgress *Progress = nullptr;
};

// The program's one main window: it owns the settings model, the codec, the serial driver and the
// outgoing queue, supervises the link, shows the live dashboard and the settings panel, and runs
// calibration, transfers and profile files. Everything happens on the user-interface thread; modal
// prompts run nested event loops, so handlers re-check state after every question.
class TfrmMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit TfrmMain(TMainEnvironment environment, QWidget *parent = nullptr);
    ~TfrmMain() override;

    void SetAuxWindows(const TAuxWindows &windows);

    // Start-up and lifecycle.
    void FormShow();
    void RestartLink();
    void Communications1Click();
    void About1Click();
    void Help2Click();
    void Exit1Click();
    bool FormCloseQuery();
    // A read, write or comparison is under way, and a close now would only say "Busy".
    bool TransferRunning() const;
    // Whether a stop asked by a signal must wait: a transfer runs, or a message about one is
    // about to open (a close now would ask its own question first, and the message over it).
    bool StopMustWait() const { return TransferRunning() || PromptsDue > 0; }
    // Asks once the event loop has turned (after the tick that found it); counted as due till
    // then.
    void AskSoon(TPrompts::Kind kind, const QString &text);
    int PromptsDue = 0;
    void OnSetPosition();

    // Link supervision and dispatch.
    void tmrStatusTimer();
    void ReceiveData(TSerialPortDriver *sender, const char *data, quint32 size);
    void DispatchMessage(const TQV3318MessageRec &message);
    void tmrLinkTimer();
    void LinkLost();
    enum TLogKind { lkStatus, lkOther };
    void LogLine(TLogKind kind, const QString &direction, const QString &text);
    void QueueMessage(const TQV3318MessageRec &message);
    // Re-opening a port that is not open, and telling why it is not.
    void tmrReopenTimer();
    void ShowPortProblem();

    // Transfers.
    void UploadAllSettingsToEcu1Click();
    void DownloadAllSettingsToECU1Click();
    void tmrUpDownAllTimer();
    void btnUploadParamsClick();
    void btnUploadGearsClick();
    void btnUploadSparksClick();
    void btnDownloadParamsClick();
    void btnDownloadGearsClick();
    void btnDownloadSparksClick();
    void ResetECU1Click();
    // A transfer begins: one still ending is ended first, as its lines' fate no longer tells.
    void TransferBegins(bool reading);
    // The last line of a transfer has left: the data log and, when the controller did not get
    // all of it, the user are told.
    void EndTransfer();

    // Settings panel.
    void RefreshSettings();
    static std::int32_t Clamp(std::int32_t value, std::int32_t min, std::int32_t max);
    void trkLoadCellThresholdChange();
    void edtLoadCellThresholdExit();
    void trkBarrelThresholdChange();
    void edtBarrelThresholdExit();
    void trkDebounceChange();
    void edtDebounceExit();
    void trkIgnoreChange();
    void edtIgnoreExit();
    void trkCutAfterBlipChange();
    void edtCutAfterBlipExit();
    void trkSparkCutTimeoutChange();
    void EdtSparkCutTimeoutExit();
    void trkDelayChange(QSlider *sender);
    void rgGearSensorClick();
    void rbUseFeedbackClick();
    void chkCutAfterBlipClick();
    void btnClearSparksClick();
    // Takes what was typed into the settings box that still has the focus, as leaving the box
    // would: a write, a save, a comparison or the save question must not miss a value the box
    // shows. Nothing happens when nothing was typed there.
    void TakeTypedSetting();

    // Calibration.
    void btnCaptureClick();
    void btnClearClick();
    void rgGearsClick();
    void trkFeedbackWindowChange();
    void edtFeedbackWindowExit();
    void BuildRanges();
    void RedrawRanges();
    void DrawCell(QPainter &painter, int column, int row, const QRect &rect) const;

    // Profiles.
    void loadDefaults();
    void SaveProfile(const QString &fileName);
    void New1Click();
    void Open1Click();
    void Save1Click();
    void SaveAs1Click();
    bool SavePrompt(); // true when the caller may go on
    // A copy of the settings a read found (controllerBackups.h), opened as a new profile.
    void OpenBackup1Click();

    // Comparison with the controller or a profile before anything is overwritten, and the recent
    // profiles.
    void CompareWithECU1Click();
    void CompareWithProfile1Click();
    void TakeChosenRows();
    void RecentProfiles1Show();
    void OpenRecentProfile(const QString &fileName);
    void OpenDroppedFile(const QString &path);

    // Cell text of the gear grid, and the status bar panels.
    QString CellText(int column, int row) const;
    QString PanelText(int panel) const;
    void pnlStatusBarDrawPanel(QPainter &painter, int panel, const QRect &rect) const;

    // Shared state.
    TEcu Ecu;
    TQV3318EncDec Codec;
    TSerialPortDriver *CommPort = nullptr;
    QStringList TxQueue;
    QString ProfileFileName;
    // The device of its folder when it was last read or written.
    std::optional<std::uint64_t> ProfileFolderDevice;
    QString LastStatusLine;
    bool Connected = false;
    QString CommPortName;
    bool SettingsChanged = false;
    // The settings as a profile text when last made new, opened, saved or read: the changes a
    // read would replace unasked are those since (a read sets SettingsChanged too).
    std::string SettingsBaseline;
    bool Refreshing = false;
    bool UploadPromptOpen = false;
    // The controller came back while another question or file dialog was open: the upload
    // question waits until that one has closed.
    bool UploadQuestionWaits = false;
    std::int32_t EcuVersionMajor = 0;
    std::int32_t EcuVersionMinor = 0;
    std::array<QSlider *, 8> SparkBars {};
    int LinkMissedTicks = 0; // the link timer's tag
    TLinkDemand LinkDemand = TLinkDemand::NoLine; // what was asked since the last link tick
    // Status polls due since the last status reply: the dial shows the barrel as it was then.
    // None has come yet at the start.
    int StatusPollsUnanswered = kStaleStatusPolls;
    bool PortStored = true; // the last link restart could store its port
    int UpDownStep = 0; // the transfer timer's tag
    int UploadsStarted = 0; // reads of all settings begun, so a question can see one ran under it
    // A finished transfer's lines still queued: it came through, or not, once the last has left.
    int TransferLinesLeft = -1; // -1: no transfer is ending
    // A transfer ends only with the reply to the first status poll after its last line, since the
    // controller answers in order: a read's answers are in, and a write's lines were taken by a
    // controller still running. Until then it is still busy.
    int StatusPollsSent = 0; // while connected, since the last transfer began
    int StatusRepliesSeen = 0; // to those polls
    int TransferEndsAtReply = -1; // the reply count that ends a transfer whose lines have all gone
    bool TransferTxOff = false; // a line of the transfer was held back by the debug window's switch
    TReadAnswers TransferAnswers; // the read's requests that went out, and those answered
    bool TransferReading = false;
    bool DiagnosticMode = false;
    QString ProfilesFolder;
    QString HelpFile;
    // Where data logs go (ChooseLogsFolder): beside the profiles folder, or per user.
    QString LogsFolder() const;
    // Where the copies of the controller's settings go (ChooseBackupsFolder).
    QString BackupsFolder() const;

    TCompassRange *BarrelGauge = nullptr;
    TDisplay *GearDisplay = nullptr;
    TLedLamp *UpshiftLed = nullptr;
    TLedLamp *EngineCutLed = nullptr;
    TLedLamp *DownshiftLed = nullptr;
    TLedLamp *BlipLed = nullptr;

    QTimer *tmrStatus = nullptr;
    QTimer *tmrLink = nullptr;
    QTimer *tmrUpDownAll = nullptr;
    QTimer *tmrReopen = nullptr; // tries the chosen port again while it is not open

    // Menu.
    QAction *New1 = nullptr;
    QAction *Open1 = nullptr;
    QAction *Save1 = nullptr;
    QAction *SaveAs1 = nullptr;
    QAction *Exit1 = nullptr;
    QAction *Communications1 = nullptr;
    QAction *ResetECU1 = nullptr;
    QAction *UploadAllSettingsToEcu1 = nullptr;
    QAction *DownloadAllSettingsToECU1 = nullptr;
    QAction *About1 = nullptr;
    QAction *Help2 = nullptr;
    QAction *CompareWithECU1 = nullptr;
    QAction *CompareWithProfile1 = nullptr;
    QMenu *RecentProfiles1 = nullptr;
    QAction *OpenBackup1 = nullptr;

    // The other side of a comparison and the read that fills it from the controller, which runs
    // on the transfer timer (so every other transfer sees "Busy") without touching Ecu.
    struct TCompareRead
    {
        TEcu Ecu;
        TSettingsKnown Known;
        QString Heading;
        QString ProfilePath; // the profile compared with; empty for the controller
        bool CanWrite = false;
        bool Reading = false;
        int Step = 0; // read steps still to run, 3..1; 0 while the last replies come in
        // The count of status replies (StatusRepliesSeen) that includes the reply to the first
        // poll sent after the last request, and with it every answer; -1 until every request has
        // left the queue.
        int EndsAtReply = -1;
        int SettleTicks = 0;
        int Reads = 0; // reads of all settings finished
        TAgreedAnswers Answers; // every whole answer of this comparison's reads
        // The read ended on silence: answers still on their way are the comparison's, not the
        // tool's settings, until that reply shows they are all in.
        bool LateReplies = false;
    } Compare;
    TfrmCompare *frmCompare = nullptr;

    // Settings panel controls.
    QRadioButton *rbSensorTypeSwitch = nullptr;
    QRadioButton *rbSensorTypeLoadCell = nullptr;
    QRadioButton *rbSensorTypeBarrelPosition = nullptr;
    QLabel *lblLoadCellThreshold = nullptr;
    QSlider *trkLoadCellThreshold = nullptr;
    QLineEdit *edtLoadCellThreshold = nullptr;
    QLabel *lblDownshiftThreshold = nullptr;
    QSlider *trkDownshiftThreshold = nullptr;
    QLineEdit *edtDownshiftThreshold = nullptr;
    QLabel *lblBarrelThreshold = nullptr;
    QSlider *trkBarrelThreshold = nullptr;
    QLineEdit *edtBarrelThreshold = nullptr;
    QComboBox *cmbGears = nullptr;
    QPushButton *btnClear = nullptr;
    QPushButton *btnCapture = nullptr;
    QSlider *trkFeedbackWindow = nullptr;
    QLineEdit *edtFeedbackWindow = nullptr;
    QTableWidget *sgGears = nullptr;
    QSlider *trkDebounce = nullptr;
    QLineEdit *edtDebounce = nullptr;
    QSlider *trkIgnore = nullptr;
    QLineEdit *edtIgnore = nullptr;
    QLabel *lblDownshiftBlipTimeout = nullptr;
    QSlider *trkDownshiftBlipTimeout = nullptr;
    QLineEdit *edtDownshiftBlipTimeout = nullptr;
    QLabel *lblDownshiftBlipTimeoutUnits = nullptr;
    QCheckBox *chkCutAfterBlip = nullptr;
    QSlider *trkCutAfterBlip = nullptr;
    QLineEdit *edtCutAfterBlip = nullptr;
    QLabel *lblCutAfterBlipUnits = nullptr;
    QRadioButton *rbUseTimed = nullptr;
    QRadioButton *rbUseFeedback = nullptr;
    QLabel *lblSparkCutTimeoutCaption = nullptr;
    QSlider *trkSparkCutTimeout = nullptr;
    QLineEdit *EdtSparkCutTimeout = nullptr;
    QLabel *lblSparkCutTimeoutUnits = nullptr;
    QGroupBox *pnlDelay = nullptr;
    std::array<QSlider *, 6> trkSpark {};

    // Dashboard controls.
    QLabel *lblAngle = nullptr;
    QLabel *lblAdc = nullptr;
    QLabel *lblGearlbl = nullptr;
    QLabel *lblGear = nullptr;
    QLabel *lblIgnoreLed = nullptr;
    QLabel *lblStatus = nullptr;
    QLabel *lblBlipLed = nullptr;
    QLabel *lblDownshiftLed = nullptr;
    TStatusPanels *pnlStatusBar = nullptr;
    QScrollArea *scrClient = nullptr; // holds the settings and the dashboard
    // Shows as much of the window as a screen of this free size holds, the status bar always.
    void FitToScreen(const QSize &available);
    void FitToCurrentScreen();

    // Live data: the chart, the data log and the range check (owned, as a child).
    TLiveRecorder *LiveData = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    // A profile dropped on the window opens as from Recent Profiles; a data log opens in the
    // Live Data window.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    std::string RxPending; // received bytes not yet decoded, shared by nested calls
    std::size_t RxTaken = 0; // of them, those handed to the codec

    void FormCreate();
    // The handler that leaving this settings box runs; null for any other object.
    using TExitHandler = void (TfrmMain::*)();
    TExitHandler ExitHandlerOf(const QObject *edit) const;
    void BuildMenu();
    void BuildSettingsArea(QWidget *area);
    void BuildDashboard(QWidget *dash);
    void BuildLiveData();
    QSlider *MakeTrackBar(QWidget *parent, const char *name, int min, int max, int frequency,
                          const QRect &geometry);
    QLineEdit *MakeEdit(QWidget *parent, const char *name, const QRect &geometry);
    void SetCell(int column, int row, const QString &text);
    void SetConnected(bool connected);
    void CreateReopenTimer();
    void SetLinkControlsEnabled(bool enabled);
    bool VersionCheck();
    void WaitForQueue();
    void QueueAll(const std::vector<TQV3318MessageRec> &messages);
    void SetFeedbackWindow(int tolerance);
    void SetCaption(const QString &fileName);
    int GridRowCount() const;
    TPrompts::Button Ask(TPrompts::Kind kind, const QString &text, int buttons);
    // "ECU Connected - upload values from ECU?" on a link that came up, unless it is open already
    // or a transfer runs; while another prompt is open it waits for that one to close.
    void AskUploadQuestion();
    void BuildCompareMenu(QMenu *file, QAction *fileBefore, QMenu *transfer);
    bool CompareReadTick();
    // The parameters a comparison read goes by for the cut durations it asks for.
    TEcu ComparedParams() const;
    bool CaptureCompareReply(const TQV3318MessageRec &message, const QString &line);
    void FinishCompareRead(bool answered);
    void ShowComparison();
    // An open comparison follows the tool's settings: its Tool column shows what a write or a
    // save would use, and the rows chosen stay chosen.
    void UpdateComparison();
    // The profile compared with was saved over or opened: its column reads the file again.
    void ComparedProfileChanged(const QString &path);
    // untitled: the settings come in as a new profile, not saved anywhere yet, as a backup does
    // however it is opened.
    void LoadProfile(const QString &path, bool untitled = false);
    // Open and Open Backup: asks to save, lets the user choose a file in folder, and loads it.
    void OpenChosenProfile(const QString &folder, const QString &filter, bool untitled);
    // The model's settings, see controllerBackups.h; false when no copy could be written.
    bool KeepBackupOfSettings(TBackupKind kind);
    void NoteSettingsBaseline();
    bool TransferBusy(); // says "Busy" while a whole transfer runs
    void NoteRecentProfile(const QString &path);

    TMainEnvironment env_;
    // Every prompt of the window and its parts goes through this one (env_.Prompts names it).
    std::unique_ptr<TTrackedPrompts> trackedPrompts_;
    TAuxWindows aux_;
    QButtonGroup *sensorGroup_ = nullptr;
    QButtonGroup *strategyGroup_ = nullptr;
};
