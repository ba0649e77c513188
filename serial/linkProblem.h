#pragma once

#include "serialDriver.h"

#include <QString>

// The reason a port is not open, as the status bar's tip tells it. `group` is the group that owns
// the device where the system has one; it only matters when permission is denied.
QString PortProblemText(TPortProblem problem, const QString &portName, const QString &group);

// The group owning the device behind portName (a name without a folder lives in /dev); empty
// where the system has none or the device is missing.
QString DeviceGroup(const QString &portName);
