#include "splash.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

int VisibleSplashes()
{
    int n = 0;
    for (const QWidget *w : QApplication::topLevelWidgets()) {
        n += w->objectName() == "frmSplash" && w->isVisible() ? 1 : 0;
    }
    return n;
}

} // namespace

TEST(Splash, TimerSetsDoneOnceAndStops)
{
    TfrmSplash frm(nullptr, 20);
    EXPECT_FALSE(frm.Done);
    ASSERT_TRUE(QTest::qWaitFor([&] { return frm.Done; }, 10000));
    EXPECT_FALSE(frm.tmrSplash->isActive());
}

TEST(Splash, ShowSplashWaitsItsTimeProcessingEventsThenFreesTheWindow)
{
    constexpr int kDisplayMs = 300;
    QObject context;
    int seenDuringWait = -1;
    // Runs inside the wait: the splash must be up, and posted work must be handled.
    QTimer::singleShot(50, &context, [&] { seenDuringWait = VisibleSplashes(); });

    QElapsedTimer clock;
    clock.start();
    ShowSplash(kDisplayMs);
    const qint64 elapsed = clock.elapsed();

    EXPECT_EQ(seenDuringWait, 1);
    EXPECT_GE(elapsed, kDisplayMs);
    EXPECT_LT(elapsed, kDisplayMs + 10000); // generous: the machine may be loaded
    EXPECT_EQ(VisibleSplashes(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (const QWidget *w : QApplication::topLevelWidgets()) {
        EXPECT_NE(w->objectName(), "frmSplash");
    }
}

TEST(Splash, RendersLogoAndAddressOnBlackInsideARaisedBevel)
{
    TfrmSplash frm;
    frm.tmrSplash->stop();
    const QImage img = frm.grab().toImage();
    if (qEnvironmentVariableIsSet("ORBANEL_DUMP_RENDERS")) {
        img.save("/tmp/frmSplash.png");
    }
    ASSERT_EQ(img.size(), QSize(331, 160));
    EXPECT_EQ(img.pixelColor(20, 80), QColor(Qt::black));
    // Raised: the top edge lit, brighter than the bottom edge; both inside 5 pixels.
    EXPECT_GT(img.pixelColor(160, 4).lightness(), img.pixelColor(160, 155).lightness());
    EXPECT_EQ(img.pixelColor(160, 6), QColor(Qt::black));

    auto brightIn = [&](const QRect &r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                n += img.pixelColor(x, y).lightness() > 160 ? 1 : 0;
            }
        }
        return n;
    };
    EXPECT_GT(brightIn(QRect(93, 32, 145, 33)), 100) << "logo";
    EXPECT_GT(brightIn(QRect(41, 96, 242, 27)), 100) << "web address";
    EXPECT_EQ(brightIn(QRect(10, 10, 30, 20)), 0);
    EXPECT_EQ(brightIn(QRect(290, 130, 30, 20)), 0);
}
