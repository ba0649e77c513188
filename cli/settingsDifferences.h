#pragma once

#include "Ecu.h"

#include <QString>
#include <QStringList>

// The settings the controller holds that differ between two models, one line each:
// "NAME: <leftName> A, <rightName> B". Only what a read of all settings brings back is compared:
// the parameters, the feedback block, the gear ranges slot by slot and the cut durations the read
// asks for.
QStringList SettingDifferences(const TEcu &left, const TEcu &right, const QString &leftName,
                               const QString &rightName);
