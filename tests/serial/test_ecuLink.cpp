#include "ecuLink.h"

#include "linkRules.h"
#include "testPty.h"

#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>

using namespace std::chrono_literals;

TEST(EcuLink, StatusLineIsTheOldestQueuedLineElseThePollOfTheLinkState)
{
    TQV3318EncDec codec;
    QStringList queue {QStringLiteral("@P\n"), QStringLiteral("@F\n")};
    EXPECT_EQ(TakeStatusLine(queue, true, codec), "@P\n");
    EXPECT_EQ(queue, QStringList {QStringLiteral("@F\n")});
    EXPECT_EQ(TakeStatusLine(queue, false, codec), "@F\n");
    EXPECT_EQ(TakeStatusLine(queue, false, codec), "@V\n");
    EXPECT_EQ(TakeStatusLine(queue, true, codec), "@S\n");
    EXPECT_TRUE(queue.isEmpty());
}

// The timers' work, ticked by hand on a link whose port is closed: sends go nowhere, but the
// pace, the watchdog and the model follow the window's rules.
TEST(EcuLink, WatchdogAndPaceFollowTheWindowsRules)
{
    TEcuLink link;
    QSignalSpy up(&link, &TEcuLink::LinkUp);
    QSignalSpy lost(&link, &TEcuLink::LinkLost);
    EXPECT_EQ(link.tmrStatus->interval(), kStatusFirstTickMs);
    EXPECT_EQ(link.tmrLink->interval(), kLinkTickMs);

    link.tmrStatusTimer();
    EXPECT_EQ(link.tmrStatus->interval(), kStatusPollMs);
    EXPECT_EQ(link.StatusRequestsSent, 0) << "a version poll is no status request";

    link.Codec.Receive("@V010203\r");
    EXPECT_TRUE(link.Connected);
    EXPECT_EQ(up.count(), 1);
    EXPECT_EQ(link.EcuVersionMinor, 2);
    // Replies to polls sent before the link's own (a controller that was stalled) answer none
    // of its requests: counted, they would pass for the answers to requests still on their way.
    link.Codec.Receive("@s03FF80041F\r@s03FF80041F\r");
    EXPECT_EQ(link.StatusRepliesReceived, 0);
    link.tmrLinkTimer();
    link.Codec.Receive("@p4E0801017D0E457D\r"); // resets the watchdog and fills the model
    EXPECT_EQ(link.Ecu.GearThresholdUpper, 0x4E);
    link.tmrLinkTimer();
    EXPECT_EQ(lost.count(), 0);
    link.tmrStatusTimer();
    EXPECT_EQ(link.StatusRequestsSent, 1);
    link.tmrLinkTimer();
    EXPECT_EQ(lost.count(), 1);
    EXPECT_FALSE(link.Connected);
    link.Codec.Receive("@s03FF80041F\r");
    EXPECT_EQ(up.count(), 2) << "the controller came back";
    EXPECT_EQ(link.StatusRepliesReceived, 1);
    link.Codec.Receive("@s03FF80041F\r");
    EXPECT_EQ(link.StatusRepliesReceived, 1);
}

TEST(EcuLink, ReadTransferClearsTheRangesAndAsksWithThePositionCountReceived)
{
    TEcuLink link;
    link.Ecu.Ranges.Add();
    ASSERT_TRUE(link.StartTransfer(kReadFirstStep));
    EXPECT_FALSE(link.StartTransfer(kWriteFirstStep)) << "busy";
    link.tmrUpDownAllTimer();
    EXPECT_EQ(link.TxQueue, QStringList {QStringLiteral("@P\n")});
    link.Codec.Receive("@p4E0601017D0E457D\r"); // four forward gears
    link.tmrUpDownAllTimer();
    EXPECT_EQ(link.Ecu.Ranges.Count(), 0);
    EXPECT_EQ(link.TxQueue.size(), 12);
    link.tmrUpDownAllTimer();
    EXPECT_EQ(link.TxQueue.size(), 12) << "waits while two or more lines wait";
    link.TxQueue.clear();
    link.tmrUpDownAllTimer();
    EXPECT_EQ(link.TxQueue.join(QString()), QStringLiteral("@F\n@D02\n@D03\n@D04\n"));
    QSignalSpy finished(&link, &TEcuLink::TransferFinished);
    link.tmrUpDownAllTimer();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(link.TransferRunning());
}

// Full bodies are 17 (p), 11 (f), 17 (r) and 5 (d) characters; one fewer or one more, or a
// character that is no hexadecimal digit, is a damaged reply.
TEST(EcuLink, ReplyIsCompleteOnlyAtFullLengthWithHexDigits)
{
    const struct
    {
        const char *Line;
        bool Settings; // a complete settings reply
        bool Any; // a complete reply of any kind
    } rows[] = {
        {"p4E0801017D0E457D", true, true},
        {"p4E0801017D0E457", false, false},
        {"p4E08", false, false},
        {"f010400DE11", true, true},
        {"f010400DE1", false, false},
        {"f0104G0DE11", false, false},
        {"r030200C8010400E6", true, true},
        {"r030200C8010400E6A", false, false},
        {"r030200C8010400E", false, false},
        {"d047F", true, true},
        {"d047", false, false},
        {"d04 F", false, false},
        {"d047f", true, true},
        {"s03FF80041F", false, true},
        {"s03FF80041", false, false},
        {"s03FF8x041F", false, false},
        {"x03FF80041F", false, false},
        {"", false, false},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(SettingsReplyComplete(row.Line), row.Settings) << row.Line;
        EXPECT_EQ(ReplyComplete(row.Line), row.Any) << row.Line;
    }
    // A status reply is recorded only when complete and within the sensor's range.
    TQV3318EncDec codec;
    TQV3318MessageRec status;
    codec.OnMessage = [&status](const TQV3318MessageRec &m) { status = m; };
    for (const auto &[line, plausible] : {std::pair {"@s03FF80041F\r", true},
                                          {"@s040080041F\r", false},
                                          {"@s03FF80041\r", false}}) {
        codec.Receive(line);
        EXPECT_EQ(StatusReplyPlausible(codec.DecodedLine(), status), plausible) << line;
    }
}

TEST(EcuLink, SettingsRepliesAreTakenOnlyWholeAndForASlotAskedByALineThatWentOut)
{
    TestPty pty;
    ASSERT_TRUE(pty.IsValid());
    TEcuLink link;
    ASSERT_TRUE(link.Open(QString::fromStdString(pty.SlavePath())));
    link.tmrStatus->stop();
    link.tmrLink->stop();
    link.Ecu.GearThresholdUpper = 7;
    link.Ecu.SparkDelays[4] = 99;
    QSignalSpy sent(&link, &TEcuLink::LineSent);
    QSignalSpy received(&link, &TEcuLink::MessageReceived);

    TQV3318MessageRec request;
    request.MsgType = mtRangeRequest;
    request.Index = 3;
    link.QueueMessage(request);
    request.MsgType = mtSparkDelayRequest;
    request.Index = 4;
    link.QueueMessage(request);
    link.tmrStatusTimer();
    link.tmrStatusTimer();
    EXPECT_EQ(pty.Read(10, 2s), "@R03\n@D04\n");
    ASSERT_EQ(sent.count(), 2);
    EXPECT_TRUE(sent[0][1].toBool());
    EXPECT_TRUE(sent[1][1].toBool());

    link.Codec.Receive("@r050200C8010400E6\r"); // a slot nobody asked for
    link.Codec.Receive("@p4E08\r"); // cut short: would read as GearThresholdUpper 0x4E
    link.Codec.Receive("@d04 F\r"); // garbled: would read as 0
    EXPECT_EQ(link.RepliesRefused, 3);
    EXPECT_EQ(received.count(), 0);
    EXPECT_TRUE(link.Connected) << "a damaged reply still shows the controller talking";
    EXPECT_EQ(link.Ecu.GearThresholdUpper, 7);
    EXPECT_EQ(link.Ecu.SparkDelays[4], 99);
    EXPECT_EQ(link.Ecu.Ranges.Count(), 0);

    link.Codec.Receive("@r030200C8010400E6\r");
    link.Codec.Receive("@d047F\r");
    EXPECT_EQ(received.count(), 2);
    EXPECT_EQ(link.Ecu.Ranges.Count(), 1);
    EXPECT_EQ(link.Ecu.SparkDelays[4], 0x7F);
    link.Codec.Receive("@r030200C8010400E6\r"); // that slot was answered already
    EXPECT_EQ(link.RepliesRefused, 4);
    EXPECT_EQ(link.Ecu.Ranges.Count(), 1);

    // The adapter is pulled: the next line does not go out, and its slot is not asked for.
    pty.HangUp();
    request.Index = 5;
    link.QueueMessage(request);
    link.tmrStatusTimer();
    ASSERT_EQ(sent.count(), 3);
    EXPECT_EQ(sent[2][0].toString(), QStringLiteral("@D05\n"));
    EXPECT_FALSE(sent[2][1].toBool());
    link.Codec.Receive("@d057F\r");
    EXPECT_EQ(link.RepliesRefused, 5);
}
