#include "encdec.h"
#include "serialDriver.h"
#include "simPtyServer.h"

#include <QTest>
#include <gtest/gtest.h>

#include <string>

namespace {

constexpr int kWaitMs = 5000;

} // namespace

// The whole road on a real pseudo-terminal: a request out through the driver, the simulated
// controller's reply back through the polling timer and the codec.
TEST(SerialSimLink, VersionRequestIsAnsweredAndDecoded)
{
    TSimPtyServer server;
    ASSERT_TRUE(server.IsOpen());

    TSerialPortDriver driver;
    driver.SetPortName(server.DevicePath());
    driver.SetBaudRate(br19200);
    driver.SetDataBits(db8BITS);
    driver.SetStopBits(sb1BITS);
    driver.SetParity(ptNONE);
    driver.SetHwFlow(hfNONE);
    driver.SetSwFlow(sfNONE);
    ASSERT_TRUE(driver.OpenPort());

    TQV3318EncDec codec;
    TQV3318MessageRec version;
    codec.OnMessage = [&](const TQV3318MessageRec &message) {
        if (message.MsgType == mtVersion)
            version = message;
    };
    QObject context;
    QObject::connect(&driver, &TSerialPortDriver::OnReceiveData, &context,
                     [&](TSerialPortDriver *, const char *data, quint32 size) {
                         codec.Receive(std::string_view(data, size));
                     });

    TQV3318MessageRec request;
    request.MsgType = mtVersion;
    ASSERT_TRUE(driver.SendText(codec.Encode(request)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return version.MsgType == mtVersion; }, kWaitMs));
    EXPECT_EQ(version.VersionMajor, server.Simulator().Version().Major);
    EXPECT_EQ(version.VersionMinor, server.Simulator().Version().Minor);
    EXPECT_EQ(server.LinesReceived(), 1);

    // Closed and opened again, the link still carries both ways.
    driver.ClosePort();
    ASSERT_TRUE(driver.OpenPort());
    version = {};
    ASSERT_TRUE(driver.SendText(codec.Encode(request)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return version.MsgType == mtVersion; }, kWaitMs));
}
