#include "dataLogFile.h"

#include <QDateTime>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {
const QString kUntitled = QStringLiteral("untitled");
} // namespace

TDataLogFile::~TDataLogFile()
{
    Close();
}

bool TDataLogFile::Open(const QString &path)
{
    Close();
    file_.setFileName(path);
    // NewOnly: two runs started in the same second never share a file.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    if (!WriteLine(std::string(kDataLogHeader)) || !Sync()) {
        file_.close();
        QFile::remove(path);
        return false;
    }
    return true;
}

void TDataLogFile::Close()
{
    if (!file_.isOpen())
        return;
    Sync();
    file_.close();
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
    if (!file_.flush())
        return false;
#ifdef _WIN32
    return _commit(file_.handle()) == 0;
#else
    return ::fsync(file_.handle()) == 0;
#endif
}

QString TDataLogFile::FileName(const QDateTime &when, const QString &profileName)
{
    QString name = profileName.trimmed().isEmpty() ? kUntitled : profileName.trimmed();
    for (QChar &c : name)
        if (c.unicode() < 0x20 || QStringLiteral("\\/:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    return when.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss ")) + name + QStringLiteral(".csv");
}
