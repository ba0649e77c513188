#pragma once

#include <QDateTime>
#include <QString>

#include <string>

// Copies of settings about to be lost, one profile file each, so that they can be put back: what
// a read of all settings found in the controller (the settings a later write of the wrong
// profile, or a change regretted, replaces in the car), and the panel's unsaved changes that a
// read is about to replace without a question.
//
// A copy is named by its time and kind, "2026-12-11 14-02-11 read from ECU.ini" or
// "2026-12-11 14-02-08 unsaved before read.ini", so the folder lists the copies oldest first.
// Settings the same as the newest copy's make none: a car read again and again leaves one file,
// not a file per connection.

enum class TBackupKind { Read, UnsavedBeforeRead };
enum class TBackupResult { Written, Unchanged, Failed };

// The open dialog's filter: the copies are profiles (a pattern with spaces would be split).
inline constexpr char kBackupFilter[] = "ECU Backups (*.ini)";

// True for a file in folder (links followed): a copy, which opens as a new profile however it is
// opened, so that a Save never writes over it.
bool IsBackupPath(const QString &folder, const QString &path);

// Keeps text, a whole profile, as the newest copy in folder (made when missing). written gets
// the copy's path when one is written.
TBackupResult KeepBackup(const QString &folder, const QDateTime &at, TBackupKind kind,
                         const std::string &text, QString *written = nullptr);
