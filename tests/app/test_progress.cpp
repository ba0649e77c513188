#include "progress.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QPoint ScreenCentreFor(const QWidget &w)
{
    const QScreen *scr = w.screen() != nullptr ? w.screen() : QGuiApplication::primaryScreen();
    return CentredTopLeft(scr->geometry(), w.frameGeometry().size());
}

} // namespace

TEST(Progress, CreatedHiddenAsSmallStayOnTopWindowWithoutCloseButton)
{
    TfrmProgress frm;
    EXPECT_EQ(frm.objectName(), "frmProgress");
    EXPECT_FALSE(frm.isVisible());
    EXPECT_FALSE(frm.isModal());
    EXPECT_EQ(frm.windowTitle(), "Progress");
    EXPECT_FALSE(frm.AllowClose);
    EXPECT_EQ(frm.size(), QSize(496, 57));
    EXPECT_TRUE(frm.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(frm.windowFlags().testFlag(Qt::CustomizeWindowHint));
    EXPECT_FALSE(frm.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(frm.windowFlags().testFlag(Qt::WindowSystemMenuHint));
    EXPECT_EQ(frm.font().family(), "Tahoma");
    EXPECT_EQ(frm.font().pointSize(), 8);

    frm.StartProgress("Upload from ECU", 4);
    // The caption band on top, the bar filling the rest.
    EXPECT_EQ(frm.pnlCaption->geometry(), QRect(0, 0, 496, 33));
    EXPECT_EQ(frm.prgProgress->geometry(), QRect(0, 33, 496, 24));
    EXPECT_EQ(frm.pnlCaption->frameShape(), QFrame::NoFrame);
    frm.FinishProgress();
}

TEST(Progress, FirstStepShowsTextQuarterBarAndPercentTitle)
{
    TfrmProgress frm;
    frm.StartProgress("Upload from ECU", 4);
    EXPECT_TRUE(frm.isVisible());
    EXPECT_FALSE(frm.AllowClose);
    EXPECT_EQ(frm.windowTitle(), "Progress (0 %)");
    EXPECT_EQ(frm.pnlCaption->text(), "Upload from ECU");
    EXPECT_EQ(frm.prgProgress->maximum(), 4);
    EXPECT_EQ(frm.prgProgress->value(), 0);

    frm.StepProgress();
    EXPECT_EQ(frm.prgProgress->value(), 1);
    EXPECT_EQ(frm.windowTitle(), "Progress (25 %)");
    frm.FinishProgress();
}

TEST(Progress, StepsBeyondMaximumStayFullAt100Percent)
{
    TfrmProgress frm;
    frm.StartProgress("Download to ECU", 4);
    const char *titles[] = {"Progress (25 %)",  "Progress (50 %)",  "Progress (75 %)",
                            "Progress (100 %)", "Progress (100 %)", "Progress (100 %)"};
    int expectedValue = 0;
    for (const char *title : titles) {
        frm.StepProgress();
        expectedValue = std::min(expectedValue + 1, 4);
        EXPECT_EQ(frm.prgProgress->value(), expectedValue) << title;
        EXPECT_EQ(frm.windowTitle(), title);
    }
    frm.FinishProgress();
}

TEST(Progress, PercentRoundsToNearestWithTiesToEven)
{
    struct Row
    {
        int position, maximum, percent;
    };
    const Row rows[] = {
        {0, 4, 0},   {1, 4, 25}, {4, 4, 100},
        {1, 3, 33},  {2, 3, 67}, {1, 8, 12}, // 12.5 goes down to the even 12
        {3, 8, 38}, // 37.5 goes up to the even 38
        {1, 200, 0}, // 0.5 goes to 0
        {3, 200, 2}, // 1.5 goes to 2
        {1, 0, 100}, // a maximum below 1 counts as 1
        {0, -5, 0},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(ProgressPercent(r.position, r.maximum), r.percent)
            << r.position << "/" << r.maximum;
    }
}

TEST(Progress, StartWithoutStepsStillGivesUsableBar)
{
    TfrmProgress frm;
    frm.StartProgress("Upload from ECU", 0);
    EXPECT_GE(frm.prgProgress->maximum(), 1);
    frm.StepProgress();
    EXPECT_EQ(frm.windowTitle(), "Progress (100 %)");
    frm.FinishProgress();
}

TEST(Progress, CentringTruncatesHalvesTowardZero)
{
    struct Row
    {
        QRect screen;
        QSize window;
        QPoint topLeft;
    };
    const Row rows[] = {
        {{0, 0, 1000, 800}, {496, 57}, {252, 371}},
        {{0, 0, 1001, 801}, {496, 57}, {252, 372}},
        {{1920, 0, 1280, 1024}, {496, 57}, {2312, 483}},
        // Larger than the screen: -5 / 2 is -2, not -3.
        {{0, 0, 100, 100}, {105, 105}, {-2, -2}},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(CentredTopLeft(r.screen, r.window), r.topLeft);
    }
}

TEST(Progress, RestartRecentresEmptiesBarAndResetsTitle)
{
    TfrmProgress frm;
    frm.StartProgress("Upload from ECU", 4);
    EXPECT_EQ(frm.pos(), ScreenCentreFor(frm));
    for (int i = 0; i < 4; ++i) {
        frm.StepProgress();
    }
    frm.FinishProgress();
    EXPECT_FALSE(frm.isVisible());

    frm.move(3, 5);
    frm.StartProgress("Download to ECU", 3);
    EXPECT_TRUE(frm.isVisible());
    EXPECT_EQ(frm.pos(), ScreenCentreFor(frm));
    EXPECT_EQ(frm.prgProgress->value(), 0);
    EXPECT_EQ(frm.prgProgress->maximum(), 3);
    EXPECT_EQ(frm.pnlCaption->text(), "Download to ECU");
    EXPECT_EQ(frm.windowTitle(), "Progress (0 %)");
    frm.FinishProgress();
}

TEST(Progress, RestartWhileStillShownAlsoResetsTitle)
{
    TfrmProgress frm;
    frm.StartProgress("Upload from ECU", 2);
    frm.StepProgress();
    frm.StartProgress("Upload from ECU", 2);
    EXPECT_EQ(frm.windowTitle(), "Progress (0 %)");
    EXPECT_EQ(frm.prgProgress->value(), 0);
    frm.FinishProgress();
}

TEST(Progress, CloseAndEscapeRefusedWhileRunningAllowedAfterFinish)
{
    TfrmProgress frm;
    frm.StartProgress("Upload from ECU", 4);
    frm.StepProgress();

    EXPECT_FALSE(frm.close());
    EXPECT_TRUE(frm.isVisible());
    QTest::keyClick(&frm, Qt::Key_Escape);
    EXPECT_TRUE(frm.isVisible());
    EXPECT_EQ(frm.windowTitle(), "Progress (25 %)");

    frm.FinishProgress();
    EXPECT_TRUE(frm.AllowClose);
    EXPECT_FALSE(frm.isVisible());

    // Shown again outside a sequence, a close request is honoured and only hides it.
    frm.show();
    EXPECT_TRUE(frm.close());
    EXPECT_FALSE(frm.isVisible());

    // A new sequence takes the permission away again.
    frm.StartProgress("Download to ECU", 4);
    EXPECT_FALSE(frm.AllowClose);
    EXPECT_FALSE(frm.close());
    EXPECT_TRUE(frm.isVisible());
    frm.FinishProgress();
}

TEST(Progress, RendersCaptionTextAndPartlyFilledBar)
{
    TfrmProgress frm;
    frm.StartProgress("Upload from ECU", 4);
    frm.StepProgress();
    frm.StepProgress();
    const QImage img = frm.grab().toImage();
    if (qEnvironmentVariableIsSet("ORBANEL_DUMP_RENDERS")) {
        img.save("/tmp/frmProgress.png");
    }
    ASSERT_EQ(img.size(), QSize(496, 57));
    // Some text pixels differ from the caption's background in the middle of the band.
    const QColor ground = img.pixelColor(2, 2);
    int textPixels = 0;
    for (int x = 180; x < 316; ++x) {
        for (int y = 8; y < 26; ++y) {
            textPixels += img.pixelColor(x, y) != ground;
        }
    }
    EXPECT_GT(textPixels, 20);
    // Half a bar: its filled left part differs from the empty right part.
    EXPECT_NE(img.pixelColor(120, 45), img.pixelColor(380, 45));
    frm.FinishProgress();
}
