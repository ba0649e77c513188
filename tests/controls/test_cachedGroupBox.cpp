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

// It draws its text itself: it must look as a label's own on the box, however set. One label
// goes through every case in turn, each text drawn again after another: what it keeps of a text
// must follow every change of how it is set, the colour alone or the state alone too.
TEST(TCachedGroupBox, AGroundedLabelsTextLooksAsAPlainLabels)
{
    const struct
    {
        const char *Text;
        Qt::Alignment Align;
        bool Enabled;
        int Margin;
        QRgb Colour;
    } cases[] = {{"0218", Qt::AlignLeft | Qt::AlignVCenter, true, 0, 0x004080},
                 {"0218", Qt::AlignLeft | Qt::AlignVCenter, true, 0, 0x802000},
                 {"-73\u00B0", Qt::AlignRight | Qt::AlignBottom, true, 0, 0x802000},
                 {"1F", Qt::AlignHCenter | Qt::AlignTop, false, 0, 0x802000},
                 {"1F", Qt::AlignHCenter | Qt::AlignTop, true, 0, 0x802000},
                 {"<b>9</b>", Qt::AlignLeft | Qt::AlignVCenter, true, 3, 0x802000}};
    QFont font(QStringLiteral("Tahoma"), 16);
    font.setStyleStrategy(QFont::PreferNoShaping);
    const auto setUp = [&font](QLabel *label, const auto &c) {
        label->setTextFormat(Qt::PlainText);
        label->setFont(font);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, QColor(c.Colour));
        palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0xA0, 0x90, 0x80));
        label->setPalette(palette);
        label->setAlignment(c.Align);
        label->setEnabled(c.Enabled);
        label->setMargin(c.Margin);
        label->setGeometry(132, 50, 100, 28);
    };
    TCachedGroupBox groundedBox(QStringLiteral("Sensors"));
    groundedBox.setGeometry(40, 40, 241, 124);
    groundedBox.setAutoFillBackground(true);
    auto *grounded = new TGroundedLabel(QString(), &groundedBox);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Text);
        TCachedGroupBox box(QStringLiteral("Sensors"));
        box.setGeometry(40, 40, 241, 124);
        box.setAutoFillBackground(true);
        QLabel *plain = new QLabel(&box);
        setUp(plain, c);
        plain->setText(QString::fromUtf8(c.Text));
        const QImage expected = Picture(box);

        setUp(grounded, c);
        for (const char *text : {"777", c.Text, "778", c.Text}) {
            grounded->setText(QString::fromUtf8(text));
            Picture(groundedBox);
        }
        EXPECT_LE(Difference(expected, Picture(groundedBox)), 1);
    }
    // The last case is no plain text: the label's own painting drew it.
    EXPECT_EQ(grounded->TextDraws(), 3 * 5);
}
