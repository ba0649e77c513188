#include "floodFill.h"
#include "ledLamp.h"

#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <array>

namespace {

constexpr QRgb kLime = 0xFF00FF00;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kGrey = 0xFF808080;
constexpr QRgb kSilver = 0xFFC0C0C0;
constexpr QRgb kBlack = 0xFF000000;
constexpr int kWaitMs = 10000;

struct TStyleRow
{
    TLEDStyle Style;
    QSize Size;
    const char *Name;
    QRect LitBox;
};

const std::array<TStyleRow, 6> kStyles {{
    {LEDSmall, {16, 16}, "SM", QRect(QPoint(4, 4), QPoint(11, 11))},
    {LEDLarge, {22, 22}, "LG", QRect(QPoint(4, 4), QPoint(17, 17))},
    {LEDSqSmall, {16, 16}, "SQSM", QRect(QPoint(4, 4), QPoint(11, 11))},
    {LEDSqLarge, {22, 22}, "SQLG", QRect(QPoint(5, 5), QPoint(16, 16))},
    {LEDVertical, {16, 22}, "VT", QRect(QPoint(5, 5), QPoint(10, 16))},
    {LEDHorizontal, {22, 16}, "HZ", QRect(QPoint(5, 5), QPoint(16, 10))},
}};

QPoint Centre(QSize size)
{
    return {size.width() / 2, size.height() / 2};
}

QImage Render(TLedLamp &lamp)
{
    QImage image(lamp.size(), QImage::Format_ARGB32);
    image.fill(0);
    lamp.render(&image);
    return image;
}

} // namespace

TEST(LedImages, EveryPictureHasOneLimeAreaRoundItsCentreAndTheRightSurround)
{
    for (const auto &row : kStyles) {
        for (bool bordered : {true, false}) {
            const QString name = (bordered ? "B" : "N") + QString::fromLatin1(row.Name);
            SCOPED_TRACE(name.toStdString());
            EXPECT_EQ(TLedLamp::ImageName(row.Style, bordered), name);
            QImage image = TLedLamp::LoadImage(row.Style, bordered);
            ASSERT_FALSE(image.isNull());
            ASSERT_EQ(image.size(), row.Size);
            const QPoint centre = Centre(row.Size);
            EXPECT_EQ(image.pixel(centre), kLime);

            int lime = 0;
            int highlights = 0;
            int black = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb p = image.pixel(x, y);
                    if (p == kLime) {
                        ++lime;
                        EXPECT_TRUE(row.LitBox.contains(x, y)) << x << "," << y;
                    }
                    highlights += p == kWhite && row.LitBox.contains(x, y) && x < centre.x()
                        && y < centre.y();
                    black += p == kBlack;
                }
            }
            EXPECT_GT(highlights, 0);
            EXPECT_GT(black, 0);
            // All of the lime is reachable from the centre: one connected area.
            EXPECT_EQ(FloodFill(image, centre, kLime, 0xFFFF0000), lime);

            const int w = row.Size.width();
            const int h = row.Size.height();
            for (int x = 0; x < w - 1; ++x) {
                EXPECT_EQ(image.pixel(x, 0), bordered ? kWhite : kSilver) << "top " << x;
                EXPECT_EQ(image.pixel(x, h - 1), bordered ? kGrey : kSilver) << "bottom " << x;
            }
            for (int y = 0; y < h - 1; ++y) {
                EXPECT_EQ(image.pixel(0, y), bordered ? kWhite : kSilver) << "left " << y;
                EXPECT_EQ(image.pixel(w - 1, y), bordered ? kGrey : kSilver) << "right " << y;
            }
            if (bordered) {
                EXPECT_EQ(image.pixel(1, 1), kSilver);
            }
        }
    }
}

TEST(FloodFill, RecoloursOnlyTheFourConnectedArea)
{
    QImage image(5, 5, QImage::Format_ARGB32);
    image.fill(kBlack);
    for (QPoint p : {QPoint(1, 1), QPoint(2, 1), QPoint(2, 2), QPoint(3, 3), QPoint(4, 4)}) {
        image.setPixel(p, kLime);
    }
    EXPECT_EQ(FloodFill(image, {2, 2}, kLime, kWhite), 3);
    EXPECT_EQ(image.pixel(1, 1), kWhite);
    EXPECT_EQ(image.pixel(3, 3), kLime); // touches only diagonally
    EXPECT_EQ(FloodFill(image, {3, 3}, kLime, kLime), 0);
    EXPECT_EQ(FloodFill(image, {9, 9}, kLime, kWhite), 0);
    EXPECT_EQ(FloodFill(image, {0, 0}, kLime, kWhite), 0);
}

TEST(LedLamp, StartsOffWithItsDeclaredDefaults)
{
    TLedLamp lamp;
    EXPECT_EQ(lamp.size(), QSize(16, 16));
    EXPECT_EQ(lamp.TrueColor(), QColor(0x00FF00u));
    EXPECT_EQ(lamp.FalseColor(), QColor(0xC0C0C0u));
    EXPECT_EQ(lamp.BorderColor(), lamp.palette().color(QPalette::Button));
    EXPECT_TRUE(lamp.Blink());
    EXPECT_TRUE(lamp.Bordered());
    EXPECT_FALSE(lamp.Value());
    EXPECT_EQ(lamp.Interval(), 1000);
    EXPECT_EQ(lamp.LEDStyle(), LEDSmall);
    EXPECT_TRUE(lamp.ShowingOff());
    EXPECT_FALSE(lamp.IsBlinking());
}

TEST(LedLamp, TakesTheSizeOfItsStyleAndStretchesWhenResized)
{
    TLedLamp lamp;
    for (const auto &row : kStyles) {
        lamp.SetLEDStyle(row.Style);
        EXPECT_EQ(lamp.size(), row.Size) << row.Name;
        EXPECT_EQ(lamp.OnImage().size(), row.Size) << row.Name;
    }
    lamp.SetLEDStyle(LEDVertical);
    lamp.SetBlink(false);
    lamp.SetValue(true);
    lamp.resize(32, 44);
    const QImage image = Render(lamp);
    EXPECT_EQ(image.pixel(16, 22), kLime); // lit centre, scaled up
}

TEST(LedLamp, ShowsTrueColourWhenOnAndFalseColourWhenOff)
{
    for (bool bordered : {true, false}) {
        for (const auto &row : kStyles) {
            TLedLamp lamp;
            lamp.SetBordered(bordered);
            lamp.SetLEDStyle(row.Style);
            lamp.SetBlink(false);
            lamp.SetTrueColor(Qt::red);
            lamp.SetFalseColor(QColor(0x004000u));
            const QPoint centre = Centre(row.Size);
            EXPECT_EQ(lamp.OnImage().pixel(centre), 0xFFFF0000) << row.Name;
            EXPECT_EQ(lamp.OffImage().pixel(centre), 0xFF004000) << row.Name;
            EXPECT_EQ(Render(lamp).pixel(centre), 0xFF004000) << row.Name;
            lamp.SetValue(true);
            EXPECT_EQ(Render(lamp).pixel(centre), 0xFFFF0000) << row.Name;
        }
    }
}

TEST(LedLamp, LimeColoursLeaveThePicturesAsLoaded)
{
    TLedLamp lamp;
    const QImage loaded = TLedLamp::LoadImage(LEDSmall, true);
    EXPECT_EQ(lamp.OnImage(), loaded);
    lamp.SetFalseColor(QColor(kLime));
    EXPECT_EQ(lamp.OffImage(), lamp.OnImage());
}

TEST(LedLamp, BlinksBetweenOnAndOffWhileOn)
{
    TLedLamp lamp;
    QSignalSpy ticks(&lamp, &TLedLamp::OnTimer);
    lamp.SetInterval(30);
    lamp.SetValue(true);
    EXPECT_TRUE(lamp.IsBlinking());
    EXPECT_FALSE(lamp.ShowingOff());
    ASSERT_TRUE(QTest::qWaitFor([&] { return lamp.ShowingOff(); }, kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !lamp.ShowingOff(); }, kWaitMs));
    EXPECT_GE(ticks.count(), 2);

    lamp.SetValue(false);
    EXPECT_FALSE(lamp.IsBlinking());
    EXPECT_TRUE(lamp.ShowingOff());
    const int counted = ticks.count();
    QTest::qWait(100);
    EXPECT_EQ(ticks.count(), counted);
}

TEST(LedLamp, DefaultBlinkHoldsEachImageForItsInterval)
{
    TLedLamp lamp;
    lamp.SetValue(true);
    QTimer *timer = lamp.findChild<QTimer *>();
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_TRUE(timer->isActive());

    // Re-armed at once while blinking.
    lamp.SetInterval(250);
    EXPECT_EQ(timer->interval(), 250);

    // Setting the current value neither restarts nor stops the timer.
    lamp.SetValue(true);
    EXPECT_EQ(lamp.findChild<QTimer *>(), timer);
    lamp.SetValue(false);
    EXPECT_EQ(lamp.findChild<QTimer *>(), nullptr);

    // An interval set while idle is used by the next blink.
    lamp.SetInterval(400);
    lamp.SetValue(true);
    ASSERT_NE(lamp.findChild<QTimer *>(), nullptr);
    EXPECT_EQ(lamp.findChild<QTimer *>()->interval(), 400);
}

TEST(LedLamp, StoppingTheBlinkOnTheOffPhaseShowsTheOnImage)
{
    TLedLamp lamp;
    lamp.SetInterval(20);
    lamp.SetValue(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return lamp.ShowingOff(); }, kWaitMs));
    lamp.SetBlink(false);
    EXPECT_FALSE(lamp.ShowingOff());
    EXPECT_FALSE(lamp.IsBlinking());
    EXPECT_EQ(Render(lamp).pixel(8, 8), kLime);
    QTest::qWait(80);
    EXPECT_FALSE(lamp.ShowingOff());

    // And blinking again starts from the on image.
    lamp.SetBlink(true);
    EXPECT_TRUE(lamp.IsBlinking());
    EXPECT_FALSE(lamp.ShowingOff());
}

TEST(LedLamp, ColourChangeWhileBlinkingRestartsFromTheOnImage)
{
    TLedLamp lamp;
    lamp.SetInterval(20);
    lamp.SetValue(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return lamp.ShowingOff(); }, kWaitMs));
    QTimer *before = lamp.findChild<QTimer *>();
    lamp.SetTrueColor(Qt::blue);
    EXPECT_TRUE(lamp.Blink());
    EXPECT_TRUE(lamp.IsBlinking());
    EXPECT_FALSE(lamp.ShowingOff());
    EXPECT_EQ(lamp.OnImage().pixel(8, 8), 0xFF0000FF);
    EXPECT_EQ(Render(lamp).pixel(8, 8), 0xFF0000FF);
    Q_UNUSED(before);

    // A colour change on an off lamp keeps it off and steady.
    lamp.SetValue(false);
    lamp.SetFalseColor(Qt::darkRed);
    EXPECT_FALSE(lamp.IsBlinking());
    EXPECT_TRUE(lamp.ShowingOff());
}

TEST(LedLamp, ReportsClicksAndThePointerEnteringAndLeaving)
{
    TLedLamp lamp;
    QSignalSpy clicks(&lamp, &TLedLamp::OnClick);
    lamp.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&lamp));
    QTest::mouseClick(&lamp, Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_EQ(clicks.count(), 1);
    QTest::mouseClick(&lamp, Qt::RightButton, {}, QPoint(8, 8));
    EXPECT_EQ(clicks.count(), 1);

    QSignalSpy enters(&lamp, &TLedLamp::OnMouseEnter);
    QSignalSpy leaves(&lamp, &TLedLamp::OnMouseLeave);
    QEnterEvent enter(QPointF(4, 4), QPointF(4, 4), QPointF(4, 4));
    QCoreApplication::sendEvent(&lamp, &enter);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&lamp, &leave);
    EXPECT_EQ(enters.count(), 1);
    EXPECT_EQ(leaves.count(), 1);
}
