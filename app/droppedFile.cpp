#include "droppedFile.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
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

QString AcceptDroppedFile(QDropEvent *event)
{
    QString path = DroppedFile(event->mimeData());
    if (!path.isEmpty())
        event->acceptProposedAction();
    return path;
}

void OpenAfterDrop(QDropEvent *event, QObject *context, std::function<void(QString)> open)
{
    const QString path = AcceptDroppedFile(event);
    if (!path.isEmpty())
        QTimer::singleShot(0, context, [path, open = std::move(open)] { open(path); });
}

bool IsDataLogName(const QString &path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
}
