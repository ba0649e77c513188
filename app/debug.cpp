#include "debug.h"

#include <QCheckBox>
#include <QFont>
#include <QHBoxLayout>
#include <QListWidget>
#include <QListWidgetItem>
#include <QStringBuilder>

#include <array>

namespace {

constexpr int kFontPoints = 8;
constexpr int kRangesWidth = 185;
constexpr int kLogWidth = 150;
constexpr int kMiddleLeft = 16;
constexpr int kDebugTop = 8;
constexpr int kTxTop = 32;
constexpr int kBitsTop = 60;
constexpr int kCheckWidth = 137;
constexpr int kCheckHeight = 20;
constexpr int kBitsWidth = 137;
constexpr int kBitsHeight = 113;

// The controller's names for the status bits, bit 0 first; the padding is the controller's own.
constexpr std::array<const char *, TfrmDebug::kStatusBitCount> kBitNames
    = {"GEAR_SHIFT",   "REVERSE     ", "SPARK_CUT   ", "LED1        ",
       "LED2        ", "LED3        ", "LED_FLASH ",   "GEAR_IGNORE"};

QListWidget *NewList(QWidget *parent, const char *name)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(name);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

QCheckBox *NewCheck(QWidget *parent, const char *name, const QString &text, int top)
{
    auto *check = new QCheckBox(text, parent);
    check->setObjectName(name);
    check->setChecked(true);
    check->setGeometry(kMiddleLeft, top, kCheckWidth, kCheckHeight);
    return check;
}

// Puts entries, newest first, at the top of the list; the oldest lines beyond the limit are
// dropped.
void InsertNewest(QListWidget *list, const QStringList &newestFirst)
{
    list->insertItems(0, newestFirst);
    while (list->count() > TfrmDebug::kLogLines) {
        delete list->takeItem(list->count() - 1);
    }
}

} // namespace

TfrmDebug::TfrmDebug(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName("frmDebug");
    setWindowTitle("Debug");
    setFont(QFont("Tahoma", kFontPoints));
    resize(kClientWidth, kClientHeight);

    lstRanges = NewList(this, "lstRanges");
    lstRanges->setFixedWidth(kRangesWidth);

    // The middle column keeps its controls at fixed places, as the window was drawn.
    auto *middle = new QWidget(this);
    middle->setObjectName("pnlMiddle");
    chkDebug = NewCheck(middle, "chkDebug", "Debug", kDebugTop);
    chkTx = NewCheck(middle, "chkTx", "Tx messages", kTxTop);

    lstBits = NewList(middle, "lstBits");
    lstBits->setGeometry(kMiddleLeft, kBitsTop, kBitsWidth, kBitsHeight);
    // All eight bits are seen at once: the rows share the list's height, whatever the font.
    lstBits->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lstBits->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lstBits->setUniformItemSizes(true);
    const int rowHeight = (kBitsHeight - 2 * lstBits->frameWidth()) / kStatusBitCount;
    for (const char *name : kBitNames) {
        auto *item = new QListWidgetItem(QString::fromLatin1(name), lstBits);
        item->setSizeHint(QSize(kBitsWidth - 2 * lstBits->frameWidth(), rowHeight));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }

    lstStatus = NewList(this, "lstStatus");
    lstStatus->setFixedWidth(kLogWidth);
    lstDebug = NewList(this, "lstDebug");
    lstDebug->setFixedWidth(kLogWidth);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(lstRanges);
    layout->addWidget(middle, 1);
    layout->addWidget(lstStatus);
    layout->addWidget(lstDebug);
    SetViewsFollow(false);
}

void TfrmDebug::SetViewsFollow(bool follow)
{
    for (QListWidget *list : {lstRanges, lstBits, lstStatus, lstDebug}) {
        list->model()->blockSignals(!follow);
        // Rebuilt from the model's content, which every change kept exact.
        if (follow)
            list->reset();
    }
}

void TfrmDebug::showEvent(QShowEvent *event)
{
    FlushPending();
    SetViewsFollow(true);
    QWidget::showEvent(event);
}

void TfrmDebug::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    SetViewsFollow(false);
}

void TfrmDebug::LogLine(TLogKind kind, const QString &direction, const QString &text,
                        QString &lastStatusLine)
{
    if (!chkDebug->isChecked()) {
        return;
    }
    const QString entry = direction % QLatin1Char('>') % text;
    AddLine(kind == lkStatus ? lstStatus : lstDebug, entry);
    // The traffic log shows a received status line only when it changed.
    if (kind == lkStatus && direction == QLatin1StringView("Rx") && text != lastStatusLine) {
        lastStatusLine = text;
        AddLine(lstDebug, entry);
    }
}

void TfrmDebug::AddLine(QListWidget *list, const QString &entry)
{
    if (isVisible()) {
        InsertNewest(list, {entry});
        return;
    }
    std::deque<QString> &pending = list == lstStatus ? pendingStatus_ : pendingDebug_;
    pending.push_back(entry);
    if (pending.size() > static_cast<std::size_t>(kLogLines))
        pending.pop_front();
}

void TfrmDebug::FlushPending()
{
    for (auto [list, pending] :
         {std::pair {lstStatus, &pendingStatus_}, {lstDebug, &pendingDebug_}}) {
        InsertNewest(list, QStringList(pending->rbegin(), pending->rend()));
        pending->clear();
    }
    if (pendingBits_)
        ApplyBits(*pendingBits_);
    pendingBits_.reset();
}

void TfrmDebug::ShowBits(quint8 statusBits)
{
    if (!isVisible()) {
        pendingBits_ = statusBits;
        return;
    }
    ApplyBits(statusBits);
}

void TfrmDebug::ApplyBits(quint8 statusBits)
{
    for (int i = 0; i < kStatusBitCount && i < lstBits->count(); ++i) {
        const bool set = (statusBits >> i) & 1U;
        lstBits->item(i)->setCheckState(set ? Qt::Checked : Qt::Unchecked);
    }
}

void TfrmDebug::SetRangeLines(const QStringList &lines)
{
    lstRanges->clear();
    lstRanges->addItems(lines);
}

bool TfrmDebug::TxEnabled() const
{
    return chkTx->isChecked();
}
