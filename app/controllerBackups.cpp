#include "controllerBackups.h"

#include "diskFile.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kBackupSuffix = QStringLiteral(" read from ECU.ini");

} // namespace

TBackupResult KeepBackup(const QString &folder, const QDateTime &readAt, const std::string &text,
                         QString *written)
{
    const QDir dir(folder);
    // The time leads the name, so the last in name order is the newest.
    const QStringList copies = dir.entryList({QStringLiteral("*") + kBackupSuffix},
                                             QDir::Files | QDir::Readable, QDir::Name);
    if (!copies.isEmpty()) {
        std::string newest;
        if (ReadDiskFile(dir.filePath(copies.last()).toStdString(), newest) == TDiskRead::Loaded
            && newest == text)
            return TBackupResult::Unchanged;
    }
    if (!QDir().mkpath(folder))
        return TBackupResult::Failed;
    // Never over an earlier copy: two reads within one second get "-2", "-3", which still sort
    // after the first.
    const QString stamp = readAt.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    QString path = dir.filePath(stamp + kBackupSuffix);
    for (int n = 2; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++n)
        path = dir.filePath(stamp + QStringLiteral("-%1").arg(n) + kBackupSuffix);
    if (!SaveDiskFile(path.toStdString(), text))
        return TBackupResult::Failed;
    if (written)
        *written = path;
    return TBackupResult::Written;
}
