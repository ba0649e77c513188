// The settings panel and the gear calibration of the main window.

#include "mainFixture.h"
#include "modalPrompts.h"
#include "textFile.h"

#include "compassRange.h"
#include "ledLamp.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QSlider>
#include <QSpontaneKeyEvent>
#include <QTableWidget>
#include <QTest>
#include <QWheelEvent>

namespace {

std::string StatusLine(int adc)
{
    char line[32];
    std::snprintf(line, sizeof line, "@s%04X000100\r", adc);
    return line;
}

} // namespace

class PanelTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        Create();
        window->show();
    }

    QLineEdit *Edit(const char *name) { return window->findChild<QLineEdit *>(name); }
    QWidget *Widget(const char *name) { return window->findChild<QWidget *>(name); }

    // Types into a box and leaves it, as the user tabbing out would.
    void Leave(const char *name, const QString &text)
    {
        QLineEdit *edit = Edit(name);
        ASSERT_NE(edit, nullptr) << name;
        edit->setText(text);
        QFocusEvent out(QEvent::FocusOut);
        QCoreApplication::sendEvent(edit, &out);
    }
};

TEST_F(PanelTest, EditBoxesStoreClampedValuesAndShowThemBackInTheirUnits)
{
    struct Row
    {
        const char *edit;
        const char *typed;
        std::int32_t TEcu::*field;
        std::int32_t stored;
        const char *shown;
    };
    const Row rows[] = {
        {"edtIgnore", "50", &TEcu::Ignore, 25, "100"},
        {"edtIgnore", "1003", &TEcu::Ignore, 250, "1000"},
        {"edtIgnore", "502", &TEcu::Ignore, 125, "500"},
        {"edtDownshiftBlipTimeout", "-5", &TEcu::BlipTimeout, 0, "0"},
        {"edtBarrelThreshold", "7", &TEcu::BarrelThreshold, 20, "7"},
        {"edtBarrelThreshold", "10", &TEcu::BarrelThreshold, 28, "10"},
        {"edtBarrelThreshold", "25", &TEcu::BarrelThreshold, 28, "10"},
        {"edtDebounce", "30", &TEcu::Debounce, 25, "25"},
        {"edtLoadCellThreshold", "300", &TEcu::GearThresholdUpper, 255, "255"},
        {"edtCutAfterBlip", "42", &TEcu::CutAfterBlip, 42, "42"},
        {"EdtSparkCutTimeout", "1500", &TEcu::SparkCutTimeout, 1000, "1000"},
    };
    for (const Row &row : rows) {
        window->SettingsChanged = false;
        Leave(row.edit, row.typed);
        EXPECT_EQ(window->Ecu.*row.field, row.stored) << row.edit << " " << row.typed;
        EXPECT_EQ(Edit(row.edit)->text(), row.shown) << row.edit << " " << row.typed;
        EXPECT_TRUE(window->SettingsChanged);
    }
}

TEST_F(PanelTest, TextThatIsNotANumberKeepsTheSettingButCountsAsAChange)
{
    window->SettingsChanged = false;
    Leave("edtDebounce", "abc");
    EXPECT_EQ(window->Ecu.Debounce, 1);
    EXPECT_EQ(Edit("edtDebounce")->text(), "1");
    EXPECT_TRUE(window->SettingsChanged);
}

TEST_F(PanelTest, AValueOutsideItsTrackBarIsShownAsIsUntilTouched)
{
    window->Ecu.Ignore = 10; // as a controller might report it
    window->RefreshSettings();
    EXPECT_EQ(window->trkIgnore->value(), 25);
    EXPECT_EQ(Edit("edtIgnore")->text(), "40");
    Leave("edtIgnore", Edit("edtIgnore")->text());
    EXPECT_EQ(window->Ecu.Ignore, 25);
    EXPECT_EQ(Edit("edtIgnore")->text(), "100");
    // A hand-edited profile's value is shown in full, however large.
    window->Ecu.Ignore = 1'000'000'003;
    window->Ecu.BlipTimeout = -1'500'000'001;
    window->RefreshSettings();
    EXPECT_EQ(Edit("edtIgnore")->text(), "4000000012");
    EXPECT_EQ(Edit("edtDownshiftBlipTimeout")->text(), "-3000000002");

    // Moving the blip trackbar re-stores the mask from its own trackbar too.
    window->Ecu.Ignore = 10;
    window->RefreshSettings();
    window->trkDownshiftBlipTimeout->setValue(100);
    EXPECT_EQ(window->Ecu.BlipTimeout, 100);
    EXPECT_EQ(window->Ecu.Ignore, 25);
}

TEST_F(PanelTest, TrackBarsWriteTheirFormulas)
{
    window->trkBarrelThreshold->setValue(7);
    EXPECT_EQ(window->Ecu.BarrelThreshold, 20);
    window->trkSpark[2]->setValue(33); // third gear's trackbar edits index 4
    EXPECT_EQ(window->Ecu.SparkDelays[4], 33);
    EXPECT_EQ(window->CellText(2, 5), "33");
    window->trkDownshiftThreshold->setValue(40);
    EXPECT_EQ(window->Ecu.GearThresholdLower, 40);
}

TEST_F(PanelTest, VisibilityFollowsTheTriggerMethod)
{
    const char *const loadCell[] = {"trkLoadCellThreshold", "edtLoadCellThreshold",
                                    "lblLoadCellThreshold", "trkDownshiftThreshold"};
    const char *const barrel[] = {"trkBarrelThreshold", "edtBarrelThreshold", "lblBarrelThreshold"};
    const char *const downshift[] = {"trkDownshiftBlipTimeout",
                                     "edtDownshiftBlipTimeout",
                                     "lblDownshiftBlipTimeout",
                                     "lblDownshiftBlipTimeoutUnits",
                                     "chkCutAfterBlip",
                                     "BlipLed",
                                     "DownshiftLed",
                                     "lblBlipLed",
                                     "lblDownshiftLed"};
    auto shown = [&](const char *name) { return !Widget(name)->isHidden(); };

    window->rbSensorTypeSwitch->click();
    EXPECT_EQ(window->Ecu.GearShiftType, 0);
    for (const char *name : loadCell)
        EXPECT_FALSE(shown(name)) << name;
    for (const char *name : barrel)
        EXPECT_FALSE(shown(name)) << name;
    for (const char *name : downshift)
        EXPECT_FALSE(shown(name)) << name;
    EXPECT_FALSE(shown("trkCutAfterBlip"));

    window->rbSensorTypeBarrelPosition->click();
    EXPECT_EQ(window->Ecu.GearShiftType, 2);
    for (const char *name : barrel)
        EXPECT_TRUE(shown(name)) << name;
    for (const char *name : downshift)
        EXPECT_TRUE(shown(name)) << name;
    EXPECT_FALSE(shown("trkLoadCellThreshold"));

    window->chkCutAfterBlip->click();
    EXPECT_TRUE(window->Ecu.UseCutAfterBlip);
    EXPECT_TRUE(shown("trkCutAfterBlip"));
    EXPECT_TRUE(shown("lblCutAfterBlipUnits"));

    window->rbSensorTypeLoadCell->click();
    for (const char *name : loadCell)
        EXPECT_TRUE(shown(name)) << name;
    EXPECT_FALSE(shown("trkBarrelThreshold"));

    // A method outside 0..2 checks nothing and shows neither group, but keeps the down-shift part.
    window->Ecu.GearShiftType = 5;
    window->RefreshSettings();
    EXPECT_FALSE(window->rbSensorTypeSwitch->isChecked());
    EXPECT_FALSE(window->rbSensorTypeLoadCell->isChecked());
    EXPECT_FALSE(window->rbSensorTypeBarrelPosition->isChecked());
    EXPECT_FALSE(shown("trkLoadCellThreshold"));
    EXPECT_TRUE(shown("chkCutAfterBlip"));
}

TEST_F(PanelTest, GridAndCutDurationTrackBarsFollowThePositionCount)
{
    window->cmbGears->setCurrentIndex(0); // four forward gears
    ASSERT_EQ(window->Ecu.PositionCount, 6);
    EXPECT_EQ(window->sgGears->rowCount(), 7);
    EXPECT_EQ(window->CellText(2, 1), "-");
    EXPECT_EQ(window->CellText(2, 2), "-");
    EXPECT_EQ(window->CellText(0, 6), "Fourth");
    EXPECT_EQ(window->CellText(2, 6), "-");
    EXPECT_EQ(window->CellText(2, 3), "125");
    EXPECT_EQ(window->CellText(2, 5), "100");
    EXPECT_TRUE(window->trkSpark[3]->isHidden());
    EXPECT_TRUE(window->trkSpark[5]->isHidden());
    EXPECT_FALSE(window->trkSpark[2]->isHidden());

    window->cmbGears->setCurrentIndex(3); // seven forward gears
    EXPECT_EQ(window->sgGears->rowCount(), 10);
    EXPECT_EQ(window->CellText(0, 9), "Seventh");
    EXPECT_EQ(window->CellText(2, 9), "-");
    EXPECT_FALSE(window->trkSpark[5]->isHidden());

    // Closed loop empties the duration column and hides the per-gear group; the values stay.
    window->rbUseFeedback->click();
    EXPECT_TRUE(window->Ecu.UseFeedback);
    EXPECT_EQ(window->CellText(2, 3), "");
    EXPECT_TRUE(window->pnlDelay->isHidden());
    EXPECT_FALSE(window->trkSparkCutTimeout->isHidden());
    window->rbUseTimed->click();
    EXPECT_EQ(window->CellText(2, 3), "125");
}

TEST_F(PanelTest, GridCellsArePaintedInTheGearColours)
{
    const QImage image = window->sgGears->viewport()->grab().toImage();
    const QRect reverse = window->sgGears->visualRect(window->sgGears->model()->index(1, 0));
    const QRect angle = window->sgGears->visualRect(window->sgGears->model()->index(1, 1));
    EXPECT_EQ(image.pixelColor(reverse.right() - 2, reverse.center().y()), QColor(0xFF, 0, 0));
    EXPECT_EQ(image.pixelColor(angle.right() - 2, angle.center().y()), QColor(Qt::white));
}

TEST_F(PanelTest, ChangesDuringATransferAreIgnored)
{
    window->tmrUpDownAll->start();
    window->RefreshSettings();
    window->SettingsChanged = false;
    window->trkDebounce->setValue(20);
    EXPECT_EQ(window->Ecu.Debounce, 1);
    EXPECT_FALSE(window->SettingsChanged);
    window->tmrUpDownAll->stop();
    window->RefreshSettings();
    EXPECT_EQ(window->trkDebounce->value(), 1);
    window->trkDebounce->setValue(20);
    EXPECT_EQ(window->Ecu.Debounce, 20);
}

TEST_F(PanelTest, ClearingCutDurationsEmptiesThePositionsInUse)
{
    window->btnClearSparksClick();
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(window->Ecu.SparkDelays[i], 0);
    EXPECT_TRUE(window->SettingsChanged);
}

// ---- Calibration ------------------------------------------------------------------------------

class CalibrationTest : public PanelTest
{
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        Connect(); // sampling reads the live angle of status replies
        window->cmbGears->setCurrentIndex(0); // six positions
        window->SettingsChanged = false;
        prompts.Questions.clear();
    }

    // Answers each "Select ..." prompt after putting the barrel at the next sample.
    void SampleAt(std::vector<int> counts, int abortAt = -1)
    {
        int asked = 0;
        prompts.WhileOpen = [this, counts, asked](const QString &) mutable {
            if (asked < static_cast<int>(counts.size()))
                Feed(StatusLine(counts[static_cast<std::size_t>(asked)]));
            ++asked;
        };
        for (int i = 0; i < static_cast<int>(counts.size()); ++i)
            prompts.Answers.push_back(i == abortAt ? TPrompts::Abort : TPrompts::Ok);
        window->btnCaptureClick();
    }
};

TEST_F(CalibrationTest, ASamplingRunBuildsTheGearRanges)
{
    SampleAt({84, 228, 340, 452, 572, 700});
    ASSERT_EQ(prompts.Questions.size(), 6u);
    EXPECT_EQ(prompts.Questions[0].text, "Select Reverse and press OK");
    EXPECT_EQ(prompts.Questions[5].text, "Select Fourth and press OK");
    EXPECT_EQ(prompts.Questions[0].buttons, TPrompts::Ok | TPrompts::Abort);

    const std::pair<int, int> expected[]
        = {{70, 98}, {214, 242}, {326, 354}, {438, 466}, {558, 586}, {686, 714}};
    ASSERT_EQ(window->Ecu.Ranges.Count(), 6);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(window->Ecu.Ranges.Items(k).Lower, expected[k].first) << k;
        EXPECT_EQ(window->Ecu.Ranges.Items(k).Upper, expected[k].second) << k;
    }
    EXPECT_TRUE(window->SettingsChanged);
    EXPECT_EQ(window->BarrelGauge->RangeCount(), 6);
    EXPECT_EQ(window->BarrelGauge->MarkerCount(), 0);
    ASSERT_EQ(debug->lstRanges->count(), 6);
    EXPECT_EQ(debug->lstRanges->item(0)->text(), "[0] gear R low 70 adc 84 high 98");
    EXPECT_EQ(debug->lstRanges->item(2)->text(), "[2] gear 1 low 326 adc 340 high 354");
    EXPECT_EQ(window->CellText(1, 1), "30"); // 84 counts in whole degrees
}

TEST_F(CalibrationTest, AnAbortedRunKeepsTheSamplesButBuildsNothing)
{
    const int ranges = window->Ecu.Ranges.Count();
    SampleAt({100, 200, 300, 400}, 3);
    EXPECT_EQ(window->Ecu.Positions[0].Adc, 100);
    EXPECT_EQ(window->Ecu.Positions[2].Adc, 300);
    EXPECT_TRUE(window->Ecu.Positions[2].Sampled);
    EXPECT_EQ(window->Ecu.Positions[3].Adc, 452) << "the aborted gear keeps its old position";
    EXPECT_EQ(window->Ecu.Ranges.Count(), ranges);
    EXPECT_EQ(window->BarrelGauge->MarkerCount(), 3);
    EXPECT_FALSE(window->SettingsChanged);
}

// A gear answered while the link is down is not given the angle the dial kept from an earlier
// gear: it is asked for again, and sampled once the controller answers.
TEST_F(CalibrationTest, AGearIsNotSampledWhileTheLinkIsDown)
{
    int selects = 0;
    prompts.WhileOpen = [&](const QString &text) {
        if (!text.startsWith("Select"))
            return;
        switch (selects++) {
        case 0:
            Feed(StatusLine(100));
            break;
        case 1: // the barrel moves on, but the controller has gone silent
            for (int i = 0; i < kLinkLostAfterTicks; ++i)
                window->tmrLinkTimer();
            break;
        case 2: // back under the same gear's question
            Feed(StatusLine(230));
            break;
        default:
            Feed(StatusLine(100 + 120 * selects));
        }
    };
    prompts.Answers.assign(8, TPrompts::Ok);
    window->btnCaptureClick();
    // The upload question waits for the run's questions to end; the user keeps the settings.
    EXPECT_FALSE(prompts.Texts().contains("ECU Connected - upload values from ECU?"));
    QCoreApplication::processEvents();
    const QStringList texts = prompts.Texts();
    ASSERT_EQ(texts.size(), 9);
    EXPECT_EQ(texts.mid(1, 3),
              (QStringList {"Select Neutral and press OK",
                            "ECU Disconnected - the gear position cannot be sampled until the "
                            "ECU answers.",
                            "Select Neutral and press OK"}));
    EXPECT_EQ(texts.constLast(), "ECU Connected - upload values from ECU?");
    EXPECT_EQ(window->Ecu.Positions[0].Adc, 100);
    EXPECT_EQ(window->Ecu.Positions[1].Adc, 230);
    EXPECT_EQ(window->Ecu.Ranges.Count(), 6);
    EXPECT_TRUE(window->SettingsChanged);
}

// The controller stops answering while the link still counts as up: the dial holds the last angle
// it reported, which is not sampled once half a second of polls has gone unanswered.
TEST_F(CalibrationTest, AGearIsNotSampledFromAnAngleTheControllerNoLongerReports)
{
    for (const int polls : {kStaleStatusPolls - 1, kStaleStatusPolls}) {
        SCOPED_TRACE(polls);
        const bool stale = polls == kStaleStatusPolls;
        int selects = 0;
        prompts.Questions.clear();
        prompts.WhileOpen = [&](const QString &text) {
            if (!text.startsWith("Select"))
                return;
            switch (selects++) {
            case 0:
                Feed(StatusLine(100));
                break;
            case 1:
                Feed(StatusLine(200));
                for (int i = 0; i < polls; ++i)
                    window->tmrStatusTimer();
                break;
            default:
                Feed(StatusLine(130 + 100 * selects));
            }
        };
        prompts.Answers.assign(7, TPrompts::Ok);
        window->btnCaptureClick();
        ASSERT_TRUE(window->Connected);
        EXPECT_EQ(prompts.Texts().contains("ECU Disconnected - the gear position cannot be sampled "
                                           "until the ECU answers."),
                  stale);
        EXPECT_EQ(window->Ecu.Positions[1].Adc, stale ? 430 : 200);
        EXPECT_EQ(window->Ecu.Ranges.Count(), 6);
    }
}

// The run ends with a word either way: "Busy" while the read runs, or why it stopped once done;
// also when the upload was taken under the warning that the controller fell silent, with no gear
// asked for again.
TEST_F(CalibrationTest, AnUploadTakenUnderAQuestionEndsTheRunWithoutBuildingRanges)
{
    const TGearDataList before = window->Ecu.Ranges;
    struct Row
    {
        const char *name;
        bool readDone;
        int silentAt; // the question under which the controller falls silent, or 0
    };
    for (const Row &row : {Row {"the read runs", false, 0}, Row {"the read has ended", true, 0},
                           Row {"taken under the warning", true, 2}}) {
        SCOPED_TRACE(row.name);
        int asked = 0;
        prompts.Questions.clear();
        prompts.WhileOpen = [&](const QString &) {
            Feed(StatusLine(100 + 111 * asked));
            if (++asked == row.silentAt)
                window->StatusPollsUnanswered = kStaleStatusPolls;
            // The link came back under the third question and the user took the upload.
            if (asked == 3) {
                window->UploadAllSettingsToEcu1Click();
                if (row.readDone)
                    window->tmrUpDownAll->stop();
            }
        };
        prompts.Answers = {TPrompts::Ok, TPrompts::Ok, TPrompts::Ok, TPrompts::Ok, TPrompts::Ok};
        window->btnCaptureClick();
        EXPECT_EQ(asked, 4); // three questions and the word that ends the run
        EXPECT_EQ(prompts.Questions.back().text,
                  row.readDone ? "Sampling stopped: settings were read from the ECU - sample the "
                                 "gear positions again"
                               : "Busy");
        EXPECT_EQ(window->Ecu.Positions[1].Adc == 211, row.silentAt == 0);
        EXPECT_NE(window->Ecu.Positions[2].Adc, 322) << "the third answer came after the upload";
        EXPECT_EQ(window->Ecu.Ranges.Count(), before.Count());
        EXPECT_FALSE(window->SettingsChanged);
        window->tmrUpDownAll->stop();
        window->TxQueue.clear();
        window->Ecu.Positions[1].Adc = 0;
    }
}

TEST_F(CalibrationTest, ATransferUnderWayRefusesTheRun)
{
    window->Ecu.Positions[0].Adc = 41;
    window->UploadAllSettingsToEcu1Click();
    prompts.WhileOpen = [&](const QString &) { Feed(StatusLine(700)); };
    prompts.Answers = {TPrompts::Ok, TPrompts::Ok};
    window->btnCaptureClick();
    EXPECT_EQ(prompts.Texts(), QStringList {"Busy"});
    EXPECT_EQ(window->Ecu.Positions[0].Adc, 41);
    window->tmrUpDownAll->stop();
    window->TxQueue.clear();
}

TEST_F(CalibrationTest, FewerGearsDeleteTheirRangesForGood)
{
    window->cmbGears->setCurrentIndex(2); // six forward gears
    SampleAt({84, 228, 340, 452, 572, 700, 824, 940});
    ASSERT_EQ(window->Ecu.Ranges.Count(), 8);
    window->cmbGears->setCurrentIndex(0);
    EXPECT_EQ(window->Ecu.Ranges.Count(), 6);
    EXPECT_EQ(window->sgGears->rowCount(), 7);
    window->cmbGears->setCurrentIndex(2);
    EXPECT_EQ(window->Ecu.Ranges.Count(), 6);
}

TEST_F(CalibrationTest, ToleranceRecentresEveryRange)
{
    window->trkFeedbackWindow->setValue(15);
    EXPECT_EQ(window->Ecu.FeedbackWindow, 15);
    for (int k = 0; k < window->Ecu.Ranges.Count(); ++k) {
        const TGearData &r = window->Ecu.Ranges.Items(k);
        EXPECT_EQ(r.Lower, std::max(0, r.Adc - 43));
        EXPECT_EQ(r.Upper, std::min(1023, r.Adc + 43));
    }
    EXPECT_TRUE(window->SettingsChanged);

    Leave("edtFeedbackWindow", "x");
    EXPECT_EQ(window->Ecu.FeedbackWindow, 15);
    Leave("edtFeedbackWindow", "40");
    EXPECT_EQ(window->Ecu.FeedbackWindow, 15);
    Leave("edtFeedbackWindow", "1");
    EXPECT_EQ(window->Ecu.Ranges.Items(0).Upper - window->Ecu.Ranges.Items(0).Adc, 3);
}

TEST_F(CalibrationTest, ClearForgetsPositionsButKeepsRanges)
{
    const int ranges = window->Ecu.Ranges.Count();
    window->btnClearClick();
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(window->Ecu.Positions[i].Adc, 0);
    EXPECT_EQ(window->Ecu.Ranges.Count(), ranges);
    EXPECT_EQ(window->BarrelGauge->RangeCount(), 0);
    EXPECT_EQ(window->CellText(1, 1), "0");
    EXPECT_TRUE(window->SettingsChanged);
}

// Leaving an edit box is the focus moving on to another control of the window. A message box
// opening, another window taking the activation, a popup menu or the menu bar taking the keyboard
// leave the typing in the box, and nothing goes into the model.
// The grid only shows the gears: Tab and Shift+Tab pass through it, or the controls after it
// could not be reached from the keyboard.
TEST_F(MainWindowTest, TabPassesThroughTheGearGrid)
{
    Create();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
        window->sgGears->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), window->sgGears);
        QTest::keyClick(window->sgGears, key);
        EXPECT_NE(QApplication::focusWidget(), window->sgGears) << key;
    }
}

TEST_F(MainWindowTest, OnlyMovingToAnotherControlLeavesAnEditBox)
{
    TModalPrompts modal;
    Create({}, false, &modal);
    window->show();
    const auto activate = [](QWidget *w) {
        w->activateWindow();
        return QTest::qWaitForWindowActive(w);
    };
    ASSERT_TRUE(activate(window.get()));
    QLineEdit *mask = window->edtIgnore;
    QMenu *file = window->menuBar()->actions().constFirst()->menu();
    ASSERT_NE(file, nullptr);

    struct Row
    {
        const char *away;
        std::function<void()> act;
        bool leaves;
    };
    const Row rows[] = {
        {"the link question opens",
         [&] {
             modal.Script.push_back({"ECU Connected - upload values from ECU?", TPrompts::No, {}});
             Feed("@V010000\r");
         },
         false},
        {"another window is activated",
         [&] {
             debug->show();
             activate(debug.get());
             debug->hide();
         },
         false},
        {"a menu pops up",
         [&] {
             file->popup(window->mapToGlobal(QPoint(10, 10)));
             EXPECT_TRUE(QTest::qWaitFor([&] { return file->isVisible(); }));
             file->close();
         },
         false},
        {"the menu bar takes the keyboard",
         [&] {
             QTest::keyClick(mask, Qt::Key_Alt);
             QTest::keyClick(window->menuBar(), Qt::Key_Escape);
         },
         false},
        {"Tab", [&] { QTest::keyClick(mask, Qt::Key_Tab); }, true},
        {"a click on another control",
         [&] { QTest::mouseClick(window->edtDebounce, Qt::LeftButton); }, true},
        {"the wheel turns another track bar",
         [&] {
             QSlider *bar = window->trkDebounce;
             const QPointF at(bar->width() / 2.0, bar->height() / 2.0);
             QWheelEvent wheel(at, bar->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                               Qt::NoModifier, Qt::NoScrollPhase, false);
             // As from the window system: sendEvent would make it a synthesized one, which
             // moves no focus.
             QSpontaneKeyEvent::setSpontaneous(&wheel);
             QApplication::instance()->notify(bar, &wheel);
         },
         true},
    };
    for (const Row &row : rows) {
        mask->setFocus(Qt::OtherFocusReason);
        window->Ecu.Ignore = 125;
        window->RefreshSettings();
        window->SettingsChanged = false;
        mask->selectAll();
        QTest::keyClicks(mask, QStringLiteral("10")); // on the way to 1000
        row.act();
        ASSERT_TRUE(activate(window.get())) << row.away;
        if (row.leaves) {
            EXPECT_EQ(window->Ecu.Ignore, 25) << row.away;
            EXPECT_EQ(mask->text(), "100") << row.away;
            EXPECT_TRUE(window->SettingsChanged) << row.away;
        } else {
            EXPECT_EQ(window->Ecu.Ignore, 125) << row.away;
            EXPECT_EQ(mask->text(), "10") << row.away;
            EXPECT_FALSE(window->SettingsChanged) << row.away;
            EXPECT_TRUE(mask->hasFocus()) << row.away;
        }
    }
    EXPECT_EQ(modal.Asked.size(), 1);
}

// A shortcut or the menu leaves the focus in the box typed into: a command that uses the settings
// takes the typing first, so the file, the save question and the controller get the value the box
// shows. A box that only has the focus keeps a value outside its limits as it is.
TEST_F(MainWindowTest, CommandsTakeWhatWasTypedIntoTheFocusedBox)
{
    CreateOnPty();
    Connect();
    QLineEdit *debounce = window->edtDebounce;
    const auto show = [&](int value) {
        window->Ecu.Debounce = value;
        window->RefreshSettings();
        window->SettingsChanged = false;
        debounce->setFocus();
    };
    const auto type = [&](const QString &text) {
        show(1);
        debounce->selectAll();
        QTest::keyClicks(debounce, text);
    };
    const QString path = folder.path() + "/typed.ini";
    const auto saved = [&path] { return ReadText(path.toStdString()); };
    window->ProfileFileName = path;

    type("20");
    window->Save1Click();
    EXPECT_NE(saved().find("debounce=20\n"), std::string::npos) << saved();

    show(300);
    window->SettingsChanged = true;
    window->Save1Click();
    EXPECT_NE(saved().find("debounce=300\n"), std::string::npos) << saved();

    type("7");
    prompts.Questions.clear();
    prompts.Answers = {TPrompts::No};
    window->New1Click();
    EXPECT_EQ(prompts.Texts(), QStringList {"Settings have changed - do you want to save?"});

    type("18");
    prompts.Answers = {TPrompts::Yes};
    window->DownloadAllSettingsToECU1Click();
    window->tmrUpDownAllTimer();
    ASSERT_FALSE(window->TxQueue.isEmpty());
    EXPECT_EQ(window->TxQueue.constFirst().mid(8, 2), "12"); // the debounce byte
    EXPECT_EQ(debounce->text(), "18");
}
