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

int CheckedMask(const QListWidget *list)
{
    int mask = 0;
    for (int i = 0; i < list->count(); ++i) {
        mask |= list->item(i)->checkState() == Qt::Checked ? 1 << i : 0;
    }
    return mask;
}

} // namespace

TEST(Debug, ListsAlongTheEdgesAndEveryBitVisibleAtOnce)
{
    TfrmDebug frm;
    EXPECT_TRUE(frm.chkDebug->isChecked());
    EXPECT_TRUE(frm.TxEnabled());
    EXPECT_EQ(Lines(frm.lstBits),
              QStringList({"GEAR_SHIFT", "REVERSE     ", "SPARK_CUT   ", "LED1        ",
                           "LED2        ", "LED3        ", "LED_FLASH ", "GEAR_IGNORE"}));
    EXPECT_EQ(CheckedMask(frm.lstBits), 0);

    frm.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frm));
    EXPECT_EQ(frm.size(), QSize(654, 510));
    EXPECT_EQ(frm.lstRanges->geometry(), QRect(0, 0, 185, 510));
    EXPECT_EQ(frm.lstStatus->geometry(), QRect(354, 0, 150, 510));
    EXPECT_EQ(frm.lstDebug->geometry(), QRect(504, 0, 150, 510));
    const QRect bits(frm.lstBits->mapTo(&frm, QPoint(0, 0)), frm.lstBits->size());
    EXPECT_EQ(bits.size(), QSize(137, 113));
    EXPECT_TRUE(QRect(185, 0, 169, 510).contains(bits));
    EXPECT_GT(bits.top(), frm.chkTx->mapTo(&frm, QPoint(0, frm.chkTx->height() - 1)).y());
    EXPECT_FALSE(frm.lstBits->verticalScrollBar()->isVisible());
    for (int i = 0; i < frm.lstBits->count(); ++i) {
        EXPECT_TRUE(frm.lstBits->viewport()->rect().contains(
            frm.lstBits->visualItemRect(frm.lstBits->item(i))))
            << "bit " << i << " clipped";
    }
    if (qEnvironmentVariableIsSet("ORBANEL_DUMP_RENDERS")) {
        frm.grab().save("/tmp/frmDebug.png");
    }
    EXPECT_TRUE(frm.close()); // closing only hides
}

TEST(Debug, EntriesGoNewestFirstAndChangeLogTakesOnlyDifferingStatusReplies)
{
    TfrmDebug frm;
    frm.show();
    QString last;
    struct Step
    {
        TfrmDebug::TLogKind kind;
        const char *direction;
        const char *text;
        bool inDebugList;
    };
    using D = TfrmDebug;
    const Step steps[] = {
        {D::lkOther, "Tx", "V", true},
        {D::lkStatus, "Tx", "S", false},
        {D::lkStatus, "Rx", "s03FF80041F", true}, // differs from the empty start
        {D::lkStatus, "Rx", "s03FF80041F", false}, // unchanged
        {D::lkStatus, "Rx", "s03ff80041f", true}, // the comparison is case-sensitive
        {D::lkStatus, "Tx", "s03FF80041F", false}, // only received lines count
        {D::lkOther, "Rx", "p0123", true},
        {D::lkStatus, "Rx", "v0102", true},
    };
    QStringList expectedDebug, expectedStatus;
    for (const Step &s : steps) {
        const QString entry = QString(s.direction) + ">" + s.text;
        frm.LogLine(s.kind, s.direction, s.text, last);
        if (s.kind == D::lkStatus) {
            expectedStatus.prepend(entry);
        }
        if (s.inDebugList) {
            expectedDebug.prepend(entry);
        }
        EXPECT_EQ(Lines(frm.lstDebug), expectedDebug) << entry.toStdString();
        EXPECT_EQ(Lines(frm.lstStatus), expectedStatus) << entry.toStdString();
    }
    EXPECT_EQ(last, "v0102");
}

TEST(Debug, EachListKeepsThe200NewestLinesShownOrLoggedWhileHidden)
{
    for (const bool shown : {true, false}) {
        SCOPED_TRACE(shown ? "shown" : "logged while hidden");
        TfrmDebug frm;
        QString last;
        frm.show();
        frm.LogLine(TfrmDebug::lkStatus, "Tx", "S-first", last);
        frm.setVisible(shown);
        for (int i = 0; i < 201; ++i) {
            frm.LogLine(TfrmDebug::lkStatus, "Tx", QString("S%1").arg(i), last);
            frm.LogLine(TfrmDebug::lkOther, "Tx", QString("P%1").arg(i), last);
        }
        frm.show();
        EXPECT_EQ(frm.lstStatus->count(), 200);
        EXPECT_EQ(frm.lstStatus->item(0)->text(), "Tx>S200");
        EXPECT_EQ(frm.lstStatus->item(199)->text(), "Tx>S1");
        EXPECT_EQ(frm.lstDebug->count(), 200);
        EXPECT_EQ(frm.lstDebug->item(199)->text(), "Tx>P1");

        // Changed status replies go through the same limit in lstDebug.
        frm.setVisible(shown);
        for (int i = 0; i < 250; ++i) {
            frm.LogLine(TfrmDebug::lkStatus, "Rx", QString("s%1").arg(i), last);
        }
        frm.show();
        EXPECT_EQ(frm.lstDebug->count(), 200);
        EXPECT_EQ(frm.lstDebug->item(0)->text(), "Rx>s249");
        EXPECT_EQ(frm.lstDebug->item(199)->text(), "Rx>s50");
    }
}

TEST(Debug, UncheckedDebugFreezesLogsButBitsKeepFollowingAndOverrideHandTicks)
{
    TfrmDebug frm;
    frm.show();
    QString last = "s0000000000";
    frm.chkDebug->setChecked(false);
    frm.LogLine(TfrmDebug::lkOther, "Tx", "V", last);
    frm.LogLine(TfrmDebug::lkStatus, "Rx", "s03FF80041F", last);
    EXPECT_EQ(frm.lstDebug->count() + frm.lstStatus->count(), 0);
    EXPECT_EQ(last, "s0000000000");

    for (int bits : {0x05, 0x80, 0xA5, 0x5A, 0xFF, 0x00}) {
        frm.lstBits->item(3)->setCheckState(Qt::Checked); // a tick by hand
        frm.lstBits->item(6)->setCheckState(Qt::Unchecked);
        frm.ShowBits(static_cast<quint8>(bits));
        EXPECT_EQ(CheckedMask(frm.lstBits), bits);
    }
}

TEST(Debug, RangeListIsReplacedWholeAndTxSwitchIsRead)
{
    TfrmDebug frm;
    frm.SetRangeLines({"a", "b", "c"});
    frm.SetRangeLines({"[0] gear N low 1 adc 2 high 3"});
    EXPECT_EQ(Lines(frm.lstRanges), QStringList({"[0] gear N low 1 adc 2 high 3"}));

    frm.chkTx->setChecked(false);
    EXPECT_FALSE(frm.TxEnabled());
    QTest::mouseClick(frm.chkTx, Qt::LeftButton, {}, frm.chkTx->rect().center());
    EXPECT_TRUE(frm.TxEnabled());
}

TEST(Debug, LinesLoggedWhileHiddenAreListedOnceTheWindowShows)
{
    // A hidden window's lists fill without their views following; showing it must bring the
    // views to the lists' content.
    TfrmDebug frm;
    QString last;
    frm.LogLine(TfrmDebug::lkStatus, "Tx", "S", last);
    frm.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frm));
    frm.hide();
    for (int i = 0; i < 3; ++i)
        frm.LogLine(TfrmDebug::lkStatus, "Rx", QString("s%1").arg(i), last);
    frm.ShowBits(0x24);
    frm.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frm));
    QCoreApplication::processEvents();

    // Every line has its own row on screen, newest at the top.
    const QAbstractItemModel *model = frm.lstStatus->model();
    ASSERT_EQ(model->rowCount(), 4);
    int bottom = -1;
    for (int row = 0; row < 4; ++row) {
        const QRect place = frm.lstStatus->visualRect(model->index(row, 0));
        EXPECT_GT(place.top(), bottom) << row;
        bottom = place.bottom();
        EXPECT_EQ(frm.lstStatus->indexAt(place.center()).row(), row);
    }
    EXPECT_EQ(frm.lstStatus->indexAt(QPoint(4, 2)).data().toString(), "Rx>s2");
    EXPECT_EQ(CheckedMask(frm.lstBits), 0x24);
}
