#include "about.h"

#include "Display.h"
#include "orbanel_version.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

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
        {TProductVersion {65535, 65535, 65535, 65535}, "v 65535.65535.65535.65535", 65535, 65535},
        {std::nullopt, "", 0, 0},
    };
    for (const Row &r : rows) {
        TfrmAbout frm(r.version);
        EXPECT_EQ(frm.lblVersion->text(), r.text);
        EXPECT_EQ(frm.VersionMajor, r.major) << r.text;
        EXPECT_EQ(frm.VersionMinor, r.minor) << r.text;
        // Sized to its text and centred in the window.
        EXPECT_EQ(frm.lblVersion->x(), (frm.width() - frm.lblVersion->width()) / 2) << r.text;
        EXPECT_GE(frm.lblVersion->width(), frm.lblVersion->fontMetrics().horizontalAdvance(r.text));
    }

    TfrmAbout built;
    EXPECT_EQ(built.lblVersion->text(),
              QString::asprintf("v %d.%d.%d.%d", ORBANEL_VERSION_MAJOR, ORBANEL_VERSION_MINOR,
                                ORBANEL_VERSION_PATCH, ORBANEL_VERSION_TWEAK));
    EXPECT_EQ(built.VersionMajor, quint32(ORBANEL_VERSION_MAJOR));
    EXPECT_EQ(built.VersionMinor, quint32(ORBANEL_VERSION_MINOR));
}

TEST(About, DisplayStartsOnTheFirstLetterInSixteenSegments)
{
    TfrmAbout frm;
    const TDisplay defaults;
    const TDisplay *d = frm.AboutDisplay;
    EXPECT_EQ(d->geometry(), QRect(49, 120, 66, 97));
    EXPECT_EQ(d->Digit(), 'K');
    EXPECT_EQ(d->DigitStyle(), ds16Seg);
    EXPECT_EQ(d->OffColor(), QColor(0x26, 0x26, 0x26));
    EXPECT_EQ(d->SegWidth(), 7);
    EXPECT_EQ(d->Margin(), 3);
    EXPECT_EQ(d->PenOnColor(), QColor(Qt::black));
    EXPECT_EQ(d->PenOffColor(), QColor(Qt::black));
    EXPECT_EQ(d->OnColor(), defaults.OnColor());
    EXPECT_EQ(d->BackColor(), defaults.BackColor());
}

TEST(About, AnimationSpellsTheNameThenBlankDashAndStartsOver)
{
    TfrmAbout frm;
    // Two cycles and a bit: blank, the name, blank, dash (code 0), again.
    const char expected[] = " KESTROVA \0 KESTROVA \0 KE";
    for (std::size_t i = 0; i + 1 < sizeof expected; ++i) {
        frm.AnimationTick();
        EXPECT_EQ(frm.AboutDisplay->Digit(), expected[i]) << "tick " << i + 1;
        EXPECT_EQ(frm.AnimationCounter(), static_cast<int>((i + 1) % 11)) << "tick " << i + 1;
    }
}

TEST(About, TimerRunsOnlyWhileShownAndHidingKeepsThePlaceInTheCycle)
{
    TfrmAbout frm;
    EXPECT_FALSE(frm.tmrSplash->isActive());
    frm.show();
    EXPECT_EQ(frm.tmrSplash->interval(), 200);
    // The real timer moves the display on.
    ASSERT_TRUE(QTest::qWaitFor([&] { return frm.AnimationCounter() >= 1; }, 10000));
    frm.hide();
    EXPECT_FALSE(frm.tmrSplash->isActive());

    while (frm.AnimationCounter() != 4) {
        frm.AnimationTick();
    }
    frm.show();
    EXPECT_TRUE(frm.tmrSplash->isActive());
    frm.tmrSplash->stop();
    EXPECT_EQ(frm.AboutDisplay->Digit(), 'S');
    frm.AnimationTick();
    EXPECT_EQ(frm.AboutDisplay->Digit(), 'T');

    QTest::mouseClick(frm.Button1, Qt::LeftButton);
    EXPECT_FALSE(frm.isVisible());
    EXPECT_EQ(frm.result(), QDialog::Accepted);
}

TEST(About, RendersWhiteTextOnBlackAndTheLetter)
{
    TfrmAbout frm(TProductVersion {3, 1, 0, 2});
    frm.show();
    frm.tmrSplash->stop();
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
    EXPECT_GT(count(QRect(10, 16, 145, 33), bright), 100) << "logo";
    EXPECT_GT(count(QRect(26, 48, 130, 26), bright), 50) << "Control Panel";
    EXPECT_GT(count(frm.lblVersion->geometry(), bright), 10) << "version";
    EXPECT_GT(count(QRect(49, 120, 66, 97), notBlack), 200) << "letter";
    EXPECT_EQ(count(QRect(0, 100, 40, 130), notBlack), 0) << "left of the letter";
    EXPECT_LE(frm.Label1->x() + frm.Label1->width(), frm.width());
}
