#include "debug.h"

#include <QCheckBox>
#include <QListWidget>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QStringList Lines(const QListWidget *list)
{
    QStringList lines;
    for (int i = 0; i < list->count(); ++i) {
        lines << list->item(i)->text();
    }
    return lines;
}

QList<bool> Checks(const QListWidget *list)
{
    QList<bool> checks;
    for (int i = 0; i < list->count(); ++i) {
        checks << (list->item(i)->checkState() == Qt::Checked);
    }
    return checks;
}

} // namespace

TEST(Debug, CreatedHiddenWithSwitchesOnAndEmptyLists)
{
    TfrmDebug frm;
    EXPECT_EQ(frm.objectName(), "frmDebug");
    EXPECT_EQ(frm.windowTitle(), "Debug");
    EXPECT_FALSE(frm.isVisible());
    EXPECT_EQ(frm.size(), QSize(654, 510));
    EXPECT_EQ(frm.chkDebug->text(), "Debug");
    EXPECT_EQ(frm.chkTx->text(), "Tx messages");
    EXPECT_TRUE(frm.chkDebug->isChecked());
    EXPECT_TRUE(frm.TxEnabled());
    EXPECT_EQ(frm.lstRanges->count(), 0);
    EXPECT_EQ(frm.lstStatus->count(), 0);
    EXPECT_EQ(frm.lstDebug->count(), 0);
    const QStringList names = {"GEAR_SHIFT",   "REVERSE     ", "SPARK_CUT   ", "LED1        ",
                               "LED2        ", "LED3        ", "LED_FLASH ",   "GEAR_IGNORE"};
    EXPECT_EQ(Lines(frm.lstBits), names);
    EXPECT_EQ(Checks(frm.lstBits), QList<bool>(8, false));
}

TEST(Debug, ListsSitWhereTheWindowWasDrawn)
{
    TfrmDebug frm;
    frm.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frm));
    EXPECT_EQ(frm.lstRanges->geometry(), QRect(0, 0, 185, 510));
    EXPECT_EQ(frm.lstDebug->geometry(), QRect(654 - 150, 0, 150, 510));
    EXPECT_EQ(frm.lstStatus->geometry(), QRect(654 - 300, 0, 150, 510));
    EXPECT_EQ(frm.lstBits->size(), QSize(137, 113));
    // Switches on top of the middle column, the bits below them.
    const QPoint debugAt = frm.chkDebug->mapTo(&frm, QPoint(0, 0));
    const QPoint txAt = frm.chkTx->mapTo(&frm, QPoint(0, 0));
    const QPoint bitsAt = frm.lstBits->mapTo(&frm, QPoint(0, 0));
    EXPECT_GT(debugAt.x(), 185);
    EXPECT_LT(debugAt.x() + frm.chkDebug->width(), 654 - 300);
    EXPECT_GT(txAt.y(), debugAt.y());
    EXPECT_GE(bitsAt.y(), txAt.y() + frm.chkTx->height());
    EXPECT_LE(bitsAt.x() + 137, 654 - 300);

    // Closing only hides it; the window stays usable.
    EXPECT_TRUE(frm.close());
    EXPECT_FALSE(frm.isVisible());
    QString last;
    frm.LogLine(TfrmDebug::lkOther, "Tx", "V", last);
    EXPECT_EQ(frm.lstDebug->count(), 1);
}

TEST(Debug, EntriesGoNewestFirstIntoTheListOfTheirKind)
{
    TfrmDebug frm;
    QString last;
    frm.LogLine(TfrmDebug::lkOther, "Tx", "V", last);
    frm.LogLine(TfrmDebug::lkStatus, "Tx", "S", last);
    frm.LogLine(TfrmDebug::lkOther, "Rx", "p0123", last);
    EXPECT_EQ(Lines(frm.lstDebug), QStringList({"Rx>p0123", "Tx>V"}));
    EXPECT_EQ(Lines(frm.lstStatus), QStringList({"Tx>S"}));
    // Neither a sent status line nor other traffic touches the change log's memory.
    EXPECT_TRUE(last.isEmpty());
}

TEST(Debug, ChangeLogTakesOnlyReceivedStatusLinesThatDiffer)
{
    TfrmDebug frm;
    QString last;
    struct Step
    {
        const char *direction;
        const char *text;
        bool intoChangeLog;
    };
    const Step steps[] = {
        {"Tx", "S", false},
        {"Rx", "s03FF80041F", true}, // first reply differs from the empty start
        {"Tx", "S", false},
        {"Rx", "s03FF80041F", false}, // unchanged
        {"Rx", "s03ff80041f", true}, // the comparison is case-sensitive
        {"Rx", "s03FF80041F", true}, // back again is a change too
        {"Tx", "s03FF80041F", false}, // only received lines count
        {"Rx", "v0102", true}, // version replies are status-kind as well
    };
    QStringList expectedDebug;
    QStringList expectedStatus;
    for (const Step &s : steps) {
        const QString entry = QString(s.direction) + ">" + s.text;
        frm.LogLine(TfrmDebug::lkStatus, s.direction, s.text, last);
        expectedStatus.prepend(entry);
        if (s.intoChangeLog) {
            expectedDebug.prepend(entry);
        }
        EXPECT_EQ(Lines(frm.lstDebug), expectedDebug) << entry.toStdString();
    }
    EXPECT_EQ(Lines(frm.lstStatus), expectedStatus);
    EXPECT_EQ(last, "v0102");
}

TEST(Debug, EachListKeepsThe200NewestLines)
{
    TfrmDebug frm;
    QString last;
    for (int i = 0; i < 201; ++i) {
        frm.LogLine(TfrmDebug::lkStatus, "Tx", QString("S%1").arg(i), last);
        frm.LogLine(TfrmDebug::lkOther, "Tx", QString("P%1").arg(i), last);
    }
    ASSERT_EQ(frm.lstStatus->count(), 200);
    ASSERT_EQ(frm.lstDebug->count(), 200);
    EXPECT_EQ(frm.lstStatus->item(0)->text(), "Tx>S200");
    EXPECT_EQ(frm.lstStatus->item(199)->text(), "Tx>S1");
    EXPECT_EQ(frm.lstDebug->item(0)->text(), "Tx>P200");
    EXPECT_EQ(frm.lstDebug->item(199)->text(), "Tx>P1");

    // Changed status replies share lstDebug's limit.
    for (int i = 0; i < 250; ++i) {
        frm.LogLine(TfrmDebug::lkStatus, "Rx", QString("s%1").arg(i), last);
    }
    EXPECT_EQ(frm.lstStatus->count(), 200);
    EXPECT_EQ(frm.lstDebug->count(), 200);
    EXPECT_EQ(frm.lstDebug->item(0)->text(), "Rx>s249");
    EXPECT_EQ(frm.lstDebug->item(199)->text(), "Rx>s50");
}

TEST(Debug, UncheckedDebugFreezesLogsButBitsKeepFollowing)
{
    TfrmDebug frm;
    QString last = "s0000000000";
    frm.LogLine(TfrmDebug::lkOther, "Tx", "V", last);
    frm.chkDebug->setChecked(false);

    frm.LogLine(TfrmDebug::lkOther, "Tx", "V", last);
    frm.LogLine(TfrmDebug::lkStatus, "Tx", "S", last);
    frm.LogLine(TfrmDebug::lkStatus, "Rx", "s03FF80041F", last);
    EXPECT_EQ(Lines(frm.lstDebug), QStringList({"Tx>V"}));
    EXPECT_EQ(frm.lstStatus->count(), 0);
    EXPECT_EQ(last, "s0000000000");

    frm.ShowBits(0x05);
    EXPECT_EQ(Checks(frm.lstBits),
              QList<bool>({true, false, true, false, false, false, false, false}));

    frm.chkDebug->setChecked(true);
    frm.LogLine(TfrmDebug::lkStatus, "Rx", "s03FF80041F", last);
    EXPECT_EQ(Lines(frm.lstDebug), QStringList({"Rx>s03FF80041F", "Tx>V"}));
}

TEST(Debug, BitsFollowEveryStatusAndOverrideHandTicks)
{
    TfrmDebug frm;
    for (int bits : {0x00, 0x01, 0x80, 0xA5, 0x5A, 0xFF}) {
        // A tick by hand on an item that the next status clears or sets.
        frm.lstBits->item(3)->setCheckState(Qt::Checked);
        frm.lstBits->item(6)->setCheckState(Qt::Unchecked);
        frm.ShowBits(static_cast<quint8>(bits));
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(frm.lstBits->item(i)->checkState() == Qt::Checked, ((bits >> i) & 1) != 0)
                << "bits " << bits << " item " << i;
        }
    }
}

TEST(Debug, RangeListIsReplacedWhole)
{
    TfrmDebug frm;
    EXPECT_EQ(TfrmDebug::RangeLine(0, 'R', 10, 20, 30), "[0] gear R low 10 adc 20 high 30");
    EXPECT_EQ(TfrmDebug::RangeLine(10, 'x', 0, 1023, 1023), "[10] gear x low 0 adc 1023 high 1023");
    frm.SetRangeLines({"a", "b", "c"});
    frm.SetRangeLines({TfrmDebug::RangeLine(0, 'N', 1, 2, 3)});
    EXPECT_EQ(Lines(frm.lstRanges), QStringList({"[0] gear N low 1 adc 2 high 3"}));
    frm.SetRangeLines({});
    EXPECT_EQ(frm.lstRanges->count(), 0);
}

TEST(Debug, TxEnabledFollowsTheTxSwitch)
{
    TfrmDebug frm;
    frm.chkTx->setChecked(false);
    EXPECT_FALSE(frm.TxEnabled());
    // The traffic switch does not stop logging; that is the Debug switch's job.
    QString last;
    frm.LogLine(TfrmDebug::lkOther, "Rx", "p00", last);
    EXPECT_EQ(frm.lstDebug->count(), 1);
    QTest::mouseClick(frm.chkTx, Qt::LeftButton, {}, frm.chkTx->rect().center());
    EXPECT_TRUE(frm.TxEnabled());
}

TEST(Debug, RendersAllControlsUnclipped)
{
    TfrmDebug frm;
    QString last;
    frm.LogLine(TfrmDebug::lkStatus, "Tx", "S", last);
    frm.LogLine(TfrmDebug::lkStatus, "Rx", "s03FF80041F", last);
    frm.LogLine(TfrmDebug::lkOther, "Tx", "V", last);
    frm.ShowBits(0x21);
    frm.SetRangeLines({TfrmDebug::RangeLine(0, 'R', 10, 20, 30)});
    frm.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frm));
    const QImage img = frm.grab().toImage();
    if (qEnvironmentVariableIsSet("ORBANEL_DUMP_RENDERS")) {
        img.save("/tmp/frmDebug.png");
    }
    EXPECT_EQ(img.size(), QSize(654, 510));
    // Every bit item fits inside the list without a scroll bar.
    EXPECT_FALSE(frm.lstBits->verticalScrollBar()->isVisible());
    for (int i = 0; i < frm.lstBits->count(); ++i) {
        const QRect row = frm.lstBits->visualItemRect(frm.lstBits->item(i));
        EXPECT_TRUE(frm.lstBits->viewport()->rect().contains(row)) << "item " << i;
    }
}
