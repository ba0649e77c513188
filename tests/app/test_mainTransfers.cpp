// Bulk read and write of all settings, and the reset command, as they leave on the wire.

#include "ecuSimulator.h"
#include "mainFixture.h"
#include "modalPrompts.h"
#include "profile.h"
#include "serialDriver.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>

namespace {

// Splits what the port received into lines without "@" and LF.
QStringList Lines(const std::string &bytes)
{
    QStringList lines;
    for (const QString &line : QString::fromStdString(bytes).split('\n', Qt::SkipEmptyParts))
        lines << line.mid(1);
    return lines;
}

} // namespace

class TransferTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        CreateOnPty();
        Connect();
        prompts.Questions.clear();
    }

    // Ticks the timers by hand until the sequence has finished and the queue is empty; returns
    // every line sent and records each progress title seen. With linkTickEvery, the link timer
    // ticks after the first line and then after every linkTickEvery lines, as its pace gives.
    QStringList Run()
    {
        std::string sent;
        int sentLines = 0;
        for (int guard = 0; guard < 200; ++guard) {
            if (!window->tmrUpDownAll->isActive() && window->TxQueue.isEmpty())
                break;
            if (!held.empty() && window->UpDownStep == 0)
                Feed(std::exchange(held, {}));
            if (window->tmrUpDownAll->isActive()) {
                window->tmrUpDownAllTimer();
                if (titles.isEmpty() || titles.last() != progress->windowTitle())
                    titles << progress->windowTitle();
            }
            if (!window->TxQueue.isEmpty()) {
                if (sentLines == hangUpAfter) { // the cable is pulled
                    pty.HangUp();
                    EXPECT_TRUE(QTest::qWaitFor([this] { return !window->CommPort->IsOpen(); }));
                }
                window->tmrStatusTimer();
                if (linkTickEvery > 0 && sentLines % linkTickEvery == 0) {
                    window->tmrLinkTimer();
                    linkLost = linkLost || !window->Connected;
                }
                ++sentLines;
                const std::string line = pty.Read(64, std::chrono::milliseconds(20));
                if (line == "@P\n" && !paramsReply.empty())
                    Feed(paramsReply);
                if (controller != nullptr && line != unanswered) {
                    if (const std::string reply = controller->Receive(line); !reply.empty())
                        Feed(reply);
                    if (!late.empty())
                        Feed(std::exchange(late, {}));
                } else if (controller != nullptr && !answeredAs.empty()) {
                    Feed(controller->Receive(answeredAs));
                } else if (controller != nullptr && answerLate) {
                    late = controller->Receive(line);
                } else if (controller != nullptr && answerAfterSteps) {
                    held = controller->Receive(line);
                }
                sent += line;
            }
        }
        sent += pty.Drain();
        return Lines(sent);
    }

    QStringList titles;
    std::string paramsReply; // fed when the parameter request has left
    int linkTickEvery = 0;
    bool linkLost = false;
    int hangUpAfter = -1; // lines sent before the cable is pulled
    TEcuSimulator *controller = nullptr; // answers every line sent but `unanswered`
    std::string unanswered;
    std::string answeredAs; // the request `unanswered` gets the answer to, if any
    bool answerLate = false; // `unanswered` is answered after the next line's answer
    std::string late;
    bool answerAfterSteps = false; // `unanswered` is answered once every step has run
    std::string held;
};

// The cut durations asked for are those of the rows the gear grid shows once the parameters
// have arrived: first gear up to the gear below the top one. A count beyond the grid's nine
// positions asks for no more than the grid holds.
TEST_F(TransferTest, ReadingAllSettings)
{
    struct Row
    {
        const char *paramsReply; // the controller's answer to P, if any
        int lastSparkIndex;
    };
    for (const Row &row : {Row {nullptr, 6}, // six forward gears, as the model holds
                           Row {"@p1007020A0A05202F\r", 5}, // five forward gears
                           Row {"@p100C020A0A05202F\r", 7}}) { // twelve positions
        SCOPED_TRACE(row.paramsReply ? row.paramsReply : "no reply");
        paramsReply = row.paramsReply ? row.paramsReply : "";
        titles.clear();
        window->SettingsChanged = false;
        window->UploadAllSettingsToEcu1Click();
        EXPECT_TRUE(prompts.Questions.empty()) << "matching versions need no confirmation";
        EXPECT_EQ(progress->windowTitle(), "Progress (25 %)");
        EXPECT_TRUE(progress->isVisible());
        titles << progress->windowTitle();

        const QStringList lines = Run();
        QStringList expected {"P", "F"};
        for (int slot = 0; slot < 10; ++slot)
            expected << QString::asprintf("R%02X", slot);
        expected << "F";
        for (int index = 2; index <= row.lastSparkIndex; ++index)
            expected << QString::asprintf("D%02X", index);
        EXPECT_EQ(lines, expected);
        EXPECT_EQ(titles,
                  (QStringList {"Progress (25 %)", "Progress (50 %)", "Progress (75 %)",
                                "Progress (100 %)"}));
        EXPECT_FALSE(progress->isVisible());
        EXPECT_TRUE(window->SettingsChanged);
        EXPECT_EQ(window->Ecu.Ranges.Count(), 0)
            << "the gears step empties the list for the replies";
        EXPECT_FALSE(window->Refreshing);
        // The reply to the next poll ends the read (unanswered here), so the next row may start.
        window->tmrStatusTimer();
        EXPECT_EQ(pty.Read(64, std::chrono::milliseconds(200)), "@S\n");
        Feed("@s01F40C0300\r");
        EXPECT_LT(window->TransferEndsAtReply, 0);
        QCoreApplication::processEvents();
        prompts.Questions.clear();
    }
}

TEST_F(TransferTest, WritingAllSettingsWithThreeRangesAndEightPositions)
{
    window->Ecu.Ranges.Clear();
    const int bounds[3][4] = {{0, 70, 98, 84}, {1, 214, 242, 228}, {2, 326, 354, 340}};
    for (const auto &b : bounds) {
        TGearData &r = window->Ecu.Ranges.Add();
        r.Gear = static_cast<std::uint8_t>(b[0]);
        r.Lower = b[1];
        r.Upper = b[2];
        r.Adc = static_cast<std::uint16_t>(b[3]);
    }
    window->SettingsChanged = false;
    prompts.Answers = {TPrompts::Yes};
    window->DownloadAllSettingsToECU1Click();
    ASSERT_EQ(prompts.Questions.size(), 1u);
    linkTickEvery = kLinkTickMs / kStatusPollMs;
    EXPECT_EQ(prompts.Questions[0].text,
              "This will overwrite all existing settings in the ECU\rDo you wish to continue?");
    EXPECT_EQ(prompts.Questions[0].kind, TPrompts::Warning);
    // While it runs the panel takes no change: one taken after its part had gone would show as
    // written. The slider jumps back when the write is done.
    const int debounce = window->trkDebounce->value();
    window->trkDebounce->setValue(debounce + 3);

    const QStringList lines = Run();
    QStringList expected {"p4E0801017D0E457D", "f0005006400", "r0000004600620054",
                          "r010100D600F200E4", "r0202014601620154"};
    for (int slot = 3; slot < 10; ++slot)
        expected << QString::asprintf("r%02XFF000000000000", slot);
    expected << "d027D"
             << "d0373"
             << "d0464"
             << "d055A"
             << "d0650"
             << "d0746"
             << "d0800";
    EXPECT_EQ(lines, expected);
    EXPECT_FALSE(window->SettingsChanged);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(window->trkDebounce->value(), debounce);

    // The controller took it all in silence over two link ticks, and owed no answer: the link
    // stayed up, and no question came. The polls after it get whole ticks' time, as any polls
    // do: the tick whose time saw the write's last lines counts nothing (a controller that is
    // silent for a moment after taking new settings is not lost). Unanswered, they lose the
    // link as ever, and then the write, which no answer showed the controller alive to take, is
    // told as failed: a controller that froze under it would otherwise pass for written.
    EXPECT_FALSE(linkLost);
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts.Questions.size(), 1u);
    for (const bool connected : {true, true, false}) {
        window->tmrStatusTimer();
        window->tmrLinkTimer();
        EXPECT_EQ(window->Connected, connected);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts.Texts().mid(1),
              QStringList {"Download to ECU incomplete - the ECU was "
                           "disconnected. Download again once it is "
                           "connected."});
}

// A transfer runs to its end and its progress window closes whatever the link does. One that the
// controller did not get all of says so, once its last line has left: a write cut short by a
// pulled cable after its window closed, or a read begun with the link down.
TEST_F(TransferTest, ATransferTheControllerDidNotGetAllOfIsToldWhenItsLastLineHasLeft)
{
    // Held back by the debug window's switch: the cable is not to blame.
    debug->chkTx->setChecked(false);
    prompts.Answers = {TPrompts::Yes};
    window->DownloadAllSettingsToECU1Click();
    EXPECT_TRUE(Run().isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts.Texts().mid(1),
              QStringList {"Download to ECU incomplete - \"Tx messages\" is off in the debug "
                           "window."});
    debug->chkTx->setChecked(true);
    prompts.Questions.clear();

    prompts.Answers = {TPrompts::Yes};
    window->DownloadAllSettingsToECU1Click();
    hangUpAfter = 15; // within the cut durations, queued after the window closed
    EXPECT_EQ(Run().size(), 15);
    EXPECT_FALSE(progress->isVisible());
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts.Texts().mid(1),
              QStringList {"Download to ECU incomplete - the ECU was "
                           "disconnected. Download again once it is "
                           "connected."});

    window->tmrLinkTimer();
    window->tmrLinkTimer();
    ASSERT_FALSE(window->Connected);
    prompts.Questions.clear();
    window->UploadAllSettingsToEcu1Click();
    Run();
    // A stop asked by a signal waits for the message: a close now would offer to save the half
    // read, with the message opening over its question.
    EXPECT_FALSE(window->TransferRunning());
    EXPECT_TRUE(window->StopMustWait());
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts.Texts(),
              QStringList {"Upload from ECU incomplete - the ECU was "
                           "disconnected. Upload again once it is connected."});
    EXPECT_FALSE(window->StopMustWait());
}

// A read is done only once its answers are in: with the reply to the first status poll after its
// last line, since the controller answers in order. Until then it is busy; a request that got no
// answer is told. A read that came through leaves a copy of what it found; one that starts over
// changes made since the last read (not over what a read, whole or not, brought) keeps those
// first. Settings the same as the newest copy's make none.
TEST_F(TransferTest, AReadEndsWhenItsAnswersAreIn)
{
    TEcuSimulator simulated;
    controller = &simulated;
    const QDir backups(window->BackupsFolder());
    const auto copy = [&backups](int index) {
        QFile file(backups.filePath(backups.entryList(QDir::Files, QDir::Name).value(index)));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    };
    std::string kept; // what the first read found
    struct Row
    {
        const char *lost; // request without its own answer
        const char *answeredAs; // whose answer it got instead
        bool late; // its answer came after the next one's
        bool same; // the read finds what the first one did all the same
        bool edited; // before the read
        int copies; // after it
    };
    // A range for slot 0 starts the list afresh: coming late, it wipes the ranges before it.
    for (const Row &row :
         {Row {"", "", false, true, false, 1}, Row {"@R02\n", "", false, false, false, 1},
          Row {"@R05\n", "@R04\n", false, false, false, 1},
          Row {"@D04\n", "@D03\n", false, true, false, 1},
          Row {"@R00\n", "", true, false, false, 1}, Row {"@R01\n", "", true, true, false, 1},
          Row {"", "", false, true, false, 1}, Row {"", "", false, true, true, 3}}) {
        SCOPED_TRACE(testing::Message() << row.lost << row.answeredAs << row.late << row.edited);
        unanswered = row.lost;
        answeredAs = row.answeredAs;
        answerLate = row.late;
        const bool whole = !*row.lost || (row.late && std::string_view(row.lost) != "@R00\n");
        prompts.Questions.clear();
        TEcu typed = window->Ecu;
        if (row.edited) { // typed and not yet taken: a change all the same
            window->edtDebounce->setFocus();
            window->edtDebounce->setText("23");
            window->edtDebounce->setModified(true);
            typed.Debounce = 23;
        }
        const std::string before = ProfileText({}, typed);
        window->UploadAllSettingsToEcu1Click();
        Run();
        QCoreApplication::processEvents();
        EXPECT_TRUE(prompts.Questions.empty());
        EXPECT_GE(window->TransferEndsAtReply, 0)
            << "every line has left, the answers may not have";

        window->tmrStatusTimer(); // the poll after the last line, and its reply
        Feed(simulated.Receive(pty.Read(64, std::chrono::milliseconds(200))));
        QCoreApplication::processEvents();
        EXPECT_LT(window->TransferEndsAtReply, 0);
        EXPECT_EQ(prompts.Texts(),
                  whole ? QStringList {}
                        : QStringList {"Upload from ECU incomplete - the ECU did not answer "
                                       "every request. Upload again."});
        const std::string found = ProfileText({}, window->Ecu);
        if (kept.empty())
            kept = found;
        EXPECT_EQ(found == kept, row.same);
        ASSERT_EQ(backups.entryList(QDir::Files).size(), row.copies);
        EXPECT_EQ(copy(row.copies - 1), kept);
        if (row.edited) {
            EXPECT_EQ(copy(row.copies - 2), before);
        }
    }
}

// Closing the window under a write, or while its last lines wait after its progress window has
// gone, would leave the controller half written: it says "Busy" and stays until they have left.
TEST_F(TransferTest, TheWindowDoesNotCloseUnderAWrite)
{
    window->SettingsChanged = false;
    prompts.Answers = {TPrompts::Yes};
    window->DownloadAllSettingsToECU1Click();
    window->tmrUpDownAllTimer();
    EXPECT_FALSE(window->close());
    while (window->tmrUpDownAll->isActive()) {
        window->tmrUpDownAllTimer();
        window->tmrStatusTimer();
    }
    ASSERT_FALSE(window->TxQueue.isEmpty());
    EXPECT_FALSE(window->close());
    EXPECT_EQ(prompts.Texts().mid(1), (QStringList {"Busy", "Busy"}));
    Run();
    // Its lines have left: it is done once the controller answers a poll sent after them.
    EXPECT_FALSE(window->close());
    window->tmrStatusTimer();
    Feed("@s01F40C0300\r");
    EXPECT_TRUE(window->close());
}

// A read replaces changes not saved without a question once a copy keeps them; where none can be
// written (a file stands where the folder would be), the user is asked first, and is told when
// the copy of what a read found could not be kept.
TEST_F(TransferTest, WhereNoCopyCanBeKeptTheUserIsTold)
{
    // Beside the profiles, and then the per-user folder chosen in its place.
    for (QString blocked; blocked != window->BackupsFolder();) {
        blocked = window->BackupsFolder();
        QFile blocker(blocked);
        ASSERT_TRUE(QDir(blocked).removeRecursively());
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    const QString question = "The changes not saved could not be kept in "
        + QDir::toNativeSeparators(window->BackupsFolder()) + ".\rUpload from ECU over them?";
    struct Row
    {
        bool edited;
        TPrompts::Button answer;
        bool readBegunMeanwhile; // under the question, as a Yes to the link's own would
        QStringList said;
        bool reads;
    };
    for (const Row &row : {Row {false, TPrompts::No, false, {}, true},
                           Row {true, TPrompts::No, false, {question}, false},
                           Row {true, TPrompts::Yes, true, {question, "Busy"}, false},
                           Row {true, TPrompts::Yes, false, {question}, true}}) {
        SCOPED_TRACE(testing::Message() << row.edited << row.answer << row.readBegunMeanwhile);
        window->SettingsBaseline = ProfileText({}, window->Ecu);
        window->SettingsChanged = row.edited;
        const auto typed = static_cast<decltype(window->Ecu.Debounce)>(window->Ecu.Debounce + 1);
        if (row.edited)
            window->Ecu.Debounce = typed;
        prompts.Questions.clear();
        prompts.Answers = {row.answer};
        prompts.WhileOpen = [&](const QString &) {
            if (row.readBegunMeanwhile)
                window->tmrUpDownAll->start();
        };
        window->UploadAllSettingsToEcu1Click();
        EXPECT_EQ(prompts.Texts(), row.said);
        EXPECT_EQ(window->UpDownStep != 0, row.reads);
        window->UpDownStep = 0;
        window->tmrUpDownAll->stop();
        window->TxQueue.clear();
    }
    prompts.WhileOpen = {}; // it held the loop's row

    TEcuSimulator simulated;
    controller = &simulated;
    prompts.Questions.clear();
    window->SettingsChanged = false;
    window->UploadAllSettingsToEcu1Click();
    Run();
    window->tmrStatusTimer(); // the poll after the last line, and its reply
    Feed(simulated.Receive(pty.Read(64, std::chrono::milliseconds(200))));
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts.Texts(),
              QStringList {"The settings read from the ECU could not be kept in "
                           + QDir::toNativeSeparators(window->BackupsFolder()) + "."});
}

TEST_F(TransferTest, AnsweringNoToTheOverwriteQuestionQueuesNothing)
{
    prompts.Answers = {TPrompts::No};
    window->DownloadAllSettingsToECU1Click();
    EXPECT_TRUE(window->TxQueue.isEmpty());
    EXPECT_FALSE(progress->isVisible());
    EXPECT_FALSE(window->tmrUpDownAll->isActive());
}

// Also once the progress window has gone, while the last lines wait or the answers to them are
// awaited: a start then took the read for whole before its last requests had left, and kept a
// copy of the panel's old values as the controller's.
TEST_F(TransferTest, ASecondStartIsBusy)
{
    window->UploadAllSettingsToEcu1Click();
    window->tmrUpDownAllTimer();
    const auto startsAreBusy = [this] {
        prompts.Questions.clear();
        const int step = window->UpDownStep;
        const QStringList queued = window->TxQueue;
        window->UploadAllSettingsToEcu1Click();
        window->DownloadAllSettingsToECU1Click();
        EXPECT_EQ(prompts.Texts(), (QStringList {"Busy", "Busy"}));
        EXPECT_EQ(window->UpDownStep, step);
        EXPECT_EQ(window->TxQueue, queued);
    };
    startsAreBusy();
    while (window->tmrUpDownAll->isActive()) {
        window->tmrUpDownAllTimer();
        if (window->TxQueue.size() > 1)
            window->tmrStatusTimer();
    }
    ASSERT_FALSE(progress->isVisible());
    ASSERT_FALSE(window->TxQueue.isEmpty());
    startsAreBusy();
    while (!window->TxQueue.isEmpty())
        window->tmrStatusTimer();
    ASSERT_GE(window->TransferEndsAtReply, 0);
    startsAreBusy();
}

// A controller slower to answer the parameters than the steps are to run: the cut durations were
// asked for by the panel's four forward gears, and the controller's fifth is never read. The
// read must not pass for whole, nor leave a copy of the panel's old value as the controller's.
TEST_F(TransferTest, ACutDurationNeverAskedForLeavesTheReadIncomplete)
{
    TEcuSimulator simulated;
    controller = &simulated;
    unanswered = "@P\n";
    answerAfterSteps = true;
    const QDir backups(window->BackupsFolder());
    for (const int forwardGears : {6, 4}) { // the controller's five: one more, one fewer
        SCOPED_TRACE(forwardGears);
        prompts.Questions.clear();
        window->Ecu.PositionCount = forwardGears + 2;
        window->RefreshSettings();
        ASSERT_EQ(window->sgGears->rowCount(), forwardGears + 3);
        window->UploadAllSettingsToEcu1Click();
        Run();
        window->tmrStatusTimer(); // the poll after the last line, and its reply
        Feed(simulated.Receive(pty.Read(64, std::chrono::milliseconds(200))));
        QCoreApplication::processEvents();
        EXPECT_EQ(window->Ecu.PositionCount, 7);
        const bool whole = forwardGears > 5;
        EXPECT_EQ(prompts.Texts(),
                  whole ? QStringList {}
                        : QStringList {"Upload from ECU incomplete - the ECU did not answer "
                                       "every request. Upload again."});
        EXPECT_EQ(backups.entryList({"*read from ECU.ini"}, QDir::Files).size(), 1)
            << "the whole read's copy only";
    }
}

TEST_F(TransferTest, VersionMismatchIsAskedFirst)
{
    window->EcuVersionMajor = 1;
    window->EcuVersionMinor = 2; // the program is 1.0
    prompts.Answers = {TPrompts::No};
    window->UploadAllSettingsToEcu1Click();
    ASSERT_EQ(prompts.Questions.size(), 1u);
    const QString warning = "PC and GCU software versions do not match.\rContinue with upload?";
    EXPECT_EQ(prompts.Questions[0].text, warning);
    EXPECT_EQ(prompts.Questions[0].kind, TPrompts::Warning);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_TRUE(window->TxQueue.isEmpty());

    prompts.Answers = {TPrompts::No};
    window->DownloadAllSettingsToECU1Click();
    EXPECT_EQ(prompts.Questions.back().text, warning);
    EXPECT_EQ(prompts.Questions.size(), 2u);

    // Yes goes on with the sequence.
    prompts.Answers = {TPrompts::Yes};
    window->UploadAllSettingsToEcu1Click();
    EXPECT_TRUE(window->tmrUpDownAll->isActive());
}

TEST_F(TransferTest, ResetQueuesASingleLine)
{
    window->ResetECU1Click();
    EXPECT_EQ(window->TxQueue, QStringList {"@X\n"});
    EXPECT_EQ(Run(), QStringList {"X"});
}

TEST_F(TransferTest, YesToTheLinkQuestionStartsARead)
{
    window->tmrLinkTimer();
    window->tmrLinkTimer();
    ASSERT_FALSE(window->Connected);
    prompts.Answers = {TPrompts::Yes};
    Feed("@V010000\r");
    EXPECT_TRUE(window->tmrUpDownAll->isActive());
    EXPECT_EQ(Run().first(), "P");
}

// With the link down, F8. While the overwrite question is open the controller answers. The link
// question does not open on top of it, where its Yes would start a read under the write about to
// begin; once the overwrite question has closed, the write's progress window is up and the link
// question is not asked over it. The write goes out whole and no read does.
TEST_F(MainWindowTest, TheLinkQuestionNeverOpensOverTheOverwriteQuestion)
{
    TModalPrompts modal;
    storedPort = QString::fromStdString(pty.SlavePath());
    Create({}, false, &modal);
    window->show();
    window->tmrStatus->start();

    const QString linkQuestion = "ECU Connected - upload values from ECU?";
    const QString mismatch = "PC and GCU software versions do not match.\rContinue with upload?";
    const QString overwrite
        = "This will overwrite all existing settings in the ECU\rDo you wish to continue?";
    const std::string olderController = "@V010200\r";

    modal.Script.push_back({linkQuestion, TPrompts::No, {}});
    ASSERT_TRUE(pty.Write(olderController));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !modal.Asked.isEmpty() && !window->UploadPromptOpen; },
                                10000));
    window->tmrLinkTimer();
    window->tmrLinkTimer();
    ASSERT_FALSE(window->Connected);
    modal.Asked.clear();

    modal.Script = {
        {mismatch, TPrompts::Yes, {}},
        {overwrite,
         TPrompts::Yes,
         {{[&] { pty.Write(olderController); }, [&] { return window->Connected; }}}},
    };
    window->DownloadAllSettingsToECU1Click();
    EXPECT_EQ(modal.TimedOut, 0);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !window->tmrUpDownAll->isActive() && window->TxQueue.isEmpty(); }, 10000));
    EXPECT_EQ(modal.Asked, (QStringList {mismatch, overwrite}));
    QStringList sent = Lines(pty.Drain());
    sent.removeAll("S");
    sent.removeAll("V");
    EXPECT_TRUE(sent.filter(QRegularExpression("^[FRD]")).isEmpty())
        << sent.join(' ').toStdString();
    EXPECT_FALSE(sent.filter(QRegularExpression("^d")).isEmpty()) << sent.join(' ').toStdString();
}
