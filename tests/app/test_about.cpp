#include "about.h"

#include "Display.h"
#include "orbanel_version.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

TEST(About, BlackBoxWithLogoCaptionDisplayAndOkButton)
{
    TfrmAbout frm;
    EXPECT_EQ(frm.objectName(), "frmAbout");
    EXPECT_EQ(frm.windowTitle(), "About");
    EXPECT_EQ(frm.size(), QSize(165, 286));
    EXPECT_EQ(frm.palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(frm.Image1->geometry(), QRect(10, 16, 145, 33));
    ASSERT_FALSE(frm.Image1->pixmap().isNull()) << "logo resource missing";
    EXPECT_EQ(frm.Image1->pixmap().size(), QSize(145, 33));
    EXPECT_EQ(frm.Label1->text(), "Control Panel");
    EXPECT_EQ(frm.Label1->pos(), QPoint(26, 48));
    EXPECT_EQ(frm.Label1->font().pixelSize(), 19);
    EXPECT_EQ(frm.lblVersion->y(), 80);
    EXPECT_EQ(frm.Button1->text(), "OK");
    EXPECT_EQ(frm.Button1->geometry(), QRect(45, 240, 75, 25));
    EXPECT_EQ(frm.tmrSplash->interval(), 200);
    EXPECT_FALSE(frm.tmrSplash->isActive());

    frm.show();
    QTest::mouseClick(frm.Button1, Qt::LeftButton);
    EXPECT_FALSE(frm.isVisible());
    EXPECT_EQ(frm.result(), QDialog::Accepted);
}

TEST(About, DisplayIsSetUpAsSixteenSegmentsShowingTheFirstLetter)
{
    TfrmAbout frm;
    const TDisplay defaults;
    TDisplay *d = frm.AboutDisplay;
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->parent(), &frm);
    EXPECT_EQ(d->geometry(), QRect(49, 120, 66, 97));
    EXPECT_EQ(d->CustomDigit(), 0);
    EXPECT_EQ(d->Digit(), 'K');
    EXPECT_EQ(d->OffColor(), QColor(0x26, 0x26, 0x26));
    EXPECT_EQ(d->SegWidth(), 7);
    EXPECT_EQ(d->Margin(), 3);
    EXPECT_EQ(d->DigitStyle(), ds16Seg);
    EXPECT_EQ(d->PenOnColor(), QColor(Qt::black));
    EXPECT_EQ(d->PenOffColor(), QColor(Qt::black));
    EXPECT_EQ(d->OnColor(), defaults.OnColor());
    EXPECT_EQ(d->BackColor(), defaults.BackColor());
}

TEST(About, VersionTextAndNumbersComeFromTheProductVersion)
{
    struct Row
    {
        std::optional<TProductVersion> version;
        const char *text;
        quint32 major, minor;
    };
    const Row rows[] = {
        {TProductVersion {3, 1, 0, 2}, "v 3.1.0.2", 3, 1},
        {TProductVersion {0, 0, 0, 0}, "v 0.0.0.0", 0, 0},
        {TProductVersion {65535, 65535, 65535, 65535}, "v 65535.65535.65535.65535", 65535, 65535},
        {std::nullopt, "", 0, 0},
    };
    for (const Row &r : rows) {
        TfrmAbout frm(r.version);
        EXPECT_EQ(frm.lblVersion->text(), r.text);
        EXPECT_EQ(frm.GetVersion(), r.text);
        EXPECT_EQ(frm.VersionMajor, r.major) << r.text;
        EXPECT_EQ(frm.VersionMinor, r.minor) << r.text;
        // The label is as wide as its text and centred in the window.
        EXPECT_EQ(frm.lblVersion->x(), (frm.width() - frm.lblVersion->width()) / 2) << r.text;
        if (r.version) {
            EXPECT_GE(frm.lblVersion->width(),
                      frm.lblVersion->fontMetrics().horizontalAdvance(r.text));
        }
    }
}

TEST(About, DefaultVersionIsTheBuildsOwn)
{
    TfrmAbout frm;
    const QString expected
        = QString::asprintf("v %d.%d.%d.%d", ORBANEL_VERSION_MAJOR, ORBANEL_VERSION_MINOR,
                            ORBANEL_VERSION_PATCH, ORBANEL_VERSION_TWEAK);
    EXPECT_EQ(frm.lblVersion->text(), expected);
    EXPECT_EQ(frm.VersionMajor, quint32(ORBANEL_VERSION_MAJOR));
    EXPECT_EQ(frm.VersionMinor, quint32(ORBANEL_VERSION_MINOR));
}

TEST(About, AnimationSpellsTheNameThenBlankDashAndStartsOver)
{
    TfrmAbout frm(TProductVersion {1, 0, 0, 0});
    // Two full cycles and a bit: blank, the name, blank, dash (code 0), again.
    const char expected[] = {' ', 'K', 'E', 'S', 'T', 'R', 'O', 'V', 'A',  ' ', '\0', ' ', 'K',
                             'E', 'S', 'T', 'R', 'O', 'V', 'A', ' ', '\0', ' ', 'K',  'E'};
    const int counters[]
        = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 1, 2, 3};
    static_assert(std::size(expected) == std::size(counters));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        frm.AnimationTick();
        EXPECT_EQ(frm.AboutDisplay->Digit(), expected[i]) << "tick " << i + 1;
        EXPECT_EQ(frm.AnimationCounter(), counters[i]) << "tick " << i + 1;
    }
}

TEST(About, TimerRunsOnlyWhileShownAndHidingKeepsThePlaceInTheCycle)
{
    TfrmAbout frm(TProductVersion {1, 0, 0, 0});
    frm.show();
    EXPECT_TRUE(frm.tmrSplash->isActive());
    // The real timer moves the display on.
    ASSERT_TRUE(QTest::qWaitFor([&] { return frm.AnimationCounter() >= 1; }, 10000));
    frm.hide();
    EXPECT_FALSE(frm.tmrSplash->isActive());

    // Bring the cycle to a known place mid-name, hidden.
    while (frm.AnimationCounter() != 4) {
        frm.AnimationTick();
    }
    EXPECT_EQ(frm.AboutDisplay->Digit(), 'S');

    frm.show();
    EXPECT_TRUE(frm.tmrSplash->isActive());
    EXPECT_EQ(frm.AboutDisplay->Digit(), 'S');
    frm.tmrSplash->stop();
    frm.AnimationTick();
    EXPECT_EQ(frm.AboutDisplay->Digit(), 'T');
    frm.hide();
}

TEST(About, RendersWhiteTextOnBlackAndTheDisplay)
{
    TfrmAbout frm(TProductVersion {3, 1, 0, 2});
    frm.show();
    frm.tmrSplash->stop();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frm));
    const QImage img = frm.grab().toImage();
    if (qEnvironmentVariableIsSet("ORBANEL_DUMP_RENDERS")) {
        img.save("/tmp/frmAbout.png");
    }
    ASSERT_EQ(img.size(), QSize(165, 286));
    auto count = [&](const QRect &r, auto &&pred) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                n += pred(img.pixelColor(x, y)) ? 1 : 0;
            }
        }
        return n;
    };
    const auto bright = [](const QColor &c) { return c.lightness() > 160; };
    const auto notBlack = [](const QColor &c) { return c != QColor(Qt::black); };
    EXPECT_EQ(img.pixelColor(2, 110), QColor(Qt::black));
    EXPECT_EQ(img.pixelColor(160, 230), QColor(Qt::black));
    EXPECT_GT(count(QRect(10, 16, 145, 33), bright), 100); // logo
    EXPECT_GT(count(QRect(26, 48, 130, 26), bright), 50); // "Control Panel"
    EXPECT_GT(count(frm.lblVersion->geometry(), bright), 10); // version
    EXPECT_GT(count(QRect(49, 120, 66, 97), notBlack), 200); // the letter
    EXPECT_EQ(count(QRect(0, 100, 40, 130), notBlack), 0); // left of it
    // The caption is not cut by the window's right edge.
    EXPECT_LE(frm.Label1->x() + frm.Label1->width(), frm.width());
}
