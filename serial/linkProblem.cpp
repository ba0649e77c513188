#include "linkProblem.h"

#ifdef Q_OS_UNIX
#include <QFile>

#include <grp.h>
#include <sys/stat.h>
#endif

QString PortProblemText(TPortProblem problem, const QString &portName, const TDeviceAccess &access)
{
    if (portName.isEmpty())
        return QStringLiteral("No port is chosen. Choose one under Settings, Communications.");
    switch (problem) {
    case ppNone:
        return QStringLiteral("Port %1 is not open.").arg(portName);
    case ppMissing:
        return QStringLiteral("Port %1 does not exist. Plug in the adapter, or choose another "
                              "port under Settings, Communications.")
            .arg(portName);
    case ppBusy:
        return QStringLiteral("Port %1 is in use by another program.").arg(portName);
    case ppDenied: {
#ifdef Q_OS_UNIX
        // Joining a group that may not read and write the device would not help.
        if (!access.GroupMayUse)
            return QStringLiteral("Permission to open %1 is denied, and no group of users may "
                                  "read and write it. Have it given to the dialout group, for "
                                  "example with \"sudo chgrp dialout %1\" and \"sudo chmod "
                                  "g+rw %1\", then add your user to that group.")
                .arg(portName);
        // Serial devices belong to a group (dialout on most systems) whose members may use them.
        const QString &group = access.Group;
        const QString owner = group.isEmpty() ? QStringLiteral("usually dialout") : group;
        const QString name = group.isEmpty() ? QStringLiteral("dialout") : group;
        return QStringLiteral("Permission to open %1 is denied. Add your user to the group that "
                              "owns the device (%2), for example with \"sudo usermod -aG %3 "
                              "$USER\", then log out and in again.")
            .arg(portName, owner, name);
#else
        Q_UNUSED(access);
        return QStringLiteral("Permission to open %1 is denied.").arg(portName);
#endif
    }
    case ppRefused:
        return QStringLiteral("Port %1 refused the line settings.").arg(portName);
    case ppLost:
        return QStringLiteral("The device behind port %1 went away.").arg(portName);
    case ppNotSerial:
        return QStringLiteral("%1 is not a serial port.").arg(portName);
    case ppOther:
        break;
    }
    return QStringLiteral("Port %1 cannot be opened.").arg(portName);
}

TDeviceAccess DeviceAccess(const QString &portName)
{
    TDeviceAccess access;
#ifdef Q_OS_UNIX
    const QString location
        = portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
    struct stat info = {};
    if (::stat(QFile::encodeName(location).constData(), &info) != 0)
        return access;
    if (const group *entry = ::getgrgid(info.st_gid))
        access.Group = QString::fromLocal8Bit(entry->gr_name);
    constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;
    access.GroupMayUse = info.st_gid != 0 && (info.st_mode & kGroupReadWrite) == kGroupReadWrite;
#else
    Q_UNUSED(portName);
#endif
    return access;
}

QString StalledPortText(const QString &portName)
{
    return QStringLiteral("Port %1 takes no more bytes: the adapter, or the radio link behind it, "
                          "has stalled.")
        .arg(portName);
}
