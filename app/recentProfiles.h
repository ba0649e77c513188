#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The profiles opened or saved most recently, newest first, kept in the settings store beside
// the stored port (value "recentprofiles").
inline constexpr int kRecentProfilesMax = 8;

// Whether two paths name the same file, compared as the platform's file system does.
bool SameProfilePath(const QString &a, const QString &b);
// The list with path in front, an earlier entry of the same file removed, cut to the maximum.
QStringList WithRecentProfile(const QStringList &list, const QString &path);
// The entries whose file still exists (and that are files, not folders), order kept.
QStringList ExistingProfiles(const QStringList &list,
                             const std::function<bool(const QString &)> &exists);
// The entries worth keeping in the store: those whose file exists, and those whose folder is away
// or empty (a USB stick pulled, a share not mounted on its mount point), which come back with it.
// A file gone from a folder that holds others was deleted or moved.
QStringList KeptProfiles(const QStringList &list,
                         const std::function<bool(const QString &)> &exists);

QStringList ReadRecentProfiles();
// True when the list reached the store.
bool WriteRecentProfiles(const QStringList &list);
