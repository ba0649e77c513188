#include "recentProfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString kOrganization = QStringLiteral("Kestrova");
const QString kApplication = QStringLiteral("Orbanel");
const QString kRecentValue = QStringLiteral("recentprofiles");

// File names compare as the platform's file system does.
#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif

QString Normalised(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

bool SameProfilePath(const QString &a, const QString &b)
{
    if (Normalised(a).compare(Normalised(b), kPathCase) == 0)
        return true;
    // One file reached through a linked folder, or through a link of its own: saved by one name,
    // a comparison opened by the other must be read again, and the recent list holds it once.
    const QString real = QFileInfo(a).canonicalFilePath();
    return !real.isEmpty() && real.compare(QFileInfo(b).canonicalFilePath(), kPathCase) == 0;
}

QStringList WithRecentProfile(const QStringList &list, const QString &path)
{
    QStringList result {Normalised(path)};
    for (const QString &old : list) {
        if (result.size() >= kRecentProfilesMax)
            break;
        if (old.isEmpty() || SameProfilePath(old, path))
            continue;
        result << old;
    }
    return result;
}

QStringList ExistingProfiles(const QStringList &list,
                             const std::function<bool(const QString &)> &exists)
{
    QStringList result;
    for (const QString &path : list)
        if (!path.isEmpty() && exists(path))
            result << path;
    return result;
}

QStringList KeptProfiles(const QStringList &list,
                         const std::function<bool(const QString &)> &exists)
{
    QStringList result;
    for (const QString &path : list) {
        if (path.isEmpty())
            continue;
        // An empty folder is most often a mount point with nothing mounted on it.
        const QDir folder = QFileInfo(path).absoluteDir();
        if (exists(path) || !folder.exists()
            || folder.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden
                              | QDir::System))
            result << path;
    }
    return result;
}

QStringList ReadRecentProfiles()
{
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kOrganization,
                             kApplication);
    // A list edited by hand may be longer than the menu.
    QStringList list = settings.value(kRecentValue).toStringList();
    if (list.size() > kRecentProfilesMax)
        list = list.mid(0, kRecentProfilesMax);
    return list;
}

bool WriteRecentProfiles(const QStringList &list)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kOrganization, kApplication);
    settings.setValue(kRecentValue, list);
    settings.sync();
    return settings.status() == QSettings::NoError;
}
