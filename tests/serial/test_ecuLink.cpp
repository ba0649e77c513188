#include "ecuLink.h"

#include "linkRules.h"

#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

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
