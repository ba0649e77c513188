// Where the profiles folder and the help file are found: beside the program for a build folder or
// an unpacked copy, per user and in the installed documentation for an installed program.

#include "mainFixture.h"

#include "programFolders.h"
#include "prompts.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>

#include <unistd.h>

namespace {

void Touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

// The layouts a program file may sit in, under a root of the test's own.
enum class Layout {
    BuildFolder, // root/orbanel, nothing else
    BuildFolderBlocked, // a plain file named "profiles" stands where the folder would be made
    Installed, // root/usr/bin/orbanel with root/usr/share/doc/orbanel beside it
    InstalledWithProfiles, // the same, with a "profiles" folder someone made beside the program
    InstalledWithoutDocs, // root/usr/bin/orbanel with only its menu entry under root/usr/share
};

struct FolderCase
{
    const char *name;
    Layout layout;
    bool userFolderKnown;
    bool expectBeside;
};

void PrintTo(const FolderCase &c, std::ostream *os)
{
    *os << c.name;
}

class ProfilesFolderTest : public ::testing::TestWithParam<FolderCase>
{
};

} // namespace

TEST_P(ProfilesFolderTest, ChoosesBesideOrPerUser)
{
    const FolderCase &c = GetParam();
    QTemporaryDir root;
    const bool installed = c.layout == Layout::Installed
        || c.layout == Layout::InstalledWithProfiles || c.layout == Layout::InstalledWithoutDocs;
    const QString bin = installed ? root.filePath("usr/bin") : root.path();
    const QString program = bin + "/orbanel";
    Touch(program);
    if (c.layout == Layout::InstalledWithoutDocs) {
        QDir().mkpath(root.filePath("usr/share/applications"));
        Touch(root.filePath("usr/share/applications/com.kestrova.Orbanel.desktop"));
    } else if (installed) {
        QDir().mkpath(root.filePath("usr/share/doc/orbanel"));
    }
    if (c.layout == Layout::BuildFolderBlocked)
        Touch(bin + "/profiles");
    if (c.layout == Layout::InstalledWithProfiles)
        QDir().mkpath(bin + "/profiles");
    const QString user
        = c.userFolderKnown ? root.filePath("home/.local/share/Kestrova") : QString();

    const QString chosen = ChooseProfilesFolder(program, user);

    const QString beside = bin + "/profiles";
    const QString perUser = user + "/profiles";
    EXPECT_EQ(chosen, c.expectBeside ? beside : perUser);
    EXPECT_TRUE(QFileInfo(chosen).isDir() || c.layout == Layout::BuildFolderBlocked);
    // An installed program leaves its own folder alone, even for a user allowed to write there.
    if (c.layout == Layout::Installed || c.layout == Layout::InstalledWithoutDocs) {
        EXPECT_FALSE(QFileInfo::exists(beside));
    }
    if (!c.expectBeside) {
        EXPECT_TRUE(QFileInfo(perUser).isDir());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ProfilesFolderTest,
    ::testing::Values(
        FolderCase {"BuildFolderMakesItBeside", Layout::BuildFolder, true, true},
        FolderCase {"BuildFolderWithoutUserFolder", Layout::BuildFolder, false, true},
        FolderCase {"BesideCannotBeMadeGoesPerUser", Layout::BuildFolderBlocked, true, false},
        FolderCase {"BesideCannotBeMadeNoUserFolderKeepsBeside", Layout::BuildFolderBlocked, false,
                    true},
        FolderCase {"InstalledGoesPerUser", Layout::Installed, true, false},
        FolderCase {"InstalledWithoutDocsGoesPerUser", Layout::InstalledWithoutDocs, true, false},
        FolderCase {"InstalledWithExistingProfilesKeepsThem", Layout::InstalledWithProfiles, true,
                    true}),
    [](const ::testing::TestParamInfo<FolderCase> &info) { return info.param.name; });

// Logs go beside the profiles folder unless they could never be written there.
TEST(LogsFolder, BesideTheProfilesOrPerUser)
{
    QTemporaryDir root;
    const QString profiles = root.filePath("app/profiles");
    QDir().mkpath(profiles);
    const QString beside = root.filePath("app/logs");
    const QString user = root.filePath("home/Kestrova");
    EXPECT_EQ(ChooseLogsFolder(profiles, user), beside) << "not made yet, can be";
    EXPECT_FALSE(QFileInfo::exists(beside)) << "made only when logging starts";
    Touch(beside); // a plain file stands where the folder would be made
    EXPECT_EQ(ChooseLogsFolder(profiles, user), user + "/logs");
    EXPECT_EQ(ChooseLogsFolder(profiles, QString()), beside) << "no user folder known";
    QFile::remove(beside);
    QDir().mkpath(beside);
    EXPECT_EQ(ChooseLogsFolder(profiles, user), beside);
    // Without write permission (the bits, also when the tests run as root, who may write anyway).
    QFile::setPermissions(beside, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(ChooseLogsFolder(profiles, user), ::geteuid() == 0 ? beside : user + "/logs");
    QFile::setPermissions(beside,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// The logs folder is made only when logging starts: before, the dialogs open in the folder above
// it, with no file name typed in that a Save would take.
TEST(LogsFolder, ADialogForAFolderNotYetMadeOpensAboveItWithNoNameTyped)
{
    QTemporaryDir root;
    const QString logs = root.filePath("logs");
    for (const bool save : {false, true}) {
        QString shownFolder;
        QString typedName = QStringLiteral("not seen");
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return;
            shownFolder = dialog->directory().absolutePath();
            if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                typedName = name->text();
            dialog->reject();
        });
        TWidgetPrompts prompts;
        const QString chosen = save ? prompts.SaveFileName(nullptr, logs, "PNG (*.png)", "png")
                                    : prompts.OpenFileName(nullptr, logs, "Logs (*.csv)");
        EXPECT_TRUE(chosen.isEmpty());
        EXPECT_EQ(shownFolder, QDir(root.path()).absolutePath()) << save;
        EXPECT_EQ(typedName, QString()) << save;
    }
}

// The file type is added to a new name unless it ends in it already, also after a dot of its
// own; a file that is there keeps its name.
TEST(SaveDialog, ANewNameGetsTheFileTypeItIsListedUnder)
{
    QTemporaryDir root;
    Touch(root.filePath("notes.txt"));
    const std::pair<const char *, const char *> rows[] = {
        {"Kart 7.1", "Kart 7.1.ini"},
        {"car", "car.ini"},
        {"car.INI", "car.INI"},
        {"notes.txt", "notes.txt"},
    };
    for (const auto &[typed, saved] : rows) {
        QTimer::singleShot(0, [typed = typed] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return;
            if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                name->setText(QString::fromUtf8(typed));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        TWidgetPrompts prompts;
        EXPECT_EQ(prompts.SaveFileName(nullptr, root.path(), "Vehicle Profiles (*.ini)", "ini"),
                  root.filePath(QString::fromUtf8(saved)));
    }
}

TEST(HelpFile, BesideTheProgramFirstThenTheInstalledManual)
{
    QTemporaryDir root;
    const QString program = root.filePath("usr/bin/orbanel");
    Touch(program);
    const QString beside = root.filePath("usr/bin/orbanel") + kHelpExtension;
    const QString installed = root.filePath("usr/share/doc/orbanel/orbanel.html");

    // Neither: the name beside the program, which does not exist, so the item stays hidden.
    EXPECT_EQ(ChooseHelpFile(program), beside);
    Touch(installed);
    EXPECT_EQ(ChooseHelpFile(program), installed);
    Touch(beside);
    EXPECT_EQ(ChooseHelpFile(program), beside);
}

TEST(HelpFile, ExtensionOpensInTheDesktopsHandler)
{
#ifdef Q_OS_WIN
    EXPECT_STREQ(kHelpExtension, ".hlp");
#else
    EXPECT_STREQ(kHelpExtension, ".html");
#endif
}

// The installed window: profiles per user, the dialogs open there, Help opens the installed
// manual, and nothing is made beside the program.
TEST_F(MainWindowTest, InstalledProgramUsesThePerUserFolderAndTheInstalledManual)
{
    programPath = folder.filePath("usr/bin/orbanel");
    userDataFolder = folder.filePath("home/.local/share/Kestrova/Kestrova Lumarix");
    Touch(programPath);
    const QString manual = folder.filePath("usr/share/doc/orbanel/orbanel.html");
    Touch(manual);
    Create();
    window->show();

    const QString perUser = userDataFolder + "/profiles";
    EXPECT_EQ(window->ProfilesFolder, perUser);
    EXPECT_TRUE(QFileInfo(perUser).isDir());
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("usr/bin/profiles")));

    window->SettingsChanged = true;
    prompts.SaveNames = {perUser + "/car.ini"};
    window->Save1Click();
    prompts.OpenNames = {perUser + "/car.ini"};
    window->Open1Click();
    EXPECT_EQ(prompts.DialogFolders, (QStringList {perUser, perUser}));
    EXPECT_EQ(window->windowTitle(), "Kestrova - car.ini");

    EXPECT_TRUE(window->Help2->isVisible());
    window->Help2Click();
    EXPECT_EQ(openedDocuments, QStringList {manual});
}
