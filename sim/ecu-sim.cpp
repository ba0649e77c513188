// ecu-sim: a simulated gear-shift controller on a pseudo-terminal, for running the tool without
// the hardware. The first line on stdout is the device to open; commands on stdin steer the
// gearbox.

#include "simPtyServer.h"

#include "orbanel_version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

namespace {

constexpr int kControllerBaud = 19200;
constexpr int kStdinChunk = 256;
constexpr int kForwardGears = 7;
constexpr int kExitUsage = 2;
constexpr int kMaxPlugMs = 24 * 60 * 60 * 1000;

int signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

void Print(const std::string &line)
{
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

std::optional<TSimVersion> ParseVersion(const QString &text)
{
    const QStringList parts = text.split('.');
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    int numbers[3] = {0, 0, 0};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        bool ok = false;
        numbers[i] = parts[i].toInt(&ok);
        if (!ok || numbers[i] < 0 || numbers[i] > 255)
            return std::nullopt;
    }
    return TSimVersion {numbers[0], numbers[1], numbers[2]};
}

// A time in milliseconds, 0 up to a day.
std::optional<int> ParseMs(const QString &text)
{
    bool ok = false;
    const int ms = text.toInt(&ok);
    if (!ok || ms < 0 || ms > kMaxPlugMs)
        return std::nullopt;
    return ms;
}

// The cable: pulled and plugged back by typed commands, options and timers.
class TCable
{
public:
    explicit TCable(TSimPtyServer &server) : server_(server)
    {
        replug_.setSingleShot(true);
        QObject::connect(&replug_, &QTimer::timeout, &replug_, [this] { Print(PlugIn()); });
        QObject::connect(
            &server_, &TSimPtyServer::StatusPolledAfterReplug, &replug_,
            [](qint64 ms) { Print("status polled " + std::to_string(ms) + " ms after plug-in"); });
    }

    // Pulls the cable; plugs it back in after ms unless that is empty.
    std::string Unplug(std::optional<int> ms)
    {
        replug_.stop();
        // Pulled already: a time given now still plugs it back in then.
        const std::string done = server_.Unplug() ? "unplugged" : "already unplugged";
        if (!ms)
            return done;
        replug_.start(*ms);
        return done + "; plugging in again after " + std::to_string(*ms) + " ms";
    }

    std::string PlugIn()
    {
        replug_.stop();
        if (server_.IsOpen())
            return "already plugged in: " + server_.DevicePath().toStdString();
        if (!server_.Replug())
            return "cannot open a pseudo-terminal";
        return "plugged in: " + server_.DevicePath().toStdString();
    }

private:
    TSimPtyServer &server_;
    QTimer replug_;
};

// One command typed on stdin; returns the acknowledgement.
std::string RunCommand(const std::string &typed, TSimPtyServer &server, TCable &cable)
{
    TEcuSimulator &sim = server.Simulator();
    const QStringList words
        = QString::fromStdString(typed).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const std::string command = words.value(0).toStdString();
    const QString argument = words.value(1);
    if (command == "q" || command == "quit") {
        QCoreApplication::quit();
        return "quitting";
    }
    if (command == "u" || command == "unplug") {
        std::optional<int> ms;
        if (!argument.isEmpty() && !(ms = ParseMs(argument)))
            return "unplug wants a time in ms to plug in again, or nothing";
        return cable.Unplug(ms);
    }
    if (command == "p" || command == "plug")
        return cable.PlugIn();
    if (command == "s" || command == "silent") {
        const std::optional<int> ms = ParseMs(argument);
        if (!ms)
            return "silent wants a time in ms (0 answers again)";
        server.SilenceFor(*ms);
        return *ms > 0 ? "silent for " + std::to_string(*ms) + " ms" : "answering again";
    }
    if (command == "w" || command == "walk") {
        sim.ResumeWalk();
        return "walking through the gears";
    }
    int index = -1;
    std::string name;
    if (command == "r") {
        index = 0;
        name = "reverse";
    } else if (command == "n") {
        index = 1;
        name = "neutral";
    } else if (command.size() == 1 && command[0] >= '1' && command[0] < '1' + kForwardGears) {
        index = command[0] - '1' + 2;
        name = "gear " + command;
    }
    if (index < 0)
        return "unknown command '" + typed
            + "' (r, n, 1..7 hold a gear; w walks; u [MS] unplugs; p plugs in; s MS is silent; "
              "q quits)";
    if (!sim.HoldGear(index))
        return "no range for " + name + "; still " + (sim.Walking() ? "walking" : "holding");
    return "holding " + name;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ecu-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated gear-shift controller on a pseudo-terminal. Prints the device path first.\n"
        "Commands on stdin: r, n, 1..7 hold that gear; w (walk) resumes shifting;\n"
        "u [MS] unplugs the cable (and plugs it in again after MS); p plugs it in;\n"
        "s MS answers nothing for MS; q quits."));
    parser.addHelpOption();
    const QCommandLineOption linkOption(QStringLiteral("link"),
                                        QStringLiteral("Place a symbolic link to the device."),
                                        QStringLiteral("PATH"));
    const QCommandLineOption versionOption(QStringLiteral("version"),
                                           QStringLiteral("Version to report (default %1.%2.0).")
                                               .arg(ORBANEL_VERSION_MAJOR)
                                               .arg(ORBANEL_VERSION_MINOR),
                                           QStringLiteral("X.Y.Z"));
    const QCommandLineOption delayOption(QStringLiteral("delay"),
                                         QStringLiteral("Extra delay before every reply."),
                                         QStringLiteral("MS"));
    const QCommandLineOption silentOption(QStringLiteral("silent-after"),
                                          QStringLiteral("Stop replying after N lines."),
                                          QStringLiteral("N"));
    const QCommandLineOption noiseOption(
        QStringLiteral("noise"),
        QStringLiteral("Probability of corrupting or dropping each reply character."),
        QStringLiteral("P"));
    const QCommandLineOption seedOption(
        QStringLiteral("seed"), QStringLiteral("Seed of the line noise."), QStringLiteral("N"));
    const QCommandLineOption unplugOption(
        QStringLiteral("unplug-after"),
        QStringLiteral("Unplug the cable MS after the start (the link disappears)."),
        QStringLiteral("MS"));
    const QCommandLineOption replugOption(
        QStringLiteral("replug-after"),
        QStringLiteral("Plug it in again MS after that (on a new device)."), QStringLiteral("MS"));
    parser.addOptions({linkOption, versionOption, delayOption, silentOption, noiseOption,
                       seedOption, unplugOption, replugOption});
    // "--version" takes the version to report; alone, as a user asks any program its version,
    // it prints the simulator's own rather than failing for a missing value.
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 2 && arguments.at(1) == QStringLiteral("--version")) {
        std::printf("ecu-sim %s (--version X.Y.Z sets the version it reports)\n",
                    ORBANEL_VERSION_STRING);
        return 0;
    }
    parser.process(app);

    TSimPtyOptions options;
    options.LineBaud = kControllerBaud;
    options.Version = TSimVersion {ORBANEL_VERSION_MAJOR, ORBANEL_VERSION_MINOR, 0};
    bool ok = true;
    const auto fail = [](const QString &message) {
        std::fprintf(stderr, "ecu-sim: %s\n", qPrintable(message));
        return kExitUsage;
    };
    if (parser.isSet(versionOption)) {
        options.Version = ParseVersion(parser.value(versionOption));
        if (!options.Version)
            return fail(QStringLiteral("--version wants X.Y.Z with numbers 0..255"));
    }
    if (parser.isSet(delayOption)) {
        // Up to a day, as the other times: the reply's due time must not overflow.
        const std::optional<int> delay = ParseMs(parser.value(delayOption));
        if (!delay)
            return fail(QStringLiteral("--delay wants milliseconds"));
        options.ReplyDelayMs = *delay;
    }
    if (parser.isSet(silentOption)) {
        options.SilentAfterLines = parser.value(silentOption).toInt(&ok);
        if (!ok || options.SilentAfterLines < -1)
            return fail(QStringLiteral("--silent-after wants a line count"));
    }
    if (parser.isSet(noiseOption)) {
        options.NoiseProbability = parser.value(noiseOption).toDouble(&ok);
        // "nan" and "inf" read as numbers, and a NaN passes every comparison below.
        if (!ok || !std::isfinite(options.NoiseProbability) || options.NoiseProbability < 0.0
            || options.NoiseProbability > 1.0)
            return fail(QStringLiteral("--noise wants a probability 0..1"));
    }
    if (parser.isSet(seedOption)) {
        options.NoiseSeed = parser.value(seedOption).toUInt(&ok);
        if (!ok)
            return fail(QStringLiteral("--seed wants a number"));
    }

    std::optional<int> unplugAfter;
    std::optional<int> replugAfter;
    if (parser.isSet(unplugOption) && !(unplugAfter = ParseMs(parser.value(unplugOption))))
        return fail(QStringLiteral("--unplug-after wants milliseconds"));
    if (parser.isSet(replugOption)) {
        replugAfter = ParseMs(parser.value(replugOption));
        if (!replugAfter || !unplugAfter)
            return fail(QStringLiteral("--replug-after wants milliseconds and --unplug-after"));
    }

    TSimPtyServer server(options);
    if (!server.IsOpen()) {
        std::fprintf(stderr, "ecu-sim: cannot open a pseudo-terminal\n");
        return 1;
    }
    if (parser.isSet(linkOption) && !server.CreateLink(parser.value(linkOption))) {
        std::fprintf(stderr, "ecu-sim: cannot create the link %s\n",
                     qPrintable(parser.value(linkOption)));
        return 1;
    }
    // SIGINT, SIGTERM and SIGHUP (its terminal closed) end the event loop, so the link is
    // removed on the way out.
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return 1;
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    // A reader of our stdout that went away must not end the simulator, nor a terminal it runs in
    // the background of: a read from it then fails instead of stopping the simulator.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGTTIN, SIG_IGN);
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app,
                     [] { QCoreApplication::quit(); });

    Print(server.DevicePath().toStdString());

    TCable cable(server);
    if (unplugAfter)
        QTimer::singleShot(*unplugAfter, &app,
                           [&cable, replugAfter] { Print(cable.Unplug(replugAfter)); });

    // Commands on stdin. Its end does not quit: scripts run the simulator in the background.
    std::optional<QSocketNotifier> input;
    std::string pendingInput;
    if (fcntl(STDIN_FILENO, F_GETFD) != -1) {
        input.emplace(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(&*input, &QSocketNotifier::activated, &app, [&] {
            char buffer[kStdinChunk];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                if (n < 0 && errno == EIO)
                    Print("stdin is a terminal this runs in the background of: commands are not "
                          "read; run it in the foreground to type them");
                if (n == 0 || errno != EINTR)
                    input->setEnabled(false);
                return;
            }
            pendingInput.append(buffer, static_cast<std::size_t>(n));
            std::size_t end;
            while ((end = pendingInput.find('\n')) != std::string::npos) {
                std::string line = pendingInput.substr(0, end);
                pendingInput.erase(0, end + 1);
                while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
                    line.pop_back();
                while (!line.empty() && line.front() == ' ')
                    line.erase(0, 1);
                if (!line.empty())
                    Print(RunCommand(line, server, cable));
            }
        });
    }

    const int result = QCoreApplication::exec();
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    return result;
}
