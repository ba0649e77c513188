// Live data: the sample ring fed by status replies, the data log with its marker rows, the Live
// Data window's chart and range check, and a logged run against the simulated controller.

#include "mainFixture.h"

#include "dataLogFile.h"
#include "liveData.h"
#include "liveRecorder.h"
#include "paintRecorder.h"
#include "serialDriver.h"
#include "simPtyServer.h"
#include "statusPanels.h"
#include "stripChart.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QTableWidget>
#include <QTest>
#include <QWheelEvent>

#include <atomic>
#include <future>
#include <sstream>
#include <thread>
#include <tuple>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

std::string StatusLine(int adc, int analogue, int gear, int bits)
{
    char line[32];
    std::snprintf(line, sizeof line, "@s%04X%02X%02X%02X\r", adc, analogue, gear, bits);
    return line;
}

QStringList FileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

class LiveDataTest : public MainWindowTest
{
protected:
    TLiveRecorder &Live() { return *window->LiveData; }

    QString LogsFolder() { return folder.path() + QStringLiteral("/logs"); }

    // Brings the link up and starts logging.
    QString StartLogging()
    {
        Connect();
        Live().StartLogging1Click();
        EXPECT_TRUE(Live().Logging());
        return Live().LogPath();
    }

    void LoseLink()
    {
        for (int i = 0; i < 3; ++i) // the watchdog repeats itself while the link stays lost
            window->tmrLinkTimer();
    }

    // A run: neutral at rest, a shift into first, first at rest with one reading outside its
    // range after settling, into second.
    void FeedRun()
    {
        const int replies[][4] = {
            {260, 0, 1, 0x00},  {262, 3, 1, 0x00},  {261, 5, 1, 0x00},  {263, 4, 1, 0x00},
            {519, 4, 1, 0x00},  {262, 4, 1, 0x00}, // one digit changed on the line: 0x107 to 0x207
            {263, 90, 1, 0x01}, {300, 91, 1, 0x05}, {340, 20, 2, 0x04}, {380, 2, 2, 0x00},
            {381, 2, 2, 0x00},  {382, 2, 2, 0x00},  {389, 2, 2, 0x00},  {396, 2, 2, 0x00},
            {460, 2, 3, 0x00},  {461, 2, 3, 0x00},  {460, 2, 3, 0x00},  {462, 2, 3, 0x00},
        };
        for (const auto &r : replies)
            Feed(StatusLine(r[0], r[1], r[2], r[3]));
    }

    // Ranges of neutral, first and second, in counts.
    void SetRanges()
    {
        window->Ecu.Ranges.Clear();
        const int ranges[][4] = {{1, 240, 280, 260}, {2, 360, 390, 380}, {3, 440, 480, 460}};
        for (const auto &r : ranges) {
            TGearData &d = window->Ecu.Ranges.Add();
            d.Gear = static_cast<std::uint8_t>(r[0]);
            d.Lower = r[1];
            d.Upper = r[2];
            d.Adc = static_cast<std::uint16_t>(r[3]);
        }
    }
};

TEST_F(LiveDataTest, MenuIsAddedBeforeHelpAndLeavesTheOthersAlone)
{
    Create();
    QStringList menus;
    for (QAction *a : window->menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus.last(), "Help");
    EXPECT_EQ(menus.at(menus.size() - 2), "Tools");
    EXPECT_EQ(Live().LiveData1->text(), "Live Data");
    EXPECT_EQ(Live().StartLogging1->text(), "Start Logging");
    EXPECT_EQ(Live().StopLogging1->text(), "Stop Logging");
    EXPECT_TRUE(Live().StartLogging1->isEnabled());
    EXPECT_FALSE(Live().StopLogging1->isEnabled());
    EXPECT_FALSE(Live().HasWindow()); // made when first asked for
}

TEST_F(LiveDataTest, LogHasARowPerReplyAndMarkersForLinkTransfersAndProfiles)
{
    Create();
    window->show();
    std::int64_t nowMs = 7000;
    Live().RunClock = [&nowMs] { return nowMs; };
    const QString path = StartLogging();
    EXPECT_TRUE(path.startsWith(LogsFolder() + "/"));
    EXPECT_TRUE(QRegularExpression(R"(/\d{4}-\d\d-\d\d \d\d-\d\d-\d\d untitled\.csv$)")
                    .match(path)
                    .hasMatch())
        << path.toStdString();
    EXPECT_FALSE(Live().StartLogging1->isEnabled());
    EXPECT_TRUE(Live().StopLogging1->isEnabled());
    EXPECT_EQ(window->pnlStatusBar->PanelAt(3).Text, "Logging to " + QFileInfo(path).fileName());

    nowMs += 250;
    Feed(StatusLine(0x102, 0x4E, 1, 0x05));
    // Replies that line noise cut short, garbled or pushed past the sensor's range leave no row.
    Feed("@s0102\r");
    Feed("@s01024E0x05\r");
    Feed(StatusLine(1024, 0x4E, 1, 0x05));
    // A row is with the operating system as soon as its reply is decoded; the disk gets it
    // within a second.
    EXPECT_EQ(FileLines(path).size(), 5);
    EXPECT_EQ(Live().Samples().Count(), 1u);
    EXPECT_TRUE(Live().findChild<QTimer *>("tmrLogSync")->isActive());
    EXPECT_LE(Live().findChild<QTimer *>("tmrLogSync")->interval(), 1000);

    LoseLink();
    nowMs += 3'600'000; // the laptop slept an hour: the ms column keeps that hour
    prompts.Answers.push_back(TPrompts::No);
    Feed(StatusLine(1023, 255, 9, 0xFA)); // back, and logging goes on
    window->SaveProfile(folder.path() + "/profiles/Kart 7.ini");
    Live().StopLogging1Click();
    Feed(StatusLine(5, 5, 5, 5)); // after the stop: not logged
    EXPECT_FALSE(Live().Logging());
    EXPECT_EQ(window->pnlStatusBar->PanelAt(3).Text, "");

    const QStringList lines = FileLines(path);
    const QStringList expected = {
        "time,ms,adc,angle_deg,gear_index,gear,analog_input,status_hex,upshift_trigger,"
        "downshift_trigger,engine_cut,throttle_blip",
        "0,,,,,,,,,,,logging started, profile (none)",
        "0,,,,,,,,,,,link up",
        "0,,,,,,,,,,,ranges 0:70-98@84 1:214-242@228 2:326-354@340 3:438-466@452 4:558-586@572 "
        "5:686-714@700 6:810-838@824 7:926-954@940",
        "250,258,90.8,1,N,78,05,1,0,1,0",
        "250,,,,,,,,,,,link down",
        "3600250,,,,,,,,,,,link up",
        "3600250,1023,360.0,9,x,255,FA,0,1,0,1",
        "3600250,,,,,,,,,,,profile saved: Kart 7.ini",
        "3600250,,,,,,,,,,,logging stopped",
    };
    ASSERT_EQ(lines.size(), expected.size()) << lines.join('\n').toStdString();
    const QRegularExpression start(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3},)");
    for (int i = 1; i < lines.size(); ++i) {
        const QRegularExpressionMatch m = start.match(lines[i]);
        ASSERT_TRUE(m.hasMatch()) << lines[i].toStdString();
        QString rest = lines[i].mid(m.capturedLength());
        rest.remove(QLatin1Char('"'));
        EXPECT_EQ(rest, expected[i]) << i;
    }
    EXPECT_EQ(lines[0], expected[0]);
}

TEST_F(LiveDataTest, AReplyThatBringsTheLinkBackIsRecordedBeforeTheRepliesUnderItsQuestion)
{
    Create();
    window->show();
    const QString path = StartLogging();
    LoseLink();
    // The reply that brings the link back opens the upload question; another came in the same
    // read, and two more come in while it is open. All four are recorded in the order they came.
    prompts.WhileOpen = [&](const QString &) {
        prompts.WhileOpen = nullptr;
        Feed(StatusLine(0x2A1, 7, 3, 0x00));
        Feed(StatusLine(0x2B3, 9, 3, 0x02));
    };
    const std::size_t before = Live().Samples().Count();
    Feed(StatusLine(0x111, 5, 2, 0x01) + StatusLine(0x0C4, 5, 2, 0x00));
    const TLiveSamples &samples = Live().Samples();
    ASSERT_EQ(samples.Count(), before + 4);
    EXPECT_EQ(samples.At(before).Adc, 0x111);
    EXPECT_EQ(samples.At(before + 1).Adc, 0x0C4);
    EXPECT_EQ(samples.At(before + 2).Adc, 0x2A1);
    EXPECT_EQ(samples.At(before + 3).Adc, 0x2B3);

    QStringList adcs;
    for (const QString &line : FileLines(path).mid(1)) {
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() > 2 && !fields[2].isEmpty())
            adcs << fields[2];
    }
    EXPECT_EQ(adcs.mid(adcs.size() - 4), QStringList({"273", "196", "673", "691"}));
}

TEST_F(LiveDataTest, TransfersAndAnOpenedProfileAreMarkedWithRangesOnlyWhenTheyCameThrough)
{
    CreateOnPty();
    const QString path = StartLogging();
    SetRanges();
    TQV3318MessageRec line;
    line.MsgType = mtParams;
    Live().TransferStarted(true);
    window->QueueMessage(line);
    window->tmrStatusTimer(); // reaches the port
    Live().TransferFinished();
    Live().TransferFinished(); // a second finish without a start says nothing
    // A line lost outside a transfer does not count against the next one.
    window->CommPort->ClosePort();
    window->QueueMessage(line);
    window->tmrStatusTimer();
    Live().TransferStarted(false);
    Live().TransferFinished();
    // The cable is pulled during a write: its queued lines leave without reaching the port.
    Live().TransferStarted(false);
    window->QueueMessage(line);
    window->tmrStatusTimer();
    Live().TransferFinished();
    // The watchdog finds the link lost during a read that emptied the ranges: they are not the
    // controller's, and are not written.
    Live().TransferStarted(true);
    window->Ecu.Ranges.Clear();
    LoseLink();
    prompts.Answers.push_back(TPrompts::No);
    Feed(StatusLine(300, 1, 2, 0)); // back before the transfer ends
    Live().TransferFinished();
    LoseLink();
    Live().TransferStarted(true); // started with the link down
    Live().TransferFinished();
    SetRanges();
    Live().ProfileOpened("/somewhere/Kart 7.ini");
    Live().StopLogging1Click();
    QStringList events;
    for (const QString &row : FileLines(path).mid(4))
        if (!row.section(',', 12).isEmpty())
            events << row.section(',', 12).remove('"');
    const QString ranges = "ranges 1:240-280@260 2:360-390@380 3:440-480@460";
    const QString trigger = "trigger 1 78 69 14";
    EXPECT_EQ(events,
              (QStringList {"settings read from ECU", ranges, trigger, "settings written to ECU",
                            ranges, trigger, "settings written to ECU failed (link down)",
                            "link down", "link up", "settings read from ECU failed (link down)",
                            "link down", "settings read from ECU failed (link down)",
                            "profile opened: Kart 7.ini", ranges, "logging stopped"}));
}

TEST_F(LiveDataTest, ALogStartsWithTheRangesTheControllerRunsWhereATransferToldThemAndKeepsThem)
{
    Create();
    Connect();
    std::int64_t nowMs = 0;
    Live().RunClock = [&nowMs] { return nowMs; };
    const auto transfer = [this, &nowMs](bool reading, bool fails = false) {
        nowMs += 1000;
        Live().TransferStarted(reading);
        if (fails)
            Live().LineNotSent();
        Live().TransferFinished();
    };
    const auto startEvents = [this] {
        Live().StartLogging1Click();
        const QString path = Live().LogPath();
        Live().StopLogging1Click();
        QStringList events;
        for (const QString &row : FileLines(path).mid(1))
            events << row.section(',', 12).remove('"');
        return events.mid(2, events.size() - 3); // between the link marker and the stop
    };
    SetRanges();
    const QString told = QString::fromStdString(FormatRangesEvent(window->Ecu.Ranges));
    EXPECT_EQ(startEvents(), QStringList {told}); // nothing told yet: only the panel's
    window->Ecu.GearShiftType = 1;
    window->Ecu.GearThresholdUpper = 78;
    window->Ecu.GearThresholdLower = 69;
    window->Ecu.BarrelThreshold = 14;
    transfer(true);
    // Changed in the panel, not in the controller: the log carries the controller's ranges and
    // trigger thresholds, which an opened log is drawn with.
    window->Ecu.Ranges.Items(0).Upper = 290;
    window->Ecu.GearThresholdUpper = 91;
    const QString panel = QString::fromStdString(FormatRangesEvent(window->Ecu.Ranges));
    EXPECT_EQ(startEvents(),
              (QStringList {panel, "settings known from an earlier transfer: " + told,
                            "trigger 1 78 69 14"}));
    transfer(false, true);
    EXPECT_EQ(startEvents(), QStringList {panel}); // a failed write leaves them unknown

    // The oldest transfers go; what they told stays.
    const auto check = [this] { return RangesOfRun(Live().RangeMarkers()); };
    transfer(false);
    std::int64_t changedMs = 0;
    for (std::size_t i = 0; i < TLiveRecorder::kMaxRangeMarkers; ++i) {
        // Other ranges, written by the transfer the cut falls in: its event is the last to go.
        if (Live().RangeMarkers().size() == TLiveRecorder::kMaxRangeMarkers / 2 - 1) {
            window->Ecu.Ranges.Items(2).Lower = 437;
            changedMs = nowMs + 1000;
        }
        transfer(false);
    }
    EXPECT_LT(Live().RangeMarkers().size(), TLiveRecorder::kMaxRangeMarkers);
    EXPECT_EQ(check().FromMs, changedMs);
    const std::string written = FormatRangesEvent(window->Ecu.Ranges);
    EXPECT_EQ(FormatRangesEvent(check().Ranges), written);
    const std::int64_t firstFailed = nowMs + 1000;
    for (std::size_t i = 0; i < TLiveRecorder::kMaxRangeMarkers; ++i)
        transfer(false, true);
    EXPECT_EQ(check().UntilMs, firstFailed);
    EXPECT_EQ(FormatRangesEvent(check().Ranges), written);
    TfrmLiveData *live = Live().Window();
    live->btnCheckRangesClick();
    EXPECT_TRUE(live->lblCheckFrom->text().contains(
        "on: the ranges were written to the controller then, and the ones it ran with before are "
        "not known."));
}

TEST(DataLogFile, NameReplacesWhatFileSystemsRefuseAndStaysShortWithoutSplittingACharacter)
{
    const QDateTime when(QDate(2026, 12, 9), QTime(14, 3, 7));
    EXPECT_EQ(TDataLogFile::FileName(when, " a/b:c*d\t "), "2026-12-09 14-03-07 a_b_c_d.csv");
    EXPECT_EQ(TDataLogFile::FileName(when, "", 3), "2026-12-09 14-03-07 untitled (3).csv");
    const QString fits(TDataLogFile::kMaxProfileNameBytes, QLatin1Char('k'));
    EXPECT_EQ(TDataLogFile::FileName(when, fits), "2026-12-09 14-03-07 " + fits + ".csv");
    EXPECT_EQ(TDataLogFile::FileName(when, fits + "x"), "2026-12-09 14-03-07 " + fits + ".csv");
    // A four-byte character across the limit goes whole.
    const QString emoji = QString(TDataLogFile::kMaxProfileNameBytes - 2, QLatin1Char('k'))
        + QString::fromUtf8("\xF0\x9F\x8F\x81");
    EXPECT_EQ(TDataLogFile::FileName(when, emoji),
              "2026-12-09 14-03-07 " + emoji.left(TDataLogFile::kMaxProfileNameBytes - 2) + ".csv");
}

TEST_F(LiveDataTest, ARestartInTheSameSecondOrALongProfileNameStillGetsItsOwnLog)
{
    Create();
    Connect();
    window->ProfileFileName
        = folder.path() + "/profiles/" + QString(300, QChar(0x00E9)) + QStringLiteral(".ini");
    prompts.Questions.clear();
    QStringList paths;
    for (int run = 0; run < 3; ++run) {
        Live().StartLogging1Click();
        paths << Live().LogPath();
        Live().StopLogging1Click();
    }
    EXPECT_TRUE(prompts.Questions.empty());
    for (const QString &path : paths) {
        ASSERT_FALSE(path.isEmpty());
        EXPECT_LE(QFileInfo(path).fileName().toUtf8().size(), 255);
        const QStringList lines = FileLines(path);
        ASSERT_GE(lines.size(), 2);
        // Every run's own start, none written over.
        EXPECT_EQ(lines[1].section(',', 12).remove('"'),
                  "logging started, profile " + QString(300, QChar(0x00E9)));
    }
    EXPECT_EQ(QSet<QString>(paths.begin(), paths.end()).size(), 3);
    EXPECT_EQ(QDir(LogsFolder()).entryList(QDir::Files).size(), 3);
}

TEST_F(LiveDataTest, UnwritableLogsFolderGivesOneMessageAndNoLog)
{
    Create();
    window->show();
    // A file where the folder should be: no user, root included, can make the folder.
    QFile blocker(LogsFolder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Connect();
    prompts.Questions.clear();
    Live().StartLogging1Click();
    ASSERT_EQ(prompts.Questions.size(), 1u);
    EXPECT_EQ(prompts.Questions[0].kind, TPrompts::Error);
    EXPECT_EQ(prompts.Questions[0].text,
              "Unable to start logging: cannot write to " + LogsFolder());
    EXPECT_FALSE(Live().Logging());
    EXPECT_TRUE(Live().StartLogging1->isEnabled());
    EXPECT_EQ(window->pnlStatusBar->PanelAt(3).Text, "");
    // Nothing else is disturbed: replies keep coming in, no further message.
    Feed(StatusLine(300, 1, 2, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts.Questions.size(), 1u);
    EXPECT_EQ(Live().Samples().Count(), 1u);
    EXPECT_EQ(window->PanelText(0), "ECU Connected");
}

TEST_F(LiveDataTest, AWriteFailureStopsLoggingWithOneMessageOutsideTheReceivePath)
{
    Create();
    window->show();
    const QString path = StartLogging();
    prompts.Questions.clear();
    // The disk fills up: a file size limit just above what is written makes the next row fail.
    struct rlimit old
    {
    };
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = static_cast<rlim_t>(QFileInfo(path).size() + 10);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Feed(StatusLine(300, 1, 2, 0));
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(Live().Logging());
    EXPECT_TRUE(Live().StartLogging1->isEnabled());
    EXPECT_TRUE(prompts.Questions.empty()); // not asked from inside the receive path
    QCoreApplication::processEvents();
    Feed(StatusLine(301, 1, 2, 0));
    QCoreApplication::processEvents();
    ASSERT_EQ(prompts.Questions.size(), 1u);
    EXPECT_EQ(prompts.Questions[0].kind, TPrompts::Error);
    EXPECT_EQ(prompts.Questions[0].text, "Logging stopped: unable to write to " + path);
    EXPECT_EQ(Live().Samples().Count(), 2u); // the chart goes on

    // A log renamed while it runs is written on, and named as it is now.
    prompts.Questions.clear();
    Live().findChild<QTimer *>("tmrLogSync")->setInterval(10); // the second's wait, shortened
    const QString named = StartLogging();
    const QString renamed = QFileInfo(named).absolutePath() + "/qualifying.csv";
    ASSERT_TRUE(QFile::rename(named, renamed));
    Feed(StatusLine(302, 1, 2, 0));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->pnlStatusBar->PanelAt(3).Text == "Logging to qualifying.csv"; },
        5000));
    EXPECT_EQ(Live().LogPath(), renamed);
    Live().StopLogging1Click();
    const QStringList renamedLines = FileLines(renamed);
    EXPECT_EQ(renamedLines.filter(",302,").size(), 1);
    EXPECT_TRUE(renamedLines.last().endsWith("logging stopped"));

    // A log deleted while it runs would take every row from then on with it, without a word.
    const QString deleted = StartLogging();
    ASSERT_TRUE(QFile::remove(deleted));
    Feed(StatusLine(302, 1, 2, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Live().Logging(); }, 5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts.Texts(), QStringList {"Logging stopped: " + deleted + " was deleted"});
}

// The disk's wait runs on a worker: replies go on being logged while it lasts, and a sync that
// fails stops logging as a failed write does.
TEST_F(LiveDataTest, TheDisksWaitRunsOffTheWindowsThreadAndItsFailureStopsLogging)
{
    Create();
    window->show();
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> entered = false;
    std::atomic<int> worked = 0;
    std::atomic<int> waited = 0; // on the window's thread
    const std::thread::id windows = std::this_thread::get_id();
    Live().SyncDescriptor = [&, released, windows](int descriptor) {
        if (std::this_thread::get_id() == windows) {
            ++waited;
        } else {
            entered = true;
            released.wait();
            ++worked;
        }
        return TDataLogFile::SyncToDisk(descriptor);
    };
    // Even the header's sync leaves the start at once.
    const QString path = StartLogging();
    prompts.Questions.clear();
    QTimer *timer = Live().findChild<QTimer *>("tmrLogSync");
    timer->setInterval(10); // the second's wait, shortened
    Feed(StatusLine(300, 1, 2, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return entered.load(); }, 5000));
    const qsizetype before = FileLines(path).size();
    Feed(StatusLine(301, 1, 2, 0));
    EXPECT_EQ(FileLines(path).size(), before + 1);
    QTest::qWait(50); // the disk stays slow for a few ticks, and no reply comes meanwhile
    release.set_value();
    // The worker's result is taken and the row that came meanwhile synced in its turn.
    ASSERT_TRUE(QTest::qWaitFor([timer] { return !timer->isActive(); }, 5000));
    EXPECT_EQ(worked.load(), 2);
    EXPECT_EQ(waited.load(), 0);
    EXPECT_TRUE(Live().Logging());
    EXPECT_TRUE(prompts.Questions.empty());

    Live().StopLogging1Click();
    Live().SyncDescriptor = [windows](int descriptor) {
        return std::this_thread::get_id() == windows && TDataLogFile::SyncToDisk(descriptor);
    };
    const QString second = StartLogging();
    prompts.Questions.clear();
    Feed(StatusLine(302, 1, 2, 0));
    ASSERT_TRUE(QTest::qWaitFor([this] { return !Live().Logging(); }, 5000));
    QCoreApplication::processEvents();
    ASSERT_EQ(prompts.Questions.size(), 1u);
    EXPECT_EQ(prompts.Questions[0].text, "Logging stopped: unable to write to " + second);

    // The last rows are synced at the stop by a worker too: the stop returns at once, a new log
    // may start meanwhile, and a failure is told when the disk has answered, with the old name.
    std::promise<void> slowRelease;
    const std::shared_future<void> slow = slowRelease.get_future().share();
    std::atomic<int> waits = 0;
    Live().SyncDescriptor = [&waits, slow, windows](int descriptor) {
        if (std::this_thread::get_id() == windows)
            return TDataLogFile::SyncToDisk(descriptor);
        const int wait = ++waits;
        slow.wait();
        return wait != 1 && TDataLogFile::SyncToDisk(descriptor);
    };
    const QString third = StartLogging();
    prompts.Questions.clear();
    Feed(StatusLine(303, 1, 2, 0));
    Live().StopLogging1Click();
    EXPECT_FALSE(Live().Logging());
    ASSERT_TRUE(QTest::qWaitFor([&waits] { return waits.load() == 1; }, 5000));
    const QString fourth = StartLogging();
    EXPECT_NE(fourth, third);
    QTest::qWait(50);
    EXPECT_TRUE(prompts.Questions.empty());
    slowRelease.set_value();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !prompts.Questions.empty(); }, 5000));
    QTest::qWait(50);
    ASSERT_EQ(prompts.Questions.size(), 1u);
    EXPECT_EQ(prompts.Questions[0].text, "Logging stopped: unable to write to " + third);
    EXPECT_TRUE(Live().Logging());
    EXPECT_TRUE(FileLines(third).back().endsWith("logging stopped"));
    // No worker outlives what its hook refers to.
    Live().StopLogging1Click();
    QTimer *closer = Live().findChild<QTimer *>("tmrLogClose");
    ASSERT_TRUE(QTest::qWaitFor([closer] { return !closer->isActive(); }, 5000));
    EXPECT_EQ(prompts.Questions.size(), 1u);
}

TEST(DataLogFile, OneSyncRunsAtATimeAndACloseEndsIt)
{
    QTemporaryDir dir;
    TDataLogFile log;
    const auto settled = [&log] {
        TDataLogFile::TSync sync;
        while ((sync = log.PollSync()) == TDataLogFile::TSync::Running)
            std::this_thread::yield();
        return sync;
    };
    ASSERT_TRUE(log.Open(dir.path() + "/a.csv"));
    EXPECT_EQ(settled(), TDataLogFile::TSync::Done); // the header's own
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    log.SyncDescriptor = [released](int) {
        released.wait();
        return false;
    };
    ASSERT_TRUE(log.WriteSample("T", {100, 300, 2, 7, 0}));
    ASSERT_TRUE(log.StartSync());
    EXPECT_FALSE(log.Unsynced());
    EXPECT_EQ(log.PollSync(), TDataLogFile::TSync::Running);
    EXPECT_FALSE(log.StartSync());
    release.set_value();
    // Closed before its result was taken: the close tells it, and a new file starts with none.
    EXPECT_FALSE(log.Close());
    log.SyncDescriptor = TDataLogFile::SyncToDisk;
    ASSERT_TRUE(log.Open(dir.path() + "/b.csv"));
    EXPECT_EQ(settled(), TDataLogFile::TSync::Done);
    EXPECT_EQ(log.PollSync(), TDataLogFile::TSync::Idle);
    ASSERT_TRUE(log.WriteSample("T", {100, 300, 2, 7, 0}));
    ASSERT_TRUE(log.StartSync());
    EXPECT_EQ(settled(), TDataLogFile::TSync::Done);
    EXPECT_TRUE(log.Close());
}

TEST_F(LiveDataTest, ALoggedRunReadsBackAsTheSameSamplesAndItsRangeCheck)
{
    Create();
    window->show();
    std::int64_t nowMs = 0;
    Live().RunClock = [&nowMs] { return nowMs; };
    Live().WallClock = [&nowMs] {
        return std::chrono::system_clock::time_point(std::chrono::milliseconds(nowMs));
    };
    const QString path = StartLogging();
    Feed(StatusLine(600, 2, 5, 0));
    // The controller's ranges are read, fifth gear is driven with them, other ranges are written.
    const auto transfer = [this](bool reading) {
        Live().TransferStarted(reading);
        Live().TransferFinished();
    };
    transfer(true);
    for (int i = 0; i < 5; ++i, nowMs += 100)
        Feed(StatusLine(601 + i, 2, 5, 0));
    nowMs = 5900;
    SetRanges();
    transfer(false);
    nowMs = 7100;
    transfer(true); // the same ranges read back and written again are no change
    transfer(false);
    FeedRun();
    LoseLink();
    Live().StopLogging1Click();

    // The thresholds change after the run: the log draws the ones it was driven with.
    window->Ecu.GearThresholdUpper = 201;
    window->Ecu.GearThresholdLower = 12;
    TfrmLiveData *live = Live().Window();
    live->show();
    ASSERT_TRUE(live->OpenLog(path));
    EXPECT_EQ(live->chtLive->Trigger(), (TStripChart::TTrigger {1, 78, 69, 14 * 360.0 / 1024}));
    EXPECT_TRUE(live->ShowingLog());
    const TLiveSamples &logged = live->Shown();
    const TLiveSamples &recorded = Live().Samples();
    ASSERT_EQ(logged.Count(), recorded.Count());
    const std::int64_t offset = recorded.At(0).Ms - logged.At(0).Ms;
    for (std::size_t i = 0; i < logged.Count(); ++i) {
        TLogSample l = logged.At(i);
        l.Ms += offset;
        EXPECT_EQ(l, recorded.At(i)) << i;
    }
    EXPECT_EQ(logged.DownPeriods().size(), 1u); // the lost link, closed at the log's end
    EXPECT_TRUE(live->windowTitle().endsWith(QFileInfo(path).fileName()));

    // The log carries its ranges: changing the model's does not change the check, which takes
    // the readings from the write on.
    window->Ecu.Ranges.Clear();
    live->btnCheckRangesClick();
    const QString from = "Readings from "
        + QDateTime::fromMSecsSinceEpoch(5900).toString("HH:mm:ss")
        + " on: the controller's ranges changed then";
    EXPECT_TRUE(live->lblCheckFrom->isVisibleTo(live));
    EXPECT_TRUE(live->lblCheckFrom->text().startsWith(from))
        << live->lblCheckFrom->text().toStdString();
    QTableWidget *table = live->sgRangeCheck;
    ASSERT_EQ(table->rowCount(), 3);
    const QStringList neutral = {"N  Neutral", "3", "91.8°", "92.2°", "92.6°", "6.0°", "fits"};
    const QStringList first = {
        "1  First", "3", "134.4°", "136.9°", "139.4°", "-2.1°", "1 reading(s) outside its range"};
    const QStringList second = {"2  Second", "2", "161.9°", "162.2°", "162.6°", "6.3°", "fits"};
    const QStringList *rows[] = {&neutral, &first, &second};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 7; ++column)
            EXPECT_EQ(table->item(row, column)->text(), rows[row]->at(column)) << row << column;
    EXPECT_TRUE(table->item(0, 1)->toolTip().startsWith("1 more reading(s) left out"));
    EXPECT_TRUE(table->item(1, 1)->toolTip().isEmpty());
    // A wider margin marks the gear that came close.
    live->edtMargin->setValue(7.5);
    EXPECT_EQ(table->item(2, 6)->text(), "within 7.5° of an edge");
    EXPECT_EQ(table->item(0, 6)->text(), "within 7.5° of an edge");
    EXPECT_NE(table->item(2, 2)->background(), QBrush());
    // Back again, the marks go; a check that finds what the table shows replaces no cell.
    live->edtMargin->setValue(2.0);
    EXPECT_EQ(table->item(2, 6)->text(), "fits");
    EXPECT_EQ(table->item(2, 2)->background(), QBrush());
    const auto cells = [table] {
        QList<const QTableWidgetItem *> all;
        for (int row = 0; row < table->rowCount(); ++row)
            for (int column = 0; column < table->columnCount(); ++column)
                all << table->item(row, column);
        return all;
    };
    const QList<const QTableWidgetItem *> shown = cells();
    live->btnCheckRangesClick();
    EXPECT_EQ(cells(), shown);

    live->btnLiveClick();
    EXPECT_FALSE(live->ShowingLog());
    EXPECT_EQ(&live->Shown(), &Live().Samples());
    EXPECT_EQ(live->chtLive->Trigger().UpThreshold, 201);
    // Live, the same transfers give the same start.
    EXPECT_TRUE(live->lblCheckFrom->text().startsWith(from));
    EXPECT_EQ(table->rowCount(), 3);
    // The panel's ranges change without reaching the controller (a profile opened, File New):
    // the readings are still judged by the ones the controller runs with, as in the log.
    QStringList judged;
    for (int row = 0; row < 3; ++row)
        judged << table->item(row, 5)->text() + " " + table->item(row, 6)->text();
    SetRanges();
    for (int k = 0; k < window->Ecu.Ranges.Count(); ++k) {
        window->Ecu.Ranges.Items(k).Lower += 37;
        window->Ecu.Ranges.Items(k).Upper += 37;
    }
    live->btnCheckRangesClick();
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(table->item(row, 5)->text() + " " + table->item(row, 6)->text(), judged[row])
            << row;
    window->Ecu.Ranges.Clear();

    // A write that fails leaves ranges not known: the readings after it do not count.
    nowMs = 9000;
    Live().TransferStarted(false);
    Live().LineNotSent();
    Live().TransferFinished();
    FeedRun();
    live->btnCheckRangesClick();
    const QString after = "Readings after "
        + QDateTime::fromMSecsSinceEpoch(9000).toString("HH:mm:ss")
        + " do not count: a write to the controller failed then";
    EXPECT_TRUE(live->lblCheckFrom->text().startsWith(from));
    EXPECT_TRUE(live->lblCheckFrom->text().contains(after))
        << live->lblCheckFrom->text().toStdString();
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(table->item(row, 1)->text(), rows[row]->at(1)) << row;
}

TEST_F(LiveDataTest, AStatusReplyRepaintsTheLanesOnlyAndNotTheStillParts)
{
    Create();
    window->show();
    Connect();
    SetRanges();
    TfrmLiveData *live = Live().Window();
    live->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(live));
    Feed(StatusLine(260, 3, 1, 0));
    QCoreApplication::processEvents();
    TStripChart *chart = live->chtLive;
    const int renders = chart->BackgroundRenders();
    PaintRecorder recorder;
    chart->installEventFilter(&recorder);
    for (int i = 0; i < 5; ++i) {
        Feed(StatusLine(261 + i, 3, 1, 0));
        QCoreApplication::processEvents();
    }
    EXPECT_GT(recorder.Paints, 0);
    EXPECT_TRUE(QRegion(chart->Layout().Plot).contains(recorder.Painted.boundingRect()))
        << recorder.Painted.boundingRect().x();
    // What was drawn before moves with the scroll; each reply paints a strip at the end.
    EXPECT_LT(recorder.Painted.boundingRect().width(), chart->Layout().Plot.width() / 4);
    EXPECT_EQ(chart->BackgroundRenders(), renders);

    // New ranges redraw the still parts once, at the next reply.
    window->Ecu.Ranges.Items(0).Upper = 300;
    Feed(StatusLine(262, 3, 1, 0));
    Feed(StatusLine(262, 3, 1, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(chart->BackgroundRenders(), renders + 1);

    // Paused, replies repaint nothing.
    live->btnPauseClick();
    EXPECT_EQ(live->btnPause->text(), "Resume");
    QCoreApplication::processEvents();
    recorder.Paints = 0;
    Feed(StatusLine(263, 3, 1, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.Paints, 0);
    live->btnPauseClick();
    EXPECT_TRUE(chart->Following());
}

TEST(StripChart, StripByStripItShowsWhatAWholeRepaintShows)
{
    // A following chart scrolls what it drew and paints each new strip; the traces in a strip
    // are stroked only as far as it needs them, so the seams must not show. A strip's time
    // scale ends on a whole millisecond, which may shade an edge of a trace a few steps apart
    // from a whole repaint; a missing or cut stroke differs by far more. Threshold lines and
    // their labels stay where they are, whatever scrolls under them. On a short span, a gear's
    // letter lands left of the newest strip by the time its gear has settled.
    const struct
    {
        TStripChart::TTrigger Trigger;
        std::int64_t SpanMs;
        int Replies; // all within the span: a whole repaint marks the gear at the start of a span
    } cases[]
        = {{{0, 0, 0, 0}, 30000, 240}, {{1, 131, 62, 0}, 30000, 240}, {{2, 0, 0, 7.5}, 10000, 90}};
    for (const auto &[trigger, span, replies] : cases) {
        TLiveSamples samples;
        std::int64_t now = 0;
        TStripChart chart;
        chart.NowMs = [&now] { return now; };
        chart.SetSamples(&samples);
        chart.SetBands({{1, 70, 95, 80}, {2, 110, 135, 120}, {3, 150, 170, 160}});
        chart.SetTrigger(trigger);
        chart.SetSpanMs(span);
        chart.resize(640, 420);
        chart.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
        for (int i = 0; i < replies; ++i) {
            now = 100 * i + 37 * (i % 3); // replies do not come on a regular beat
            // A saw of a barrel and a load cell that ripples, steep enough to cross each strip; a
            // new gear every eight replies.
            const int adc = 220 + (i * 23) % 260;
            samples.Add({now, static_cast<std::uint16_t>(adc),
                         static_cast<std::uint8_t>(1 + i / 8 % 3),
                         static_cast<std::uint8_t>(40 + (i * 57) % 180),
                         static_cast<std::uint8_t>((i / 7) % 2 ? 0x05 : 0x00)});
            chart.SamplesChanged();
            QCoreApplication::processEvents();
        }
        const QRect plot = chart.Layout().Plot;
        const QImage shown
            = chart.screen()
                  ->grabWindow(chart.winId(), plot.x(), plot.y(), plot.width(), plot.height())
                  .toImage()
                  .convertToFormat(QImage::Format_RGB32);
        const QImage whole = chart.grab(plot).toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(shown.size(), whole.size());
        int differing = 0;
        for (int y = 0; y < whole.height(); ++y)
            for (int x = 0; x < whole.width(); ++x) {
                const QRgb a = shown.pixel(x, y), b = whole.pixel(x, y);
                differing += std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                       std::abs(qBlue(a) - qBlue(b))})
                    > 24;
            }
        EXPECT_EQ(differing, 0) << "trigger method " << trigger.Method << ", span " << span;
    }
}

TEST_F(LiveDataTest, CursorReadsEveryValueAtTheTimeUnderTheMouse)
{
    Create();
    window->show();
    Connect();
    SetRanges();
    TfrmLiveData *live = Live().Window();
    live->show();
    Feed(StatusLine(380, 78, 2, 0x05));
    live->btnPauseClick(); // hold the view still
    TStripChart *chart = live->chtLive;
    const int x = static_cast<int>(
        std::lround(stripchart::TimeToX(chart->Scale(), Live().Samples().Last().Ms)));
    chart->SetCursorX(x);
    EXPECT_TRUE(live->lblCursor->text().contains(
        "Angle 133.7° (380)   Gear 1   Analogue 78   Status 05 (up trigger, cut)"))
        << live->lblCursor->text().toStdString();
    // The view moves under a cursor that stands still (the wheel turned): it reads the new time.
    chart->SetViewEnd(chart->ViewEnd() + 20000);
    EXPECT_TRUE(live->lblCursor->text().endsWith("no reply from the controller"))
        << live->lblCursor->text().toStdString();
    chart->SetCursorX(-1);
    EXPECT_FALSE(chart->HasCursor());
    // Far from any reply the cursor says so.
    chart->SetCursorX(chart->Layout().Plot.left());
    EXPECT_TRUE(live->lblCursor->text().endsWith("no reply from the controller"))
        << live->lblCursor->text().toStdString();
}

TEST_F(LiveDataTest, SpansAndExportOfThePicture)
{
    Create();
    window->show();
    TfrmLiveData *live = Live().Window();
    live->show();
    QStringList spans;
    for (int i = 0; i < live->cmbSpan->count(); ++i)
        spans << live->cmbSpan->itemText(i);
    EXPECT_EQ(spans, (QStringList {"10 s", "30 s", "60 s", "120 s"}));
    EXPECT_EQ(live->chtLive->SpanMs(), 30000);
    live->cmbSpan->setCurrentIndex(3);
    EXPECT_EQ(live->chtLive->SpanMs(), 120000);

    const QString png = folder.path() + "/chart.png";
    prompts.SaveNames.push_back(png);
    live->btnExportClick();
    QImage image(png);
    EXPECT_EQ(image.size(), live->chtLive->size() * live->chtLive->devicePixelRatioF());
    prompts.SaveNames.push_back(folder.path() + "/no/such/folder/chart.png");
    live->btnExportClick();
    ASSERT_EQ(prompts.Questions.size(), 1u);
    EXPECT_EQ(prompts.Questions[0].kind, TPrompts::Error);

    // A picture of the same name is replaced only when the user says so.
    QFile first(png);
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    const QByteArray before = first.readAll();
    first.close();
    live->cmbSpan->setCurrentIndex(0);
    prompts.SaveNames.push_back(png);
    prompts.Answers = {TPrompts::Cancel};
    live->btnExportClick();
    ASSERT_EQ(prompts.Questions.size(), 2u);
    EXPECT_EQ(prompts.Questions[1].text, "File exists - overwrite?");
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    EXPECT_EQ(first.readAll(), before);
    first.close();

    // A disk that fills up during a second export leaves the first picture, and nothing else.
    struct rlimit old
    {
    };
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    prompts.SaveNames.push_back(png);
    prompts.Answers = {TPrompts::Ok};
    live->btnExportClick();
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    ASSERT_EQ(prompts.Questions.size(), 4u);
    EXPECT_EQ(prompts.Questions[3].text, "Unable to write to " + png);
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    EXPECT_EQ(first.readAll(), before);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList {"chart.png"});
}

TEST_F(LiveDataTest, TheMarginReadsAPointOrACommaWhateverTheLocale)
{
    // A German laptop: its group separator is the point, its decimal separator the comma.
    const QLocale system;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Create();
    TfrmLiveData *live = Live().Window();
    QLocale::setDefault(system);
    QDoubleSpinBox *margin = live->edtMargin;
    for (const auto &[typed, value, shown] :
         {std::tuple {"1.5", 1.5, "1.5°"}, {"2,5", 2.5, "2.5°"}, {"12.5", 12.5, "12.5°"}}) {
        margin->selectAll();
        QTest::keyClicks(margin, QString::fromUtf8(typed));
        margin->interpretText();
        EXPECT_DOUBLE_EQ(margin->value(), value) << typed;
        EXPECT_EQ(margin->text(), QString::fromUtf8(shown)) << typed;
    }
}

TEST_F(LiveDataTest, LoggedRunAgainstTheSimulatedControllerParses)
{
    TSimPtyServer sim;
    ASSERT_TRUE(sim.IsOpen());
    storedPort = sim.DevicePath();
    Create();
    prompts.DefaultAnswer = TPrompts::No;
    window->tmrStatus->start();
    window->tmrLink->start();
    window->show();
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->Connected; }, 5000));
    Live().StartLogging1Click();
    const QString path = Live().LogPath();
    ASSERT_FALSE(path.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([this] { return Live().Samples().Count() >= 25; }, 10000));
    Live().StopLogging1Click();

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    std::istringstream text(file.readAll().toStdString());
    const TParsedLog log = ParseLog(text);
    EXPECT_EQ(log.SkippedLines, 0);
    EXPECT_GE(log.Samples.size(), 20u);
    EXPECT_EQ(log.Markers.front().Event, "logging started, profile (none)");
    EXPECT_EQ(log.Markers.back().Event, "logging stopped");
    for (std::size_t i = 1; i < log.Samples.size(); ++i)
        EXPECT_GE(log.Samples[i].Ms, log.Samples[i - 1].Ms);
    EXPECT_LE(log.Samples.back().Adc, 1023);
}

// What is no log is refused with a word; a pipe named like one would block the window.
TEST_F(LiveDataTest, WhatIsNoLogIsRefused)
{
    Create();
    TfrmLiveData *live = Live().Window();
    const QString pipe = folder.path() + "/pipe.csv";
    ASSERT_EQ(::mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
    const QString empty = folder.path() + "/empty.csv";
    QFile(empty).open(QIODevice::WriteOnly);
    const QString missing = folder.path() + "/gone.csv";
    const QString lacking = folder.path() + "/lacking.csv";
    QFile edited(lacking);
    ASSERT_TRUE(edited.open(QIODevice::WriteOnly));
    edited.write("time,MS,adc,gear_index\nT,0,102,1\n");
    edited.close();
    const std::pair<QString, QString> cases[] = {
        {pipe, "Unable to read " + pipe},
        {missing, "Unable to read " + missing},
        {empty, "No data rows in " + empty},
        {lacking, "No data rows in " + lacking + ": no column is headed analog_input, status_hex"}};
    for (const auto &[path, text] : cases) {
        prompts.Questions.clear();
        EXPECT_FALSE(live->OpenLog(path));
        ASSERT_EQ(prompts.Questions.size(), 1u);
        EXPECT_EQ(prompts.Questions[0].text, text);
    }
    EXPECT_FALSE(live->ShowingLog());
}

TEST_F(LiveDataTest, AnOpenedLogScrollsAndZoomsThroughTheWholeRun)
{
    Create();
    window->show();
    // Five minutes at ten replies a second, written as the log writes it.
    const QString path = folder.path() + "/run.csv";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(std::string(kDataLogHeader).append("\n").c_str());
        for (int i = 0; i < 3000; ++i) {
            const TLogSample s {i * 100, static_cast<std::uint16_t>(300 + i % 50), 3, 7, 0};
            file.write((FormatSampleRow("2026-12-09T10:00:00.000", s) + "\n").c_str());
        }
    }
    TfrmLiveData *live = Live().Window();
    live->show();
    prompts.OpenNames.push_back(path);
    live->btnOpenLogClick();
    ASSERT_TRUE(live->ShowingLog());
    TStripChart *chart = live->chtLive;
    EXPECT_FALSE(chart->Following());
    EXPECT_FALSE(live->btnPause->isEnabled());
    // It opens at the start; the bar reaches the end of the run.
    EXPECT_EQ(chart->ViewEnd(), 30000);
    EXPECT_TRUE(live->sbTime->isEnabled());
    EXPECT_EQ(live->sbTime->minimum(), 300);
    EXPECT_EQ(live->sbTime->maximum(), 2999);
    live->sbTime->setValue(2000);
    EXPECT_EQ(chart->ViewEnd(), 200000);

    // The wheel zooms round the time under the mouse, out to the whole run at most.
    const QPointF middle = chart->Layout().Plot.center();
    const auto wheel = [chart](QPointF at, int delta) {
        QWheelEvent event(at, chart->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(chart, &event);
    };
    for (int i = 0; i < 30; ++i)
        wheel(middle, -120);
    EXPECT_EQ(chart->SpanMs(), 299900);
    EXPECT_EQ(live->cmbSpan->currentIndex(), -1);
    live->cmbSpan->setCurrentIndex(0);
    const std::int64_t end = chart->ViewEnd();
    wheel(middle, 120);
    EXPECT_EQ(chart->SpanMs(), 8000);
    // The time under the mouse stays where it was.
    EXPECT_NEAR(static_cast<double>(stripchart::XToTime(chart->Scale(), middle.x())),
                static_cast<double>(end - 5000), 100.0);

    // Zoomed out round the right edge of the run's first seconds, the view takes in the whole
    // run, not the time before it.
    live->sbTime->setValue(live->sbTime->minimum());
    ASSERT_EQ(chart->ViewEnd(), 8000);
    const QPointF right(chart->Layout().Plot.right() - 1, middle.y());
    for (int i = 0; i < 30; ++i)
        wheel(right, -120);
    EXPECT_EQ(chart->SpanMs(), 299900);
    EXPECT_EQ(chart->ViewEnd(), 299900);

    // A zoom of this run is not kept for the live view.
    live->btnLiveClick();
    EXPECT_EQ(chart->SpanMs(), 30000);
    EXPECT_EQ(live->cmbSpan->currentIndex(), 1);

    // A run whose times lie near the largest a log may hold still scrolls to its end.
    const std::int64_t late = (std::int64_t {1} << 40) - 100000;
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        for (int i = 0; i <= 100; ++i) {
            const TLogSample s {late + i * 1000, 300, 3, 7, 0};
            file.write((FormatSampleRow("2061-01-01T10:00:00.000", s) + "\n").c_str());
        }
    }
    prompts.OpenNames.push_back(path);
    live->btnOpenLogClick();
    EXPECT_EQ(chart->ViewEnd(), late + 30000);
    live->sbTime->setValue(live->sbTime->maximum());
    EXPECT_EQ(chart->ViewEnd(), late + 100000);
}
