// The File menu of the main window: new, open, save and save as, with the save prompt.

#include "mainFixture.h"

#include "liveData.h"
#include "liveRecorder.h"

#include "diskFile.h"
#include "profile.h"
#include "textFile.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include <functional>
#include <utility>
#include <vector>

class ProfileTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        Create();
        window->show();
        path = folder.path() + "/profiles/car.ini";
    }

    QByteArray Read(const QString &name)
    {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString path;
};

TEST_F(ProfileTest, SaveWithoutChangesDoesNothing)
{
    window->Save1Click();
    EXPECT_EQ(prompts.FileDialogs, 0);
}

TEST_F(ProfileTest, FirstSaveAsksForAFileAndNamesTheWindow)
{
    window->SettingsChanged = true;
    prompts.SaveNames = {path};
    window->Save1Click();
    EXPECT_FALSE(window->SettingsChanged);
    EXPECT_EQ(window->ProfileFileName, path);
    EXPECT_EQ(window->windowTitle(), "Kestrova - car.ini");
    const QByteArray text = Read(path).toLower();
    EXPECT_TRUE(text.contains("fwdgears=2"));
    EXPECT_TRUE(text.contains("barrelthreshold=14"));

    // A later save goes to the same file without asking.
    window->SettingsChanged = true;
    window->Save1Click();
    EXPECT_EQ(prompts.FileDialogs, 1);
}

TEST_F(ProfileTest, CancellingTheFileNameKeepsTheChanges)
{
    window->SettingsChanged = true;
    window->Save1Click();
    EXPECT_TRUE(window->SettingsChanged);
    EXPECT_TRUE(window->ProfileFileName.isEmpty());
}

TEST_F(ProfileTest, SavingOverAnExistingFileAsksFirst)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[mine]\nkeep=1\n");
    file.close();
    window->SettingsChanged = true;

    prompts.SaveNames = {path};
    prompts.Answers = {TPrompts::Cancel};
    window->SaveAs1Click();
    EXPECT_EQ(prompts.Texts(), QStringList {"File exists - overwrite?"});
    EXPECT_EQ(Read(path), "[mine]\nkeep=1\n");
    EXPECT_TRUE(window->SettingsChanged);

    prompts.SaveNames = {path};
    prompts.Answers = {TPrompts::Ok};
    window->SaveAs1Click();
    EXPECT_FALSE(window->SettingsChanged);
    EXPECT_TRUE(Read(path).contains("keep"));
}

TEST_F(ProfileTest, AFailedSaveSaysSoAndKeepsTheChanges)
{
    window->SettingsChanged = true;
    const QString bad = folder.path() + "/missing/car.ini";
    prompts.SaveNames = {bad};
    window->Save1Click();
    EXPECT_EQ(prompts.Texts(), QStringList {"Unable to write to " + bad});
    EXPECT_EQ(prompts.Questions[0].kind, TPrompts::Error);
    EXPECT_TRUE(window->SettingsChanged);
    EXPECT_EQ(window->ProfileFileName, bad);
    EXPECT_EQ(window->windowTitle(), "Kestrova - car.ini");
}

TEST_F(ProfileTest, AReadOnlyProfileIsRefusedAndLeftAlone)
{
    // The read-only mark holds also when the program runs as root.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[vehicle]\nfwdgears=1\n");
    file.close();
    ASSERT_TRUE(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    window->ProfileFileName = path;
    window->SettingsChanged = true;
    window->Save1Click();
    EXPECT_EQ(prompts.Texts(), QStringList {"Unable to write to " + path});
    EXPECT_EQ(Read(path), "[vehicle]\nfwdgears=1\n");
    EXPECT_TRUE(window->SettingsChanged);
}

// A profile on a stick that is pulled: its folder is then the empty mount point, on another
// device. A save must not make a new file there that passes for the profile on the stick.
TEST_F(ProfileTest, AProfileWhoseMediumIsGoneIsNotMadeAgainWhereItWasMounted)
{
    QTemporaryDir stick(QStringLiteral("/dev/shm/orbanel-stick-XXXXXX"));
    const QString mount = folder.path() + "/stick";
    if (!stick.isValid()
        || FolderDevice(stick.filePath("x").toStdString())
            == FolderDevice((mount + "/x").toStdString()))
        GTEST_SKIP() << "no second file system to stand for the stick";
    const QString onStick = mount + "/car.ini";
    const auto plug = [&](bool in) {
        QFile::remove(mount);
        QDir(mount).removeRecursively();
        ASSERT_TRUE(in ? QFile::link(stick.path(), mount) : QDir().mkdir(mount));
    };
    plug(true);
    QFile file(onStick);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[vehicle]\nfwdgears=3\n");
    file.close();
    prompts.OpenNames = {onStick};
    window->Open1Click();
    ASSERT_EQ(window->ProfileFileName, onStick);

    plug(false);
    window->SettingsChanged = true;
    window->Save1Click();
    EXPECT_EQ(prompts.Texts(), QStringList {"Unable to write to " + onStick});
    EXPECT_FALSE(QFileInfo::exists(onStick));
    EXPECT_TRUE(window->SettingsChanged);

    // Back in, it is saved; a profile deleted from the medium itself is made again.
    plug(true);
    window->Save1Click();
    EXPECT_EQ(prompts.Texts().size(), 1);
    EXPECT_TRUE(Read(onStick).startsWith("[vehicle]\nfwdgears=3\n"));
    ASSERT_TRUE(QFile::remove(onStick));
    window->SettingsChanged = true;
    window->Save1Click();
    EXPECT_EQ(prompts.Texts().size(), 1);
    EXPECT_TRUE(QFileInfo::exists(onStick));
    // Mounted again as another device, with the profile there: it is the medium.
    plug(false);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    window->SettingsChanged = true;
    window->Save1Click();
    EXPECT_EQ(prompts.Texts().size(), 1);
    EXPECT_TRUE(Read(onStick).startsWith("[vehicle]\n"));

    // A Save As from the stick that failed names its new file, on another device; once the
    // new folder is there, a Save writes it rather than taking it for the stick pulled.
    plug(true);
    prompts.OpenNames = {onStick};
    window->Open1Click();
    const QString elsewhere = folder.path() + "/later/car.ini";
    prompts.SaveNames = {elsewhere};
    window->SettingsChanged = true;
    window->SaveAs1Click();
    EXPECT_EQ(prompts.Texts().size(), 2);
    ASSERT_TRUE(QDir().mkdir(folder.path() + "/later"));
    window->Save1Click();
    EXPECT_EQ(prompts.Texts().size(), 2);
    EXPECT_TRUE(QFileInfo::exists(elsewhere));
    EXPECT_FALSE(window->SettingsChanged);
}

TEST_F(ProfileTest, OpenReadsTheProfileIntoTheWindow)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[vehicle]\nfwdgears=1\nranges=1\ngearshifttype=2\nbarrelthreshold=20\n"
               "[range0]\ngear=2\nlower=300\nupper=380\nadc=340\n[sparkdelays]\n1=77\n");
    file.close();
    prompts.OpenNames = {path};
    window->Open1Click();
    EXPECT_EQ(window->Ecu.PositionCount, 7);
    EXPECT_EQ(window->Ecu.GearShiftType, 2);
    EXPECT_EQ(window->Ecu.Ranges.Count(), 1);
    EXPECT_EQ(window->Ecu.Positions[2].Adc, 340);
    EXPECT_EQ(window->Ecu.Positions[3].Adc, 0) << "old positions are cleared before reading";
    EXPECT_EQ(window->Ecu.SparkDelays[2], 77);
    EXPECT_EQ(window->Ecu.SparkDelays[3], 0);
    EXPECT_FALSE(window->SettingsChanged);
    EXPECT_EQ(window->ProfileFileName, path);
    EXPECT_EQ(window->windowTitle(), "Kestrova - car.ini");
    EXPECT_EQ(window->CellText(0, 7), "Fifth");
    EXPECT_EQ(window->edtBarrelThreshold->text(), "7");
}

// A position out of use keeps its values while the count is lowered and raised again, but a new
// or an opened profile forgets them: a profile with more gears would otherwise show the last
// vehicle's angle for a gear it has not sampled, and send its cut duration to the controller.
TEST_F(ProfileTest, NewAndOpenForgetPositionsOutOfUse)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[vehicle]\nfwdgears=3\n"); // nine positions, none sampled, no cut durations
    file.close();
    const std::vector<std::pair<const char *, std::function<void()>>> commands {
        {"Open",
         [&] {
             prompts.OpenNames = {path};
             window->Open1Click();
         }},
        {"New", [&] { window->New1Click(); }},
    };
    for (const auto &[name, run] : commands) {
        SCOPED_TRACE(name);
        window->Ecu.SetPositionCount(9);
        window->Ecu.Positions[8].Adc = 921;
        window->Ecu.SparkDelays[8] = 77;
        window->Ecu.SetPositionCount(6);
        window->SettingsChanged = false;
        run();
        EXPECT_EQ(window->Ecu.Positions[8].Adc, 0);
        EXPECT_EQ(window->Ecu.SparkDelays[8], 0);
    }
    EXPECT_EQ(window->Ecu.SparkDelays[2], 125) << "New still gives the factory's durations";
}

// A profile dragged from a file manager onto the window, also onto an edit box, opens as from
// Recent Profiles, with the save question first; a data log opens in the Live Data window, also
// when dropped there. A drag of several files, or of a web address, is refused.
TEST_F(ProfileTest, AFileDroppedOnTheWindowOpens)
{
    TEcu saved;
    saved.Debounce = 17;
    ASSERT_TRUE(WriteProfile(path.toStdString(), saved));
    const QString log = folder.path() + "/run.CSV";
    QFile csv(log);
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write("time,ms,adc,angle_deg,gear_index,gear,analog_input,status_hex,upshift_trigger,"
              "downshift_trigger,engine_cut,throttle_blip\n"
              "2026-12-11T14:02:11.000,0,100,35.2,2,1,12,0x00,0,0,0,0\n");
    csv.close();
    // Shift held, as for a move: the drop must still be taken as a copy, or the file manager
    // deletes the file.
    const auto drop = [&](QWidget *target, const QList<QUrl> &urls,
                          Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
        QMimeData data;
        data.setUrls(urls);
        data.setText(urls.value(0).toString()); // as file managers add it
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
        QDropEvent dropped(at, actions, &data, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(target, &dropped);
        EXPECT_EQ(dropped.dropAction(), Qt::CopyAction);
        QCoreApplication::processEvents();
        return dropped.isAccepted();
    };
    const QUrl profile = QUrl::fromLocalFile(path);

    EXPECT_FALSE(drop(window.get(), {profile, QUrl::fromLocalFile(log)}));
    EXPECT_FALSE(drop(window.get(), {QUrl("https://example.com/car.ini")}));
    EXPECT_FALSE(drop(window.get(), {QUrl::fromLocalFile(folder.path())}));
    EXPECT_FALSE(drop(window.get(), {profile}, Qt::MoveAction)) << "only a copy is taken";
    {
        // Nor under an open question: the file would land in the middle of what asked it.
        QMessageBox question(QMessageBox::Question, "Orbanel", "Select First and press OK");
        question.setWindowModality(Qt::ApplicationModal);
        question.show();
        ASSERT_EQ(QApplication::activeModalWidget(), &question);
        EXPECT_FALSE(drop(window.get(), {profile}));
    }
    EXPECT_NE(window->Ecu.Debounce, 17);

    window->SettingsChanged = true;
    prompts.Answers = {TPrompts::Cancel};
    EXPECT_TRUE(drop(window->edtDebounce, {profile}));
    EXPECT_EQ(prompts.Texts(), QStringList {"Settings have changed - do you want to save?"});
    EXPECT_NE(window->Ecu.Debounce, 17);

    prompts.Answers = {TPrompts::No};
    EXPECT_TRUE(drop(window->edtDebounce, {profile}));
    EXPECT_EQ(window->Ecu.Debounce, 17);
    EXPECT_EQ(window->edtDebounce->text(), "17") << "the path went into no box";
    EXPECT_EQ(window->ProfileFileName, path);

    EXPECT_TRUE(drop(window.get(), {QUrl::fromLocalFile(log)}));
    EXPECT_EQ(window->ProfileFileName, path) << "a log is no profile";
    TfrmLiveData *live = window->LiveData->Window();
    EXPECT_TRUE(live->isVisible());
    EXPECT_TRUE(live->ShowingLog());
    EXPECT_EQ(live->Shown().Count(), 1u);
    // Dropped on the Live Data window, a log opens there and a profile as a profile.
    const QString other = folder.path() + "/profiles/other.ini";
    ASSERT_TRUE(WriteProfile(other.toStdString(), TEcu()));
    EXPECT_TRUE(drop(live, {QUrl::fromLocalFile(other)}));
    EXPECT_EQ(window->ProfileFileName, other);
}

// A copy of what a read found comes in as a new profile, however it is opened: a Save asks for the
// vehicle's file rather than writing over the copy, and a close asks first.
TEST_F(ProfileTest, ABackupOpensAsANewProfile)
{
    TEcu found;
    found.Debounce = 6;
    found.BlipTimeout = 113;
    const QString backups = window->BackupsFolder();
    const QString copy = backups + "/2026-12-11 14-02-11 read from ECU.ini";
    ASSERT_TRUE(QDir().mkpath(backups));
    ASSERT_TRUE(WriteProfile(copy.toStdString(), found));
    const QByteArray before = Read(copy);
    const std::vector<std::pair<const char *, std::function<void()>>> openers {
        {"Open Backup",
         [&] {
             prompts.OpenNames = {copy};
             window->OpenBackup1Click();
             EXPECT_EQ(prompts.DialogFolders.constLast(), backups);
         }},
        {"Open",
         [&] {
             prompts.OpenNames = {copy};
             window->Open1Click();
         }},
        {"a drop or Recent Profiles", [&] { window->OpenDroppedFile(copy); }},
    };
    for (const auto &[name, open] : openers) {
        SCOPED_TRACE(name);
        window->Ecu = TEcu();
        window->ProfileFileName = path;
        window->SettingsChanged = false;
        open();
        EXPECT_EQ(window->Ecu.Debounce, 6);
        EXPECT_EQ(window->Ecu.BlipTimeout, 113);
        EXPECT_TRUE(window->ProfileFileName.isEmpty());
        EXPECT_TRUE(window->SettingsChanged);
        EXPECT_EQ(window->windowTitle(), "Kestrova - 2026-12-11 14-02-11 read from ECU.ini");
        EXPECT_TRUE(recentProfiles.isEmpty());
    }
    // So is a copy kept in the per-user folder while the one beside the profiles could not be
    // written, once that one is back in use.
    userDataFolder = folder.path() + "/user";
    Create();
    ASSERT_EQ(window->BackupsFolder(), backups);
    const QString kept = userDataFolder + "/backups/2026-12-10 09-00-00 unsaved before read.ini";
    ASSERT_TRUE(QDir().mkpath(userDataFolder + "/backups"));
    ASSERT_TRUE(WriteProfile(kept.toStdString(), found));
    window->ProfileFileName = path;
    window->SettingsChanged = false;
    window->OpenDroppedFile(kept);
    EXPECT_TRUE(window->ProfileFileName.isEmpty());
    EXPECT_TRUE(window->SettingsChanged);
    EXPECT_TRUE(recentProfiles.isEmpty());

    prompts.SaveNames = {path};
    window->Save1Click();
    EXPECT_EQ(prompts.FileDialogs, 3);
    EXPECT_EQ(window->ProfileFileName, path);
    EXPECT_TRUE(Read(path).contains("bliptimeout=113"));
    EXPECT_EQ(Read(copy), before);
}

TEST_F(ProfileTest, NewAndOpenOfferToSaveFirst)
{
    window->SettingsChanged = true;
    window->Ecu.Debounce = 9;
    prompts.Answers = {TPrompts::Cancel};
    window->New1Click();
    EXPECT_EQ(window->Ecu.Debounce, 9);
    EXPECT_TRUE(window->SettingsChanged);

    prompts.Answers = {TPrompts::Cancel};
    window->Open1Click();
    EXPECT_EQ(prompts.FileDialogs, 0);

    prompts.Answers = {TPrompts::No};
    window->New1Click();
    EXPECT_EQ(window->Ecu.Debounce, 1);
    EXPECT_FALSE(window->SettingsChanged);
    EXPECT_EQ(window->windowTitle(), "Kestrova");
    EXPECT_TRUE(window->ProfileFileName.isEmpty());
}

TEST_F(ProfileTest, AnUnreadableProfileIsReportedAndChangesNothing)
{
    // Root-safe unreadable files: a folder, and a file the kernel answers with an I/O error. And
    // a data log picked by mistake: no profile at all, it would open as the factory defaults.
    const QString folderPath = folder.path() + "/profiles/folder.ini";
    ASSERT_TRUE(QDir().mkpath(folderPath));
    const QString logPath = folder.path() + "/profiles/run.csv";
    WriteText(logPath.toStdString(), "time,ms,adc\n2026-12-09T01:46:47.976,0,748\n");
    struct TCase
    {
        QString Path;
        bool Recent;
    };
    std::vector<TCase> cases {{folderPath, false}, {logPath, true}};
#ifdef __linux__
    cases.push_back({QStringLiteral("/proc/self/mem"), true});
#endif
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Path.toStdString());
        const QString old = folder.path() + "/profiles/old.ini";
        window->ProfileFileName = old;
        window->setWindowTitle("Kestrova - old.ini");
        window->SettingsChanged = true;
        window->Ecu.Debounce = 9;
        window->Ecu.Positions[3].Adc = 321;
        window->Ecu.SparkDelays[3] = 44;
        recentProfiles = QStringList {old};
        prompts.Questions.clear();
        prompts.Answers = {TPrompts::No}; // discard the changes, then the read fails

        if (c.Recent) {
            window->OpenRecentProfile(c.Path);
        } else {
            prompts.OpenNames = {c.Path};
            window->Open1Click();
        }

        EXPECT_EQ(prompts.Texts(),
                  (QStringList {"Settings have changed - do you want to save?",
                                "Unable to read " + c.Path}));
        ASSERT_EQ(prompts.Questions.size(), 2u);
        EXPECT_EQ(prompts.Questions[1].kind, TPrompts::Error);
        EXPECT_EQ(window->Ecu.Debounce, 9);
        EXPECT_EQ(window->Ecu.Positions[3].Adc, 321);
        EXPECT_EQ(window->Ecu.SparkDelays[3], 44);
        EXPECT_TRUE(window->SettingsChanged);
        EXPECT_EQ(window->ProfileFileName, old);
        EXPECT_EQ(window->windowTitle(), "Kestrova - old.ini");
        EXPECT_EQ(recentProfiles, QStringList {old});
    }

    // A file that is not there still opens as an empty profile.
    prompts.Questions.clear();
    prompts.OpenNames = {folder.path() + "/profiles/none.ini"};
    window->Open1Click();
    EXPECT_EQ(prompts.Texts(), QStringList {"Settings have changed - do you want to save?"});
    EXPECT_EQ(window->Ecu.Debounce, 0);
    EXPECT_EQ(window->windowTitle(), "Kestrova - none.ini");
}

// An upload runs on the transfer timer under the non-modal progress window, emptying the ranges
// before it refills them: no file command may save or replace the model meanwhile.
TEST_F(ProfileTest, FileCommandsSayBusyWhileATransferRuns)
{
    ASSERT_TRUE(WriteProfile(path.toStdString(), TEcu()));
    const QString other = folder.path() + "/profiles/other.ini";
    const std::vector<std::pair<const char *, std::function<void()>>> commands {
        {"Save",
         [&] {
             window->ProfileFileName = other;
             window->SettingsChanged = true;
             window->Save1Click();
         }},
        {"SaveAs",
         [&] {
             window->ProfileFileName.clear();
             window->SettingsChanged = true;
             prompts.SaveNames = {other};
             window->Save1Click();
         }},
        {"New", [&] { window->New1Click(); }},
        {"Open",
         [&] {
             const int dialogs = prompts.FileDialogs;
             prompts.OpenNames = {path};
             window->Open1Click();
             EXPECT_EQ(prompts.FileDialogs, dialogs) << "no file is chosen while busy";
         }},
        {"OpenRecent", [&] { window->OpenRecentProfile(path); }},
        {"OpenBackup",
         [&] {
             prompts.OpenNames = {path};
             window->OpenBackup1Click();
         }},
    };
    window->tmrUpDownAll->start();
    for (const auto &[name, run] : commands) {
        SCOPED_TRACE(name);
        window->SettingsChanged = false;
        window->ProfileFileName.clear();
        window->Ecu.Debounce = 9;
        prompts.Questions.clear();
        run();
        EXPECT_EQ(prompts.Texts(), QStringList {"Busy"});
        ASSERT_EQ(prompts.Questions.size(), 1u);
        EXPECT_EQ(prompts.Questions[0].kind, TPrompts::Information);
        EXPECT_EQ(window->Ecu.Debounce, 9);
        EXPECT_FALSE(QFileInfo::exists(other));
        EXPECT_NE(window->ProfileFileName, path);
    }
    window->tmrUpDownAll->stop();
}

TEST_F(ProfileTest, AnOpenDialogThatSawAnUploadDoesNotLoadUnasked)
{
    TEcu saved;
    saved.Debounce = 3;
    ASSERT_TRUE(WriteProfile(path.toStdString(), saved));
    // The link came back while the dialog was open and a Yes started an upload.
    prompts.OpenNames = {path};
    prompts.WhileDialog = [&] { window->tmrUpDownAll->start(); };
    window->Ecu.Debounce = 9;
    window->Open1Click();
    window->tmrUpDownAll->stop();
    EXPECT_EQ(prompts.Texts(), QStringList {"Busy"});
    EXPECT_EQ(window->Ecu.Debounce, 9);
    EXPECT_TRUE(window->ProfileFileName.isEmpty());

    // The upload also ended inside the dialog: its settings are unsaved changes to ask about.
    // Also when the user had said No to saving the changes made before the dialog.
    const auto uploadEnded = [&] {
        ++window->UploadsStarted;
        window->Ecu.Debounce = 7;
        window->SettingsChanged = true;
    };
    const QString question = "Settings have changed - do you want to save?";
    for (const bool changedBefore : {false, true}) {
        for (const TPrompts::Button answer : {TPrompts::Cancel, TPrompts::No}) {
            SCOPED_TRACE(testing::Message() << changedBefore << " " << answer);
            window->ProfileFileName.clear();
            window->SettingsChanged = changedBefore;
            prompts.Questions.clear();
            prompts.OpenNames = {path};
            prompts.WhileDialog = uploadEnded;
            prompts.Answers = {answer};
            if (changedBefore)
                prompts.Answers.insert(prompts.Answers.begin(), TPrompts::No);
            window->Open1Click();
            const QStringList asked
                = changedBefore ? QStringList {question, question} : QStringList {question};
            EXPECT_EQ(prompts.Texts(), asked);
            EXPECT_EQ(window->ProfileFileName.isEmpty(), answer == TPrompts::Cancel);
            EXPECT_EQ(window->Ecu.Debounce, answer == TPrompts::Cancel ? 7 : 3);
            EXPECT_EQ(window->SettingsChanged, answer == TPrompts::Cancel);
        }
    }
}
