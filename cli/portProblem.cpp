#include "portProblem.h"

#include <QSerialPort>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace {

const QString kMissing = QStringLiteral("the port does not exist");
const QString kBusy = QStringLiteral("the port is in use by another program");
const QString kDenied = QStringLiteral(
    "permission denied; the user must be a member of the group that owns the device "
    "(usually dialout)");

} // namespace

QString PortOpenProblem(const QString &portName)
{
#ifdef Q_OS_UNIX
    // The serial layer's own name rule: a name that is not a path lives in /dev.
    const bool isPath = portName.startsWith(QLatin1Char('/'))
        || portName.startsWith(QLatin1String("./")) || portName.startsWith(QLatin1String("../"));
    const QString path = isPath ? portName : QStringLiteral("/dev/") + portName;
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        switch (errno) {
        case ENOENT:
        case ENOTDIR:
        case ENXIO:
        case ENODEV:
            return kMissing;
        case EACCES:
        case EPERM:
            return kDenied;
        case EBUSY:
            return kBusy;
        default:
            return QString::fromLocal8Bit(::strerror(errno));
        }
    }
    // The driver holds an exclusive lock on the port it opens; another holder means busy.
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    if (locked)
        return kBusy;
    return QStringLiteral("the port refused the line settings");
#else
    QSerialPort port(portName);
    if (port.open(QIODevice::ReadWrite)) {
        port.close();
        return QStringLiteral("the port refused the line settings");
    }
    switch (port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return kMissing;
    case QSerialPort::PermissionError:
        return kBusy;
    default:
        return port.errorString();
    }
#endif
}
