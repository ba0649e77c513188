#pragma once

#include <QString>
#include <QStringList>

// Where the program finds the folders and files it keeps beside itself. A build folder, an
// unpacked portable copy and a Windows installation keep the profiles folder and the help file
// next to the program file; an installed copy (its documentation folder lies beside its program
// folder, as under /usr) keeps profiles per user and opens the manual from its documentation.

// The help file's extension: the one its type needs for the desktop to open it.
#ifdef Q_OS_WIN
inline constexpr char kHelpExtension[] = ".hlp";
#else
inline constexpr char kHelpExtension[] = ".html";
#endif

// The installed documentation folder of the program at programPath.
QString InstalledDocFolder(const QString &programPath);

// True when the program at programPath is an installed copy: it never makes a folder beside
// itself there, even when run with the rights to do so.
bool IsInstalledProgram(const QString &programPath);

// The profiles folder in use, created when missing: "profiles" beside the program when it exists
// or can be made there, otherwise "profiles" in userDataFolder. A folder that cannot be made in
// either place is returned all the same (the beside-the-program one when no user folder is
// known), so the dialogs still have a folder to start in.
QString ChooseProfilesFolder(const QString &programPath, const QString &userDataFolder);

// The data logs folder: "logs" beside the profiles folder when it is a folder that can be
// written, or when it is not there and could be made there; otherwise "logs" in userDataFolder
// (a profiles folder beside a program in a read-only place is read all the same, but logs could
// never be written there). Nothing is made here: logging makes the folder it starts in.
QString ChooseLogsFolder(const QString &profilesFolder, const QString &userDataFolder);

// The folder of the copies of the controller's settings (controllerBackups.h): "backups", chosen
// as the data logs folder is. Nothing is made here.
QString ChooseBackupsFolder(const QString &profilesFolder, const QString &userDataFolder);
// Every folder copies may be in: the one beside the profiles and the per-user one, which kept
// them while the other could not be written.
QStringList BackupsFolders(const QString &profilesFolder, const QString &userDataFolder);

// The help file the Help item opens: beside the program, the program's name with the help
// extension; otherwise the manual in the installed documentation. When neither exists it is the
// one beside the program, so the Help item stays hidden until that file is there.
QString ChooseHelpFile(const QString &programPath);
