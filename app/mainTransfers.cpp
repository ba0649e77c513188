// Bulk read and write of all settings, paced by the transfer timer and shown in the progress
// window; the reset command.

#include "main.h"

#include "about.h"
#include "compare.h"
#include "compassRange.h"
#include "controllerBackups.h"
#include "linkRules.h"
#include "liveRecorder.h"
#include "profile.h"
#include "progress.h"
#include "transfers.h"

#include <QDir>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>

bool TfrmMain::VersionCheck()
{
    const std::int64_t major = aux_.About ? aux_.About->VersionMajor : 0;
    const std::int64_t minor = aux_.About ? aux_.About->VersionMinor : 0;
    if (VersionsMatch(major, minor, EcuVersionMajor, EcuVersionMinor))
        return true;
    return Ask(TPrompts::Warning,
               QStringLiteral("PC and GCU software versions do not match.\rContinue with upload?"),
               TPrompts::Yes | TPrompts::No)
        == TPrompts::Yes;
}

void TfrmMain::UploadAllSettingsToEcu1Click()
{
    // A number typed and not yet taken is a change too, for the copy kept below.
    TakeTypedSetting();
    if (!VersionCheck())
        return;
    // Busy until the last transfer's lines have left and its answers are in: a start judged it
    // before, and took a read whose last requests had not gone out for whole.
    if (TransferBusy())
        return;
    // The read replaces the panel's settings without a question: changes not saved yet are kept,
    // and where they cannot be, the user decides.
    if (SettingsChanged && ProfileText(std::string(), Ecu) != SettingsBaseline
        && !KeepBackupOfSettings(TBackupKind::UnsavedBeforeRead)) {
        if (Ask(TPrompts::Warning,
                QStringLiteral("The changes not saved could not be kept in %1.\rUpload from ECU "
                               "over them?")
                    .arg(QDir::toNativeSeparators(BackupsFolder())),
                TPrompts::Yes | TPrompts::No)
            != TPrompts::Yes)
            return;
        // A read may have begun under the question.
        if (TransferBusy())
            return;
    }
    if (aux_.Progress) {
        aux_.Progress->StartProgress(QStringLiteral("Upload from ECU"), kTransferProgressSteps);
        aux_.Progress->StepProgress();
    }
    UpDownStep = kReadFirstStep;
    ++UploadsStarted;
    tmrUpDownAll->start();
    TransferBegins(true);
}

void TfrmMain::DownloadAllSettingsToECU1Click()
{
    TakeTypedSetting();
    if (!VersionCheck())
        return;
    if (TransferBusy())
        return;
    if (Ask(TPrompts::Warning,
            QStringLiteral("This will overwrite all existing settings in the ECU\rDo you wish to "
                           "continue?"),
            TPrompts::Yes | TPrompts::No)
        != TPrompts::Yes)
        return;
    // While the question was open the link may have come up and a Yes to its upload question
    // started a read; a write on top of it would send the ranges the read just emptied.
    if (TransferBusy())
        return;
    if (aux_.Progress) {
        aux_.Progress->StartProgress(QStringLiteral("Download to ECU"), kTransferProgressSteps);
        aux_.Progress->StepProgress();
    }
    UpDownStep = kWriteFirstStep;
    tmrUpDownAll->start();
    // The panel takes no change until the write is done: one taken after its part had gone would
    // show as written. A refresh while the sequence runs sets the guard; the finishing tick's
    // clears it. A read gets its refreshes from the replies.
    RefreshSettings();
    TransferBegins(false);
    // Once the write runs, a comparison's controller column describes what it is about to lose:
    // left open, it would call the old values the controller's.
    if (frmCompare && Compare.CanWrite)
        frmCompare->hide();
}

void TfrmMain::tmrUpDownAllTimer()
{
    if (CompareReadTick())
        return;
    if (UpDownStep == 0) {
        RedrawRanges();
        if (aux_.Progress)
            aux_.Progress->FinishProgress();
        UpDownStep = 0;
        tmrUpDownAll->stop();
        // Refreshes made during the sequence left the panel's edit guard set; without a reply
        // after the end nothing would clear it, and the panel would ignore the user.
        RefreshSettings();
        // The last step's lines are still queued.
        TransferLinesLeft = static_cast<int>(TxQueue.size());
        if (TransferLinesLeft == 0)
            EndTransfer();
        return;
    }
    if (!TransferStepReady(static_cast<std::size_t>(TxQueue.size())))
        return;
    if (aux_.Progress)
        aux_.Progress->StepProgress();
    switch (UpDownStep) {
    case 3:
        btnUploadParamsClick();
        break;
    case 2:
        btnUploadGearsClick();
        break;
    case 1:
        btnUploadSparksClick();
        break;
    case -3:
        btnDownloadParamsClick();
        break;
    case -2:
        btnDownloadGearsClick();
        break;
    case -1:
        btnDownloadSparksClick();
        break;
    default:
        break;
    }
    UpDownStep = NextTransferStep(UpDownStep);
}

void TfrmMain::TransferBegins(bool reading)
{
    if (TransferLinesLeft >= 0)
        EndTransfer();
    TransferReading = reading;
    TransferTxOff = false;
    TransferAnswers.Clear();
    StatusPollsSent = 0;
    StatusRepliesSeen = 0;
    LiveData->TransferStarted(reading);
}

void TfrmMain::EndTransfer()
{
    TransferLinesLeft = -1;
    TransferEndsAtReply = -1;
    // The cut durations step asks by the gear count the panel showed when it ran: from a slow
    // controller the count read may come after it, and call for more than were asked.
    const TMessageList cutDurations = SparksReadStep(GridRowCount());
    const bool unanswered = TransferReading
        && (!TransferAnswers.Complete()
            || !std::all_of(cutDurations.begin(), cutDurations.end(),
                            [this](const TQV3318MessageRec &request) {
                                return TransferAnswers.WasAsked(Codec.Encode(request));
                            }));
    const TTransferEnd end = LiveData->TransferFinished(unanswered);
    if (TransferReading)
        NoteSettingsBaseline(); // what it found, whole or not
    if (end == TTransferEnd::Done) {
        // A copy missed is said: the user would count on it to put the settings back.
        if (TransferReading && !KeepBackupOfSettings(TBackupKind::Read)) {
            const QString text
                = QStringLiteral("The settings read from the ECU could not be kept in %1.")
                      .arg(QDir::toNativeSeparators(BackupsFolder()));
            AskSoon(TPrompts::Warning, text);
        }
        return;
    }
    // The progress window has closed as if all went through; the user must not drive on the
    // settings the controller did not get, nor keep a half read as the controller's.
    QString text;
    if (end == TTransferEnd::Unanswered)
        text = QStringLiteral("Upload from ECU incomplete - the ECU did not answer every "
                              "request. Upload again.");
    else if (TransferTxOff) // the cable is not to blame
        text = (TransferReading ? QStringLiteral("Upload from ECU")
                                : QStringLiteral("Download to ECU"))
            + QStringLiteral(" incomplete - \"Tx messages\" is off in the debug window.");
    else if (TransferReading)
        text = QStringLiteral("Upload from ECU incomplete - the ECU was disconnected. Upload "
                              "again once it is connected.");
    else
        text = QStringLiteral("Download to ECU incomplete - the ECU was disconnected. Download "
                              "again once it is connected.");
    // Said after the status tick that found it: the polls go on under the message.
    AskSoon(TPrompts::Warning, text);
}

void TfrmMain::AskSoon(TPrompts::Kind kind, const QString &text)
{
    ++PromptsDue;
    QTimer::singleShot(0, this, [this, kind, text] {
        --PromptsDue;
        Ask(kind, text, TPrompts::Ok);
    });
}

void TfrmMain::WaitForQueue()
{
    // The status timer keeps sending underneath the message box, so the queue drains.
    while (!TransferStepReady(static_cast<std::size_t>(TxQueue.size())))
        Ask(TPrompts::Information, QStringLiteral("Messages queued"), TPrompts::Ok);
}

void TfrmMain::btnUploadParamsClick()
{
    WaitForQueue();
    QueueAll(ParamsReadStep());
    SettingsChanged = true;
}

void TfrmMain::btnUploadGearsClick()
{
    WaitForQueue();
    Ecu.Ranges.Clear();
    BarrelGauge->SetRangeCount(0);
    BarrelGauge->SetMarkerCount(0);
    BarrelGauge->update();
    const TMessageList lines = GearsReadStep();
    QueueMessage(lines.front());
    for (int row = 1; row < GridRowCount(); ++row)
        SetCell(1, row, QString());
    QueueAll(TMessageList(lines.begin() + 1, lines.end()));
    SettingsChanged = true;
}

void TfrmMain::btnUploadSparksClick()
{
    WaitForQueue();
    QueueAll(SparksReadStep(GridRowCount()));
    SettingsChanged = true;
}

void TfrmMain::btnDownloadParamsClick()
{
    WaitForQueue();
    QueueAll(ParamsWriteStep(Ecu));
}

void TfrmMain::btnDownloadGearsClick()
{
    WaitForQueue();
    QueueAll(GearsWriteStep(Ecu));
}

void TfrmMain::btnDownloadSparksClick()
{
    WaitForQueue();
    QueueAll(SparksWriteStep(Ecu));
}

void TfrmMain::ResetECU1Click()
{
    TQV3318MessageRec reset;
    reset.MsgType = mtReset;
    QueueMessage(reset);
}
