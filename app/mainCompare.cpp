// Comparison of the tool's settings with the controller's or a profile's before anything is
// overwritten, and the recent profiles of the File menu.

#include "main.h"

#include "compare.h"
#include "ecuLink.h"
#include "profile.h"
#include "progress.h"
#include "recentProfiles.h"
#include "transfers.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMenu>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kCompareFirstStep = 3;
// The line has no checksum: a value is shown as the controller's only when two reads brought it
// alike. Further reads, up to the last, run only while a value is still not settled.
constexpr int kCompareReads = 2;
constexpr int kCompareMostReads = 4;
// The progress follows the two reads every comparison makes.
constexpr int kCompareSteps = 1 + kCompareFirstStep * kCompareReads;
// How long, in transfer-timer ticks, the read waits for the last replies after every request has
// gone out, when no status reply shows that the controller has answered them all.
constexpr int kCompareSettleTicks = 100;
// The widest entry of Recent Profiles, in average characters.
constexpr int kRecentProfileChars = 72;

const QString kEcuHeading = QStringLiteral("ECU");
const QString kProfileHeading = QStringLiteral("Profile");
const QString kProfileFilter = QStringLiteral("Vehicle Profiles (*.ini)");

bool IsProfileFile(const QString &path)
{
    return QFileInfo(path).isFile();
}

} // namespace

void TfrmMain::BuildCompareMenu(QMenu *file, QAction *fileBefore, QMenu *transfer)
{
    CompareWithProfile1 = new QAction(QStringLiteral("Compare With Profile\u2026"), this);
    CompareWithProfile1->setObjectName(QStringLiteral("CompareWithProfile1"));
    connect(CompareWithProfile1, &QAction::triggered, this, &TfrmMain::CompareWithProfile1Click);
    file->insertAction(fileBefore, CompareWithProfile1);

    RecentProfiles1 = new QMenu(QStringLiteral("Recent Profiles"), this);
    RecentProfiles1->setObjectName(QStringLiteral("RecentProfiles1"));
    connect(RecentProfiles1, &QMenu::aboutToShow, this, &TfrmMain::RecentProfiles1Show);
    file->insertMenu(fileBefore, RecentProfiles1);

    CompareWithECU1 = transfer->addAction(QStringLiteral("Compare With ECU\u2026"), this,
                                          &TfrmMain::CompareWithECU1Click);
    CompareWithECU1->setObjectName(QStringLiteral("CompareWithECU1"));
}

// ---- Comparison with the controller ------------------------------------------------------------

void TfrmMain::CompareWithECU1Click()
{
    TakeTypedSetting();
    // A read whose timer has ended may still await its last answers: they would be taken as the
    // comparison's, and the read would miss them.
    const auto refused = [this] {
        if (TransferBusy())
            return true;
        if (Connected)
            return false;
        Ask(TPrompts::Information,
            QStringLiteral("ECU Disconnected - the settings cannot be compared until the ECU "
                           "answers."),
            TPrompts::Ok);
        return true;
    };
    if (refused())
        return;
    // As for the read of all settings: values of another version may mean other things, and
    // rows taken from them would go into the panel.
    if (!VersionCheck() || refused())
        return;
    // The window would show the previous answers while the new ones come in.
    if (frmCompare)
        frmCompare->hide();
    Compare.Ecu = TEcu();
    Compare.Known = TSettingsKnown::Nothing();
    Compare.Answers.Clear();
    Compare.Reads = 0;
    Compare.Heading = kEcuHeading;
    Compare.ProfilePath.clear();
    Compare.CanWrite = true;
    Compare.Reading = true;
    Compare.Step = kCompareFirstStep;
    Compare.EndsAtReply = -1;
    Compare.SettleTicks = 0;
    if (aux_.Progress) {
        aux_.Progress->StartProgress(QStringLiteral("Compare with ECU"), kCompareSteps);
        aux_.Progress->StepProgress();
    }
    tmrUpDownAll->start();
}

bool TfrmMain::CompareReadTick()
{
    if (!Compare.Reading)
        return false;
    if (Compare.Step > 0) {
        // The same steps and pace as the read of all settings: a step waits until at most one
        // line is queued.
        if (TxQueue.size() >= 2)
            return true;
        if (aux_.Progress)
            aux_.Progress->StepProgress();
        switch (Compare.Step) {
        case 3:
            QueueAll(ParamsReadStep());
            break;
        case 2:
            QueueAll(GearsReadStep());
            break;
        default: {
            // The read of all settings asks for the cut durations of the gear count the grid
            // shows by then, i.e. the one just received (the grid holds at most the named
            // positions); without it, the tool's own.
            const int positions = ComparedParams().PositionCount;
            QueueAll(
                SparksReadStep(std::clamp(positions, 0, static_cast<int>(GearNames.size())) + 1));
            break;
        }
        }
        --Compare.Step;
        return true;
    }
    // Unlike the read of all settings, the comparison needs the answers: wait until the requests
    // have gone out and the controller has answered a status poll sent after them, or has been
    // silent for a while. Replies to polls sent before them may still come first from a slow
    // controller: they are counted, not taken for the end.
    if (!TxQueue.isEmpty())
        return true;
    if (Compare.EndsAtReply < 0)
        Compare.EndsAtReply = StatusPollsSent + 1;
    const bool answered = StatusRepliesSeen >= Compare.EndsAtReply;
    if (!answered && ++Compare.SettleTicks < kCompareSettleTicks)
        return true;
    ++Compare.Reads;
    // A read that ended on silence may still have answers on their way: a new one would take
    // them for its own.
    const bool settled = Compare.Answers.Unsettled(TAgreedAnswers::Needed(ComparedParams())) == 0;
    if (answered && Compare.Reads < kCompareMostReads
        && (Compare.Reads < kCompareReads || !settled)) {
        Compare.Step = kCompareFirstStep;
        Compare.EndsAtReply = -1;
        Compare.SettleTicks = 0;
        return true;
    }
    FinishCompareRead(answered);
    return true;
}

TEcu TfrmMain::ComparedParams() const
{
    // The parameters told alike twice, else the last told, else the tool's own.
    TEcu basis = Ecu;
    const auto key = TAgreedAnswers::KeyOf(mtParams, 0);
    if (const TQV3318MessageRec *agreed = Compare.Answers.Agreed(key))
        ApplyParams(basis, *agreed);
    else if (const TQV3318MessageRec *latest = Compare.Answers.Latest(key))
        ApplyParams(basis, *latest);
    return basis;
}

bool TfrmMain::CaptureCompareReply(const TQV3318MessageRec &message, const QString &line)
{
    const bool setting = IsSettingsMessage(message.MsgType);
    if (!Compare.Reading) {
        if (!Compare.LateReplies)
            return false;
        // A read of all settings started since wants its answers. This reply is counted after
        // this call, as every status reply is: never more than the polls sent.
        const int seen = StatusRepliesSeen + (StatusRepliesSeen < StatusPollsSent ? 1 : 0);
        if (tmrUpDownAll->isActive()
            || (message.MsgType == mtStatus && seen >= Compare.EndsAtReply)) {
            Compare.LateReplies = false;
            return false;
        }
        if (setting)
            LogLine(lkOther, QStringLiteral("Rx"), line);
        return setting;
    }
    if (!setting)
        return false;
    if (message.MsgType != mtFeedback)
        LogLine(lkOther, QStringLiteral("Rx"), line);
    // Cut short or garbled on the line, a reply reads as zeros past the damage: shown as the
    // controller's values, they could be taken into the panel. Unknown is the truth.
    if (SettingsReplyComplete(Codec.DecodedLine()))
        Compare.Answers.Note(Codec.DecodedLine(), message);
    return true;
}

void TfrmMain::FinishCompareRead(bool answered)
{
    Compare.Reading = false;
    Compare.LateReplies = !answered;
    Compare.Step = 0;
    Compare.Ecu = TEcu();
    Compare.Known = TSettingsKnown::Nothing();
    Compare.Answers.ApplyAgreed(Compare.Ecu, Compare.Known, Compare.Answers.Heard());
    if (aux_.Progress)
        aux_.Progress->FinishProgress();
    tmrUpDownAll->stop();
    // A refresh made while the timer ran left the panel's edit guard set; nothing else would
    // clear it.
    if (Refreshing)
        RefreshSettings();
    ShowComparison();
}

void TfrmMain::ShowComparison()
{
    if (!frmCompare) {
        frmCompare = new TfrmCompare(this);
        frmCompare->OnTake = [this] { TakeChosenRows(); };
        frmCompare->OnWrite = [this] { DownloadAllSettingsToECU1Click(); };
    }
    frmCompare->SetComparison(Compare.Heading, CompareSettings(Ecu, Compare.Ecu, Compare.Known),
                              Compare.CanWrite);
    frmCompare->show();
    frmCompare->raise();
    frmCompare->activateWindow();
}

void TfrmMain::UpdateComparison()
{
    if (frmCompare && frmCompare->isVisible())
        frmCompare->SetComparison(Compare.Heading, CompareSettings(Ecu, Compare.Ecu, Compare.Known),
                                  Compare.CanWrite, true);
}

void TfrmMain::TakeChosenRows()
{
    // A number the box shows is the tool's value in the comparison: taking rows refreshes the
    // panel, which would drop it.
    TakeTypedSetting();
    // While a transfer runs the panel takes no edits either, and a comparison read is refilling
    // the other side.
    if (tmrUpDownAll->isActive()) {
        Ask(TPrompts::Information, QStringLiteral("Busy"), TPrompts::Ok);
        return;
    }
    if (!frmCompare)
        return;
    const std::vector<TCompareRow> rows = frmCompare->ChosenRows();
    if (rows.empty())
        return;
    QStringList refused; // ranges of gears the tool does not have
    QStringList unused; // cut durations of up-shifts the other side does not have
    for (const TCompareRow &row : rows)
        if (!TakeSetting(Ecu, Compare.Ecu, row))
            (row.Field == TSettingField::SparkDelay ? unused : refused)
                << QString::fromStdString(row.Setting);
    SettingsChanged = true;
    RefreshSettings();
    RedrawRanges();
    ShowComparison();
    if (!refused.isEmpty())
        Ask(TPrompts::Information,
            QStringLiteral("Not taken, for a gear the tool does not have: %1. Take No. Of "
                           "Forwards Gears with it.")
                .arg(refused.join(QStringLiteral(", "))),
            TPrompts::Ok);
    if (!unused.isEmpty())
        Ask(TPrompts::Information,
            QStringLiteral("Not taken, for an up-shift not in the %1 column: %2. Take No. Of "
                           "Forwards Gears with it.")
                .arg(Compare.Heading, unused.join(QStringLiteral(", "))),
            TPrompts::Ok);
}

// ---- Comparison with a profile -----------------------------------------------------------------

void TfrmMain::CompareWithProfile1Click()
{
    TakeTypedSetting();
    // A comparison read is filling the other side; the profile would be mixed into it.
    const auto busy = [this] {
        if (!Compare.Reading)
            return false;
        Ask(TPrompts::Information, QStringLiteral("Busy"), TPrompts::Ok);
        return true;
    };
    if (busy())
        return;
    const QString path = env_.Prompts->OpenFileName(this, ProfilesFolder, kProfileFilter);
    if (path.isEmpty() || busy())
        return;
    // Read into a model of its own exactly as Open would, starting from a cleared one; a file
    // that vanished meanwhile would read as an empty profile and compare as nonsense.
    if (!IsProfileFile(path)) {
        Ask(TPrompts::Warning, QStringLiteral("Profile not found: %1").arg(path), TPrompts::Ok);
        return;
    }
    TEcu profile;
    if (ReadProfile(path.toStdString(), profile) == TDiskRead::Failed) {
        Ask(TPrompts::Error, QStringLiteral("Unable to read %1").arg(path), TPrompts::Ok);
        return;
    }
    Compare.Ecu = profile;
    Compare.Known = TSettingsKnown();
    Compare.Heading = kProfileHeading;
    Compare.ProfilePath = path;
    Compare.CanWrite = false;
    ShowComparison();
}

void TfrmMain::ComparedProfileChanged(const QString &path)
{
    if (Compare.ProfilePath.isEmpty() || !SameProfilePath(path, Compare.ProfilePath))
        return;
    TEcu profile;
    if (ReadProfile(path.toStdString(), profile) == TDiskRead::Failed)
        return;
    Compare.Ecu = profile;
    UpdateComparison();
}

// ---- Recent profiles ---------------------------------------------------------------------------

void TfrmMain::NoteRecentProfile(const QString &path)
{
    if (!env_.ReadRecentProfiles || !env_.WriteRecentProfiles)
        return;
    env_.WriteRecentProfiles(WithRecentProfile(env_.ReadRecentProfiles(), path));
}

void TfrmMain::RecentProfiles1Show()
{
    RecentProfiles1->clear();
    QStringList list;
    if (env_.ReadRecentProfiles) {
        const QStringList stored = env_.ReadRecentProfiles();
        list = ExistingProfiles(stored, IsProfileFile);
        const QStringList kept = KeptProfiles(stored, IsProfileFile);
        if (kept != stored && env_.WriteRecentProfiles)
            env_.WriteRecentProfiles(kept);
    }
    if (list.isEmpty()) {
        RecentProfiles1->addAction(QStringLiteral("(none)"))->setEnabled(false);
        return;
    }
    // A long path is shortened in its middle: its start tells the place, its end the file; the
    // whole path is the entry's tip.
    RecentProfiles1->setToolTipsVisible(true);
    const QFontMetrics metrics(RecentProfiles1->font());
    const int widest = metrics.averageCharWidth() * kRecentProfileChars;
    for (int i = 0; i < list.size(); ++i) {
        const QString path = list[i];
        const QString shown = QDir::toNativeSeparators(path);
        QAction *action = RecentProfiles1->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(
            metrics.elidedText(shown, Qt::ElideMiddle, widest)
                .replace(QLatin1Char('&'), QLatin1String("&&"))));
        action->setToolTip(shown);
        action->setObjectName(QStringLiteral("RecentProfile%1").arg(i + 1));
        connect(action, &QAction::triggered, this, [this, path] { OpenRecentProfile(path); });
    }
}

void TfrmMain::OpenRecentProfile(const QString &fileName)
{
    if (!SavePrompt() || TransferBusy())
        return;
    // The file may have gone while the menu or the question was open.
    if (!IsProfileFile(fileName)) {
        Ask(TPrompts::Warning, QStringLiteral("Profile not found: %1").arg(fileName), TPrompts::Ok);
        if (env_.ReadRecentProfiles && env_.WriteRecentProfiles)
            env_.WriteRecentProfiles(KeptProfiles(env_.ReadRecentProfiles(), IsProfileFile));
        return;
    }
    LoadProfile(fileName);
}
