#pragma once

#include <QString>

#include <functional>

class QDropEvent;
class QMimeData;
class QObject;

// The one local file a drag carries, or empty: a drag of several files, of a web address or of
// plain text opens nothing.
QString DroppedFile(const QMimeData *data);

// Accepts, as a copy, a drag (enter, move) or a drop that carries one local file while no question
// is open; its path, or empty.
QString AcceptDroppedFile(QDropEvent *event);

// Accepts a drop of one local file and hands its path to open once the drop has ended, with
// context alive: the program the file came from is not held up by a long read or a question.
void OpenAfterDrop(QDropEvent *event, QObject *context, std::function<void(QString)> open);

// True for a name a data log has (".csv"): dropped on the main window it opens in the Live Data
// window rather than as a profile.
bool IsDataLogName(const QString &path);
