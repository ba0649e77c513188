#pragma once

#include <QString>

class QMimeData;

// The one local file a drag carries, or empty: a drag of several files, of a web address or of
// plain text opens nothing.
QString DroppedFile(const QMimeData *data);

// True for a name a data log has (".csv"): dropped on the main window it opens in the Live Data
// window rather than as a profile.
bool IsDataLogName(const QString &path);
