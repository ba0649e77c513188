#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

constexpr int kStartMs = 10'000;
constexpr int kReplyMs = 5'000;

// Sends one request on the device and returns the reply line (up to its CR).
std::string Ask(const QString &device, const std::string &request, int waitMs = kReplyMs)
{
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return "cannot open";
    termios tio {};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    std::string reply;
    if (::write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
        (void)QTest::qWaitFor(
            [&] {
                char buffer[64];
                ssize_t n;
                while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
                    reply.append(buffer, static_cast<std::size_t>(n));
                return reply.find('\r') != std::string::npos;
            },
            waitMs);
    }
    ::close(fd);
    return reply;
}

QString ReadLine(QProcess &process)
{
    (void)QTest::qWaitFor([&] { return process.canReadLine() || process.waitForReadyRead(50); },
                          kStartMs);
    return QString::fromLocal8Bit(process.readLine()).trimmed();
}

} // namespace

TEST(EcuSimProgram, PrintsTheDeviceFirstServesItAndCleansUpOnTerminate)
{
    namespace fs = std::filesystem;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("ttyECU"));

    QProcess sim;
    sim.start(
        QStringLiteral(ECU_SIM_BINARY),
        {QStringLiteral("--link"), link, QStringLiteral("--version"), QStringLiteral("1.2.3")});
    ASSERT_TRUE(sim.waitForStarted(kStartMs));

    const QString device = ReadLine(sim);
    EXPECT_TRUE(device.startsWith(QStringLiteral("/dev/"))) << device.toStdString();
    EXPECT_EQ(Ask(device, "@V\n"), "@V010203\r");
    ASSERT_TRUE(fs::is_symlink(fs::symlink_status(link.toStdString())));
    EXPECT_EQ(QString::fromStdString(fs::read_symlink(link.toStdString()).string()), device);
    EXPECT_EQ(Ask(link, "@F\n"), "@f0306009614\r");

    // Commands are acknowledged; the end of stdin leaves it running.
    sim.write("3\n");
    EXPECT_EQ(ReadLine(sim), QStringLiteral("holding gear 3"));
    sim.write("bogus\n");
    EXPECT_TRUE(ReadLine(sim).startsWith(QStringLiteral("unknown command")));
    sim.closeWriteChannel();
    EXPECT_FALSE(sim.waitForFinished(300));
    EXPECT_EQ(sim.state(), QProcess::Running);
    EXPECT_EQ(Ask(device, "@V\n"), "@V010203\r");

    sim.terminate(); // SIGTERM
    ASSERT_TRUE(sim.waitForFinished(kStartMs));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link.toStdString()))) << "link removed on exit";
}

TEST(EcuSimProgram, QuitCommandEndsItAndBadOptionsAreRefused)
{
    QProcess sim;
    sim.start(QStringLiteral(ECU_SIM_BINARY), {});
    ASSERT_TRUE(sim.waitForStarted(kStartMs));
    const QString device = ReadLine(sim);
    EXPECT_EQ(Ask(device, "@V\n"), "@V010000\r") << "defaults to the tool's own version";
    sim.write("q\n");
    ASSERT_TRUE(sim.waitForFinished(kStartMs));
    EXPECT_EQ(sim.exitCode(), 0);

    for (const char *bad :
         {"--version=1.x.3", "--delay=-5", "--noise=2", "--noise=nan", "--noise=inf",
          "--noise=-inf", "--replug-after=100", "--unplug-after=-1", "--delay=86400001"}) {
        QProcess refused;
        refused.start(QStringLiteral(ECU_SIM_BINARY), {QString::fromLatin1(bad)});
        ASSERT_TRUE(refused.waitForFinished(kStartMs)) << bad;
        EXPECT_NE(refused.exitCode(), 0) << bad;
        EXPECT_TRUE(refused.readAllStandardOutput().isEmpty()) << bad;
    }

    // Alone, as any program is asked its version, it tells its own instead of a usage error.
    QProcess asked;
    asked.start(QStringLiteral(ECU_SIM_BINARY), {QStringLiteral("--version")});
    ASSERT_TRUE(asked.waitForFinished(kStartMs));
    EXPECT_EQ(asked.exitCode(), 0);
    EXPECT_TRUE(asked.readAllStandardOutput().startsWith("ecu-sim "));
}

TEST(EcuSimProgram, CablePulledAndPluggedByCommandAndByOption)
{
    namespace fs = std::filesystem;
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyECU"));
    const auto target
        = [&] { return QString::fromStdString(fs::read_symlink(link.toStdString()).string()); };

    QProcess sim;
    sim.start(QStringLiteral(ECU_SIM_BINARY), {QStringLiteral("--link"), link});
    ASSERT_TRUE(sim.waitForStarted(kStartMs));
    ASSERT_FALSE(ReadLine(sim).isEmpty());
    sim.write("u\n");
    EXPECT_EQ(ReadLine(sim), QStringLiteral("unplugged"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(link.toStdString())));
    sim.write("p\n");
    const QString plugged = ReadLine(sim);
    ASSERT_TRUE(plugged.startsWith(QStringLiteral("plugged in: /dev/"))) << plugged.toStdString();
    EXPECT_EQ(target(), plugged.mid(12));
    EXPECT_EQ(Ask(link, "@S\n").substr(0, 2), "@s");
    EXPECT_TRUE(ReadLine(sim).startsWith(QStringLiteral("status polled ")));
    sim.write("s 60000\n");
    EXPECT_EQ(ReadLine(sim), QStringLiteral("silent for 60000 ms"));
    EXPECT_EQ(Ask(link, "@V\n", 200), "");
    // A plug-in time given while the cable is out still brings it back.
    sim.write("s 0\nu\nu 50\n");
    EXPECT_EQ(ReadLine(sim), QStringLiteral("answering again"));
    EXPECT_EQ(ReadLine(sim), QStringLiteral("unplugged"));
    EXPECT_EQ(ReadLine(sim), QStringLiteral("already unplugged; plugging in again after 50 ms"));
    EXPECT_TRUE(ReadLine(sim).startsWith(QStringLiteral("plugged in: /dev/")));
    EXPECT_EQ(Ask(link, "@V\n"), "@V010000\r");
    sim.write("q\n");
    ASSERT_TRUE(sim.waitForFinished(kStartMs));

    QProcess timed;
    timed.start(QStringLiteral(ECU_SIM_BINARY),
                {QStringLiteral("--link"), link, QStringLiteral("--unplug-after=0"),
                 QStringLiteral("--replug-after=50")});
    ASSERT_TRUE(timed.waitForStarted(kStartMs));
    ASSERT_FALSE(ReadLine(timed).isEmpty());
    EXPECT_EQ(ReadLine(timed), QStringLiteral("unplugged; plugging in again after 50 ms"));
    EXPECT_TRUE(ReadLine(timed).startsWith(QStringLiteral("plugged in: /dev/")));
    EXPECT_EQ(Ask(link, "@V\n"), "@V010000\r");
    // Its terminal closed: it ends as on SIGTERM, and takes its link along.
    ::kill(static_cast<pid_t>(timed.processId()), SIGHUP);
    ASSERT_TRUE(timed.waitForFinished(kStartMs));
    EXPECT_EQ(timed.exitStatus(), QProcess::NormalExit);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link.toStdString())));
}
