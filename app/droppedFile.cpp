#include "droppedFile.h"

#include <QApplication>
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
    // A folder is no profile and no log: refused while it is dragged, as the file dialogs do not
    // offer it either.
    const QString path = urls.front().toLocalFile();
    if (QFileInfo(path).isDir())
        return QString();
    return path;
}

QString AcceptDroppedFile(QDropEvent *event)
{
    // Under an open question the file would land in the middle of what asked it (a calibration
    // run, a transfer's prompt).
    if (QApplication::activeModalWidget() != nullptr
        || !(event->possibleActions() & Qt::CopyAction))
        return QString();
    QString path = DroppedFile(event->mimeData());
    if (path.isEmpty())
        return path;
    // Always a copy: a move accepted (Shift held while dragging) tells the file manager to delete
    // the file.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return path;
}

void OpenAfterDrop(QDropEvent *event, QObject *context, std::function<void(QString)> open)
{
    const QString path = AcceptDroppedFile(event);
    if (path.isEmpty())
        return;
    QTimer::singleShot(0, context, [path, open = std::move(open)] {
        // A question may have opened since the drop.
        if (QApplication::activeModalWidget() == nullptr)
            open(path);
    });
}

bool IsDataLogName(const QString &path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
}
