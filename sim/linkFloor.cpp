// link-floor: the least a Qt program pays for the controller's traffic. It keeps the tool's
// timers (a 50 ms receive poll, one line every 100 ms, a 1500 ms watchdog) and its traffic on a
// serial port (a version request until the first reply, then status requests), and does nothing
// with what it receives beyond finding the line ends. The soak run measures it beside the tool.
//
// With --show it is a widget program that shows one number, the count of lines received, in a
// label renewed with every reply: the least a program pays that shows what it receives.

#include <QApplication>
#include <QLabel>
#include <QSerialPort>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr int kPollMs = 50;
constexpr int kSendMs = 100;
constexpr int kWatchdogMs = 1500;

} // namespace

int main(int argc, char *argv[])
{
    const bool show = argc == 3 && std::strcmp(argv[1], "--show") == 0;
    // A device never starts with '-': "--help" or a mistyped option gets the usage, not an
    // attempt to open it.
    if ((argc != 2 && !show) || argv[argc - 1][0] == '-') {
        const bool asked
            = argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
        std::fprintf(asked ? stdout : stderr, "usage: link-floor [--show] DEVICE\n");
        return asked ? 0 : 2;
    }
    const char *device = argv[argc - 1];
    // Only the shown variant pays for a graphical application.
    std::unique_ptr<QCoreApplication> app = show ? std::make_unique<QApplication>(argc, argv)
                                                 : std::make_unique<QCoreApplication>(argc, argv);
    std::unique_ptr<QLabel> label;
    if (show) {
        label = std::make_unique<QLabel>(QStringLiteral("0"));
        label->resize(100, 28);
        label->show();
    }
    QSerialPort port(QString::fromLocal8Bit(device));
    port.setBaudRate(QSerialPort::Baud19200);
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "link-floor: cannot open %s\n", device);
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
            if (label)
                label->setText(QString::number(lines));
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
