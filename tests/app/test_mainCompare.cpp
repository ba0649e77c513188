// Comparing the tool's settings with the simulated controller's and with a profile, taking chosen
// rows, and the recent profiles of the File menu.

#include "mainFixture.h"

#include "compare.h"
#include "compassRange.h"
#include "profile.h"
#include "recentProfiles.h"
#include "simPtyServer.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <functional>

namespace {

constexpr int kTransferMs = 15000;

// The controller's image of a model, as a write of all settings would leave it.
TSimSettings SimSettingsOf(const TEcu &ecu)
{
    TSimSettings s;
    s.Params.GearThresholdUpper = static_cast<std::uint8_t>(ecu.GearThresholdUpper);
    s.Params.GearThresholdLower = static_cast<std::uint8_t>(ecu.GearThresholdLower);
    s.Params.GearShiftType = static_cast<std::uint8_t>(ecu.GearShiftType);
    s.Params.PositionCount = static_cast<std::uint8_t>(ecu.PositionCount);
    s.Params.Debounce = static_cast<std::uint8_t>(ecu.Debounce);
    s.Params.Ignore = static_cast<std::uint8_t>(ecu.Ignore);
    s.Params.BarrelThreshold = static_cast<std::uint8_t>(ecu.BarrelThreshold);
    s.Params.BlipTimeout = static_cast<std::uint8_t>(ecu.BlipTimeout);
    s.Feedback.Flags
        = static_cast<std::uint8_t>((ecu.UseFeedback ? kFeedbackUseFeedback : 0)
                                    | (ecu.UseCutAfterBlip ? kFeedbackUseCutAfterBlip : 0));
    s.Feedback.Window = static_cast<std::uint8_t>(ecu.FeedbackWindow);
    s.Feedback.SparkCutTimeout = static_cast<std::uint16_t>(ecu.SparkCutTimeout);
    s.Feedback.CutAfterBlip = static_cast<std::uint8_t>(ecu.CutAfterBlip);
    for (int k = 0; k < ecu.Ranges.Count() && k < kRangeSlots; ++k) {
        const TGearData &r = ecu.Ranges.Items(k);
        s.Ranges[static_cast<std::size_t>(k)] = {r.Gear, static_cast<std::uint16_t>(r.Lower),
                                                 static_cast<std::uint16_t>(r.Upper), r.Adc};
    }
    for (int i = 0; i < kSimCutSlots; ++i)
        s.CutDurations[static_cast<std::size_t>(i)]
            = static_cast<std::uint8_t>(ecu.SparkDelays[static_cast<std::size_t>(i)]);
    return s;
}

void SetRangeUpper(TEcu &ecu, int gear, int upper)
{
    for (int k = 0; k < ecu.Ranges.Count(); ++k)
        if (ecu.Ranges.Items(k).Gear == gear)
            ecu.Ranges.Items(k).Upper = upper;
}

QStringList MarkedRows(const QTableWidget *table)
{
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r)
        if (table->item(r, 0)->font().bold())
            rows << table->item(r, 0)->text();
    return rows;
}

} // namespace

class CompareTest : public MainWindowTest
{
protected:
    void TearDown() override
    {
        window.reset(); // closes the port before the simulator goes
        sim.reset();
    }

    // A tool on the simulated controller, whose settings are the tool's defaults changed by
    // change. The link is brought up by a reply fed directly, so the controller sees only the
    // lines of the comparison (its silence counts from the first of them).
    void StartOn(const std::function<void(TEcu &)> &change, const TSimPtyOptions &options = {})
    {
        sim = std::make_unique<TSimPtyServer>(options);
        ASSERT_TRUE(sim->IsOpen());
        storedPort = sim->DevicePath();
        Create();
        window->show();
        TEcu controller = window->Ecu;
        change(controller);
        sim->Simulator().SetSettings(SimSettingsOf(controller));
        Connect();
        ASSERT_TRUE(window->Connected);
    }

    void RunComparison()
    {
        window->CompareWithECU1Click();
        ASSERT_TRUE(window->Compare.Reading);
        // The first step queues its request before the first poll could go out.
        window->tmrUpDownAllTimer();
        window->tmrStatus->start();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->Compare.Reading; }, kTransferMs));
    }

    std::unique_ptr<TSimPtyServer> sim;
};

TEST_F(CompareTest, OnlyTheDifferingRowsAreMarkedAndNothingChangesUntilRowsAreTaken)
{
    StartOn([](TEcu &e) {
        e.Debounce = 4;
        e.SparkDelays[4] = 60;
        SetRangeUpper(e, 3, 470);
        e.FeedbackWindow = 7;
    });
    const TEcu before = window->Ecu;
    const int dialRanges = window->BarrelGauge->RangeCount();
    RunComparison();

    // The tool, its dial and its changed flag are as they were.
    EXPECT_EQ(CountDiffering(CompareSettings(before, window->Ecu)), 0);
    EXPECT_EQ(window->Ecu.Ranges.Count(), before.Ranges.Count());
    EXPECT_EQ(window->BarrelGauge->RangeCount(), dialRanges);
    EXPECT_FALSE(window->SettingsChanged);
    EXPECT_FALSE(window->Refreshing);
    EXPECT_FALSE(window->tmrUpDownAll->isActive());
    EXPECT_FALSE(progress->isVisible());

    TfrmCompare *form = window->frmCompare;
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->sgCompare->horizontalHeaderItem(2)->text(), "ECU");
    // Differing rows first, in the panel's order.
    EXPECT_EQ(MarkedRows(form->sgCompare),
              (QStringList {"Trigger Debounce", "Gear Position Tolerance", "Cut Duration (Third)",
                            "Second Range"}));
    EXPECT_EQ(form->sgCompare->item(0, 1)->text(), "1 ms");
    EXPECT_EQ(form->sgCompare->item(0, 2)->text(), "4 ms");
    EXPECT_EQ(form->lblDifferences->text(), "4 differences");
    EXPECT_FALSE(form->lblUnknown->isVisibleTo(form));
    EXPECT_TRUE(form->TableText().startsWith("  Setting "));
    EXPECT_TRUE(form->TableText().contains("* Trigger Debounce"));

    // Take two of the four: only those fields change, as any change of the panel would.
    ASSERT_TRUE(form->ChooseRow("Trigger Debounce"));
    ASSERT_TRUE(form->ChooseRow("Second Range"));
    form->btnTake->click();
    EXPECT_TRUE(window->SettingsChanged);
    EXPECT_EQ(window->Ecu.Debounce, 4);
    EXPECT_EQ(window->edtDebounce->text(), "4");
    EXPECT_EQ(window->Ecu.SparkDelays[4], before.SparkDelays[4]);
    EXPECT_EQ(window->Ecu.FeedbackWindow, before.FeedbackWindow);
    TEcu expected = before;
    expected.Debounce = 4;
    SetRangeUpper(expected, 3, 470);
    EXPECT_EQ(CountDiffering(CompareSettings(expected, window->Ecu)), 0);
    EXPECT_EQ(MarkedRows(form->sgCompare),
              (QStringList {"Gear Position Tolerance", "Cut Duration (Third)"}));

    // The open window follows a change made in the panel meanwhile, and keeps the row chosen.
    ASSERT_TRUE(form->ChooseRow("Cut Duration (Third)"));
    window->trkDebounce->setValue(6);
    EXPECT_EQ(
        MarkedRows(form->sgCompare),
        (QStringList {"Trigger Debounce", "Gear Position Tolerance", "Cut Duration (Third)"}));
    EXPECT_EQ(form->sgCompare->item(0, 1)->text(), "6 ms");
    EXPECT_EQ(form->lblDifferences->text(), "3 differences");
    const std::vector<TCompareRow> chosen = form->ChosenRows();
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(chosen[0].Setting, "Cut Duration (Third)");

    // Writing the tool's settings is the write of all settings, questions and all; once it runs,
    // whether from here or from the menu, the controller's column would call the values it
    // replaces the controller's.
    prompts.Answers = {TPrompts::Yes};
    form->btnWrite->click();
    EXPECT_TRUE(prompts.Texts().contains(
        "This will overwrite all existing settings in the ECU\rDo you wish to continue?"));
    EXPECT_FALSE(form->isVisible());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return !window->tmrUpDownAll->isActive() && window->TxQueue.isEmpty()
                && sim->Simulator().Settings().CutDurations[4] == before.SparkDelays[4];
        },
        kTransferMs));
    EXPECT_EQ(sim->Simulator().Settings().Feedback.Window, before.FeedbackWindow);
    EXPECT_EQ(sim->Simulator().Settings().Params.Debounce, 6);
}

TEST_F(CompareTest, AControllerSilentHalfWayLeavesUnknownRowsNeverEqualOnes)
{
    TSimPtyOptions options;
    options.SilentAfterLines = 0; // the answers below are fed directly
    StartOn([](TEcu &e) { e.Debounce = 4; }, options);
    const TEcu before = window->Ecu;
    // The parameters, the feedback block and range slots 0..5 are answered in two reads, the first
    // cut duration in one; then the controller falls silent.
    TEcuSimulator controller;
    controller.SetSettings(sim->Simulator().Settings());
    const std::string answers = controller.Receive("@P\n@F\n@R00\n@R01\n@R02\n@R03\n@R04\n@R05\n");
    window->CompareWithECU1Click();
    ASSERT_TRUE(window->Compare.Reading);
    Feed(answers);
    Feed(answers);
    Feed(controller.Receive("@D02\n"));
    window->tmrUpDownAllTimer();
    window->tmrStatus->start();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->Compare.Reading; }, kTransferMs));

    EXPECT_EQ(CountDiffering(CompareSettings(before, window->Ecu)), 0);
    EXPECT_FALSE(window->SettingsChanged);
    TfrmCompare *form = window->frmCompare;
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(MarkedRows(form->sgCompare), QStringList {"Trigger Debounce"});
    // Five cut durations and eight ranges were never answered.
    int unknown = 0;
    for (int r = 0; r < form->sgCompare->rowCount(); ++r) {
        if (form->sgCompare->item(r, 2)->text() == "unknown") {
            ++unknown;
            EXPECT_FALSE(form->ChooseRow(form->sgCompare->item(r, 0)->text()));
        }
    }
    EXPECT_EQ(unknown, 13);
    EXPECT_EQ(form->sgCompare->item(1, 0)->text(), "Cut Duration (First)");
    EXPECT_TRUE(form->lblUnknown->isVisibleTo(form));
    EXPECT_TRUE(form->lblUnknown->text().contains("13 settings"));
}

TEST_F(CompareTest, AValueChangedOnTheLineIsNotShownAsTheControllers)
{
    // The first answer to the parameters comes with the debounce changed: a whole, valid reply.
    int paramsReplies = 0;
    TSimPtyOptions options;
    options.Damage = [&paramsReplies](const std::string &reply) {
        TQV3318MessageRec message;
        if (reply.rfind("@p", 0) != 0
            || !TQV3318EncDec::DecodeLine(std::string_view(reply).substr(1, reply.size() - 2),
                                          message)
            || ++paramsReplies > 1)
            return reply;
        message.Debounce = 6;
        return TQV3318EncDec::EncodeReply(message);
    };
    StartOn([](TEcu &e) { e.Debounce = 4; }, options);
    RunComparison();

    // Two reads disagreed on it; the third agreed with the second.
    EXPECT_EQ(paramsReplies, 3);
    EXPECT_EQ(window->Compare.Ecu.Debounce, 4);
    TfrmCompare *form = window->frmCompare;
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(MarkedRows(form->sgCompare), QStringList {"Trigger Debounce"});
    EXPECT_EQ(form->sgCompare->item(0, 2)->text(), "4 ms");
    EXPECT_FALSE(form->lblUnknown->isVisibleTo(form));
}

TEST_F(CompareTest, AnswersComingAfterTheReadGaveUpAreNotTakenAsTheToolsSettings)
{
    TSimPtyOptions options;
    options.ReplyDelayMs = 2000; // within the link's patience, beyond the read's
    StartOn(
        [](TEcu &e) {
            e.Debounce = 4;
            e.SparkDelays[4] = 60;
            SetRangeUpper(e, 3, 470);
        },
        options);
    const TEcu before = window->Ecu;
    // Polls went out before the comparison, as they do all the time: their replies come in after
    // its requests have gone, and must not pass for the sign that every answer is in.
    for (int i = 0; i < 3; ++i)
        window->tmrStatusTimer();
    RunComparison();
    ASSERT_TRUE(window->Compare.LateReplies);
    // The status reply after the late answers ends the wait.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Compare.LateReplies; }, kTransferMs));
    EXPECT_EQ(CountDiffering(CompareSettings(before, window->Ecu)), 0);
    EXPECT_EQ(window->Ecu.Ranges.Count(), before.Ranges.Count());
    EXPECT_FALSE(window->SettingsChanged);
}

// Taking rows refreshes the panel: a number typed and not yet taken is taken first. The cut
// duration of an up-shift the controller does not have shows no value, and none is taken. The
// link back may be to another controller: the comparison goes, as it does for a write.
TEST_F(CompareTest, TakingKeepsATypedNumberAndTheLinkBackClosesTheComparison)
{
    StartOn([](TEcu &e) { e.SetPositionCount(e.PositionCount - 1); });
    window->Ecu.SparkDelays[6] = 75;
    RunComparison();
    prompts.Questions.clear(); // the link's own question
    TfrmCompare *form = window->frmCompare;
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(form->ChooseRow("Cut Duration (Fifth)"));
    window->edtDebounce->setFocus();
    window->edtDebounce->setText("7");
    window->edtDebounce->setModified(true);
    form->btnTake->click();
    EXPECT_EQ(window->Ecu.Debounce, 7);
    EXPECT_EQ(window->Ecu.SparkDelays[6], 75);
    EXPECT_EQ(prompts.Texts(),
              QStringList {"Not taken, for an up-shift not in the ECU column: Cut Duration "
                           "(Fifth). Take No. Of Forwards Gears with it."});

    window->tmrStatus->stop();
    for (int i = 0; i < 100 && window->Connected; ++i)
        window->tmrLinkTimer();
    ASSERT_FALSE(window->Connected);
    EXPECT_TRUE(form->isVisible()) << "what the controller held before the link went";
    prompts.Answers = {TPrompts::No};
    Feed("@s01F40C0300\r");
    ASSERT_TRUE(window->Connected);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(CompareTest, ALateAnswerThatBringsTheLinkBackIsNotTakenUnderTheUploadQuestion)
{
    // The controller froze during the comparison: it gave up, and the link went down.
    TSimPtyOptions options;
    options.SilentAfterLines = 0;
    StartOn([](TEcu &) {}, options);
    const TEcu before = window->Ecu;
    window->CompareWithECU1Click();
    for (int i = 0; i < 1000 && window->Compare.Reading; ++i) {
        window->tmrUpDownAllTimer();
        window->tmrStatusTimer();
    }
    ASSERT_FALSE(window->Compare.Reading);
    ASSERT_TRUE(window->Compare.LateReplies);
    for (int i = 0; i < 100 && window->Connected; ++i)
        window->tmrLinkTimer();
    ASSERT_FALSE(window->Connected);

    // It wakes: its first late answer brings the link back, and while the question is open the
    // reply to a poll sent after the comparison ends the wait for late answers. Another late
    // answer came in the same read as the first: it is older than that reply, and is handled
    // before it.
    prompts.Answers = {TPrompts::No};
    prompts.WhileOpen = [this](const QString &) { Feed("@s01F40C0300\r"); };
    Feed("@r0203001400300024\r@r0303001400300024\r");
    prompts.WhileOpen = nullptr;
    EXPECT_EQ(prompts.Texts().constLast(), "ECU Connected - upload values from ECU?");
    EXPECT_FALSE(window->Compare.LateReplies);
    EXPECT_EQ(CountDiffering(CompareSettings(before, window->Ecu)), 0);
    EXPECT_EQ(window->Ecu.Ranges.Count(), before.Ranges.Count());
    EXPECT_FALSE(window->SettingsChanged);
}

TEST_F(CompareTest, AReplyCutShortOrGarbledOnTheLineIsUnknownNotZeros)
{
    TSimPtyOptions options;
    options.SilentAfterLines = 0; // the answers below are fed directly
    StartOn([](TEcu &) {}, options);
    window->CompareWithECU1Click();
    ASSERT_TRUE(window->Compare.Reading);
    for (int read = 0; read < 2; ++read) {
        Feed("@p1007020A0A05\r"); // cut short
        Feed("@r02030014003G0024\r"); // a digit garbled
        Feed("@d037\r"); // cut short
        Feed("@r0303001400300024\r"); // whole
        Feed("@d0464\r"); // whole
    }
    // Whole both times, with a digit changed on the line the second time.
    Feed("@d0219\r@d021A\r");
    window->tmrUpDownAllTimer();
    window->tmrStatus->start();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->Compare.Reading; }, kTransferMs));
    const TSettingsKnown &known = window->Compare.Known;
    EXPECT_FALSE(known.Params);
    EXPECT_FALSE(known.RangeSlots.test(2));
    EXPECT_FALSE(known.SparkDelays.test(3));
    EXPECT_FALSE(known.SparkDelays.test(2));
    EXPECT_TRUE(known.RangeSlots.test(3));
    EXPECT_TRUE(known.SparkDelays.test(4));
    EXPECT_EQ(window->Compare.Ecu.SparkDelays[4], 100);
    EXPECT_EQ(window->Compare.Ecu.SparkDelays[3], TEcu().SparkDelays[3]);
    EXPECT_EQ(window->Compare.Ecu.SparkDelays[2], TEcu().SparkDelays[2]);
}

TEST_F(CompareTest, TheReadCarriesOnUnderAnOpenMessageBoxAndIsNotStartedTwice)
{
    StartOn([](TEcu &e) { e.Ignore = 100; });
    prompts.Questions.clear();
    window->CompareWithECU1Click();
    window->tmrUpDownAllTimer();
    window->tmrStatus->start();
    // A second start is refused with a real message box, left open until the first read has
    // ended underneath it.
    bool readEndedUnderTheBox = false;
    prompts.WhileOpen = [&](const QString &) {
        QMessageBox box(QMessageBox::Information, QString(), QStringLiteral("Busy"),
                        QMessageBox::Ok);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &box, [&] {
            if (!window->Compare.Reading) {
                readEndedUnderTheBox = box.isVisible();
                box.accept();
            }
        });
        poll.start(20);
        QTimer::singleShot(kTransferMs, &box, &QMessageBox::reject);
        box.exec();
    };
    window->CompareWithECU1Click();
    prompts.WhileOpen = nullptr;
    EXPECT_TRUE(readEndedUnderTheBox);
    EXPECT_EQ(prompts.Texts(), QStringList {"Busy"});
    EXPECT_FALSE(window->Compare.Reading);
    EXPECT_FALSE(window->tmrUpDownAll->isActive());
    ASSERT_NE(window->frmCompare, nullptr);
    EXPECT_EQ(MarkedRows(window->frmCompare->sgCompare), QStringList {"Trigger Mask"});
    EXPECT_EQ(window->Ecu.Ignore, 125);
}

TEST_F(CompareTest, RefusedWhileBusyOrDisconnectedAndItMakesOtherTransfersBusy)
{
    CreateOnPty();
    window->CompareWithECU1Click();
    EXPECT_EQ(
        prompts.Texts(),
        QStringList {"ECU Disconnected - the settings cannot be compared until the ECU answers."});
    EXPECT_FALSE(window->tmrUpDownAll->isActive());
    EXPECT_TRUE(window->TxQueue.isEmpty());

    Connect();
    prompts.Questions.clear();
    window->CompareWithECU1Click();
    ASSERT_TRUE(window->Compare.Reading);
    EXPECT_TRUE(progress->isVisible());
    window->CompareWithECU1Click();
    window->UploadAllSettingsToEcu1Click();
    window->TakeChosenRows();
    window->CompareWithProfile1Click();
    EXPECT_EQ(prompts.Texts(), (QStringList {"Busy", "Busy", "Busy", "Busy"}));
    EXPECT_EQ(prompts.FileDialogs, 0);

    // A reply to the comparison goes to its own answers, not to the tool's model.
    Feed("@p4E06010803050145\r@p4E06010803050145\r");
    const TQV3318MessageRec *params
        = window->Compare.Answers.Agreed(TAgreedAnswers::KeyOf(mtParams, 0));
    ASSERT_NE(params, nullptr);
    EXPECT_EQ(params->Debounce, 8);
    EXPECT_EQ(window->Ecu.Debounce, 1);
    EXPECT_EQ(window->Ecu.PositionCount, 8);
    window->tmrUpDownAll->stop();
}

TEST_F(CompareTest, WaitsForTheAnswersOfAReadJustEndedAndAsksWhenTheVersionsDiffer)
{
    CreateOnPty();
    Connect();
    prompts.Questions.clear();
    // A read of all settings whose timer has ended, its last requests still to be answered.
    window->UploadAllSettingsToEcu1Click();
    for (int i = 0; i < 200 && window->tmrUpDownAll->isActive(); ++i) {
        window->tmrStatusTimer();
        window->tmrUpDownAllTimer();
    }
    ASSERT_FALSE(window->tmrUpDownAll->isActive());
    while (!window->TxQueue.isEmpty())
        window->tmrStatusTimer();
    ASSERT_GE(window->TransferEndsAtReply, 0);
    window->CompareWithECU1Click();
    EXPECT_EQ(prompts.Texts(), QStringList {"Busy"});
    EXPECT_FALSE(window->Compare.Reading);

    // Answered, the read is over and a comparison may start; a controller of another version
    // is asked about first, as for a read.
    for (int i = 0; i < 5 && window->TransferEndsAtReply >= 0; ++i) {
        window->tmrStatusTimer();
        Feed("@s0100200300\r");
    }
    ASSERT_LT(window->TransferEndsAtReply, 0);
    prompts.Answers = {TPrompts::No};
    Feed("@V020000\r");
    prompts.Questions.clear();
    prompts.Answers = {TPrompts::No};
    window->CompareWithECU1Click();
    EXPECT_EQ(prompts.Texts(),
              QStringList {"PC and GCU software versions do not match.\rContinue with upload?"});
    EXPECT_FALSE(window->Compare.Reading);
    prompts.Answers = {TPrompts::Yes};
    window->CompareWithECU1Click();
    EXPECT_TRUE(window->Compare.Reading);
    window->tmrUpDownAll->stop();
}

TEST_F(CompareTest, AProfileIsComparedWithoutBeingOpened)
{
    Create();
    window->show();
    TEcu other = window->Ecu;
    other.Ignore = 200;
    other.SparkDelays[2] = 33;
    const QString path = folder.path() + "/profiles/other.ini";
    ASSERT_TRUE(WriteProfile(path.toStdString(), other));
    window->Ecu.Debounce = 2; // an unsaved change: no save question, nothing replaced
    window->SettingsChanged = true;

    prompts.OpenNames = {path};
    window->CompareWithProfile1Click();
    EXPECT_TRUE(prompts.Questions.empty());
    EXPECT_EQ(window->Ecu.Ignore, 125);
    EXPECT_TRUE(window->ProfileFileName.isEmpty());
    TfrmCompare *form = window->frmCompare;
    ASSERT_NE(form, nullptr);
    EXPECT_FALSE(form->btnWrite->isVisibleTo(form));
    EXPECT_EQ(form->sgCompare->horizontalHeaderItem(2)->text(), "Profile");
    EXPECT_EQ(MarkedRows(form->sgCompare),
              (QStringList {"Trigger Debounce", "Trigger Mask", "Cut Duration (First)"}));

    ASSERT_TRUE(form->ChooseRow("Trigger Mask"));
    form->btnTake->click();
    EXPECT_EQ(window->Ecu.Ignore, 200);
    EXPECT_EQ(window->edtIgnore->text(), "800");
    EXPECT_EQ(window->Ecu.Debounce, 2);
    EXPECT_EQ(window->Ecu.SparkDelays[2], 125);

    // A range of a gear the tool no longer has is taken only with the number of gears.
    const auto sixthRanges = [this] {
        int n = 0;
        for (int k = 0; k < window->Ecu.Ranges.Count(); ++k)
            n += window->Ecu.Ranges.Items(k).Gear == 7;
        return n;
    };
    window->cmbGears->setCurrentIndex(1); // five forward gears: the sixth's range goes
    ASSERT_EQ(sixthRanges(), 0);
    ASSERT_TRUE(form->ChooseRow("Trigger Mask", false));
    ASSERT_TRUE(form->ChooseRow("Sixth Range"));
    form->btnTake->click();
    EXPECT_EQ(prompts.Texts(),
              QStringList {"Not taken, for a gear the tool does not have: Sixth "
                           "Range. Take No. Of Forwards Gears with it."});
    EXPECT_EQ(sixthRanges(), 0);
    ASSERT_TRUE(form->ChooseRow("No. Of Forwards Gears"));
    ASSERT_TRUE(form->ChooseRow("Sixth Range"));
    form->btnTake->click();
    EXPECT_EQ(prompts.Texts().size(), 1);
    EXPECT_EQ(window->Ecu.PositionCount, 8);
    EXPECT_EQ(sixthRanges(), 1);
    prompts.Questions.clear();

    // Saved over with the tool's settings, the file is the tool's: its column reads it again.
    window->SaveProfile(path);
    EXPECT_TRUE(MarkedRows(form->sgCompare).isEmpty());
    EXPECT_EQ(form->lblDifferences->text(), "No differences");
    // Another file saved leaves the column as it is.
    window->trkDebounce->setValue(5);
    window->SaveProfile(folder.path() + "/profiles/elsewhere.ini");
    EXPECT_EQ(MarkedRows(form->sgCompare), QStringList {"Trigger Debounce"});

    // A file gone between the dialog and the read is not read as an empty profile.
    prompts.OpenNames = {folder.path() + "/profiles/gone.ini"};
    window->CompareWithProfile1Click();
    EXPECT_EQ(prompts.Texts().size(), 1);
    EXPECT_TRUE(prompts.Texts().constFirst().startsWith("Profile not found: "));

#ifdef __linux__
    // A file that is there but cannot be read is not compared as an empty profile either.
    form->hide();
    prompts.Questions.clear();
    prompts.OpenNames = {QStringLiteral("/proc/self/mem")};
    window->CompareWithProfile1Click();
    EXPECT_EQ(prompts.Texts(), QStringList {"Unable to read /proc/self/mem"});
    EXPECT_FALSE(form->isVisible());
#endif
}

TEST_F(CompareTest, RecentProfilesKeepTheLastEightOpenedOrSavedAndDropMissingFiles)
{
    Create();
    window->show();
    QStringList saved;
    for (int i = 0; i < 9; ++i) {
        // An ampersand in a name is shown as such, not taken for a menu shortcut.
        const QString path = folder.path()
            + QString::fromLatin1(i == 3 ? "/profiles/R&D car%1.ini" : "/profiles/car%1.ini")
                  .arg(i);
        window->SettingsChanged = true;
        window->SaveProfile(path);
        saved.prepend(path);
    }
    EXPECT_EQ(recentProfiles, saved.mid(0, kRecentProfilesMax));

    // Opening an older one moves it to the front.
    prompts.OpenNames = {saved[5]};
    window->Open1Click();
    EXPECT_EQ(recentProfiles.constFirst(), saved[5]);
    EXPECT_EQ(recentProfiles.size(), kRecentProfilesMax);

    // A missing file is dropped when the menu opens, and the store learns it.
    ASSERT_TRUE(QFile::remove(saved[1]));
    window->RecentProfiles1Show();
    const QList<QAction *> entries = window->RecentProfiles1->actions();
    ASSERT_EQ(entries.size(), kRecentProfilesMax - 1);
    EXPECT_FALSE(recentProfiles.contains(saved[1]));
    EXPECT_TRUE(entries[0]->iconText().endsWith("/R&D car3.ini"));
    EXPECT_EQ(entries[0]->toolTip(), saved[5]);

    // Choosing one asks the save question first; Cancel loads nothing.
    window->Ecu.Debounce = 9;
    window->SettingsChanged = true;
    prompts.Answers = {TPrompts::Cancel};
    entries[2]->trigger(); // car6
    EXPECT_EQ(prompts.Texts(), QStringList {"Settings have changed - do you want to save?"});
    EXPECT_EQ(window->Ecu.Debounce, 9);

    // No: the file is opened as Open would.
    prompts.Answers = {TPrompts::No};
    entries[2]->trigger();
    EXPECT_EQ(window->Ecu.Debounce, 1);
    EXPECT_FALSE(window->SettingsChanged);
    EXPECT_EQ(window->ProfileFileName, saved[2]);
    EXPECT_EQ(window->windowTitle(), "Kestrova - car6.ini");
    EXPECT_EQ(recentProfiles.constFirst(), saved[2]);

    // A file removed while the save question was open is not read as an empty profile.
    window->Ecu.Debounce = 9;
    window->SettingsChanged = true;
    prompts.Questions.clear();
    prompts.Answers = {TPrompts::No};
    prompts.WhileOpen = [&](const QString &) { QFile::remove(saved[3]); };
    window->OpenRecentProfile(saved[3]);
    prompts.WhileOpen = nullptr;
    EXPECT_EQ(window->Ecu.Debounce, 9);
    EXPECT_EQ(window->ProfileFileName, saved[2]);
    ASSERT_EQ(prompts.Texts().size(), 2);
    EXPECT_TRUE(prompts.Texts()[1].startsWith("Profile not found: "));
    EXPECT_FALSE(recentProfiles.contains(saved[3]));

    // A long path is shortened in its middle: the place and the file's name stay readable.
    const QString longPath = folder.path() + "/profiles/" + QString(200, 'x') + " car9.ini";
    window->SettingsChanged = true;
    window->SaveProfile(longPath);
    window->RecentProfiles1Show();
    const QString shown = window->RecentProfiles1->actions()[0]->text();
    EXPECT_LT(shown.size(), longPath.size() / 2) << shown.toStdString();
    EXPECT_TRUE(shown.startsWith("&1 " + folder.path())) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("x car9.ini")) << shown.toStdString();
    EXPECT_EQ(window->RecentProfiles1->actions()[0]->toolTip(), longPath);
    ASSERT_TRUE(QFile::remove(longPath));
    window->RecentProfiles1Show();

    // A folder that is away (a USB stick pulled) hides its profiles but keeps them for its return.
    const QStringList kept = recentProfiles;
    ASSERT_TRUE(QDir().rename(folder.path() + "/profiles", folder.path() + "/away"));
    window->RecentProfiles1Show();
    ASSERT_EQ(window->RecentProfiles1->actions().size(), 1);
    EXPECT_EQ(window->RecentProfiles1->actions()[0]->text(), "(none)");
    EXPECT_EQ(recentProfiles, kept);
    // So does an empty folder: a mount point with nothing mounted on it.
    ASSERT_TRUE(QDir().mkdir(folder.path() + "/profiles"));
    window->RecentProfiles1Show();
    EXPECT_EQ(window->RecentProfiles1->actions()[0]->text(), "(none)");
    EXPECT_EQ(recentProfiles, kept);
    ASSERT_TRUE(QDir().rmdir(folder.path() + "/profiles"));
    ASSERT_TRUE(QDir().rename(folder.path() + "/away", folder.path() + "/profiles"));
    window->RecentProfiles1Show();
    EXPECT_EQ(window->RecentProfiles1->actions().size(), kept.size());
}

TEST(RecentProfiles, NewestFirstWithoutDuplicatesAtMostEight)
{
    QStringList list;
    for (const char *name : {"/p/a.ini", "/p/b.ini", "/p/./a.ini"})
        list = WithRecentProfile(list, name);
    EXPECT_EQ(list, (QStringList {"/p/a.ini", "/p/b.ini"}));
    for (int i = 0; i < 10; ++i)
        list = WithRecentProfile(list, QStringLiteral("/p/%1.ini").arg(i));
    EXPECT_EQ(list.size(), kRecentProfilesMax);
    EXPECT_EQ(list.constFirst(), "/p/9.ini");
    EXPECT_EQ(list.constLast(), "/p/2.ini");
    EXPECT_EQ(ExistingProfiles({"/p/x.ini", "", "/p/y.ini"},
                               [](const QString &p) { return p.endsWith("y.ini"); }),
              QStringList {"/p/y.ini"});

    // One file through a linked folder is one profile; two files in it are two, and so are two
    // names of files that are not there.
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("profiles"));
    ASSERT_TRUE(QFile::link(dir.filePath("profiles"), dir.filePath("linked")));
    for (const char *name : {"profiles/a.ini", "profiles/b.ini"}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    list = WithRecentProfile({dir.filePath("profiles/a.ini")}, dir.filePath("linked/a.ini"));
    EXPECT_EQ(list, QStringList {dir.filePath("linked/a.ini")});
    EXPECT_TRUE(SameProfilePath(dir.filePath("profiles/a.ini"), dir.filePath("linked/a.ini")));
    EXPECT_FALSE(SameProfilePath(dir.filePath("profiles/b.ini"), dir.filePath("linked/a.ini")));
    EXPECT_FALSE(SameProfilePath(dir.filePath("gone/a.ini"), dir.filePath("away/a.ini")));
}
