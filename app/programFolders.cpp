#include "programFolders.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Set by the build from the install layout: the documentation folder relative to the program
// folder, and the manual's file name there.
#ifndef ORBANEL_INSTALLED_DOC_DIR
#define ORBANEL_INSTALLED_DOC_DIR "../share/doc/orbanel"
#endif
#ifndef ORBANEL_MANUAL_NAME
#define ORBANEL_MANUAL_NAME "orbanel.html"
#endif
#ifndef ORBANEL_INSTALLED_DESKTOP_ENTRY
#define ORBANEL_INSTALLED_DESKTOP_ENTRY "../share/applications/com.kestrova.Orbanel.desktop"
#endif

const QString kProfilesName = QStringLiteral("profiles");

} // namespace

QString InstalledDocFolder(const QString &programPath)
{
    const QDir programFolder = QFileInfo(programPath).absoluteDir();
    return QDir::cleanPath(programFolder.filePath(QStringLiteral(ORBANEL_INSTALLED_DOC_DIR)));
}

bool IsInstalledProgram(const QString &programPath)
{
    // Systems that leave out documentation (a path-exclude of dpkg) still install the menu entry;
    // without it a program in /usr/bin run as root would make its profiles folder there.
    const QDir programFolder = QFileInfo(programPath).absoluteDir();
    return QFileInfo(InstalledDocFolder(programPath)).isDir()
        || QFileInfo(programFolder.filePath(QStringLiteral(ORBANEL_INSTALLED_DESKTOP_ENTRY)))
               .isFile();
}

QString ChooseProfilesFolder(const QString &programPath, const QString &userDataFolder)
{
    const QString beside = QFileInfo(programPath).absoluteDir().filePath(kProfilesName);
    if (QFileInfo(beside).isDir())
        return beside;
    if (!IsInstalledProgram(programPath) && QDir().mkpath(beside))
        return beside;
    if (userDataFolder.isEmpty())
        return beside;
    const QString perUser = QDir(userDataFolder).filePath(kProfilesName);
    QDir().mkpath(perUser); // a folder that cannot be made is ignored, as beside the program
    return perUser;
}

namespace {

QString FolderBesideProfiles(const QString &profilesFolder, const QString &name)
{
    return QFileInfo(profilesFolder).absolutePath() + QLatin1Char('/') + name;
}

QString ChooseFolderBesideProfiles(const QString &profilesFolder, const QString &userDataFolder,
                                   const QString &name)
{
    const QString parent = QFileInfo(profilesFolder).absolutePath();
    const QString beside = FolderBesideProfiles(profilesFolder, name);
    const QFileInfo folder(beside);
    const bool usable
        = folder.exists() ? folder.isDir() && folder.isWritable() : QFileInfo(parent).isWritable();
    if (usable || userDataFolder.isEmpty())
        return beside;
    return QDir(userDataFolder).filePath(name);
}

} // namespace

QString ChooseLogsFolder(const QString &profilesFolder, const QString &userDataFolder)
{
    return ChooseFolderBesideProfiles(profilesFolder, userDataFolder, QStringLiteral("logs"));
}

QString ChooseBackupsFolder(const QString &profilesFolder, const QString &userDataFolder)
{
    return ChooseFolderBesideProfiles(profilesFolder, userDataFolder, QStringLiteral("backups"));
}

QStringList BackupsFolders(const QString &profilesFolder, const QString &userDataFolder)
{
    QStringList folders {FolderBesideProfiles(profilesFolder, QStringLiteral("backups"))};
    if (!userDataFolder.isEmpty())
        folders << QDir(userDataFolder).filePath(QStringLiteral("backups"));
    return folders;
}

QString ChooseHelpFile(const QString &programPath)
{
    const QFileInfo program(programPath);
    const QString beside = program.absoluteDir().filePath(program.completeBaseName()
                                                          + QLatin1String(kHelpExtension));
    if (QFileInfo(beside).isFile())
        return beside;
    const QString installed
        = QDir(InstalledDocFolder(programPath)).filePath(QStringLiteral(ORBANEL_MANUAL_NAME));
    return QFileInfo(installed).isFile() ? installed : beside;
}
