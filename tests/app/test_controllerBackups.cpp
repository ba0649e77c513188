// Copies of settings about to be lost: one per new set of settings, never over another copy, in
// time order by name whatever their kinds.

#include "controllerBackups.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

QByteArray Read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(ControllerBackups, ACopyPerNewSettingsNeverOverAnother)
{
    QTemporaryDir root;
    const QString folder = root.filePath("app/backups"); // made with its parent
    const QDateTime at(QDate(2026, 12, 11), QTime(14, 2, 11));
    const std::string first = "[vehicle]\nfwdgears=3\n";
    const std::string second = "[vehicle]\nfwdgears=4\n";
    constexpr TBackupKind read = TBackupKind::Read;
    constexpr TBackupKind unsaved = TBackupKind::UnsavedBeforeRead;

    QString written;
    EXPECT_EQ(KeepBackup(folder, at, read, first, &written), TBackupResult::Written);
    EXPECT_EQ(written, folder + "/2026-12-11 14-02-11 read from ECU.ini");
    EXPECT_EQ(Read(written).toStdString(), first);

    // The same settings again, even hours later and of the other kind: the newest copy has them.
    written.clear();
    EXPECT_EQ(KeepBackup(folder, at.addSecs(7200), unsaved, first, &written),
              TBackupResult::Unchanged);
    EXPECT_TRUE(written.isEmpty());

    // New settings within the same second, of either kind, get a name of their own that sorts
    // after the first; then the first settings again are new against that newest copy.
    EXPECT_EQ(KeepBackup(folder, at, unsaved, second, &written), TBackupResult::Written);
    EXPECT_EQ(written, folder + "/2026-12-11 14-02-11-2 unsaved before read.ini");
    EXPECT_EQ(KeepBackup(folder, at, read, first, &written), TBackupResult::Written);
    EXPECT_EQ(KeepBackup(folder, at.addSecs(1), read, second, &written), TBackupResult::Written);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name),
              (QStringList {"2026-12-11 14-02-11 read from ECU.ini",
                            "2026-12-11 14-02-11-2 unsaved before read.ini",
                            "2026-12-11 14-02-11-3 read from ECU.ini",
                            "2026-12-11 14-02-12 read from ECU.ini"}));
    EXPECT_EQ(Read(folder + "/2026-12-11 14-02-11 read from ECU.ini").toStdString(), first)
        << "an earlier copy is never written over";

    // A plain file where the folder would be: no copy, and the file is left alone.
    const QString blocked = root.filePath("blocked");
    QFile file(blocked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(KeepBackup(blocked, at, read, first), TBackupResult::Failed);
    EXPECT_EQ(QFileInfo(blocked).size(), 0);
}

// Two programs reading their controllers in the same second: each copy gets its own file.
TEST(ControllerBackups, CopiesKeptAtOnceByTwoProgramsAreAllKept)
{
    QTemporaryDir root;
    const QString folder = root.path();
    const QDateTime at(QDate(2026, 12, 11), QTime(14, 2, 11));
    constexpr int kCopies = 40;
    const auto keep = [&](char program) {
        for (int i = 0; i < kCopies; ++i)
            EXPECT_EQ(KeepBackup(folder, at, TBackupKind::Read,
                                 std::string("[vehicle]\n") + program + std::to_string(i) + '\n'),
                      TBackupResult::Written);
    };
    std::unique_ptr<QThread> other(QThread::create(keep, 'b'));
    other->start();
    keep('a');
    other->wait();
    QSet<QByteArray> texts;
    for (const QString &name : QDir(folder).entryList(QDir::Files))
        texts.insert(Read(folder + '/' + name));
    EXPECT_EQ(texts.size(), 2 * kCopies);
}
