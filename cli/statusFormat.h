#pragma once

#include "encdec.h"

#include <QDateTime>
#include <QString>

// One status reply as monitor prints it: local time, barrel angle, gear letter, analogue input
// and the four named status bits.
QString StatusLine(const QDateTime &when, const TQV3318MessageRec &status);
