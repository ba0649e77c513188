#include "splash.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

QList<QWidget *> SplashWindows()
{
    QList<QWidget *> found;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == "frmSplash") {
            found << w;
        }
    }
    return found;
}

} // namespace

TEST(Splash, BlackBorderlessWindowWithLogoAndWebAddress)
{
    TfrmSplash frm;
    EXPECT_EQ(frm.objectName(), "frmSplash");
    EXPECT_TRUE(frm.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(frm.size(), QSize(331, 160));
    EXPECT_EQ(frm.Panel1->geometry(), QRect(0, 0, 331, 160));
    EXPECT_EQ(frm.Panel1->lineWidth(), 5);
    EXPECT_EQ(frm.Image1->geometry(), QRect(93, 32, 145, 33));
    ASSERT_FALSE(frm.Image1->pixmap().isNull()) << "logo resource missing";
    EXPECT_EQ(frm.Image1->pixmap().size(), QSize(145, 33));
    EXPECT_EQ(frm.Label1->text(), "www.kestrova.com");
    EXPECT_EQ(frm.Label1->font().pixelSize(), 24);
    EXPECT_FALSE(frm.Done);
    EXPECT_TRUE(frm.tmrSplash->isActive());
    EXPECT_EQ(frm.tmrSplash->interval(), 1000);
}

TEST(Splash, TimerSetsDoneOnceAndStops)
{
    TfrmSplash frm(nullptr, 20);
    ASSERT_TRUE(QTest::qWaitFor([&] { return frm.Done; }, 10000));
    EXPECT_FALSE(frm.tmrSplash->isActive());
}

TEST(Splash, ShowSplashWaitsItsTimeProcessingEventsThenFreesTheWindow)
{
    constexpr int kDisplayMs = 300;
    QObject context;
    int visibleSplashes = -1;
    bool timerRan = false;
    // Runs inside the wait: the splash must be up, and posted work must be handled.
    QTimer::singleShot(50, &context, [&] {
        timerRan = true;
        visibleSplashes = 0;
        for (QWidget *w : SplashWindows()) {
            visibleSplashes += w->isVisible() ? 1 : 0;
        }
    });

    QElapsedTimer clock;
    clock.start();
    ShowSplash(kDisplayMs);
    const qint64 elapsed = clock.elapsed();

    EXPECT_TRUE(timerRan);
    EXPECT_EQ(visibleSplashes, 1);
    EXPECT_GE(elapsed, kDisplayMs);
    // Generous: the machine may be loaded, but the wait must end.
    EXPECT_LT(elapsed, kDisplayMs + 10000);
    EXPECT_TRUE(SplashWindows().isEmpty());
}

TEST(Splash, RendersLogoAndAddressOnBlackInsideABevel)
{
    TfrmSplash frm;
    frm.tmrSplash->stop();
    const QImage img = frm.grab().toImage();
    if (qEnvironmentVariableIsSet("ORBANEL_DUMP_RENDERS")) {
        img.save("/tmp/frmSplash.png");
    }
    ASSERT_EQ(img.size(), QSize(331, 160));
    EXPECT_EQ(img.pixelColor(20, 80), QColor(Qt::black));
    // The raised bevel: lighter on the top edge than on the bottom edge.
    EXPECT_GT(img.pixelColor(160, 1).lightness(), img.pixelColor(160, 158).lightness());
    EXPECT_NE(img.pixelColor(160, 1), QColor(Qt::black));

    auto brightIn = [&](const QRect &r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                n += img.pixelColor(x, y).lightness() > 160;
            }
        }
        return n;
    };
    EXPECT_GT(brightIn(QRect(93, 32, 145, 33)), 100);
    EXPECT_GT(brightIn(QRect(41, 96, 242, 27)), 100);
    // Nothing bright between the logo and the address, nor in the corners inside the bevel.
    EXPECT_EQ(brightIn(QRect(10, 10, 30, 20)), 0);
    EXPECT_EQ(brightIn(QRect(290, 130, 30, 20)), 0);
}
