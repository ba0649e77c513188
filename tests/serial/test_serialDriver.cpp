#include "serialDriver.h"
#include "testPty.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

using namespace std::chrono_literals;

namespace {

// Long enough that the polling timer never fires inside a test that ticks by hand.
constexpr quint16 kManualPolling = 60000;
constexpr int kWaitMs = 5000;
constexpr int kProcessWaitMs = 30000; // a second program starting on a busy machine

// Collects what the driver hands out; the pointers are valid only during the call.
struct Receiver : QObject
{
    QList<QByteArray> chunks;
    QList<QByteArray> packets;
    QByteArray All() const { return chunks.join(); }

    void Attach(TSerialPortDriver &driver, bool data = true, bool packet = false)
    {
        if (data)
            connect(&driver, &TSerialPortDriver::OnReceiveData, this,
                    [this](TSerialPortDriver *, const char *bytes, quint32 size) {
                        chunks.append(QByteArray(bytes, static_cast<qsizetype>(size)));
                    });
        if (packet)
            connect(&driver, &TSerialPortDriver::OnReceivePacket, this,
                    [this](TSerialPortDriver *, const char *bytes, quint32 size) {
                        packets.append(QByteArray(bytes, static_cast<qsizetype>(size)));
                    });
    }
};

// A driver on a fresh pseudo-terminal, set like the main window sets its port.
struct PtyDriver
{
    TestPty pty;
    TSerialPortDriver driver;

    explicit PtyDriver(quint16 polling = kManualPolling)
    {
        driver.SetPortName(QString::fromStdString(pty.SlavePath()));
        driver.SetBaudRate(br19200);
        driver.SetHwFlow(hfNONE);
        driver.SetPollingDelay(polling);
    }
    // Waits until the bytes written at the master have reached the driver's side.
    bool WaitQueued(quint32 count)
    {
        return QTest::qWaitFor([&] { return driver.InQueueCount() >= count; }, kWaitMs);
    }
};

} // namespace

// ---- properties ----

TEST(SerialDriverProperties, DefaultsAreThoseOfTheComponent)
{
    TSerialPortDriver d;
    EXPECT_EQ(d.Port(), pnCOM2);
    EXPECT_EQ(d.PortName(), QStringLiteral("\\\\.\\COM2"));
    EXPECT_EQ(d.BaudRate(), br9600);
    EXPECT_EQ(d.BaudRateValue(), 9600u);
    EXPECT_EQ(d.DataBits(), db8BITS);
    EXPECT_EQ(d.StopBits(), sb1BITS);
    EXPECT_EQ(d.Parity(), ptNONE);
    EXPECT_EQ(d.HwFlow(), hfNONERTSON);
    EXPECT_EQ(d.SwFlow(), sfNONE);
    EXPECT_EQ(d.InBufSize(), 2048u);
    EXPECT_EQ(d.OutBufSize(), 2048u);
    EXPECT_EQ(d.PacketSize(), -1);
    EXPECT_EQ(d.PacketTimeout(), -1);
    EXPECT_EQ(d.PacketMode, pmDiscard);
    EXPECT_EQ(d.PollingDelay(), 50);
    EXPECT_TRUE(d.EnableDTROnOpen);
    EXPECT_EQ(d.OutputTimeout, 500);
    EXPECT_EQ(d.InputTimeout, 200u);
    EXPECT_FALSE(d.CheckLineStatus);
    EXPECT_FALSE(d.IsOpen());
    EXPECT_EQ(d.PacketStartTick(), TSerialPortDriver::kNoTick);
}

TEST(SerialDriverProperties, PortNamesFollowTheDevicePrefixRule)
{
    struct Row
    {
        const char *set;
        const char *name;
    };
    const Row rows[] = {
        {"COM3", "\\\\.\\COM3"},
        {"\\\\.\\COM3", "\\\\.\\COM3"},
        {"\\\\.\\ttyUSB0", "\\\\.\\\\\\.\\ttyUSB0"},
        {"/dev/ttyUSB0", "\\\\.\\/dev/ttyUSB0"},
        {"", "\\\\.\\"},
    };
    for (const Row &row : rows) {
        TSerialPortDriver d;
        d.SetPortName(QString::fromLatin1(row.set));
        EXPECT_EQ(d.PortName(), QString::fromLatin1(row.name)) << row.set;
        EXPECT_EQ(d.Port(), pnCustom) << row.set;
    }

    TSerialPortDriver d;
    d.SetPort(pnCOM12);
    EXPECT_EQ(d.PortName(), QStringLiteral("\\\\.\\COM12"));
    d.SetPortName(QStringLiteral("COM7"));
    d.SetPort(pnCustom);
    EXPECT_EQ(d.Port(), pnCustom);
    EXPECT_EQ(d.PortName(), QStringLiteral("\\\\.\\COM7"));
    d.SetPort(pnCOM1);
    EXPECT_EQ(d.PortName(), QStringLiteral("\\\\.\\COM1"));
}

TEST(SerialDriverProperties, BufferSizesAreClampedAndPacketSizeGrowsTheInputBuffer)
{
    struct Row
    {
        quint32 set;
        quint32 stored;
    };
    for (const Row row : {Row {100, 128}, Row {0, 128}, Row {128, 128}, Row {4000, 4000},
                          Row {8192, 8192}, Row {10000, 8192}, Row {0xFFFFFFFF, 8192}}) {
        TSerialPortDriver d;
        d.SetInBufSize(row.set);
        d.SetOutBufSize(row.set);
        EXPECT_EQ(d.InBufSize(), row.stored) << row.set;
        EXPECT_EQ(d.OutBufSize(), row.stored) << row.set;
    }

    struct PacketRow
    {
        qint16 set;
        qint16 stored;
        quint32 inBuf;
    };
    for (const PacketRow row :
         {PacketRow {0, -1, 2048}, PacketRow {-5, -1, 2048}, PacketRow {16, 16, 2048},
          PacketRow {3000, 3000, 3000}, PacketRow {10000, 8192, 8192}}) {
        TSerialPortDriver d;
        d.SetPacketSize(row.set);
        EXPECT_EQ(d.PacketSize(), row.stored) << row.set;
        EXPECT_EQ(d.InBufSize(), row.inBuf) << row.set;
    }

    // Shrinking the buffer below the packet grows it again to one packet.
    TSerialPortDriver d;
    d.SetPacketSize(1000);
    d.SetInBufSize(200);
    EXPECT_EQ(d.InBufSize(), 1000u);
}

TEST(SerialDriverProperties, PollingDelayAndPacketTimeoutRules)
{
    struct Row
    {
        quint16 polling;
        qint32 timeout;
        quint16 storedPolling;
        qint32 storedTimeout;
    };
    const Row rows[] = {
        {0, -1, 5, -1},   {4, -1, 5, -1},  {5, -1, 5, -1},    {50, 10, 50, 70},    {50, 60, 50, 60},
        {50, 50, 50, 50}, {50, 0, 50, -1}, {50, -20, 50, -1}, {100, 99, 100, 140}, {7, 1, 7, 9},
    };
    for (const Row &row : rows) {
        TSerialPortDriver d;
        d.SetPollingDelay(row.polling);
        d.SetPacketTimeout(row.timeout);
        EXPECT_EQ(d.PollingDelay(), row.storedPolling) << row.polling << "/" << row.timeout;
        EXPECT_EQ(d.PacketTimeout(), row.storedTimeout) << row.polling << "/" << row.timeout;
    }

    // A new polling delay sets the time-out again to its own value.
    TSerialPortDriver d;
    d.SetPacketTimeout(70);
    d.SetPollingDelay(100);
    EXPECT_EQ(d.PacketTimeout(), 140);
}

TEST(SerialDriverProperties, BaudRateAndItsValueTrackEachOther)
{
    TSerialPortDriver d;
    d.SetBaudRateValue(31250);
    EXPECT_EQ(d.BaudRate(), brCustom);
    EXPECT_EQ(d.BaudRateValue(), 31250u);
    d.SetBaudRate(brCustom);
    EXPECT_EQ(d.BaudRateValue(), 31250u);
    d.SetBaudRate(br19200);
    EXPECT_EQ(d.BaudRateValue(), 19200u);
    d.SetBaudRateValue(19200);
    EXPECT_EQ(d.BaudRate(), brCustom);
}

TEST(SerialDriverTiming, BaudRatesAndPacketTransferTimes)
{
    const quint32 rates[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                             14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    for (int r = brCustom; r <= br256000; ++r)
        EXPECT_EQ(BaudRateOf(static_cast<TBaudRate>(r)), rates[r]) << r;

    struct Row
    {
        quint32 bps;
        qint32 size;
        quint32 ms;
    };
    const Row rows[] = {
        {19200, 4, 2}, {9600, 10, 10},      {110, 1, 91}, {4000, 1, 2}, // 2.5 rounds to even
        {4000, 3, 8},  {10000, 1, 1},       {0, 100, 0},  {9600, 0, 0},
        {9600, -4, 0}, {256000, 8192, 320},
    };
    for (const Row &row : rows)
        EXPECT_EQ(PacketTransferTimeAt(row.bps, row.size), row.ms) << row.bps << " " << row.size;
    EXPECT_EQ(PacketTransferTime(br19200, 4), 2u);
    EXPECT_EQ(PacketTransferTime(brCustom, 100), 0u);
}

// ---- closed port ----

TEST(SerialDriverClosed, OperationsFailQuietly)
{
    TSerialPortDriver d;
    Receiver rx;
    rx.Attach(d);
    EXPECT_TRUE(d.SendText(""));
    EXPECT_FALSE(d.SendText("@V\r"));
    EXPECT_EQ(d.SendBuffer("abc", 3), 0u);
    EXPECT_EQ(d.OutFreeSpace(), 65535);
    EXPECT_FALSE(d.ApplySettings());
    EXPECT_FALSE(d.PurgeBuffers(true, true));
    EXPECT_EQ(d.GetModemLines(), 0u);
    EXPECT_EQ(d.InQueueCount(), 0u);
    d.PollOnce();
    EXPECT_TRUE(rx.chunks.isEmpty());
    d.ClosePort(); // closing a closed port is harmless
}

TEST(SerialDriverOpen, ANameWithoutASerialDeviceDoesNotOpenAndSaysWhy)
{
    TSerialPortDriver d;
    d.SetPortName(QStringLiteral("/dev/orbanel-no-such-port"));
    EXPECT_FALSE(d.OpenPort());
    EXPECT_FALSE(d.IsOpen());
    EXPECT_EQ(d.PortProblem(), ppMissing);

    // A link left behind by a device that went away is no device either.
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyGone"));
    ASSERT_EQ(::symlink("/dev/orbanel-no-such-port", QFile::encodeName(link).constData()), 0);
    d.SetPortName(link);
    EXPECT_FALSE(d.OpenPort());
    EXPECT_EQ(d.PortProblem(), ppMissing);

    // Names of something that is there but no serial device: said as such, not as busy.
    QFile file(dir.filePath(QStringLiteral("notes")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    for (const QString &name : {file.fileName(), dir.path(), QStringLiteral("/dev/null")}) {
        d.SetPortName(name);
        EXPECT_FALSE(d.OpenPort());
        EXPECT_EQ(d.PortProblem(), ppNotSerial) << name.toStdString();
    }
}

// ---- open port on a pseudo-terminal ----

TEST(SerialDriverOpen, ProgramsTheLineSettings)
{
    // A pseudo-terminal keeps rate, stop bits and flow control; it always runs eight data bits
    // without parity, so those two stay at the main window's values here.
    struct Row
    {
        TBaudRate rate;
        TStopBits stop;
        THwFlowControl hw;
        TSwFlowControl sw;
        speed_t speed;
    };
    const Row rows[] = {
        {br19200, sb1BITS, hfNONE, sfNONE, B19200},
        {br9600, sb2BITS, hfRTSCTS, sfNONE, B9600},
        {br115200, sb1BITS, hfNONERTSON, sfXONXOFF, B115200},
        {br57600, sb2BITS, hfRTSCTS, sfXONXOFF, B57600}, // one flow control: RTS/CTS wins
        {br1200, sb1BITS, hfNONE, sfXONXOFF, B1200},
    };
    for (const Row &row : rows) {
        PtyDriver p;
        // A descriptor of our own on the same terminal shows the settings the driver made.
        const int probe = ::open(p.pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(probe, 0);
        p.driver.SetBaudRate(row.rate);
        p.driver.SetStopBits(row.stop);
        p.driver.SetHwFlow(row.hw);
        p.driver.SetSwFlow(row.sw);
        EXPECT_TRUE(p.driver.OpenPort()) << row.rate;
        termios tio {};
        EXPECT_EQ(tcgetattr(probe, &tio), 0);
        ::close(probe);
        EXPECT_EQ(cfgetospeed(&tio), row.speed) << row.rate;
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8)) << row.rate;
        EXPECT_EQ(tio.c_cflag & PARENB, 0u) << row.rate;
        EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, row.stop == sb2BITS) << row.rate;
        EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, row.hw == hfRTSCTS) << row.rate;
        EXPECT_EQ((tio.c_iflag & IXON) != 0, row.sw == sfXONXOFF && row.hw != hfRTSCTS) << row.rate;
    }
}

TEST(SerialDriverOpen, OpenIsExclusiveAndRepeatedOpenChangesNothing)
{
    PtyDriver p;
    ASSERT_TRUE(p.driver.OpenPort());
    EXPECT_TRUE(p.driver.OpenPort());
    EXPECT_TRUE(p.driver.IsOpen());

    TSerialPortDriver second;
    second.SetPortName(QString::fromStdString(p.pty.SlavePath()));
    EXPECT_FALSE(second.OpenPort());
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(second.PortProblem(), ppBusy);
    EXPECT_EQ(p.driver.PortProblem(), ppNone);

    // While open the name and number refuse changes.
    const QString name = p.driver.PortName();
    p.driver.SetPortName(QStringLiteral("COM9"));
    p.driver.SetPort(pnCOM4);
    p.driver.SetInBufSize(4096);
    p.driver.SetOutBufSize(4096);
    EXPECT_EQ(p.driver.PortName(), name);
    EXPECT_EQ(p.driver.Port(), pnCustom);
    EXPECT_EQ(p.driver.InBufSize(), 2048u);
    EXPECT_EQ(p.driver.OutBufSize(), 2048u);

    p.driver.ClosePort();
    EXPECT_FALSE(p.driver.IsOpen());
    EXPECT_TRUE(second.OpenPort());
}

// The port belongs to one program at a time, whoever runs the other one. The serial layer's lock
// file lies where each user may write, so a program of another user may never see it, and the
// terminal's own exclusive mode does not stop a privileged user (tests run as root): with that
// lock file gone, the driver's own lock on the device still refuses a second program.
TEST(SerialDriverOpen, AnotherProcessCannotOpenThePortWhileItIsOpen)
{
    PtyDriver p;
    const auto openElsewhere = [&] {
        QProcess other;
        other.start(QStringLiteral(PORT_OPEN_PROBE_PATH),
                    {QString::fromStdString(p.pty.SlavePath())});
        other.waitForFinished(kProcessWaitMs);
        return other.readAllStandardOutput().trimmed().toStdString();
    };
    ASSERT_TRUE(p.driver.OpenPort());
    EXPECT_EQ(openElsewhere(), "refused");

    QString lockName = QString::fromStdString(p.pty.SlavePath()).mid(5); // after "/dev/"
    lockName.replace(QLatin1Char('/'), QLatin1Char('_'));
    int removed = 0;
    for (const char *folder : {"/var/lock", "/run/lock", "/tmp", "/var/tmp"})
        removed += QFile::remove(QLatin1String(folder) + QStringLiteral("/LCK..") + lockName);
    ASSERT_GE(removed, 1) << "the serial layer's lock file was not found";
    EXPECT_EQ(openElsewhere(), "refused");

    p.driver.ClosePort();
    EXPECT_EQ(openElsewhere(), "opened");
}

// Another program's port is not even opened: an open would set it to this program's line for a
// moment and clear its exclusive mode, once a second while the driver waits for its own port.
TEST(SerialDriverOpen, APortAnotherProgramHoldsLockedIsLeftAsItIs)
{
    TestPty pty;
    const int other = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::ioctl(other, TIOCEXCL), 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    TSerialPortDriver driver;
    driver.SetPortName(QString::fromStdString(pty.SlavePath()));
    EXPECT_FALSE(driver.OpenPort());
    EXPECT_EQ(driver.PortProblem(), ppBusy);
    int exclusive = 0;
    ASSERT_EQ(::ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1) << "its exclusive mode was cleared";
    ::ioctl(other, TIOCNXCL);
    ::close(other);
    EXPECT_TRUE(driver.OpenPort());
}

TEST(SerialDriverOpen, RefusedSettingsLeaveThePortClosed)
{
    // A pseudo-terminal has no rate of zero bits per second.
    PtyDriver p;
    p.driver.SetBaudRateValue(0);
    EXPECT_FALSE(p.driver.OpenPort());
    EXPECT_FALSE(p.driver.IsOpen());
    EXPECT_EQ(p.driver.PortProblem(), ppRefused);
    p.driver.SetBaudRate(br19200);
    EXPECT_TRUE(p.driver.OpenPort());
    EXPECT_EQ(p.driver.PortProblem(), ppNone);
}

TEST(SerialDriverLostDevice, HangUpClosesThePortAndNothingIsRaisedAfterwards)
{
    constexpr quint16 kPolling = 50;
    PtyDriver p(kPolling);
    Receiver rx;
    rx.Attach(p.driver);
    ASSERT_TRUE(p.driver.OpenPort());
    ASSERT_TRUE(p.pty.Write("@V10\r"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return rx.All() == "@V10\r"; }, kWaitMs));

    // The adapter is pulled: the other side closes and the device node goes away.
    p.pty.HangUp();
    // The failed write marks the line lost at once; the port itself closes from the event loop,
    // not from inside the serial layer's signal.
    EXPECT_FALSE(p.driver.SendText("@V\n"));
    EXPECT_TRUE(p.driver.IsOpen());
    EXPECT_FALSE(p.driver.SendText("@S\n"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !p.driver.IsOpen(); }, kWaitMs));
    EXPECT_EQ(p.driver.PortProblem(), ppLost);
    EXPECT_FALSE(p.driver.SendText("@S\n"));

    // Nothing more arrives from the dead line, and the polling has stopped.
    const qsizetype chunks = rx.chunks.size();
    QTest::qWait(4 * kPolling);
    p.driver.PollOnce();
    EXPECT_EQ(rx.chunks.size(), chunks);
    EXPECT_EQ(p.driver.InQueueCount(), 0u);
}

TEST(SerialDriverLostDevice, HangUpWhileOnlyListeningClosesThePortToo)
{
    // Nobody sends: the hang-up is noticed by the serial layer's own watch on the line.
    PtyDriver p(50);
    ASSERT_TRUE(p.driver.OpenPort());
    p.pty.HangUp();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !p.driver.IsOpen(); }, kWaitMs));
    EXPECT_EQ(p.driver.PortProblem(), ppLost);
    // The device is gone for good: opening again says so.
    EXPECT_FALSE(p.driver.OpenPort());
    EXPECT_EQ(p.driver.PortProblem(), ppMissing);
}

TEST(SerialDriverSend, TextArrivesAtTheOtherEnd)
{
    PtyDriver p;
    ASSERT_TRUE(p.driver.OpenPort());
    EXPECT_TRUE(p.driver.SendText("@V\r"));
    EXPECT_EQ(p.pty.ReadUntil('\r', 2s), "@V\r");
    EXPECT_TRUE(p.driver.SendText(""));
    EXPECT_EQ(p.pty.Drain(), "");

    // More than the output queue holds goes out whole and in order.
    std::string big;
    for (int i = 0; i < 5000; ++i)
        big.push_back(static_cast<char>('a' + i % 26));
    EXPECT_TRUE(p.driver.SendText(big));
    EXPECT_EQ(p.pty.Read(big.size(), 5s), big);
    EXPECT_EQ(p.driver.OutFreeSpace(), 2048);
}

TEST(SerialDriverSend, StopsWhenNoModemLineIsOnAndLineStatusIsChecked)
{
    // A pseudo-terminal reports no modem lines.
    PtyDriver p;
    ASSERT_TRUE(p.driver.OpenPort());
    EXPECT_EQ(p.driver.GetModemLines(), 0u);
    p.driver.CheckLineStatus = true;
    EXPECT_FALSE(p.driver.SendText("@V\r"));
    EXPECT_EQ(p.pty.Read(1, 100ms), "");
}

TEST(SerialDriverSend, IdleTimeoutEndsASendNobodyReadsAndTheNextOnesDoNotWaitAgain)
{
    PtyDriver p;
    p.driver.OutputTimeout = 400;
    ASSERT_TRUE(p.driver.OpenPort());
    const std::string flood(4 * 1024 * 1024, 'x');
    const quint32 sent
        = p.driver.SendBufferTimed(flood.data(), static_cast<quint32>(flood.size()), 50);
    EXPECT_GT(sent, 0u);
    EXPECT_LT(sent, flood.size());

    // The device still takes nothing: each poll waiting the time-out would hold the window for
    // most of every second.
    QElapsedTimer held;
    held.start();
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(p.driver.SendText("@S\n"));
    EXPECT_LT(held.elapsed(), p.driver.OutputTimeout);

    // Once it takes bytes again, sends go through.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            p.pty.Drain();
            return p.driver.OutFreeSpace() == p.driver.OutBufSize();
        },
        kWaitMs));
    p.pty.Drain();
    EXPECT_TRUE(p.driver.SendText("@S\n"));
    const std::string arrived = p.pty.ReadUntil('\n', 2s);
    EXPECT_TRUE(arrived.size() >= 3 && arrived.compare(arrived.size() - 3, 3, "@S\n") == 0)
        << arrived.size();
}

TEST(SerialDriverReceive, PollingDeliversBytesInOrderWithinTwoPeriods)
{
    constexpr quint16 kPolling = 50;
    PtyDriver p(kPolling);
    Receiver rx;
    rx.Attach(p.driver);
    ASSERT_TRUE(p.driver.OpenPort());

    ASSERT_TRUE(p.pty.Write("@s0123456789\r"));
    // Two periods is the bound on an idle machine; the wait allows for a loaded one.
    EXPECT_TRUE(QTest::qWaitFor([&] { return rx.All().size() >= 13; }, kWaitMs));
    ASSERT_TRUE(p.pty.Write("@V10\r"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return rx.All().size() >= 18; }, kWaitMs));
    EXPECT_EQ(rx.All(), QByteArray("@s0123456789\r@V10\r"));

    // Nothing is raised once closed, even with bytes waiting.
    p.driver.ClosePort();
    const qsizetype before = rx.chunks.size();
    ASSERT_TRUE(p.pty.Write("late"));
    QTest::qWait(3 * kPolling);
    EXPECT_EQ(rx.chunks.size(), before);
}

TEST(SerialDriverReceive, OneStepTakesEverythingQueuedInOneEvent)
{
    PtyDriver p;
    Receiver rx;
    rx.Attach(p.driver);
    ASSERT_TRUE(p.driver.OpenPort());
    p.driver.PollOnce();
    EXPECT_TRUE(rx.chunks.isEmpty()); // nothing queued, nothing raised

    ASSERT_TRUE(p.pty.Write("@s00"));
    ASSERT_TRUE(p.WaitQueued(4));
    ASSERT_TRUE(p.pty.Write("11\r"));
    ASSERT_TRUE(p.WaitQueued(7));
    p.driver.PollOnce();
    ASSERT_EQ(rx.chunks.size(), 1);
    EXPECT_EQ(rx.chunks[0], QByteArray("@s0011\r"));
    EXPECT_EQ(p.driver.InQueueCount(), 0u);
}

TEST(SerialDriverReceive, StreamStepReadsAtMostTheInputBuffer)
{
    PtyDriver p;
    p.driver.SetInBufSize(128);
    Receiver rx;
    rx.Attach(p.driver);
    ASSERT_TRUE(p.driver.OpenPort());

    std::string bytes;
    for (int i = 0; i < 300; ++i)
        bytes.push_back(static_cast<char>(i));
    ASSERT_TRUE(p.pty.Write(bytes));
    ASSERT_TRUE(p.WaitQueued(300));
    for (qsizetype expected : {128, 128, 44}) {
        p.driver.PollOnce();
        ASSERT_FALSE(rx.chunks.isEmpty());
        EXPECT_EQ(rx.chunks.back().size(), expected);
    }
    EXPECT_EQ(rx.All(), QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

TEST(SerialDriverReceive, ADeviceStreamingFasterThanTheStepsReadIsHeldInTheDevice)
{
    PtyDriver p;
    Receiver rx;
    rx.Attach(p.driver);
    ASSERT_TRUE(p.driver.OpenPort());

    // Ten times the queue's limit, offered as fast as the pseudo-terminal takes it, with the
    // driver taking bytes from the device between writes and no step reading them.
    std::string stream;
    for (int i = 0; i < 10 * TSerialPortDriver::kMaxInQueue; ++i)
        stream.push_back(static_cast<char>('a' + i % 23));
    std::size_t written = 0;
    quint32 most = 0;
    for (int round = 0; round < 2000 && written < stream.size(); ++round) {
        const ssize_t n = ::write(p.pty.MasterFd(), stream.data() + written,
                                  std::min<std::size_t>(4096, stream.size() - written));
        if (n > 0)
            written += static_cast<std::size_t>(n);
        most = std::max(most, p.driver.InQueueCount());
    }
    EXPECT_GT(most, TSerialPortDriver::kMaxInQueue / 2);
    EXPECT_LE(most, TSerialPortDriver::kMaxInQueue);

    // The steps then read everything, in order: what waited in the device was not lost.
    const auto readAll = [&] {
        while (written < stream.size()) {
            const ssize_t n
                = ::write(p.pty.MasterFd(), stream.data() + written, stream.size() - written);
            if (n <= 0)
                break;
            written += static_cast<std::size_t>(n);
        }
        for (int step = 0; step < 64; ++step)
            p.driver.PollOnce();
        return static_cast<std::size_t>(rx.All().size()) == stream.size();
    };
    EXPECT_TRUE(QTest::qWaitFor(readAll, kWaitMs));
    EXPECT_EQ(rx.All(), QByteArray(stream.data(), static_cast<qsizetype>(stream.size())));
}

TEST(SerialDriverReceive, NestedStepDuringAnEventKeepsTheBytesBeingRead)
{
    // A receiver that asks a modal question runs an event loop, in which the timer steps again.
    PtyDriver p;
    QByteArray outerAfterNested;
    QByteArray nestedBytes;
    int depth = 0;
    QObject context;
    QObject::connect(&p.driver, &TSerialPortDriver::OnReceiveData, &context,
                     [&](TSerialPortDriver *sender, const char *bytes, quint32 size) {
                         if (depth++ == 0) {
                             EXPECT_TRUE(p.pty.Write("second"));
                             EXPECT_TRUE(p.WaitQueued(6));
                             sender->PollOnce();
                             outerAfterNested = QByteArray(bytes, static_cast<qsizetype>(size));
                         } else {
                             nestedBytes = QByteArray(bytes, static_cast<qsizetype>(size));
                         }
                         --depth;
                     });
    ASSERT_TRUE(p.driver.OpenPort());
    ASSERT_TRUE(p.pty.Write("first!"));
    ASSERT_TRUE(p.WaitQueued(6));
    p.driver.PollOnce();
    EXPECT_EQ(outerAfterNested, QByteArray("first!"));
    EXPECT_EQ(nestedBytes, QByteArray("second"));
}

TEST(SerialDriverReceive, UnassignedEventTakesTheBytesWithoutRaising)
{
    PtyDriver p;
    ASSERT_TRUE(p.driver.OpenPort());
    ASSERT_TRUE(p.pty.Write("abc"));
    ASSERT_TRUE(p.WaitQueued(3));
    p.driver.PollOnce();
    EXPECT_EQ(p.driver.InQueueCount(), 0u);
}

TEST(SerialDriverReceive, LineSettingChangeOnAnOpenPortDiscardsQueuedInput)
{
    PtyDriver p;
    Receiver rx;
    rx.Attach(p.driver);
    ASSERT_TRUE(p.driver.OpenPort());
    ASSERT_TRUE(p.pty.Write("stale"));
    ASSERT_TRUE(p.WaitQueued(5));

    p.driver.SetBaudRate(br38400);
    EXPECT_EQ(p.driver.InQueueCount(), 0u);
    ASSERT_TRUE(p.pty.Write("new"));
    ASSERT_TRUE(p.WaitQueued(3));
    p.driver.PollOnce();
    EXPECT_EQ(rx.All(), QByteArray("new"));

    // A custom rate is programmed as well.
    p.driver.SetBaudRateValue(31250);
    EXPECT_TRUE(p.driver.IsOpen());
    EXPECT_TRUE(p.driver.SendText("@V\r"));
    EXPECT_EQ(p.pty.ReadUntil('\r', 2s), "@V\r");
}

// ---- packet mode ----

namespace {

struct PacketCase
{
    TPacketMode mode;
    int shortPackets; // after the time-out
};

class SerialDriverPackets : public ::testing::TestWithParam<PacketCase>
{
};

} // namespace

TEST_P(SerialDriverPackets, WholePacketsThenTheRestAfterTheTimeout)
{
    PtyDriver p;
    quint32 now = 1000;
    p.driver.SetTickSource([&] { return now; });
    p.driver.SetPacketSize(4);
    p.driver.SetPacketTimeout(kManualPolling + 1000);
    p.driver.PacketMode = GetParam().mode;
    Receiver rx;
    rx.Attach(p.driver, true, true);
    ASSERT_TRUE(p.driver.OpenPort());

    ASSERT_TRUE(p.pty.Write("ABCDEFGHij"));
    ASSERT_TRUE(p.WaitQueued(10));
    p.driver.PollOnce();
    ASSERT_EQ(rx.packets.size(), 2);
    EXPECT_EQ(rx.packets[0], QByteArray("ABCD"));
    EXPECT_EQ(rx.packets[1], QByteArray("EFGH"));
    EXPECT_TRUE(rx.chunks.isEmpty()); // packet mode never raises the stream event
    EXPECT_EQ(p.driver.PacketStartTick(), 1000u); // the rest is pending since now

    // Not yet timed out: the rest waits.
    now += static_cast<quint32>(p.driver.PacketTimeout());
    p.driver.PollOnce();
    EXPECT_EQ(rx.packets.size(), 2);
    EXPECT_EQ(p.driver.InQueueCount(), 2u);

    now += 1;
    p.driver.PollOnce();
    ASSERT_EQ(rx.packets.size(), 2 + GetParam().shortPackets);
    if (GetParam().shortPackets) {
        EXPECT_EQ(rx.packets.back(), QByteArray("ij"));
    }
    EXPECT_EQ(p.driver.InQueueCount(), 0u);
    EXPECT_EQ(p.driver.PacketStartTick(), TSerialPortDriver::kNoTick);
}

INSTANTIATE_TEST_SUITE_P(Modes, SerialDriverPackets,
                         ::testing::Values(PacketCase {pmPass, 1}, PacketCase {pmDiscard, 0}));

TEST(SerialDriverPacketTick, StartTickFollowsThePendingPacket)
{
    PtyDriver p;
    quint32 now = 5000;
    p.driver.SetTickSource([&] { return now; });
    p.driver.SetPacketSize(4);
    Receiver rx;
    rx.Attach(p.driver, false, true);
    ASSERT_TRUE(p.driver.OpenPort());

    // The first byte of an incomplete packet starts the clock.
    ASSERT_TRUE(p.pty.Write("AB"));
    ASSERT_TRUE(p.WaitQueued(2));
    p.driver.PollOnce();
    EXPECT_EQ(p.driver.PacketStartTick(), 5000u);

    // Taking a packet advances it by the packet's time on the line (4 bytes at 19200: 2 ms).
    now = 5100;
    ASSERT_TRUE(p.pty.Write("CDEF"));
    ASSERT_TRUE(p.WaitQueued(6));
    p.driver.PollOnce();
    ASSERT_EQ(rx.packets.size(), 1);
    EXPECT_EQ(rx.packets[0], QByteArray("ABCD"));
    EXPECT_EQ(p.driver.PacketStartTick(), 5002u);

    // Without a time-out the rest waits however long it takes.
    now = 900000;
    p.driver.PollOnce();
    EXPECT_EQ(p.driver.InQueueCount(), 2u);

    // Exactly whole packets leave nothing pending.
    ASSERT_TRUE(p.pty.Write("GH"));
    ASSERT_TRUE(p.WaitQueued(4));
    p.driver.PollOnce();
    ASSERT_EQ(rx.packets.size(), 2);
    EXPECT_EQ(rx.packets[1], QByteArray("EFGH"));
    EXPECT_EQ(p.driver.PacketStartTick(), TSerialPortDriver::kNoTick);

    // A purge forgets the pending packet.
    ASSERT_TRUE(p.pty.Write("I"));
    ASSERT_TRUE(p.WaitQueued(1));
    p.driver.PollOnce();
    EXPECT_NE(p.driver.PacketStartTick(), TSerialPortDriver::kNoTick);
    EXPECT_TRUE(p.driver.PurgeBuffers(true, false));
    EXPECT_EQ(p.driver.PacketStartTick(), TSerialPortDriver::kNoTick);
    EXPECT_EQ(p.driver.InQueueCount(), 0u);
}
