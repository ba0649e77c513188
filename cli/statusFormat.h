#pragma once

#include "encdec.h"

#include <QDateTime>
#include <QString>

// One status reply as monitor prints it: local time, barrel angle, gear letter, analogue input
// and the four named status bits.
QString StatusLine(const QDateTime &when, const TQV3318MessageRec &status);

// The data log's CSV columns, and one status reply as a row of them: wall-clock time (ISO 8601
// with milliseconds), milliseconds since the start of the run, raw reading, angle, gear index and
// letter, analogue input, status bits in hex and the four named bits as 0/1.
QString CsvHeader();
QString CsvRow(const QDateTime &when, qint64 msSinceStart, const TQV3318MessageRec &status);
