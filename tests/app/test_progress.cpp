#include "progress.h"

#include <QGuiApplication>
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

TEST(Progress, StayOnTopWithoutCloseButtonCaptionBandAboveBar)
{
    TfrmProgress frm;
    EXPECT_EQ(frm.windowTitle(), "Progress");
    EXPECT_FALSE(frm.isModal());
    EXPECT_TRUE(frm.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(frm.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(frm.windowFlags().testFlag(Qt::WindowSystemMenuHint));
    EXPECT_EQ(frm.pnlCaption->geometry(), QRect(0, 0, 496, 33));
    EXPECT_EQ(frm.prgProgress->geometry(), QRect(0, 33, 496, 24));
}

TEST(Progress, StepsFillBarByQuartersThenStayFull)
{
    TfrmProgress frm;
    frm.StartProgress("Upload from ECU", 4);
    EXPECT_TRUE(frm.isVisible());
    EXPECT_EQ(frm.windowTitle(), "Progress (0 %)");
    EXPECT_EQ(frm.pnlCaption->text(), "Upload from ECU");
    const char *titles[] = {"Progress (25 %)", "Progress (50 %)", "Progress (75 %)",
                            "Progress (100 %)", "Progress (100 %)"};
    const int values[] = {1, 2, 3, 4, 4};
    for (int i = 0; i < 5; ++i) {
        frm.StepProgress();
        EXPECT_EQ(frm.prgProgress->value(), values[i]);
        EXPECT_EQ(frm.windowTitle(), titles[i]);
    }
    // A sequence of no steps must not divide by zero.
    frm.StartProgress("Upload from ECU", 0);
    frm.StepProgress();
    EXPECT_EQ(frm.windowTitle(), "Progress (100 %)");
    frm.FinishProgress();
}

TEST(Progress, PercentRoundsToNearestWithTiesToEven)
{
    struct Row
    {
        int position, maximum, percent;
    };
    const Row rows[] = {{1, 3, 33},  {2, 3, 67},  {1, 8, 12},  {3, 8, 38},
                        {1, 200, 0}, {3, 200, 2}, {1, 0, 100}, {0, -5, 0}};
    for (const Row &r : rows) {
        EXPECT_EQ(ProgressPercent(r.position, r.maximum), r.percent)
            << r.position << "/" << r.maximum;
    }
}

TEST(Progress, CentringTruncatesHalvesTowardZero)
{
    EXPECT_EQ(CentredTopLeft({0, 0, 1001, 801}, {496, 57}), QPoint(252, 372));
    EXPECT_EQ(CentredTopLeft({1920, 0, 1280, 1024}, {496, 57}), QPoint(2312, 483));
    // Larger than the screen: -5 / 2 is -2, not -3.
    EXPECT_EQ(CentredTopLeft({0, 0, 100, 100}, {105, 105}), QPoint(-2, -2));
}

TEST(Progress, RestartRecentresEmptiesBarAndResetsTitle)
{
    TfrmProgress frm;
    frm.StartProgress("Upload from ECU", 4);
    frm.StepProgress();
    frm.FinishProgress();
    EXPECT_FALSE(frm.isVisible());

    frm.move(3, 5);
    frm.StartProgress("Download to ECU", 3);
    EXPECT_EQ(frm.pos(), ScreenCentreFor(frm));
    EXPECT_EQ(frm.prgProgress->value(), 0);
    EXPECT_EQ(frm.prgProgress->maximum(), 3);
    EXPECT_EQ(frm.pnlCaption->text(), "Download to ECU");
    EXPECT_EQ(frm.windowTitle(), "Progress (0 %)");

    // Restarted while still shown: the title must not keep the old percentage.
    frm.StepProgress();
    frm.StartProgress("Download to ECU", 3);
    EXPECT_EQ(frm.windowTitle(), "Progress (0 %)");
    frm.FinishProgress();
}

TEST(Progress, CloseAndEscapeRefusedWhileRunningAllowedAfterFinish)
{
    TfrmProgress frm;
    frm.StartProgress("Upload from ECU", 4);
    EXPECT_FALSE(frm.close());
    QTest::keyClick(&frm, Qt::Key_Escape);
    EXPECT_TRUE(frm.isVisible());

    frm.FinishProgress();
    EXPECT_TRUE(frm.AllowClose);
    EXPECT_FALSE(frm.isVisible());
    frm.show();
    EXPECT_TRUE(frm.close());
    EXPECT_FALSE(frm.isVisible());

    frm.StartProgress("Download to ECU", 4);
    EXPECT_FALSE(frm.AllowClose);
    EXPECT_FALSE(frm.close());
    frm.FinishProgress();
}
