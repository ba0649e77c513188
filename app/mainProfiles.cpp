// Vehicle profile files: the File menu, the save prompt and the factory defaults.

#include "main.h"

#include "Display.h"
#include "controllerBackups.h"
#include "diskFile.h"
#include "droppedFile.h"
#include "liveRecorder.h"
#include "profile.h"
#include "programFolders.h"

#include <QDateTime>
#include <QDropEvent>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>

namespace {
const QString kProfileFilter = QStringLiteral("Vehicle Profiles (*.ini)");
const QString kProfileSuffix = QStringLiteral("ini");
} // namespace

void TfrmMain::SetCaption(const QString &fileName)
{
    setWindowTitle(QStringLiteral("Kestrova - ") + QFileInfo(fileName).fileName());
}

void TfrmMain::loadDefaults()
{
    LoadDefaults(Ecu);
    RedrawRanges();
    GearDisplay->SetDigit('R');
    RefreshSettings();
}

void TfrmMain::SaveProfile(const QString &fileName)
{
    // The profile's medium was pulled: its folder is now the empty mount point on another device.
    // A file made there would pass for the saved profile.
    const std::string name = fileName.toStdString();
    if (fileName == ProfileFileName && ProfileFolderDevice && !QFileInfo::exists(fileName)
        && FolderDevice(name) != ProfileFolderDevice) {
        Ask(TPrompts::Error, QStringLiteral("Unable to write to %1").arg(fileName), TPrompts::Ok);
        return;
    }
    // The folder's device is known only of a name that was written or opened: a name a failed
    // Save As left has none, so a later Save there is no pulled medium.
    if (fileName != ProfileFileName)
        ProfileFolderDevice.reset();
    ProfileFileName = fileName;
    SetCaption(fileName);
    if (!WriteProfile(name, Ecu)) {
        Ask(TPrompts::Error, QStringLiteral("Unable to write to %1").arg(fileName), TPrompts::Ok);
        return;
    }
    ProfileFolderDevice = FolderDevice(name);
    SettingsChanged = false;
    NoteSettingsBaseline();
    NoteRecentProfile(fileName);
    LiveData->ProfileSaved(fileName);
    ComparedProfileChanged(fileName);
}

// A whole transfer runs on its timer under the non-modal progress window and under every dialog:
// an upload empties the ranges before it refills them, so the model is only half there meanwhile.
// Its last lines are still queued when the window closes: until they have left, a read's answers
// still come in and a write is not complete.
bool TfrmMain::TransferRunning() const
{
    return tmrUpDownAll->isActive() || TransferLinesLeft > 0 || TransferEndsAtReply >= 0;
}

bool TfrmMain::TransferBusy()
{
    if (!TransferRunning())
        return false;
    Ask(TPrompts::Information, QStringLiteral("Busy"), TPrompts::Ok);
    return true;
}

bool TfrmMain::SavePrompt()
{
    TakeTypedSetting();
    if (!SettingsChanged)
        return true;
    switch (Ask(TPrompts::Confirmation,
                QStringLiteral("Settings have changed - do you want to save?"),
                TPrompts::Yes | TPrompts::No | TPrompts::Cancel)) {
    case TPrompts::Yes:
        Save1Click();
        return !SettingsChanged;
    case TPrompts::No:
        return true;
    default:
        return false;
    }
}

void TfrmMain::New1Click()
{
    if (!SavePrompt() || TransferBusy())
        return;
    ClearEveryPosition(Ecu); // the factory's fill only the first positions
    loadDefaults();
    SettingsChanged = false;
    NoteSettingsBaseline();
    ProfileFileName.clear();
    setWindowTitle(QStringLiteral("Kestrova"));
}

void TfrmMain::Open1Click()
{
    OpenChosenProfile(ProfilesFolder, kProfileFilter, false);
}

void TfrmMain::OpenChosenProfile(const QString &folder, const QString &filter, bool untitled)
{
    if (!SavePrompt() || TransferBusy())
        return;
    const bool hadChanges = SettingsChanged;
    const int uploads = UploadsStarted;
    const QString path = env_.Prompts->OpenFileName(this, folder, filter);
    if (path.isEmpty() || TransferBusy())
        return;
    // An upload may have started and ended while the dialog was open; its settings are new
    // changes the user was not asked about, even after a No to changes made before.
    if ((!hadChanges || UploadsStarted != uploads) && SettingsChanged
        && (!SavePrompt() || TransferBusy()))
        return;
    LoadProfile(path, untitled);
}

void TfrmMain::LoadProfile(const QString &path, bool untitled)
{
    // Read first: a file that cannot be read, or is no profile at all, must not replace the
    // settings with defaults. A file that is not there reads as an empty profile.
    std::string text;
    if (ReadDiskFile(path.toStdString(), text) == TDiskRead::Failed || IsForeignText(text)) {
        Ask(TPrompts::Error, QStringLiteral("Unable to read %1").arg(path), TPrompts::Ok);
        return;
    }
    // Forget what the old profile had for every position before the new one fills them.
    btnClearClick();
    btnClearSparksClick();
    ClearEveryPosition(Ecu);
    ReadProfileText(text, Ecu);
    RedrawRanges();
    SettingsChanged = false;
    RefreshSettings();
    SetCaption(path);
    NoteSettingsBaseline();
    LiveData->ProfileOpened(path);
    // Copies kept in the per-user folder while the one beside the profiles could not be written
    // are copies all the same.
    const QStringList backups = BackupsFolders(ProfilesFolder, env_.UserDataFolder);
    if (untitled || std::any_of(backups.begin(), backups.end(), [&path](const QString &folder) {
            return IsBackupPath(folder, path);
        })) {
        // A Save asks for the vehicle's profile rather than writing over the copy, and a close
        // asks first.
        ProfileFileName.clear();
        SettingsChanged = true;
        return;
    }
    ProfileFileName = path;
    ProfileFolderDevice = FolderDevice(path.toStdString());
    NoteRecentProfile(path);
    ComparedProfileChanged(path);
}

void TfrmMain::NoteSettingsBaseline()
{
    SettingsBaseline = ProfileText(std::string(), Ecu);
}

bool TfrmMain::KeepBackupOfSettings(TBackupKind kind)
{
    return KeepBackup(BackupsFolder(), QDateTime::currentDateTime(), kind,
                      ProfileText(std::string(), Ecu))
        != TBackupResult::Failed;
}

void TfrmMain::dragEnterEvent(QDragEnterEvent *event)
{
    AcceptDroppedFile(event);
}

void TfrmMain::dropEvent(QDropEvent *event)
{
    OpenAfterDrop(event, this, [this](const QString &path) { OpenDroppedFile(path); });
}

void TfrmMain::OpenDroppedFile(const QString &path)
{
    if (IsDataLogName(path))
        LiveData->OpenDroppedLog(path);
    else
        OpenRecentProfile(path);
}

void TfrmMain::OpenBackup1Click()
{
    OpenChosenProfile(BackupsFolder(), QString::fromLatin1(kBackupFilter), true);
}

void TfrmMain::Save1Click()
{
    TakeTypedSetting();
    if (!SettingsChanged)
        return;
    if (ProfileFileName.isEmpty())
        SaveAs1Click();
    else if (!TransferBusy())
        SaveProfile(ProfileFileName);
}

void TfrmMain::SaveAs1Click()
{
    TakeTypedSetting();
    const QString path
        = env_.Prompts->SaveFileName(this, ProfilesFolder, kProfileFilter, kProfileSuffix);
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path)
        && Ask(TPrompts::Confirmation, QStringLiteral("File exists - overwrite?"),
               TPrompts::Ok | TPrompts::Cancel)
            != TPrompts::Ok)
        return;
    if (TransferBusy())
        return;
    SaveProfile(path);
}
