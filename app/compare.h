#pragma once

#include "settingsCompare.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

// The comparison of the tool's settings with another set (the controller's or a profile's): a
// table "Setting", "Tool", other, differing rows marked and first, a count and a note for
// settings never received. It changes nothing itself: the main window decides what taking rows
// and writing mean. Created once by the main window, owned by it; closing only hides it.
class TfrmCompare : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmCompare(QWidget *parent = nullptr);

    // Shows rows (in CompareSettings order) under the heading of the other side; the write button
    // is offered only where writing means something. keepChoices: the same comparison with new
    // values, whose rows chosen so far stay chosen.
    void SetComparison(const QString &otherHeading, const std::vector<TCompareRow> &rows,
                       bool canWrite, bool keepChoices = false);

    // The rows whose check box is set, in CompareSettings order.
    std::vector<TCompareRow> ChosenRows() const;
    // Sets the check box of the row naming that setting; false when there is none or it cannot
    // be chosen (an unknown value).
    bool ChooseRow(const QString &setting, bool chosen = true);
    // The table as plain text, as "Copy As Text" puts it on the clipboard.
    QString TableText() const;
    const QString &OtherHeading() const { return otherHeading_; }

    std::function<void()> OnTake;
    std::function<void()> OnWrite;

    QTableWidget *sgCompare = nullptr;
    QLabel *lblDifferences = nullptr;
    QLabel *lblUnknown = nullptr;
    QPushButton *btnTake = nullptr;
    QPushButton *btnWrite = nullptr;
    QPushButton *btnCopy = nullptr;
    QPushButton *btnClose = nullptr;

private:
    void btnCopyClick();

    QString otherHeading_;
    std::vector<TCompareRow> rows_; // display order: differing first
    std::vector<int> naturalIndex_; // display row -> position in CompareSettings order
};
