#include "simPtyServer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr int kReplyBoundMs = 500; // generous: the suite also runs loaded and under sanitizers
constexpr int kWaitMs = 5000;

// The tool's end of the line: the slave device opened like a serial port.
class TLineEnd
{
public:
    explicit TLineEnd(const QString &path)
    {
        fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ >= 0) {
            termios tio {};
            tcgetattr(fd_, &tio);
            cfmakeraw(&tio);
            tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~TLineEnd() { Close(); }
    TLineEnd(const TLineEnd &) = delete;
    TLineEnd &operator=(const TLineEnd &) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    void Close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    bool Send(const std::string &bytes)
    {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // Collects received bytes while the event loop runs, until `count` CRs arrived.
    std::string WaitForLines(int count, int timeoutMs = kWaitMs)
    {
        (void)QTest::qWaitFor(
            [&] {
                Collect();
                return std::count(received_.begin(), received_.end(), '\r') >= count;
            },
            timeoutMs);
        return Take();
    }
    // Lets the event loop run for ms and returns whatever arrived.
    std::string Listen(int ms)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            QTest::qWait(10);
            Collect();
        }
        return Take();
    }

private:
    void Collect()
    {
        char buffer[256];
        ssize_t n;
        while ((n = ::read(fd_, buffer, sizeof buffer)) > 0)
            received_.append(buffer, static_cast<std::size_t>(n));
    }
    std::string Take()
    {
        std::string out;
        out.swap(received_);
        return out;
    }

    int fd_ = -1;
    std::string received_;
};

bool IsStatusLine(const std::string &line)
{
    if (line.size() != 13 || line.rfind("@s", 0) != 0 || line.back() != '\r')
        return false;
    return line.find_first_not_of("0123456789ABCDEF", 2) == 12;
}

} // namespace

TEST(SimPtyServer, AnswersVersionAndStatusWithinFiftyMilliseconds)
{
    TSimPtyServer server;
    ASSERT_TRUE(server.IsOpen());
    TLineEnd line(server.DevicePath());
    ASSERT_TRUE(line.IsOpen());

    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(line.Send("@V\n"));
    EXPECT_EQ(line.WaitForLines(1), "@V010000\r");
    const double versionMs = static_cast<double>(t.nsecsElapsed()) / 1e6;

    t.restart();
    ASSERT_TRUE(line.Send("@S\n"));
    const std::string status = line.WaitForLines(1);
    const double statusMs = static_cast<double>(t.nsecsElapsed()) / 1e6;
    EXPECT_TRUE(IsStatusLine(status)) << status;

    std::printf("[ measured ] version reply %.2f ms, status reply %.2f ms\n", versionMs, statusMs);
    ::testing::Test::RecordProperty("version_reply_ms", static_cast<int>(versionMs));
    ::testing::Test::RecordProperty("status_reply_ms", static_cast<int>(statusMs));
    EXPECT_LT(versionMs, kReplyBoundMs);
    EXPECT_LT(statusMs, kReplyBoundMs);
    EXPECT_EQ(server.LinesReceived(), 2);
}

TEST(SimPtyServer, KeepsServingWhenThePortIsClosedAndReopened)
{
    TSimPtyServer server;
    for (int round = 0; round < 3; ++round) {
        TLineEnd line(server.DevicePath());
        ASSERT_TRUE(line.IsOpen());
        ASSERT_TRUE(line.Send("@P\n"));
        EXPECT_EQ(line.WaitForLines(1), "@p5C070203640B3A64\r") << "round " << round;
        line.Close();
        QTest::qWait(30); // the server's notifier sees the close before the next open
    }
}

TEST(SimPtyServer, GoesSilentAfterTheConfiguredNumberOfLines)
{
    TSimPtyOptions options;
    options.SilentAfterLines = 2;
    TSimPtyServer server(options);
    TLineEnd line(server.DevicePath());
    ASSERT_TRUE(line.Send("@V\n@F\n@V\n@S\n"));
    EXPECT_EQ(line.WaitForLines(2), "@V010000\r@f0306009614\r");
    EXPECT_EQ(line.Listen(300), "");
    EXPECT_EQ(server.LinesReceived(), 4) << "lines are still counted";
}

TEST(SimPtyServer, DelaysEveryReply)
{
    TSimPtyOptions options;
    options.ReplyDelayMs = 200;
    TSimPtyServer server(options);
    TLineEnd line(server.DevicePath());
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(line.Send("@V\n"));
    EXPECT_EQ(line.WaitForLines(1), "@V010000\r");
    EXPECT_GE(t.elapsed(), 195);
    EXPECT_LT(t.elapsed(), 200 + kReplyBoundMs);
}

TEST(SimPtyServer, PacedLineSendsRepliesOneAfterAnother)
{
    // At 1200 baud a 13-character status line takes 109 ms; three of them at least 325 ms.
    TSimPtyOptions options;
    options.LineBaud = 1200;
    TSimPtyServer server(options);
    TLineEnd line(server.DevicePath());
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(line.Send("@S\n@S\n@S\n"));
    const std::string got = line.WaitForLines(3);
    EXPECT_EQ(std::count(got.begin(), got.end(), '\r'), 3);
    EXPECT_GE(t.elapsed(), 320);
}

TEST(SimPtyServer, NoiseIsReproducibleForASeedAndOnlyTouchesTheWire)
{
    auto noisyReplies = [](std::uint32_t seed) {
        TSimPtyOptions options;
        options.NoiseProbability = 0.3;
        options.NoiseSeed = seed;
        TSimPtyServer server(options);
        QSignalSpy replied(&server, &TSimPtyServer::Replied);
        TLineEnd line(server.DevicePath());
        line.Send("@P\n@F\n@R00\n@D02\n");
        EXPECT_TRUE(QTest::qWaitFor([&] { return replied.count() == 4; }, kWaitMs));
        // The clean reply is reported before the noise is applied.
        if (!replied.isEmpty()) {
            EXPECT_EQ(replied.first().first().toString(), QStringLiteral("@p5C070203640B3A64\r"));
        }
        return line.Listen(100);
    };
    const std::string clean = "@p5C070203640B3A64\r@f0306009614\r@r0000006700890078\r@d026E\r";
    const std::string first = noisyReplies(7);
    EXPECT_NE(first, clean);
    EXPECT_EQ(noisyReplies(7), first);
    EXPECT_NE(noisyReplies(8), first);
    EXPECT_NE(noisyReplies(0), noisyReplies(1));
}

TEST(SimPtyServer, VersionOverrideIsReported)
{
    TSimPtyOptions options;
    options.Version = TSimVersion {2, 3, 1};
    TSimPtyServer server(options);
    TLineEnd line(server.DevicePath());
    line.Send("@V\n");
    EXPECT_EQ(line.WaitForLines(1), "@V020301\r");
}

TEST(SimPtyServer, LiveStateMovesWithRealTime)
{
    TSimPtyServer server;
    const long long before = server.Simulator().ElapsedMs();
    QTest::qWait(200);
    TLineEnd line(server.DevicePath());
    line.Send("@S\n");
    line.WaitForLines(1);
    EXPECT_GE(server.Simulator().ElapsedMs() - before, 150);
}

TEST(SimPtyServer, LinkPointsAtTheDeviceReplacesOldLinksAndIsRemovedWithTheServer)
{
    namespace fs = std::filesystem;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("ecu"));
    const QString file = dir.filePath(QStringLiteral("plain"));
    fs::create_symlink("/nonexistent/old", link.toStdString());
    {
        std::FILE *f = std::fopen(file.toLocal8Bit().constData(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    {
        TSimPtyServer server;
        EXPECT_TRUE(server.CreateLink(link)) << "a stale link is replaced";
        EXPECT_EQ(QString::fromStdString(fs::read_symlink(link.toStdString()).string()),
                  server.DevicePath());
        EXPECT_FALSE(server.CreateLink(file)) << "a regular file is never replaced";
        EXPECT_TRUE(fs::is_regular_file(file.toStdString()));
        const QString own = dir.filePath(QStringLiteral("notes"));
        fs::create_symlink(file.toStdString(), own.toStdString());
        EXPECT_FALSE(server.CreateLink(own)) << "nor a link of the user's to one";
        EXPECT_EQ(fs::read_symlink(own.toStdString()), fs::path(file.toStdString()));

        TLineEnd line(link);
        ASSERT_TRUE(line.IsOpen());
        line.Send("@V\n");
        EXPECT_EQ(line.WaitForLines(1), "@V010000\r");
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(link.toStdString())));
    EXPECT_TRUE(fs::exists(file.toStdString()));
}

TEST(SimPtyServer, UnplugHangsUpTheLineAndReplugServesANewDeviceBehindTheSameLink)
{
    namespace fs = std::filesystem;
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ecu"));
    TSimPtyServer server;
    ASSERT_TRUE(server.CreateLink(link));
    QSignalSpy polled(&server, &TSimPtyServer::StatusPolledAfterReplug);
    TLineEnd before(link);
    ASSERT_TRUE(before.Send("@S\n"));
    EXPECT_TRUE(IsStatusLine(before.WaitForLines(1)));

    EXPECT_TRUE(server.Unplug());
    EXPECT_FALSE(server.Unplug()) << "already out";
    EXPECT_FALSE(server.IsOpen());
    EXPECT_FALSE(fs::exists(fs::symlink_status(link.toStdString())));
    EXPECT_FALSE(before.Send("@V\n")) << "the line hung up";

    EXPECT_TRUE(server.Replug());
    EXPECT_FALSE(server.Replug()) << "already in";
    EXPECT_EQ(QString::fromStdString(fs::read_symlink(link.toStdString()).string()),
              server.DevicePath());
    TLineEnd after(link);
    ASSERT_TRUE(after.IsOpen());
    ASSERT_TRUE(after.Send("@V\n"));
    EXPECT_EQ(after.WaitForLines(1), "@V010000\r");
    EXPECT_EQ(polled.count(), 0) << "a version request is no status poll";
    ASSERT_TRUE(after.Send("@S\n@S\n"));
    after.WaitForLines(2);
    EXPECT_EQ(polled.count(), 1) << "only the first status poll after the re-plug is reported";
}

TEST(SimPtyServer, SilenceHearsButAnswersNothingUntilItEnds)
{
    TSimPtyServer server;
    TLineEnd line(server.DevicePath());
    server.SilenceFor(60'000);
    EXPECT_TRUE(server.Silent());
    ASSERT_TRUE(line.Send("@V\n@S\n"));
    EXPECT_EQ(line.Listen(150), "");
    EXPECT_EQ(server.LinesReceived(), 2);
    server.SilenceFor(0);
    EXPECT_FALSE(server.Silent());
    ASSERT_TRUE(line.Send("@V\n"));
    EXPECT_EQ(line.WaitForLines(1), "@V010000\r");
}
