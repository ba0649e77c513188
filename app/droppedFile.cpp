#include "droppedFile.h"

#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

QString DroppedFile(const QMimeData *data)
{
    if (data == nullptr || !data->hasUrls())
        return QString();
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return QString();
    return urls.front().toLocalFile();
}

bool IsDataLogName(const QString &path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
}
