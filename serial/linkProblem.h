#pragma once

#include "serialDriver.h"

#include <QString>

// Who may use a device through its group, for a user whom permission was denied.
struct TDeviceAccess
{
    QString Group; // the group owning the device; empty where unknown
    // Its members may read and write the device. Not so for the system's own group (root), which
    // is no one's to join.
    bool GroupMayUse = true;
};

// The reason a port is not open, as the status bar's tip tells it. `access` only matters when
// permission is denied.
QString PortProblemText(TPortProblem problem, const QString &portName,
                        const TDeviceAccess &access = {});

// What the status bar's tip tells while the open port takes no bytes.
QString StalledPortText(const QString &portName);

// The group owning the device behind portName (a name without a folder lives in /dev) and whether
// joining it would let a user open it; an unknown group where the system has none or the device
// is missing.
TDeviceAccess DeviceAccess(const QString &portName);
