#include "cachedGroupBox.h"

#include "paintRecorder.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QImage Picture(QWidget &box)
{
    return box.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

// The largest difference of a colour channel between two pictures of one size.
int Difference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 256;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest
                = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                            std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    return largest;
}

} // namespace

TEST(TCachedGroupBox, LooksLikeAPlainGroupBoxBeforeAndAfterEachChange)
{
    // The kept picture must follow everything the style draws a group box from.
    using Change = void (*)(QGroupBox &);
    const std::pair<const char *, Change> changes[] = {
        {"title", [](QGroupBox &b) { b.setTitle(QStringLiteral("Indicators")); }},
        {"disabled", [](QGroupBox &b) { b.setEnabled(false); }},
        {"size", [](QGroupBox &b) { b.resize(173, 61); }},
        {"checkable", [](QGroupBox &b) { b.setCheckable(true); }},
        {"alignment", [](QGroupBox &b) { b.setAlignment(Qt::AlignRight); }},
        {"font", [](QGroupBox &b) { b.setFont(QFont(QStringLiteral("Liberation Serif"), 13)); }},
        {"palette",
         [](QGroupBox &b) {
             QPalette palette = b.palette();
             palette.setColor(QPalette::WindowText, QColor(0xA0, 0x10, 0x37));
             palette.setColor(QPalette::Window, QColor(0x21, 0x43, 0x65));
             b.setPalette(palette);
         }},
    };
    // Drawn through a picture, a colour channel may round differently by one step.
    for (const bool ownGround : {true, false})
        for (const auto &[name, change] : changes) {
            QGroupBox plain(QStringLiteral("Sensors"));
            TCachedGroupBox cached(QStringLiteral("Sensors"));
            for (QGroupBox *box : {&plain, static_cast<QGroupBox *>(&cached)}) {
                box->resize(241, 124);
                box->setAutoFillBackground(ownGround);
            }
            const int allowed = 1;
            const QImage before = Picture(cached);
            EXPECT_LE(Difference(before, Picture(plain)), allowed) << name;
            change(plain);
            change(cached);
            const QImage after = Picture(plain);
            EXPECT_GT(Difference(after, before), 1) << name << ": the change shows";
            EXPECT_LE(Difference(Picture(cached), after), allowed) << name << " " << ownGround;
        }
}

TEST(TCachedGroupBox, AChildsRepaintDrawsTheBoxFromItsPicture)
{
    TCachedGroupBox box(QStringLiteral("Sensors"));
    box.setGeometry(40, 40, 241, 124);
    auto *reading = new QLabel(QStringLiteral("219"), &box);
    reading->setGeometry(132, 18, 100, 28);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QApplication::processEvents();
    PaintRecorder paints;
    box.installEventFilter(&paints);
    const int drawn = box.StyleDraws();
    ASSERT_GE(drawn, 1);

    for (const char *text : {"220", "218", "221"}) {
        reading->setText(QString::fromLatin1(text));
        QApplication::processEvents();
    }
    EXPECT_EQ(paints.Paints, 3) << "the box is drawn under its child each time";
    EXPECT_EQ(box.StyleDraws(), drawn);
}

// A reading over the box's frame line shows the box under it, frame and shade, as a box without
// it would; a new text repaints the reading alone.
TEST(TCachedGroupBox, AGroundedLabelShowsTheBoxUnderItAndRepaintsAlone)
{
    TCachedGroupBox bare(QStringLiteral("Sensors"));
    TCachedGroupBox box(QStringLiteral("Sensors"));
    for (TCachedGroupBox *b : {&bare, &box}) {
        b->setGeometry(40, 40, 241, 124);
        b->setAutoFillBackground(true);
    }
    auto *reading = new TGroundedLabel(QString(), &box);
    reading->setGeometry(132, 12, 100, 28); // across the top of the frame
    EXPECT_LE(Difference(Picture(box), Picture(bare)), 1);

    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QApplication::processEvents();
    PaintRecorder paints;
    box.installEventFilter(&paints);
    for (const char *text : {"220", "218", "221"}) {
        reading->setText(QString::fromLatin1(text));
        QApplication::processEvents();
    }
    EXPECT_EQ(paints.Paints, 0);
    const QImage shown = Picture(box);
    reading->hide();
    const QImage under = Picture(box);
    EXPECT_GT(Difference(shown, under), 1) << "the text shows";
    const QRect beside(132 + 60, 12, 40, 28); // right of the text
    EXPECT_LE(Difference(shown.copy(beside), under.copy(beside)), 1);
}

// It draws its text itself: it must look as a label's own on the box, however set.
TEST(TCachedGroupBox, AGroundedLabelsTextLooksAsAPlainLabels)
{
    const struct
    {
        const char *Text;
        Qt::Alignment Align;
        bool Enabled;
        int Margin;
    } cases[] = {{"0218", Qt::AlignLeft | Qt::AlignVCenter, true, 0},
                 {"-73\u00B0", Qt::AlignRight | Qt::AlignBottom, true, 0},
                 {"1F", Qt::AlignHCenter | Qt::AlignTop, false, 0},
                 {"<b>9</b>", Qt::AlignLeft | Qt::AlignVCenter, true, 3}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Text);
        QImage pictures[2];
        for (const bool grounded : {false, true}) {
            TCachedGroupBox box(QStringLiteral("Sensors"));
            box.setGeometry(40, 40, 241, 124);
            box.setAutoFillBackground(true);
            QFont font(QStringLiteral("Tahoma"), 16);
            font.setStyleStrategy(QFont::PreferNoShaping);
            QLabel *label = grounded ? new TGroundedLabel(QString(), &box) : new QLabel(&box);
            label->setTextFormat(Qt::PlainText);
            label->setText(QString::fromUtf8(c.Text));
            label->setFont(font);
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, QColor(0x00, 0x40, 0x80));
            palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0xA0, 0x90, 0x80));
            label->setPalette(palette);
            label->setAlignment(c.Align);
            label->setEnabled(c.Enabled);
            label->setMargin(c.Margin);
            label->setGeometry(132, 50, 100, 28);
            pictures[grounded] = Picture(box);
        }
        EXPECT_LE(Difference(pictures[0], pictures[1]), 1);
    }
}
