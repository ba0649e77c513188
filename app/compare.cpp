#include "compare.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kColumnSetting = 0;
constexpr int kColumnTool = 1;
constexpr int kColumnOther = 2;
constexpr int kInitialWidth = 760;
constexpr int kInitialHeight = 640;
constexpr int kRowPadding = 6;
// A differing row stands out in pale amber; an unknown value is grey.
const QColor kDifferingBackground(0xFF, 0xE8, 0xB0);
const QColor kUnknownText(0x80, 0x80, 0x80);

QString FromUtf8(const std::string &text)
{
    return QString::fromStdString(text);
}

} // namespace

TfrmCompare::TfrmCompare(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCompare"));
    setModal(false);
    // Within the screen: on a small laptop the buttons below the table would lie beyond its edge.
    QSize size(kInitialWidth, kInitialHeight);
    if (const QScreen *screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size());
    resize(size);

    sgCompare = new QTableWidget(0, 3, this);
    sgCompare->setObjectName(QStringLiteral("sgCompare"));
    sgCompare->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab goes on to the buttons; arrows and space choose rows.
    sgCompare->setTabKeyNavigation(false);
    sgCompare->setSelectionBehavior(QAbstractItemView::SelectRows);
    sgCompare->verticalHeader()->hide();
    // One line per setting, so the whole comparison fits on a screen.
    sgCompare->setWordWrap(false);
    sgCompare->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + kRowPadding);
    sgCompare->horizontalHeader()->setStretchLastSection(true);

    lblDifferences = new QLabel(this);
    lblDifferences->setObjectName(QStringLiteral("lblDifferences"));
    lblUnknown = new QLabel(this);
    lblUnknown->setObjectName(QStringLiteral("lblUnknown"));
    lblUnknown->setWordWrap(true);

    btnTake = new QPushButton(this);
    btnTake->setObjectName(QStringLiteral("btnTake"));
    btnWrite = new QPushButton(QStringLiteral("Write Tool Settings To ECU"), this);
    btnWrite->setObjectName(QStringLiteral("btnWrite"));
    btnCopy = new QPushButton(QStringLiteral("Copy As Text"), this);
    btnCopy->setObjectName(QStringLiteral("btnCopy"));
    btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    // No default button: Enter must never take rows or write the controller by accident.
    for (QPushButton *button : {btnTake, btnWrite, btnCopy, btnClose})
        button->setAutoDefault(false);

    connect(btnTake, &QPushButton::clicked, this, [this] {
        if (OnTake)
            OnTake();
    });
    connect(btnWrite, &QPushButton::clicked, this, [this] {
        if (OnWrite)
            OnWrite();
    });
    connect(btnCopy, &QPushButton::clicked, this, &TfrmCompare::btnCopyClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::hide);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnTake);
    buttons->addWidget(btnWrite);
    buttons->addStretch();
    buttons->addWidget(btnCopy);
    buttons->addWidget(btnClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblDifferences);
    layout->addWidget(sgCompare);
    layout->addWidget(lblUnknown);
    layout->addLayout(buttons);
}

void TfrmCompare::SetComparison(const QString &otherHeading, const std::vector<TCompareRow> &rows,
                                bool canWrite, bool keepChoices)
{
    std::vector<std::string> chosen;
    if (keepChoices)
        for (const TCompareRow &row : ChosenRows())
            chosen.push_back(row.Setting);
    otherHeading_ = otherHeading;
    setWindowTitle(QStringLiteral("Compare With %1").arg(otherHeading));
    btnTake->setText(QStringLiteral("Take Chosen Rows From %1").arg(otherHeading));
    btnWrite->setVisible(canWrite);

    // Display order: differing rows first; remember where each came from, so chosen rows are
    // taken in the comparison's own order (the gear count before the ranges it would cut).
    std::vector<int> order(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        order[i] = static_cast<int>(i);
    const auto rank = [&](int i) {
        const TCompareState state = rows[static_cast<std::size_t>(i)].State;
        return state == TCompareState::Different ? 0 : state == TCompareState::Unknown ? 1 : 2;
    };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return rank(a) < rank(b); });
    rows_.clear();
    for (const int i : order)
        rows_.push_back(rows[static_cast<std::size_t>(i)]);
    naturalIndex_ = order;

    sgCompare->clear();
    sgCompare->setHorizontalHeaderLabels(
        {QStringLiteral("Setting"), QStringLiteral("Tool"), otherHeading});
    sgCompare->setRowCount(static_cast<int>(rows_.size()));
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
        const TCompareRow &row = rows_[static_cast<std::size_t>(r)];
        const bool differs = row.Differs();
        const bool unknown = row.State == TCompareState::Unknown;
        auto *setting = new QTableWidgetItem(FromUtf8(row.Setting));
        // Only a known value can be taken.
        setting->setFlags(unknown
                              ? Qt::ItemIsEnabled
                              : Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        if (!unknown)
            setting->setCheckState(std::find(chosen.begin(), chosen.end(), row.Setting)
                                           != chosen.end()
                                       ? Qt::Checked
                                       : Qt::Unchecked);
        auto *tool = new QTableWidgetItem(FromUtf8(CellText(row.Left, row.Unit)));
        auto *other = new QTableWidgetItem(FromUtf8(CellText(row.Right, row.Unit)));
        for (QTableWidgetItem *item : {setting, tool, other}) {
            if (differs) {
                item->setBackground(kDifferingBackground);
                QFont font = item->font();
                font.setBold(true);
                item->setFont(font);
            }
        }
        if (unknown)
            other->setForeground(kUnknownText);
        sgCompare->setItem(r, kColumnSetting, setting);
        sgCompare->setItem(r, kColumnTool, tool);
        sgCompare->setItem(r, kColumnOther, other);
    }
    // Wide enough for every value (a gear with two ranges is long), as far as the screen allows.
    sgCompare->resizeColumnsToContents();
    int wanted = sgCompare->verticalScrollBar()->sizeHint().width() + 2 * sgCompare->frameWidth()
        + layout()->contentsMargins().left() + layout()->contentsMargins().right();
    for (int c = 0; c < sgCompare->columnCount(); ++c)
        wanted += sgCompare->columnWidth(c);
    if (const QScreen *screen = this->screen())
        wanted = std::min(wanted, screen->availableGeometry().width());
    if (wanted > width())
        resize(wanted, height());

    const int differing = CountDiffering(rows);
    const int unknownCount = CountUnknown(rows);
    QString headline = differing == 1 ? QStringLiteral("1 difference")
                                      : QStringLiteral("%1 differences").arg(differing);
    // Settings never answered may differ too: "No differences" alone would read as all equal.
    if (differing == 0)
        headline = unknownCount > 0 ? QStringLiteral("No differences among the settings answered")
                                    : QStringLiteral("No differences");
    lblDifferences->setText(headline);
    lblUnknown->setText(
        QStringLiteral("The ECU did not answer every request: %1 %2 unknown and cannot be "
                       "compared or taken.")
            .arg(unknownCount)
            .arg(unknownCount == 1 ? QStringLiteral("setting is")
                                   : QStringLiteral("settings are")));
    lblUnknown->setVisible(unknownCount > 0);
}

std::vector<TCompareRow> TfrmCompare::ChosenRows() const
{
    std::vector<std::pair<int, TCompareRow>> chosen;
    for (int r = 0; r < sgCompare->rowCount() && r < static_cast<int>(rows_.size()); ++r) {
        const QTableWidgetItem *item = sgCompare->item(r, kColumnSetting);
        if (item && (item->flags() & Qt::ItemIsUserCheckable) && item->checkState() == Qt::Checked)
            chosen.emplace_back(naturalIndex_[static_cast<std::size_t>(r)],
                                rows_[static_cast<std::size_t>(r)]);
    }
    std::sort(chosen.begin(), chosen.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<TCompareRow> rows;
    for (auto &[index, row] : chosen)
        rows.push_back(std::move(row));
    return rows;
}

bool TfrmCompare::ChooseRow(const QString &setting, bool chosen)
{
    for (int r = 0; r < sgCompare->rowCount(); ++r) {
        QTableWidgetItem *item = sgCompare->item(r, kColumnSetting);
        if (item && item->text() == setting) {
            if (!(item->flags() & Qt::ItemIsUserCheckable))
                return false;
            item->setCheckState(chosen ? Qt::Checked : Qt::Unchecked);
            return true;
        }
    }
    return false;
}

QString TfrmCompare::TableText() const
{
    return FromUtf8(ComparisonText(rows_, "Tool", otherHeading_.toStdString()));
}

void TfrmCompare::btnCopyClick()
{
    QGuiApplication::clipboard()->setText(TableText());
}
