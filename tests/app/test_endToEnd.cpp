// The real window and serial driver against the simulated controller on a pseudo-terminal, with
// the event loop and the timers running as in the program.

#include "mainFixture.h"

#include "compassRange.h"
#include "serialDriver.h"
#include "simPtyServer.h"
#include "statusPanels.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <orbanel_version.h>

namespace {
constexpr int kLinkUpMs = 5000;
constexpr int kTransferMs = 15000;
} // namespace

class EndToEndTest : public MainWindowTest
{
protected:
    // A window on the simulator's device, its timers running.
    void Start(TSimPtyServer &sim)
    {
        storedPort = sim.DevicePath();
        Create();
        window->tmrStatus->start();
        window->tmrLink->start();
        window->show();
    }

    bool WaitIdle()
    {
        return QTest::qWaitFor(
            [this] { return !window->tmrUpDownAll->isActive() && window->TxQueue.isEmpty(); },
            kTransferMs);
    }
};

TEST_F(EndToEndTest, TheLinkComesUpAndTheDialFollowsTheBarrel)
{
    TSimPtyServer sim;
    ASSERT_TRUE(sim.IsOpen());
    Start(sim);
    prompts.DefaultAnswer = TPrompts::No;
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->Connected; }, kLinkUpMs));
    EXPECT_EQ(window->PanelText(0), "ECU Connected");
    EXPECT_EQ(
        window->PanelText(1),
        QString::asprintf("ECU Version v %d.%d.0", ORBANEL_VERSION_MAJOR, ORBANEL_VERSION_MINOR));
    EXPECT_EQ(prompts.Texts(), QStringList {"ECU Connected - upload values from ECU?"});

    // The simulated driver shifts: the needle takes the barrel angles the simulator reports.
    sim.Simulator().HoldGear(1);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const float expected = sim.Simulator().Status().Adc * 360.0f / 1023.0f;
            return std::abs(window->BarrelGauge->Position() - expected) < 0.5f;
        },
        kLinkUpMs));
    EXPECT_TRUE(window->btnCapture->isEnabled());
}

TEST_F(EndToEndTest, SettingsWrittenIntoTheControllerReadBackTheSame)
{
    TSimPtyServer sim;
    Start(sim);
    prompts.DefaultAnswer = TPrompts::No;
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->Connected; }, kLinkUpMs));

    // Edit a few settings, then write everything.
    window->Ecu.Debounce = 7;
    window->Ecu.SparkDelays[3] = 99;
    window->Ecu.UseFeedback = true;
    window->Ecu.SparkCutTimeout = 640;
    const TEcu written = window->Ecu;
    prompts.Answers = {TPrompts::Yes};
    window->DownloadAllSettingsToECU1Click();
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return sim.Simulator().Settings().CutDurations[8] == written.SparkDelays[8]
                && sim.Simulator().Settings().Params.Debounce == 7;
        },
        kTransferMs));
    const TSimSettings &held = sim.Simulator().Settings();
    EXPECT_EQ(held.Params.PositionCount, 8);
    EXPECT_EQ(held.Feedback.SparkCutTimeout, 640);
    EXPECT_EQ(held.CutDurations[3], 99);
    EXPECT_EQ(held.Ranges[0].Adc, written.Ranges.Items(0).Adc);
    EXPECT_TRUE(held.Ranges[8].IsEmpty());

    // A fresh tool reads everything back.
    window.reset();
    prompts.Answers = {TPrompts::Yes};
    Start(sim);
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->tmrUpDownAll->isActive(); }, kLinkUpMs));
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return window->Ecu.SparkDelays[6] == written.SparkDelays[6]
                && window->Ecu.Ranges.Count() == written.Ranges.Count();
        },
        kTransferMs));
    const TEcu &read = window->Ecu;
    EXPECT_EQ(read.PositionCount, written.PositionCount);
    EXPECT_EQ(read.GearShiftType, written.GearShiftType);
    EXPECT_EQ(read.GearThresholdUpper, written.GearThresholdUpper);
    EXPECT_EQ(read.GearThresholdLower, written.GearThresholdLower);
    EXPECT_EQ(read.BarrelThreshold, written.BarrelThreshold);
    EXPECT_EQ(read.Debounce, written.Debounce);
    EXPECT_EQ(read.Ignore, written.Ignore);
    EXPECT_EQ(read.BlipTimeout, written.BlipTimeout);
    EXPECT_EQ(read.UseFeedback, written.UseFeedback);
    EXPECT_EQ(read.FeedbackWindow, written.FeedbackWindow);
    EXPECT_EQ(read.SparkCutTimeout, written.SparkCutTimeout);
    EXPECT_EQ(read.CutAfterBlip, written.CutAfterBlip);
    for (int i = 2; i <= 6; ++i)
        EXPECT_EQ(read.SparkDelays[i], written.SparkDelays[i]) << i;
    ASSERT_EQ(read.Ranges.Count(), written.Ranges.Count());
    for (int k = 0; k < read.Ranges.Count(); ++k) {
        EXPECT_EQ(read.Ranges.Items(k).Gear, written.Ranges.Items(k).Gear) << k;
        EXPECT_EQ(read.Ranges.Items(k).Lower, written.Ranges.Items(k).Lower) << k;
        EXPECT_EQ(read.Ranges.Items(k).Upper, written.Ranges.Items(k).Upper) << k;
        EXPECT_EQ(read.Ranges.Items(k).Adc, written.Ranges.Items(k).Adc) << k;
    }
}

TEST_F(EndToEndTest, AnUnpluggedControllerComesBackWithoutTheUser)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyECU"));
    TSimPtyServer sim;
    ASSERT_TRUE(sim.CreateLink(link));
    storedPort = link;
    Create();
    window->tmrStatus->start();
    window->tmrLink->start();
    window->show();
    prompts.DefaultAnswer = TPrompts::No;
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->Connected; }, kLinkUpMs));

    // The cable is pulled: the port closes and the watchdog drops the link.
    ASSERT_TRUE(sim.Unplug());
    EXPECT_TRUE(QTest::qWaitFor([this] { return !window->CommPort->IsOpen(); }, kLinkUpMs));
    EXPECT_TRUE(QTest::qWaitFor([this] { return !window->Connected; }, kLinkUpMs));
    EXPECT_EQ(window->PanelText(0), "ECU Disconnected");
    EXPECT_TRUE(QTest::qWaitFor(
        [this] {
            return window->pnlStatusBar->PanelToolTip(0).contains(QStringLiteral("does not exist"));
        },
        kLinkUpMs));

    // Plugged back in, on another device behind the same link: the link comes back by itself
    // and asks its question again, as after any return of the controller.
    ASSERT_TRUE(sim.Replug());
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->Connected; }, kLinkUpMs));
    EXPECT_EQ(window->PanelText(0), "ECU Connected");
    EXPECT_EQ(prompts.Texts(),
              QStringList({"ECU Connected - upload values from ECU?",
                           "ECU Connected - upload values from ECU?"}));
    EXPECT_EQ(window->CommPortName, link);
    EXPECT_EQ(writtenPorts, QStringList {link}) << "the stored port was written at start only";
    EXPECT_EQ(window->pnlStatusBar->PanelToolTip(0), QString());

    // The adapter moved to another car at once, back within the watchdog's time: still a new
    // link, with its question, not the first car passing for the second.
    ASSERT_TRUE(sim.Unplug());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->CommPort->IsOpen(); }, kLinkUpMs));
    ASSERT_TRUE(sim.Replug());
    EXPECT_TRUE(QTest::qWaitFor([this] { return prompts.Texts().size() == 3; }, kLinkUpMs));
    EXPECT_TRUE(window->Connected);
}
