#include "controllerBackups.h"

#include "diskFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString SuffixOf(TBackupKind kind)
{
    return kind == TBackupKind::Read ? QStringLiteral(" read from ECU.ini")
                                     : QStringLiteral(" unsaved before read.ini");
}

} // namespace

bool IsBackupPath(const QString &folder, const QString &path)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return !canonical.isEmpty() && QFileInfo(path).canonicalPath() == canonical;
}

TBackupResult KeepBackup(const QString &folder, const QDateTime &at, TBackupKind kind,
                         const std::string &text, QString *written)
{
    const QDir dir(folder);
    // The time leads the name, so the last in name order is the newest.
    const QStringList copies
        = dir.entryList({QLatin1Char('*') + SuffixOf(TBackupKind::Read),
                         QLatin1Char('*') + SuffixOf(TBackupKind::UnsavedBeforeRead)},
                        QDir::Files | QDir::Readable, QDir::Name);
    if (!copies.isEmpty()) {
        std::string newest;
        if (ReadDiskFile(dir.filePath(copies.last()).toStdString(), newest) == TDiskRead::Loaded
            && newest == text)
            return TBackupResult::Unchanged;
    }
    if (!QDir().mkpath(folder))
        return TBackupResult::Failed;
    // Never over an earlier copy, and in time order whatever the kinds: a second copy within one
    // second gets "-2", a third "-3", which sort after the first.
    const QString second = at.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    QString stamp = second;
    const auto taken = [&dir](const QString &prefix) {
        return !dir.entryList({prefix + QStringLiteral(" *")},
                              QDir::AllEntries | QDir::System | QDir::Hidden)
                    .isEmpty();
    };
    // The name is claimed by making the file, which fails where it exists: another program
    // keeping a copy at the same moment must not have it written over.
    QString path;
    for (int n = 2;; ++n) {
        if (!taken(stamp)) {
            path = dir.filePath(stamp + SuffixOf(kind));
            QFile claim(path);
            if (claim.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                break;
            if (!claim.exists())
                return TBackupResult::Failed;
        }
        stamp = second + QStringLiteral("-%1").arg(n);
    }
    if (!SaveDiskFile(path.toStdString(), text)) {
        QFile::remove(path);
        return TBackupResult::Failed;
    }
    if (written)
        *written = path;
    return TBackupResult::Written;
}
