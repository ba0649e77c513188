// link-floor: the least a Qt program pays for the controller's traffic. It keeps the tool's
// timers (a 50 ms receive poll, one line every 100 ms, a 1500 ms watchdog) and its traffic on a
// serial port (a version request until the first reply, then status requests), and does nothing
// with what it receives beyond finding the line ends. The soak run measures it beside the tool.

#include <QCoreApplication>
#include <QSerialPort>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int kPollMs = 50;
constexpr int kSendMs = 100;
constexpr int kWatchdogMs = 1500;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: link-floor DEVICE\n");
        return 2;
    }
    QSerialPort port(QString::fromLocal8Bit(argv[1]));
    port.setBaudRate(QSerialPort::Baud19200);
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "link-floor: cannot open %s\n", argv[1]);
        return 1;
    }
    bool answered = false;
    int silentTicks = 0;
    long long lines = 0;

    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &port, [&] {
        const QByteArray bytes = port.readAll();
        const auto ends = bytes.count('\r');
        if (ends > 0) {
            answered = true;
            silentTicks = 0;
            lines += ends;
        }
    });
    QTimer send;
    QObject::connect(&send, &QTimer::timeout, &port,
                     [&] { port.write(answered ? "@S\n" : "@V\n"); });
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, &port, [&] {
        if (++silentTicks >= 2)
            answered = false;
    });
    poll.start(kPollMs);
    send.start(kSendMs);
    watchdog.start(kWatchdogMs);
    const int result = QCoreApplication::exec();
    std::printf("%lld lines\n", lines);
    return result;
}
