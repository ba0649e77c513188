#pragma once

#include <QDateTime>
#include <QString>

#include <string>

// Copies of the settings a controller was read with, one profile file per read, so that settings
// written over in the car (the wrong vehicle's profile, a change regretted) can be put back.
//
// A copy is named by the time of the read, "2026-12-11 14-02-11 read from ECU.ini", so the
// folder lists the copies oldest first. A read that finds the same settings as the newest copy
// makes none: a car read again and again leaves one file, not a file per connection.

enum class TBackupResult { Written, Unchanged, Failed };

// The open dialog's filter: the copies are profiles (a pattern with spaces would be split).
inline constexpr char kBackupFilter[] = "ECU Backups (*.ini)";

// Keeps text, a whole profile, as the newest copy in folder (made when missing). written gets
// the copy's path when one is written.
TBackupResult KeepBackup(const QString &folder, const QDateTime &readAt, const std::string &text,
                         QString *written = nullptr);
