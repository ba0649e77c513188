// The comparison window on its own: marking, order, choosing rows and the text copy.

#include "compare.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TCompareRow Row(TSettingField field, const char *setting, const char *left, const char *right,
                TCompareState state)
{
    TCompareRow row;
    row.Field = field;
    row.Setting = setting;
    row.Unit = "ms";
    row.Left = left;
    row.Right = right;
    row.State = state;
    return row;
}

} // namespace

TEST(CompareWindow, ChosenRowsComeBackInComparisonOrderWhateverTheDisplayOrder)
{
    TfrmCompare form;
    const std::vector<TCompareRow> rows = {
        Row(TSettingField::PositionCount, "No. Of Forwards Gears", "6", "5",
            TCompareState::Different),
        Row(TSettingField::Debounce, "Trigger Debounce", "1", "1", TCompareState::Same),
        Row(TSettingField::SparkDelay, "Cut Duration (First)", "125", kUnknownValue,
            TCompareState::Unknown),
        Row(TSettingField::Ranges, "Fifth Range", "none", "1.0 to 2.0, sampled 1.5",
            TCompareState::Different),
    };
    form.SetComparison("ECU", rows, true);
    const QTableWidget *table = form.sgCompare;
    ASSERT_EQ(table->rowCount(), 4);
    EXPECT_EQ(table->item(0, 0)->text(), "No. Of Forwards Gears");
    EXPECT_EQ(table->item(1, 0)->text(), "Fifth Range");
    EXPECT_EQ(table->item(2, 0)->text(), "Cut Duration (First)");
    EXPECT_EQ(table->item(3, 0)->text(), "Trigger Debounce");
    EXPECT_EQ(table->item(0, 1)->text(), "6 ms");
    EXPECT_EQ(table->item(1, 1)->text(), "none");
    EXPECT_TRUE(table->item(1, 2)->font().bold());
    EXPECT_FALSE(table->item(3, 2)->font().bold());
    EXPECT_EQ(form.lblDifferences->text(), "2 differences");
    EXPECT_EQ(form.lblUnknown->text(),
              "The ECU did not answer every request: 1 setting is "
              "unknown and cannot be compared or taken.");

    // The gear count is taken before the ranges it would cut, though shown after them here.
    EXPECT_TRUE(form.ChooseRow("Fifth Range"));
    EXPECT_TRUE(form.ChooseRow("No. Of Forwards Gears"));
    EXPECT_FALSE(form.ChooseRow("Cut Duration (First)"));
    EXPECT_FALSE(form.ChooseRow("Nothing"));
    const auto chosen = form.ChosenRows();
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(chosen[0].Field, TSettingField::PositionCount);
    EXPECT_EQ(chosen[1].Field, TSettingField::Ranges);

    form.btnCopy->click();
    const QString text = QGuiApplication::clipboard()->text();
    EXPECT_EQ(text, form.TableText());
    EXPECT_TRUE(text.startsWith("  Setting                Tool    ECU\n"
                                "* No. Of Forwards Gears  6 ms    5 ms\n"));

    // Tab goes from the table on to the buttons.
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.sgCompare->setFocus();
    QTest::keyClick(form.sgCompare, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), form.sgCompare);

    // A new comparison clears the choice; a profile offers no write.
    form.SetComparison("Profile", rows, false);
    EXPECT_TRUE(form.ChosenRows().empty());
    EXPECT_FALSE(form.btnWrite->isVisibleTo(&form));
    EXPECT_EQ(form.lblDifferences->text(), "2 differences");

    // Nothing differs among the answers, but a setting went unanswered: not all equal.
    form.SetComparison("ECU", {rows[1], rows[2]}, true);
    EXPECT_EQ(form.lblDifferences->text(), "No differences among the settings answered");
    form.SetComparison("ECU", {rows[1]}, true);
    EXPECT_EQ(form.lblDifferences->text(), "No differences");
}
