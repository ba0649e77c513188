// The main window's start-up, link supervision and live display.

#include "mainFixture.h"
#include "modalPrompts.h"
#include "paintRecorder.h"

#include "Display.h"
#include "cachedGroupBox.h"
#include "compassRange.h"
#include "ledLamp.h"
#include "linkProblem.h"
#include "programFolders.h"
#include "serialDriver.h"
#include "statusPanels.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QColor PanelColour(TfrmMain &window)
{
    const QImage image = window.pnlStatusBar->grab().toImage();
    const QRect panel = window.pnlStatusBar->PanelRect(0);
    return image.pixelColor(panel.left() + 1, panel.bottom() - 1);
}

std::string StatusLine(int adc, int analogue, int gear, int bits)
{
    char line[32];
    std::snprintf(line, sizeof line, "@s%04X%02X%02X%02X\r", adc, analogue, gear, bits);
    return line;
}

} // namespace

TEST_F(MainWindowTest, FirstRunOpensCom1AndStoresIt)
{
    Create();
    window->show();
    EXPECT_EQ(window->CommPortName, "COM1");
    EXPECT_EQ(writtenPorts, QStringList {"COM1"});
    EXPECT_EQ(window->PanelText(0), "ECU Disconnected");
    EXPECT_FALSE(window->SettingsChanged);
    EXPECT_EQ(window->windowTitle(), "Kestrova Ltd.");
    EXPECT_EQ(window->pos(), QPoint(0, 0));
    EXPECT_EQ(window->centralWidget()->size(), QSize(1018, 664));
    // A single fixed border: the outer size is the client area under the menu bar, for good.
    const QSize outer(1018, 664 + window->menuBar()->height());
    EXPECT_EQ(window->size(), outer);
    EXPECT_EQ(window->minimumSize(), outer);
    EXPECT_EQ(window->maximumSize(), outer);
    window->resize(outer + QSize(120, 80));
    EXPECT_EQ(window->size(), outer);
    EXPECT_EQ(window->scrClient->verticalScrollBar()->maximum(), 0);

    // On a screen too small for it (a netbook, or a laptop at 150 %), the settings and the
    // dashboard scroll, and the status bar, the link's only sign, stays on the screen.
    for (const QSize &screen : {QSize(1024, 600), QSize(1280, 672)}) {
        window->FitToScreen(screen);
        EXPECT_LE(window->frameGeometry().height(), screen.height()) << screen.height();
        EXPECT_LE(window->frameGeometry().width(), screen.width()) << screen.width();
        const QRect bar(window->pnlStatusBar->mapTo(window.get(), QPoint(0, 0)),
                        window->pnlStatusBar->size());
        EXPECT_TRUE(window->rect().contains(bar)) << screen.height();
        EXPECT_GT(window->scrClient->verticalScrollBar()->maximum(), 0) << screen.height();
    }
    window->FitToScreen(QSize(1366, 768));
    EXPECT_EQ(window->size(), outer);
    EXPECT_EQ(window->scrClient->verticalScrollBar()->maximum(), 0);
    EXPECT_TRUE(QDir(folder.path() + "/profiles").exists());
    EXPECT_FALSE(window->Help2->isVisible());
    EXPECT_TRUE(debug->isHidden());
    EXPECT_FALSE(window->btnCapture->isEnabled());
    EXPECT_FALSE(window->UploadAllSettingsToEcu1->isEnabled());
    // Defaults are loaded when shown, without counting as a change.
    EXPECT_EQ(window->Ecu.PositionCount, 8);
    EXPECT_EQ(window->GearDisplay->Digit(), 'R');
}

TEST_F(MainWindowTest, AnEmptyStoredPortIsTheUsersAndIsNotReplacedByCom1)
{
    storedPort = QStringLiteral("");
    Create();
    window->show();
    EXPECT_EQ(window->CommPortName, "");
    EXPECT_EQ(writtenPorts, QStringList {""});
    EXPECT_EQ(window->PanelText(0), "ECU Disconnected");
}

TEST_F(MainWindowTest, AnyArgumentShowsTheDebugWindowAndDebuggerShowsDiagnostics)
{
    Create({"vehicle.ini"}, true);
    window->show();
    EXPECT_TRUE(debug->isVisible());
    EXPECT_FALSE(window->lblStatus->isHidden());
    EXPECT_FALSE(window->lblGear->isHidden());
}

TEST_F(MainWindowTest, HelpItemFollowsTheHelpFileBesideTheProgram)
{
    const QString helpFile = folder.path() + "/orbanel" + kHelpExtension;
    QFile help(helpFile);
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.close();
    Create();
    window->show();
    EXPECT_TRUE(window->Help2->isVisible());
    window->Help2Click();
    EXPECT_EQ(openedDocuments, QStringList {helpFile});
    EXPECT_TRUE(prompts.Questions.empty());

    // No program for the file's type: said, not left at nothing happening.
    documentsOpen = false;
    window->Help2Click();
    ASSERT_EQ(prompts.Questions.size(), 1u);
    EXPECT_EQ(prompts.Questions[0].kind, TPrompts::Warning);
    EXPECT_TRUE(prompts.Questions[0].text.contains(QDir::toNativeSeparators(helpFile)));

    QFile::remove(helpFile);
    window->Help2Click(); // checks again before opening
    EXPECT_EQ(openedDocuments.size(), 2);
    EXPECT_EQ(prompts.Questions.size(), 1u);
}

TEST_F(MainWindowTest, CommunicationsRestartsOnlyForAnotherPort)
{
    CreateOnPty();
    comms->SetEnumerator([](TComPortEnumerator &e) { e.Merge({"ttyS0"}, {}, true); });
    Connect();
    ASSERT_TRUE(window->Connected);
    const int writes = writtenPorts.size();

    QTimer::singleShot(0, comms.get(), [this] { comms->accept(); });
    window->Communications1Click();
    EXPECT_TRUE(window->Connected) << "OK on the same port must not interrupt the link";
    EXPECT_EQ(writtenPorts.size(), writes);

    QTimer::singleShot(0, comms.get(), [this] {
        comms->SelectedPort = "/nonexistent/tty";
        comms->accept();
    });
    window->Communications1Click();
    EXPECT_FALSE(window->Connected);
    EXPECT_EQ(window->CommPortName, "/nonexistent/tty");
    EXPECT_EQ(writtenPorts.last(), "/nonexistent/tty");
    EXPECT_EQ(window->PanelText(0), "ECU Disconnected");
    EXPECT_TRUE(prompts.Texts().filter("Unable to save").isEmpty());

    // A store that takes nothing: the port is used, and the user learns it will not be kept.
    portStoreFails = true;
    QTimer::singleShot(0, comms.get(), [this] {
        comms->SelectedPort = "/nonexistent/tty2";
        comms->accept();
    });
    window->Communications1Click();
    EXPECT_EQ(window->CommPortName, "/nonexistent/tty2");
    EXPECT_EQ(prompts.Texts().filter("Unable to save"),
              QStringList {"Unable to save the port setting: /nonexistent/tty2 is used until "
                           "Orbanel is closed"});
}

TEST_F(MainWindowTest, CommunicationsOkOnTheSamePortRestartsALinkThatIsNotOpen)
{
    // Another program holds the port when the window starts, then lets it go.
    auto holder = std::make_unique<TSerialPortDriver>();
    holder->SetPortName(QString::fromStdString(pty.SlavePath()));
    ASSERT_TRUE(holder->OpenPort());
    CreateOnPty();
    window->tmrReopen->stop(); // only the dialog may open it here
    ASSERT_FALSE(window->CommPort->IsOpen());
    comms->SetEnumerator([](TComPortEnumerator &e) { e.Merge({}, {}, true); });
    holder.reset();
    const int writes = writtenPorts.size();

    QTimer::singleShot(0, comms.get(), [this] { comms->reject(); });
    window->Communications1Click();
    EXPECT_FALSE(window->CommPort->IsOpen()) << "Cancel changes nothing";

    QTimer::singleShot(0, comms.get(), [this] { comms->accept(); });
    window->Communications1Click();
    EXPECT_TRUE(window->CommPort->IsOpen());
    EXPECT_EQ(window->CommPortName, QString::fromStdString(pty.SlavePath()));
    EXPECT_EQ(writtenPorts.size(), writes + 1);
    EXPECT_EQ(window->pnlStatusBar->PanelToolTip(0), QString());
}

TEST_F(MainWindowTest, TheStatusPanelTipTellsWhyThePortIsNotOpen)
{
    storedPort = "/nonexistent/ttyECU";
    Create();
    window->show();
    EXPECT_EQ(window->pnlStatusBar->PanelToolTip(0),
              "Port /nonexistent/ttyECU does not exist. Plug in the adapter, or choose another "
              "port under Settings, Communications.");
    EXPECT_EQ(window->PanelText(0), "ECU Disconnected");
    // Resting the mouse on panel 0 shows it.
    const QPoint onPanel0 = window->pnlStatusBar->PanelRect(0).center();
    QHelpEvent help(QEvent::ToolTip, onPanel0, window->pnlStatusBar->mapToGlobal(onPanel0));
    QApplication::sendEvent(window->pnlStatusBar, &help);
    EXPECT_EQ(QToolTip::text(), window->pnlStatusBar->PanelToolTip(0));
    window.reset();

    auto holder = std::make_unique<TSerialPortDriver>();
    holder->SetPortName(QString::fromStdString(pty.SlavePath()));
    ASSERT_TRUE(holder->OpenPort());
    CreateOnPty();
    const QString port = QString::fromStdString(pty.SlavePath());
    EXPECT_EQ(window->pnlStatusBar->PanelToolTip(0),
              "Port " + port + " is in use by another program.");

    // The other program lets go: the next try opens the port, silently, and the tip goes.
    window->tmrReopenTimer();
    EXPECT_FALSE(window->CommPort->IsOpen()) << "still held";
    holder.reset();
    const QStringList written = writtenPorts;
    window->tmrReopenTimer();
    EXPECT_TRUE(window->CommPort->IsOpen());
    EXPECT_EQ(window->pnlStatusBar->PanelToolTip(0), QString());
    EXPECT_EQ(writtenPorts, written) << "re-opening never touches the stored port";
    EXPECT_TRUE(prompts.Questions.empty());
    EXPECT_EQ(window->PanelText(0), "ECU Disconnected") << "the polls bring the link up";
    pty.Drain();
    window->tmrStatusTimer();
    EXPECT_EQ(Sent(), "@V\n");

    // An open port that takes no more bytes says so, until it takes them again.
    const std::string flood(64 * 1024, 'x');
    window->CommPort->SendBuffer(flood.data(), static_cast<quint32>(flood.size()));
    window->tmrReopenTimer();
    EXPECT_EQ(window->pnlStatusBar->PanelToolTip(0),
              "Port " + port
                  + " takes no more bytes: the adapter, or the radio link behind it, has stalled.");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            pty.Drain();
            return !window->CommPort->Stalled();
        },
        5000));
    window->tmrReopenTimer();
    EXPECT_EQ(window->pnlStatusBar->PanelToolTip(0), QString());
}

TEST(PortProblemText, PermissionNamesTheOwningGroupOnlyWhenJoiningItHelps)
{
    EXPECT_EQ(PortProblemText(ppDenied, "/dev/ttyUSB0", {QStringLiteral("uucp"), true}),
              "Permission to open /dev/ttyUSB0 is denied. Add your user to the group that owns "
              "the device (uucp), for example with \"sudo usermod -aG uucp $USER\", then log "
              "out and in again.");
    EXPECT_TRUE(PortProblemText(ppDenied, "ttyS0")
                    .contains("(usually dialout), for example with \"sudo usermod -aG dialout"));
    const QString noGroup
        = PortProblemText(ppDenied, "/dev/ttyUSB0", {QStringLiteral("root"), false});
    EXPECT_FALSE(noGroup.contains("usermod")) << noGroup.toStdString();
    EXPECT_TRUE(noGroup.contains("\"sudo chgrp dialout /dev/ttyUSB0\"")) << noGroup.toStdString();
    EXPECT_EQ(DeviceAccess("/nonexistent/ttyECU").Group, QString());
    EXPECT_TRUE(DeviceAccess("/nonexistent/ttyECU").GroupMayUse) << "unknown: the usual hint";
    EXPECT_EQ(PortProblemText(ppBusy, "COM3"), "Port COM3 is in use by another program.");
    EXPECT_EQ(PortProblemText(ppMissing, ""),
              "No port is chosen. Choose one under Settings, Communications.");

    // The device's own group and mode decide. The group is another than root's where the suite
    // may choose it, as it may running as root.
    QTemporaryDir dir;
    const QString device = dir.filePath(QStringLiteral("ttyECU"));
    QFile file(device);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QByteArray path = QFile::encodeName(device);
    const gid_t usersGroup = ::getgid() != 0 ? ::getgid() : 65534;
    ASSERT_EQ(::chown(path.constData(), static_cast<uid_t>(-1), usersGroup), 0);
    const struct
    {
        mode_t Mode;
        bool MayUse;
    } modes[]
        = {{0660, true}, {0060, true}, {0640, false}, {0620, false}, {0606, false}, {0000, false}};
    for (const auto &m : modes) {
        ASSERT_EQ(::chmod(path.constData(), m.Mode), 0);
        const TDeviceAccess access = DeviceAccess(device);
        EXPECT_EQ(access.GroupMayUse, m.MayUse) << std::oct << m.Mode;
        EXPECT_EQ(access.Group, QString::fromLocal8Bit(::getgrgid(usersGroup)->gr_name));
    }
    if (::getuid() == 0) {
        ASSERT_EQ(::chown(path.constData(), static_cast<uid_t>(-1), 0), 0);
        ASSERT_EQ(::chmod(path.constData(), 0660), 0);
        EXPECT_FALSE(DeviceAccess(device).GroupMayUse) << "root's group is no one's to join";
    }
}

TEST_F(MainWindowTest, ClosingWithUnsavedSettings)
{
    Create();
    window->show();
    window->SettingsChanged = true;

    // Yes, then cancelling the file name: the window stays.
    prompts.Answers = {TPrompts::Yes};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->SettingsChanged);
    EXPECT_FALSE(terminated);

    // Cancel keeps it too.
    prompts.Answers = {TPrompts::Cancel};
    EXPECT_FALSE(window->close());

    // No ends the program without writing anything.
    prompts.Answers = {TPrompts::No};
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(terminated);
    EXPECT_TRUE(QDir(folder.path() + "/profiles").isEmpty());
    EXPECT_EQ(prompts.Texts().count("Settings have changed - do you want to save?"), 3);
}

// Alt puts the keys on the menu bar: the item they stand on is lit as an open one is, so a key
// meant for the menus is never taken by the panel unseen.
TEST_F(MainWindowTest, TheMenuBarShowsWhereTheKeysStand)
{
    Create();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QMenuBar *bar = window->menuBar();
    const QRect file = bar->actionGeometry(bar->actions().constFirst());
    const auto shot = [&] { return bar->grab(file).toImage(); };
    window->edtDebounce->setFocus();
    const QImage idle = shot();
    QTest::keyClick(window->edtDebounce, Qt::Key_Alt);
    ASSERT_TRUE(bar->hasFocus());
    EXPECT_NE(shot(), idle);
    QTest::keyClick(bar, Qt::Key_Escape);
    EXPECT_FALSE(bar->hasFocus());
    EXPECT_EQ(shot(), idle);
}

TEST_F(MainWindowTest, PollsForTheVersionWhileTheLinkIsDown)
{
    CreateOnPty();
    EXPECT_EQ(window->tmrStatus->interval(), 50);
    for (int i = 0; i < 3; ++i)
        window->tmrStatusTimer();
    EXPECT_EQ(Sent(), "@V\n@V\n@V\n");
    EXPECT_EQ(window->tmrStatus->interval(), 100);
    EXPECT_EQ(PanelColour(*window), QColor(0xFF, 0x00, 0x00));
    // The version request is logged as other traffic.
    debug->show();
    ASSERT_GE(debug->lstDebug->count(), 1);
    EXPECT_EQ(debug->lstDebug->item(0)->text(), "Tx>V");
    EXPECT_EQ(debug->lstStatus->count(), 0);
}

TEST_F(MainWindowTest, FirstReplyConnectsAndAsksOnce)
{
    CreateOnPty();
    const TEcu before = window->Ecu;
    prompts.Answers = {TPrompts::No};
    Feed("@V010203\r");
    EXPECT_TRUE(window->Connected);
    EXPECT_EQ(window->PanelText(0), "ECU Connected");
    EXPECT_EQ(window->PanelText(1), "ECU Version v 1.2.3");
    EXPECT_EQ(window->EcuVersionMajor, 1);
    EXPECT_EQ(window->EcuVersionMinor, 2);
    EXPECT_EQ(PanelColour(*window), QColor(0x00, 0xFF, 0x00));
    ASSERT_EQ(prompts.Questions.size(), 1u);
    EXPECT_EQ(prompts.Questions[0].text, "ECU Connected - upload values from ECU?");
    EXPECT_EQ(prompts.Questions[0].buttons, TPrompts::Yes | TPrompts::No);
    EXPECT_FALSE(window->SettingsChanged);
    EXPECT_EQ(window->Ecu.PositionCount, before.PositionCount);
    EXPECT_TRUE(window->TxQueue.isEmpty());
    EXPECT_TRUE(window->btnCapture->isEnabled());
    EXPECT_TRUE(window->DownloadAllSettingsToECU1->isEnabled());

    Feed(StatusLine(0, 0, 1, 0));
    EXPECT_EQ(prompts.Questions.size(), 1u);
    window->tmrStatusTimer();
    EXPECT_EQ(Sent(), "@S\n");
}

// The question opens from the driver's receive path as a real message box; everything the
// controller sends while it is open arrives through the driver's own polling underneath it.
TEST_F(MainWindowTest, UnderTheOpenQuestionRepliesGoOnButNoSecondQuestionOpens)
{
    TModalPrompts modal;
    storedPort = QString::fromStdString(pty.SlavePath());
    Create({}, false, &modal);
    window->show();
    window->tmrStatus->start();
    const auto dropLink = [this] {
        window->tmrLinkTimer();
        window->tmrLinkTimer();
    };
    const QString question = "ECU Connected - upload values from ECU?";
    modal.Script.push_back({question,
                            TPrompts::Yes,
                            {// Status replies keep moving the dial and the lamps.
                             {[&] { pty.Write(StatusLine(1023, 0, 2, 0x01)); },
                              [&] {
                                  return window->BarrelGauge->Position() == 360.0f
                                      && window->UpshiftLed->Value();
                              }},
                             // The link drops and comes back: no question on top of this one.
                             {[&] {
                                  dropLink();
                                  pty.Write(StatusLine(0, 0, 1, 0));
                              },
                              [&] { return window->Connected; }},
                             // It drops again before the Yes, which then starts nothing.
                             {dropLink, nullptr}}});

    ASSERT_TRUE(pty.Write("@V010000\r"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !modal.Asked.isEmpty() && !window->UploadPromptOpen; },
                                10000));
    EXPECT_EQ(modal.Asked, QStringList {question});
    EXPECT_EQ(modal.TimedOut, 0);
    EXPECT_FALSE(window->Connected);
    EXPECT_FALSE(window->tmrUpDownAll->isActive()) << "a Yes after the link was lost reads nothing";
    EXPECT_FALSE(progress->isVisible());
}

TEST_F(MainWindowTest, SilenceDropsTheLinkAtTheSecondLinkTick)
{
    CreateOnPty();
    Connect();
    window->tmrLinkTimer();
    EXPECT_TRUE(window->Connected);
    window->tmrLinkTimer();
    EXPECT_FALSE(window->Connected);
    EXPECT_EQ(window->PanelText(0), "ECU Disconnected");
    EXPECT_FALSE(window->btnCapture->isEnabled());
    EXPECT_TRUE(window->UploadAllSettingsToEcu1->isEnabled());
    EXPECT_EQ(window->PanelText(1), "ECU Version v 1.0.0");
    window->tmrStatusTimer();
    EXPECT_EQ(Sent(), "@V\n");

    // The controller comes back: the question is asked again. The watchdog counts afresh from
    // that reply: its tick under the question does not drop the link just found, and a Yes reads.
    window->tmrLinkTimer(); // it repeats itself while the link stays lost
    prompts.Answers = {TPrompts::Yes};
    prompts.WhileOpen = [this](const QString &) { window->tmrLinkTimer(); };
    Feed(StatusLine(0, 0, 1, 0));
    prompts.WhileOpen = nullptr;
    EXPECT_TRUE(window->Connected);
    EXPECT_EQ(prompts.Questions.size(), 2u);
    EXPECT_TRUE(window->tmrUpDownAll->isActive());
}

TEST_F(MainWindowTest, NoQuestionWhileTheProgressWindowIsShown)
{
    CreateOnPty();
    progress->StartProgress("Upload from ECU", 4);
    Feed("@V010000\r");
    EXPECT_TRUE(window->Connected);
    EXPECT_TRUE(prompts.Questions.empty());
}

// The controller comes back while the save question of Exit is open. Asked on top of it, a Yes
// to the link's question would read the controller's settings, and the Yes below would then save
// them into the profile: the link's question waits for the open one to close, and is not asked
// when the link is lost again meanwhile.
TEST_F(MainWindowTest, TheLinkQuestionWaitsForAnOpenQuestionToClose)
{
    const QString saveQuestion = "Settings have changed - do you want to save?";
    const QString linkQuestion = "ECU Connected - upload values from ECU?";
    for (const bool lostAgain : {false, true}) {
        SCOPED_TRACE(lostAgain ? "lost again under the question" : "still up");
        CreateOnPty();
        window->SettingsChanged = true;
        prompts.Questions.clear();
        prompts.Answers = {TPrompts::Cancel};
        prompts.WhileOpen = [&](const QString &) {
            prompts.WhileOpen = nullptr;
            Feed(StatusLine(100, 0, 1, 0));
            ASSERT_TRUE(window->Connected);
            if (lostAgain)
                for (int i = 0; i < kLinkLostAfterTicks; ++i)
                    window->tmrLinkTimer();
        };
        EXPECT_FALSE(window->FormCloseQuery());
        EXPECT_EQ(prompts.Texts(), QStringList {saveQuestion});
        QCoreApplication::processEvents();
        EXPECT_EQ(prompts.Texts(),
                  lostAgain ? QStringList {saveQuestion}
                            : QStringList({saveQuestion, linkQuestion}));
        EXPECT_TRUE(window->SettingsChanged);
    }
}

// The same under the program's own modal dialogs, which are no prompts: a Yes under the
// Communications dialog would start a read that its OK on another port then cuts short.
TEST_F(MainWindowTest, TheLinkQuestionWaitsForTheProgramsOwnDialogsToClose)
{
    const QString linkQuestion = "ECU Connected - upload values from ECU?";
    struct Row
    {
        const char *name;
        std::function<void()> open;
        std::function<QDialog *()> dialog;
    };
    const Row rows[] = {
        {"Communications", [this] { window->Communications1Click(); },
         [this]() -> QDialog * { return comms.get(); }},
        {"About", [this] { window->About1Click(); }, [this]() -> QDialog * { return about.get(); }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        CreateOnPty();
        prompts.Questions.clear();
        bool askedUnder = true;
        QTimer::singleShot(0, window.get(), [&] {
            Feed("@V010000\r");
            EXPECT_TRUE(window->Connected);
            askedUnder = !prompts.Questions.empty();
            row.dialog()->reject();
        });
        row.open();
        EXPECT_FALSE(askedUnder);
        EXPECT_TRUE(prompts.Questions.empty());
        QCoreApplication::processEvents();
        EXPECT_EQ(prompts.Texts(), QStringList {linkQuestion});
    }
}

TEST_F(MainWindowTest, StatusLabelsAndLamps)
{
    CreateOnPty();
    Connect();
    struct Row
    {
        int adc;
        const char *gear;
        const char *angle;
    };
    for (const Row &row :
         {Row {0, "000", "000°"}, Row {5, "005", "002°"}, Row {1023, "1023", "360°"}}) {
        Feed(StatusLine(row.adc, 7, 4, 0));
        EXPECT_EQ(window->lblGear->text(), QString::fromUtf8(row.gear)) << row.adc;
        EXPECT_EQ(window->lblAngle->text(), QString::fromUtf8(row.angle)) << row.adc;
        EXPECT_EQ(window->lblAdc->text(), "007");
        EXPECT_EQ(window->GearDisplay->Digit(), '3');
    }
    EXPECT_FLOAT_EQ(window->BarrelGauge->Position(), 360.0f);

    // One lamp per bit: up-shift 0, down-shift 1, engine cut 2, blip 3.
    debug->show();
    struct Lamps
    {
        int bits;
        bool upshift, downshift, engineCut, blip;
        const char *text;
    };
    for (const Lamps &row : {Lamps {0x01, true, false, false, false, "01"},
                             Lamps {0x02, false, true, false, false, "02"},
                             Lamps {0x04, false, false, true, false, "04"},
                             Lamps {0x08, false, false, false, true, "08"},
                             Lamps {0x05, true, false, true, false, "05"},
                             Lamps {0xFA, false, true, false, true, "FA"}}) {
        Feed(StatusLine(100, 0, 1, row.bits));
        EXPECT_EQ(window->UpshiftLed->Value(), row.upshift) << row.text;
        EXPECT_EQ(window->DownshiftLed->Value(), row.downshift) << row.text;
        EXPECT_EQ(window->EngineCutLed->Value(), row.engineCut) << row.text;
        EXPECT_EQ(window->BlipLed->Value(), row.blip) << row.text;
        EXPECT_EQ(window->lblStatus->text(), row.text);
        for (int bit = 0; bit < 8; ++bit)
            EXPECT_EQ(debug->lstBits->item(bit)->checkState() == Qt::Checked,
                      (row.bits >> bit & 1) != 0)
                << row.text << " bit " << bit;
    }
}

TEST_F(MainWindowTest, AReadingRepaintsTheReadingsNotTheDashboardBehindThem)
{
    CreateOnPty();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    Connect();
    Feed(StatusLine(500, 40, 4, 0));
    QApplication::processEvents();
    auto *dash = window->findChild<QWidget *>(QStringLiteral("pnlDash"));
    auto *sensors = window->findChild<TCachedGroupBox *>(QStringLiteral("GroupBox2"));
    ASSERT_TRUE(dash && sensors);
    PaintRecorder dashPaints, captionPaints, readingPaints;
    dash->installEventFilter(&dashPaints);
    for (QLabel *label : sensors->findChildren<QLabel *>())
        label->installEventFilter(
            label == window->lblAngle || label == window->lblAdc ? &readingPaints : &captionPaints);
    const int styleDraws = sensors->StyleDraws();

    Feed(StatusLine(517, 43, 4, 0)); // a new angle and analogue input; the same gear
    QApplication::processEvents();
    EXPECT_EQ(readingPaints.Paints, 2);
    EXPECT_EQ(captionPaints.Paints, 0);
    EXPECT_EQ(dashPaints.Paints, 0);
    EXPECT_EQ(sensors->StyleDraws(), styleDraws);
}

TEST_F(MainWindowTest, IndicesBeyondTheTablesAreNeverUsed)
{
    CreateOnPty();
    Connect();
    Feed(StatusLine(10, 0, 200, 0));
    EXPECT_EQ(window->GearDisplay->Digit(), '?');

    const auto delays = window->Ecu.SparkDelays;
    Feed("@d0C7D\r"); // index 12
    EXPECT_EQ(window->Ecu.SparkDelays, delays);

    Feed("@r0002001400300024\r"); // slot 0 starts a new list
    Feed("@r0CC8001400300024\r"); // slot 12, gear 200
    ASSERT_EQ(window->Ecu.Ranges.Count(), 2);
    EXPECT_EQ(window->Ecu.Ranges.Items(1).Gear, 200);
    // The dial holds slots 0..10: slot 10 is its last, a slot above leaves it alone.
    EXPECT_EQ(window->BarrelGauge->RangeCount(), 1);
    Feed("@r0B03001400300024\r"); // slot 11
    EXPECT_EQ(window->BarrelGauge->RangeCount(), 1);
    EXPECT_FLOAT_EQ(window->BarrelGauge->RangeHigh(0), 0x30 * 360.0f / 1023.0f);
    Feed("@r0A03001400400024\r"); // slot 10
    EXPECT_EQ(window->BarrelGauge->RangeCount(), 11);
    EXPECT_FLOAT_EQ(window->BarrelGauge->RangeHigh(10), 0x40 * 360.0f / 1023.0f);
    EXPECT_EQ(window->Ecu.Ranges.Count(), 4);
}

TEST_F(MainWindowTest, ReceivedRanges)
{
    CreateOnPty();
    Connect();
    window->LinkMissedTicks = 1;
    const int before = window->Ecu.Ranges.Count();
    Feed("@r0300000000000000\r"); // an empty slot
    EXPECT_EQ(window->Ecu.Ranges.Count(), before);
    EXPECT_FALSE(window->SettingsChanged);
    EXPECT_EQ(window->LinkMissedTicks, 0);

    Feed("@r0102001400300024\r"); // slot 1 appends to the list held
    EXPECT_EQ(window->Ecu.Ranges.Count(), before + 1);
    EXPECT_FALSE(window->SettingsChanged);

    Feed("@r0003010001200110\r");
    Feed("@r0105020002200210\r");
    ASSERT_EQ(window->Ecu.Ranges.Count(), 2);
    EXPECT_TRUE(window->SettingsChanged);
    EXPECT_EQ(window->Ecu.Ranges.Items(0).Gear, 3);
    EXPECT_EQ(window->Ecu.Ranges.Items(1).Gear, 5);
    EXPECT_EQ(window->Ecu.Positions[5].Adc, 0x210);
    EXPECT_FALSE(window->Ecu.Ranges.Items(0).Sampled);
    EXPECT_EQ(window->BarrelGauge->RangeCount(), 2);
}

TEST_F(MainWindowTest, ReceivedSettingsGoIntoTheModelAsTheyCome)
{
    CreateOnPty();
    Connect();
    Feed("@p1007020A0A05202F\r");
    EXPECT_EQ(window->Ecu.GearThresholdUpper, 0x10);
    EXPECT_EQ(window->Ecu.PositionCount, 7);
    EXPECT_EQ(window->Ecu.GearShiftType, 2);
    EXPECT_EQ(window->Ecu.Debounce, 10);
    EXPECT_EQ(window->Ecu.Ignore, 10);
    EXPECT_EQ(window->Ecu.BarrelThreshold, 5);
    EXPECT_EQ(window->Ecu.GearThresholdLower, 0x20);
    EXPECT_EQ(window->Ecu.BlipTimeout, 0x2F);
    // Ranges of gears above the new count are gone; the panel shows the rest.
    for (int i = 0; i < window->Ecu.Ranges.Count(); ++i)
        EXPECT_LT(window->Ecu.Ranges.Items(i).Gear, 7);
    EXPECT_EQ(window->CellText(0, 7), "Fifth");

    Feed("@f030A01F432\r");
    EXPECT_TRUE(window->Ecu.UseFeedback);
    EXPECT_TRUE(window->Ecu.UseCutAfterBlip);
    EXPECT_EQ(window->Ecu.FeedbackWindow, 10);
    EXPECT_EQ(window->Ecu.SparkCutTimeout, 500);
    EXPECT_EQ(window->Ecu.CutAfterBlip, 0x32);
    EXPECT_FALSE(window->SettingsChanged);
}

TEST_F(MainWindowTest, TxMessagesUncheckedWritesNothingButDrainsTheQueue)
{
    CreateOnPty();
    debug->chkTx->setChecked(false);
    window->ResetECU1Click();
    window->tmrStatusTimer();
    window->tmrStatusTimer();
    EXPECT_TRUE(window->TxQueue.isEmpty());
    EXPECT_EQ(Sent(), "");
    debug->show();
    EXPECT_EQ(debug->lstDebug->count(), 0);
}

TEST_F(MainWindowTest, ReceivedStatusIsLoggedOnlyWhenItChanges)
{
    CreateOnPty();
    Connect();
    debug->show();
    const int other = debug->lstDebug->count();
    Feed(StatusLine(100, 0, 1, 0));
    Feed(StatusLine(100, 0, 1, 0));
    Feed(StatusLine(101, 0, 1, 0));
    EXPECT_EQ(debug->lstStatus->count(), 4); // the version line and three status lines
    EXPECT_EQ(debug->lstDebug->count(), other + 2);
    EXPECT_EQ(debug->lstDebug->item(0)->text(), "Rx>s0065000100");
}
