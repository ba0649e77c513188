#include "dataLogFile.h"

#include <QDateTime>
#include <QFileInfo>

#ifdef _WIN32
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
const QString kUntitled = QStringLiteral("untitled");

int DuplicateDescriptor(int descriptor)
{
#ifdef _WIN32
    return _dup(descriptor);
#else
    return ::dup(descriptor);
#endif
}

void CloseDescriptor(int descriptor)
{
#ifdef _WIN32
    _close(descriptor);
#else
    ::close(descriptor);
#endif
}
} // namespace

TDataLogFile::~TDataLogFile()
{
    Close();
}

bool TDataLogFile::Open(const QString &path)
{
    // The owner closed (and heard about) any log before; this only ends a file left open.
    static_cast<void>(Close());
    file_.setFileName(path);
    path_ = path;
    // NewOnly: an existing file is never written over.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    // The header goes to the disk on a worker too: a slow stick holds up no click. How that
    // went is taken with the next rows' sync, like theirs.
    if (!WriteLine(std::string(kDataLogHeader)) || !StartSync()) {
        file_.close();
        QFile::remove(path);
        return false;
    }
    return true;
}

bool TDataLogFile::Close()
{
    bool synced = !running_.valid() || running_.get();
    if (!file_.isOpen())
        return synced;
    synced = Sync() && synced;
    file_.close();
    return synced;
}

std::future<bool> TDataLogFile::CloseInBackground()
{
    std::future<bool> previous = std::move(running_);
    if (!file_.isOpen()) {
        const bool synced = !previous.valid() || previous.get();
        std::promise<bool> done;
        done.set_value(synced);
        return done.get_future();
    }
    const bool flushed = file_.flush();
    const int copy = DuplicateDescriptor(file_.handle());
    file_.close();
    unsynced_ = false;
    return std::async(
        std::launch::async,
        [previous = std::move(previous), sync = SyncDescriptor, copy, flushed]() mutable {
            bool synced = flushed && (!previous.valid() || previous.get());
            if (copy < 0)
                return false;
            synced = sync(copy) && synced;
            CloseDescriptor(copy);
            return synced;
        });
}

bool TDataLogFile::WriteSample(std::string_view time, const TLogSample &sample)
{
    return WriteLine(FormatSampleRow(time, sample));
}

bool TDataLogFile::WriteMarker(std::string_view time, std::int64_t ms, std::string_view event)
{
    return WriteLine(FormatMarkerRow(time, ms, event));
}

bool TDataLogFile::WriteLine(const std::string &line)
{
    if (!file_.isOpen())
        return false;
    const std::string text = line + "\n";
    if (file_.write(text.data(), static_cast<qint64>(text.size()))
            != static_cast<qint64>(text.size())
        || !file_.flush())
        return false;
    unsynced_ = true;
    return true;
}

bool TDataLogFile::Sync()
{
    if (!file_.isOpen())
        return false;
    unsynced_ = false;
    return file_.flush() && SyncDescriptor(file_.handle());
}

bool TDataLogFile::StartSync()
{
    if (!file_.isOpen() || running_.valid())
        return false;
    unsynced_ = false;
    if (!file_.flush())
        return false;
    const int copy = DuplicateDescriptor(file_.handle());
    if (copy < 0)
        return false;
    // The worker's own descriptor stays valid whatever happens to the file meanwhile.
    running_ = std::async(std::launch::async, [sync = SyncDescriptor, copy] {
        const bool done = sync(copy);
        CloseDescriptor(copy);
        return done;
    });
    return true;
}

TDataLogFile::TSync TDataLogFile::PollSync()
{
    if (!running_.valid())
        return TSync::Idle;
    if (running_.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return TSync::Running;
    return running_.get() ? TSync::Done : TSync::Failed;
}

bool TDataLogFile::Deleted() const
{
#ifdef _WIN32
    // An open file cannot be deleted there.
    return false;
#else
    struct stat info
    {
    };
    return file_.isOpen() && ::fstat(file_.handle(), &info) == 0 && info.st_nlink == 0;
#endif
}

bool TDataLogFile::FollowRename()
{
#ifdef __linux__
    struct stat open
    {
    };
    struct stat named
    {
    };
    if (!file_.isOpen() || ::fstat(file_.handle(), &open) != 0 || open.st_nlink == 0)
        return false;
    if (::stat(QFile::encodeName(path_).constData(), &named) == 0 && named.st_dev == open.st_dev
        && named.st_ino == open.st_ino)
        return false;
    // The kernel keeps the open file's present name.
    const QString now
        = QFileInfo(QStringLiteral("/proc/self/fd/%1").arg(file_.handle())).symLinkTarget();
    if (now.isEmpty() || now == path_)
        return false;
    path_ = now;
    return true;
#else
    return false;
#endif
}

bool TDataLogFile::SyncToDisk(int descriptor)
{
#ifdef _WIN32
    return _commit(descriptor) == 0;
#else
    return ::fsync(descriptor) == 0;
#endif
}

bool TDataLogFile::OpenNew(const QString &folder, const QDateTime &when, const QString &profileName)
{
    for (int copy = 1; copy <= kMaxCopies; ++copy) {
        const QString path = folder + QLatin1Char('/') + FileName(when, profileName, copy);
        if (QFileInfo::exists(path))
            continue;
        if (Open(path))
            return true;
        // Another program may have taken the name between the look and the open.
        if (!QFileInfo::exists(path))
            return false;
    }
    return false;
}

QString TDataLogFile::FileName(const QDateTime &when, const QString &profileName, int copy)
{
    QString name = profileName.trimmed().isEmpty() ? kUntitled : profileName.trimmed();
    for (QChar &c : name)
        if (c.unicode() < 0x20 || QStringLiteral("\\/:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    // File systems take about 255 bytes in a name; the date and copy number need their share.
    while (name.toUtf8().size() > kMaxProfileNameBytes)
        name.chop(name.size() >= 2 && name.back().isLowSurrogate() ? 2 : 1);
    if (copy > 1)
        name += QStringLiteral(" (%1)").arg(copy);
    return when.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss ")) + name + QStringLiteral(".csv");
}
