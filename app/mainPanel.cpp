// The settings panel of the main window: its controls, the copy of the model into them, and the
// handlers that take the user's changes into the model.

#include "main.h"

#include "droppedFile.h"

#include "ledLamp.h"
#include "panelRules.h"
#include "profile.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>

namespace {

constexpr int kGridColumnWidth = 87;
constexpr int kGridRowHeight = 20;
constexpr int kGridMaxRows = 10; // nine gear positions and the heading
constexpr int kFirstSparkIndex = 2;

// The grid draws no cell itself: every cell goes through the window's DrawCell.
class TGridDelegate : public QStyledItemDelegate
{
public:
    TGridDelegate(const TfrmMain *window, QObject *parent)
        : QStyledItemDelegate(parent), window_(window)
    { }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        painter->save();
        painter->setFont(option.font);
        window_->DrawCell(*painter, index.column(), index.row(), option.rect);
        painter->restore();
    }

private:
    const TfrmMain *window_;
};

QLabel *Caption(QWidget *parent, const QString &text, int x, int y, const char *name = nullptr)
{
    auto *label = new QLabel(text, parent);
    if (name)
        label->setObjectName(QLatin1String(name));
    label->move(x, y);
    label->adjustSize();
    return label;
}

void SetVisible(std::initializer_list<QWidget *> widgets, bool visible)
{
    for (QWidget *w : widgets)
        w->setVisible(visible);
}

int EditValue(const QLineEdit *edit, int fallback)
{
    return ParseDecimal(edit->text().toStdString()).value_or(fallback);
}

// Leaving an edit box is the focus moving on to another control of this window (Tab, a click).
// The window losing activation (a message box opening, another program), a popup or the menu
// taking the keyboard are no exits: the typing stays in the box until the user really leaves it.
bool IsExit(const QFocusEvent *event)
{
    switch (event->reason()) {
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
        return false;
    default:
        return true;
    }
}

} // namespace

std::int32_t TfrmMain::Clamp(std::int32_t value, std::int32_t min, std::int32_t max)
{
    return ::Clamp(value, min, max);
}

QSlider *TfrmMain::MakeTrackBar(QWidget *parent, const char *name, int min, int max, int frequency,
                                const QRect &geometry)
{
    auto *bar = new QSlider(Qt::Horizontal, parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(min, max);
    bar->setTickInterval(frequency);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setPageStep(2);
    bar->setGeometry(geometry);
    // A wheel turn over a track bar takes the focus as a click does, so a number typed into a
    // box is taken before the bar changes; otherwise the bar's change would show the box's old
    // value again over the typing, which was then lost.
    bar->setFocusPolicy(Qt::WheelFocus);
    return bar;
}

QLineEdit *TfrmMain::MakeEdit(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(geometry);
    // The text is taken only when the box loses the focus, not while typing.
    edit->installEventFilter(this);
    return edit;
}

TfrmMain::TExitHandler TfrmMain::ExitHandlerOf(const QObject *edit) const
{
    const std::pair<const QObject *, TExitHandler> exits[] = {
        {edtLoadCellThreshold, &TfrmMain::edtLoadCellThresholdExit},
        {edtDownshiftThreshold, &TfrmMain::edtLoadCellThresholdExit},
        {edtBarrelThreshold, &TfrmMain::edtBarrelThresholdExit},
        {edtDebounce, &TfrmMain::edtDebounceExit},
        {edtIgnore, &TfrmMain::edtIgnoreExit},
        {edtDownshiftBlipTimeout, &TfrmMain::edtIgnoreExit},
        {edtCutAfterBlip, &TfrmMain::edtCutAfterBlipExit},
        {EdtSparkCutTimeout, &TfrmMain::EdtSparkCutTimeoutExit},
        {edtFeedbackWindow, &TfrmMain::edtFeedbackWindowExit},
    };
    for (const auto &[box, handler] : exits)
        if (box == edit)
            return handler;
    return nullptr;
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    // A file dragged over an edit box is the window's, never text for the box; text still goes in.
    const QEvent::Type type = event->type();
    if ((type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop)
        && !DroppedFile(static_cast<QDropEvent *>(event)->mimeData()).isEmpty()) {
        if (type == QEvent::Drop)
            dropEvent(static_cast<QDropEvent *>(event));
        else
            AcceptDroppedFile(static_cast<QDropEvent *>(event));
        return true;
    }
    if (event->type() == QEvent::FocusOut && IsExit(static_cast<QFocusEvent *>(event)))
        if (const auto handler = ExitHandlerOf(watched))
            (this->*handler)();
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::TakeTypedSetting()
{
    // The window's focus child even while a menu or another window has the keyboard.
    auto *edit = qobject_cast<QLineEdit *>(focusWidget());
    if (!edit || !edit->isModified())
        return;
    if (const auto handler = ExitHandlerOf(edit)) {
        edit->setModified(false);
        (this->*handler)();
    }
}

void TfrmMain::BuildSettingsArea(QWidget *area)
{
    constexpr int kLeft = 8;
    constexpr int kRight = 385;
    constexpr int kColumn = 367;
    constexpr int kTrackWidth = 270;
    constexpr int kEditX = 290;
    auto trackRect = [](int y, int height = 30) { return QRect(8, y, kTrackWidth, height); };
    auto editRect = [](int y) { return QRect(kEditX, y, 50, 21); };
    auto units = [&](QWidget *parent, int y, const char *name = nullptr) {
        return Caption(parent, QStringLiteral("ms"), kEditX + 56, y + 3, name);
    };

    // Trigger method.
    auto *method = new QGroupBox(QStringLiteral("Gearshift Trigger Method"), area);
    method->setObjectName(QStringLiteral("pnlGearThreshold"));
    method->setGeometry(kLeft, 8, kColumn, 182);
    rbSensorTypeSwitch = new QRadioButton(QStringLiteral("Switch (Digital)"), method);
    rbSensorTypeSwitch->setObjectName(QStringLiteral("rbSensorTypeSwitch"));
    rbSensorTypeSwitch->move(12, 22);
    rbSensorTypeLoadCell = new QRadioButton(QStringLiteral("Load Cell (Analogue)"), method);
    rbSensorTypeLoadCell->setObjectName(QStringLiteral("rbSensorTypeLoadCell"));
    rbSensorTypeLoadCell->move(rbSensorTypeSwitch->x() + rbSensorTypeSwitch->sizeHint().width() + 8,
                               22);
    rbSensorTypeBarrelPosition = new QRadioButton(QStringLiteral("Barrel Position"), method);
    rbSensorTypeBarrelPosition->setObjectName(QStringLiteral("rbSensorTypeBarrelPosition"));
    rbSensorTypeBarrelPosition->move(
        rbSensorTypeLoadCell->x() + rbSensorTypeLoadCell->sizeHint().width() + 8, 22);
    for (QRadioButton *rb : {rbSensorTypeSwitch, rbSensorTypeLoadCell, rbSensorTypeBarrelPosition})
        rb->resize(rb->sizeHint());
    sensorGroup_ = new QButtonGroup(this);
    for (QRadioButton *rb :
         {rbSensorTypeSwitch, rbSensorTypeLoadCell, rbSensorTypeBarrelPosition}) {
        sensorGroup_->addButton(rb);
        connect(rb, &QRadioButton::clicked, this, &TfrmMain::rgGearSensorClick);
    }

    lblLoadCellThreshold = Caption(method, QStringLiteral("Upshift Trigger Threshold"), 12, 50,
                                   "lblLoadCellThreshold");
    trkLoadCellThreshold = MakeTrackBar(method, "trkLoadCellThreshold", 0, 255, 16, trackRect(66));
    edtLoadCellThreshold = MakeEdit(method, "edtLoadCellThreshold", editRect(70));
    lblDownshiftThreshold = Caption(method, QStringLiteral("Downshift Trigger Threshold"), 12, 108,
                                    "lblDownshiftThreshold");
    trkDownshiftThreshold
        = MakeTrackBar(method, "trkDownshiftThreshold", 0, 255, 16, trackRect(124));
    edtDownshiftThreshold = MakeEdit(method, "edtDownshiftThreshold", editRect(128));
    lblBarrelThreshold = Caption(method, QStringLiteral("Trigger Threshold (Degrees)"), 12, 50,
                                 "lblBarrelThreshold");
    trkBarrelThreshold = MakeTrackBar(method, "trkBarrelThreshold", 0, 10, 1, trackRect(66));
    trkBarrelThreshold->setPageStep(1);
    edtBarrelThreshold = MakeEdit(method, "edtBarrelThreshold", editRect(70));
    connect(trkLoadCellThreshold, &QSlider::valueChanged, this,
            &TfrmMain::trkLoadCellThresholdChange);
    connect(trkDownshiftThreshold, &QSlider::valueChanged, this,
            &TfrmMain::trkLoadCellThresholdChange);
    connect(trkBarrelThreshold, &QSlider::valueChanged, this, &TfrmMain::trkBarrelThresholdChange);

    // Gear position calibration.
    auto *calibration = new QGroupBox(QStringLiteral("Gear Position Calibration"), area);
    calibration->setObjectName(QStringLiteral("GroupBox3"));
    calibration->setGeometry(kLeft, 196, kColumn, 164);
    Caption(calibration, QStringLiteral("No. Of Forwards Gears"), 12, 27);
    cmbGears = new QComboBox(calibration);
    cmbGears->setObjectName(QStringLiteral("cmbGears"));
    cmbGears->addItems(
        {QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7")});
    cmbGears->setGeometry(150, 22, 60, 22);
    connect(cmbGears, &QComboBox::currentIndexChanged, this, &TfrmMain::rgGearsClick);
    btnClear = new QPushButton(QStringLiteral("Clear Gear Positions"), calibration);
    btnClear->setObjectName(QStringLiteral("btnClear"));
    btnClear->setGeometry(12, 56, 160, 25);
    connect(btnClear, &QPushButton::clicked, this, &TfrmMain::btnClearClick);
    btnCapture = new QPushButton(QStringLiteral("Sample Gear Positions"), calibration);
    btnCapture->setObjectName(QStringLiteral("btnCapture"));
    btnCapture->setGeometry(190, 56, 160, 25);
    btnCapture->setEnabled(false);
    connect(btnCapture, &QPushButton::clicked, this, &TfrmMain::btnCaptureClick);
    Caption(calibration, QStringLiteral("Gear Position Tolerance"), 12, 94);
    trkFeedbackWindow
        = MakeTrackBar(calibration, "trkFeedbackWindow", 1, 15, 1, trackRect(110, 40));
    trkFeedbackWindow->setValue(5);
    edtFeedbackWindow = MakeEdit(calibration, "edtFeedbackWindow", editRect(118));
    connect(trkFeedbackWindow, &QSlider::valueChanged, this, &TfrmMain::trkFeedbackWindowChange);

    // Gear grid: one row per gear position plus the heading, drawn by DrawCell.
    sgGears = new QTableWidget(kGridMaxRows, 3, area);
    sgGears->setObjectName(QStringLiteral("sgGears"));
    sgGears->horizontalHeader()->hide();
    sgGears->verticalHeader()->hide();
    sgGears->horizontalHeader()->setDefaultSectionSize(kGridColumnWidth);
    sgGears->verticalHeader()->setDefaultSectionSize(kGridRowHeight);
    sgGears->verticalHeader()->setMinimumSectionSize(kGridRowHeight);
    sgGears->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sgGears->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sgGears->setSelectionBehavior(QAbstractItemView::SelectRows);
    sgGears->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab goes on to the next control: a table keeps it for its cells, and the controls after
    // the grid could not be reached from the keyboard.
    sgGears->setTabKeyNavigation(false);
    sgGears->setShowGrid(true);
    sgGears->setItemDelegate(new TGridDelegate(this, sgGears));
    sgGears->setGeometry(kLeft, 372, 3 * kGridColumnWidth + 2, kGridMaxRows * kGridRowHeight + 2);

    // Advanced settings.
    auto *advanced = new QGroupBox(QStringLiteral("Advanced Settings"), area);
    advanced->setObjectName(QStringLiteral("GroupBox1"));
    advanced->setGeometry(kRight, 8, kColumn, 120);
    Caption(advanced, QStringLiteral("Trigger Debounce"), 12, 20);
    trkDebounce = MakeTrackBar(advanced, "trkDebounce", 0, 25, 1, trackRect(34));
    edtDebounce = MakeEdit(advanced, "edtDebounce", editRect(38));
    units(advanced, 38);
    Caption(advanced, QStringLiteral("Trigger Mask"), 12, 68);
    trkIgnore = MakeTrackBar(advanced, "trkIgnore", 25, 250, 25, trackRect(82));
    edtIgnore = MakeEdit(advanced, "edtIgnore", editRect(86));
    units(advanced, 86);
    connect(trkDebounce, &QSlider::valueChanged, this, &TfrmMain::trkDebounceChange);
    connect(trkIgnore, &QSlider::valueChanged, this, &TfrmMain::trkIgnoreChange);

    // Down-shift strategy.
    auto *downshift = new QGroupBox(QStringLiteral("Down-Shift Strategy"), area);
    downshift->setObjectName(QStringLiteral("GroupBox6"));
    downshift->setGeometry(kRight, 134, kColumn, 140);
    lblDownshiftBlipTimeout = Caption(downshift, QStringLiteral("Maximum Blip Duration"), 12, 20,
                                      "lblDownshiftBlipTimeout");
    trkDownshiftBlipTimeout
        = MakeTrackBar(downshift, "trkDownshiftBlipTimeout", 0, 250, 25, trackRect(34));
    edtDownshiftBlipTimeout = MakeEdit(downshift, "edtDownshiftBlipTimeout", editRect(38));
    lblDownshiftBlipTimeoutUnits = units(downshift, 38, "lblDownshiftBlipTimeoutUnits");
    chkCutAfterBlip = new QCheckBox(QStringLiteral("Cut After Blip"), downshift);
    chkCutAfterBlip->setObjectName(QStringLiteral("chkCutAfterBlip"));
    chkCutAfterBlip->setGeometry(12, 70, 150, 20);
    trkCutAfterBlip = MakeTrackBar(downshift, "trkCutAfterBlip", 0, 100, 10, trackRect(94));
    edtCutAfterBlip = MakeEdit(downshift, "edtCutAfterBlip", editRect(98));
    lblCutAfterBlipUnits = units(downshift, 98, "lblCutAfterBlipUnits");
    connect(trkDownshiftBlipTimeout, &QSlider::valueChanged, this, &TfrmMain::trkIgnoreChange);
    connect(chkCutAfterBlip, &QCheckBox::toggled, this, &TfrmMain::chkCutAfterBlipClick);
    connect(trkCutAfterBlip, &QSlider::valueChanged, this, &TfrmMain::trkCutAfterBlipChange);

    // Up-shift cut strategy.
    auto *upshift = new QGroupBox(QStringLiteral("Up-Shift Cut Strategy"), area);
    upshift->setObjectName(QStringLiteral("GroupBox5"));
    upshift->setGeometry(kRight, 280, kColumn, 126);
    rbUseTimed = new QRadioButton(QStringLiteral("Timed Per Gear (Open-Loop)"), upshift);
    rbUseTimed->setObjectName(QStringLiteral("rbUseTimed"));
    rbUseTimed->setGeometry(12, 20, 300, 20);
    rbUseFeedback
        = new QRadioButton(QStringLiteral("Use Gear Position Feedback (Closed-Loop)"), upshift);
    rbUseFeedback->setObjectName(QStringLiteral("rbUseFeedback"));
    rbUseFeedback->setGeometry(12, 40, 300, 20);
    strategyGroup_ = new QButtonGroup(this);
    strategyGroup_->addButton(rbUseTimed);
    strategyGroup_->addButton(rbUseFeedback);
    connect(rbUseTimed, &QRadioButton::clicked, this, &TfrmMain::rbUseFeedbackClick);
    connect(rbUseFeedback, &QRadioButton::clicked, this, &TfrmMain::rbUseFeedbackClick);
    lblSparkCutTimeoutCaption = Caption(upshift, QStringLiteral("Maximum Cut Duration"), 12, 66,
                                        "lblSparkCutTimeoutCaption");
    trkSparkCutTimeout = MakeTrackBar(upshift, "trkSparkCutTimeout", 0, 250, 25, trackRect(80));
    EdtSparkCutTimeout = MakeEdit(upshift, "EdtSparkCutTimeout", editRect(84));
    lblSparkCutTimeoutUnits = units(upshift, 84, "lblSparkCutTimeoutUnits");
    connect(trkSparkCutTimeout, &QSlider::valueChanged, this, &TfrmMain::trkSparkCutTimeoutChange);

    // Per-gear cut durations, each level with its gear's grid row (First is row 3).
    pnlDelay = new QGroupBox(QStringLiteral("Cut Duration"), area);
    pnlDelay->setObjectName(QStringLiteral("pnlDelay"));
    const int firstRowTop = sgGears->y() + 1 + 3 * kGridRowHeight;
    pnlDelay->setGeometry(kRight, firstRowTop - 24, kColumn, 24 + 6 * kGridRowHeight + 8);
    for (int k = 0; k < 6; ++k) {
        const QByteArray name = "trkSpark" + QByteArray::number(k + 1);
        QSlider *bar = MakeTrackBar(pnlDelay, name.constData(), 0, 250, 25,
                                    QRect(8, 24 + k * kGridRowHeight + 1, kTrackWidth, 18));
        bar->setTickPosition(QSlider::NoTicks);
        bar->setProperty("Tag", k + kFirstSparkIndex);
        trkSpark[static_cast<std::size_t>(k)] = bar;
        connect(bar, &QSlider::valueChanged, this, [this, bar] { trkDelayChange(bar); });
    }
}

void TfrmMain::SetCell(int column, int row, const QString &text)
{
    if (row < 0 || row >= sgGears->rowCount())
        return;
    QTableWidgetItem *item = sgGears->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        sgGears->setItem(row, column, item);
    }
    item->setText(text);
}

QString TfrmMain::CellText(int column, int row) const
{
    const QTableWidgetItem *item = sgGears->item(row, column);
    return item ? item->text() : QString();
}

int TfrmMain::GridRowCount() const
{
    return sgGears->rowCount();
}

void TfrmMain::DrawCell(QPainter &painter, int column, int row, const QRect &rect) const
{
    const QString text = CellText(column, row);
    QPoint offset(4, 4);
    if (row == 0) {
        painter.fillRect(rect, sgGears->palette().color(QPalette::Button));
        offset = QPoint(2, 2);
    } else if (column == 0) {
        painter.fillRect(rect, QColor::fromRgb(static_cast<QRgb>(GearColourOf(row - 1))));
    } else {
        painter.fillRect(rect, Qt::white);
    }
    painter.setPen(Qt::black);
    painter.drawText(rect.adjusted(offset.x(), offset.y(), 0, 0), Qt::AlignLeft | Qt::AlignTop,
                     text);
}

void TfrmMain::RefreshSettings()
{
    Refreshing = true;
    const int type = Ecu.GearShiftType;

    // A trigger method outside 0..2 checks no button, so the group must allow that.
    sensorGroup_->setExclusive(false);
    rbSensorTypeSwitch->setChecked(type == 0);
    rbSensorTypeLoadCell->setChecked(type == 1);
    rbSensorTypeBarrelPosition->setChecked(type == 2);
    sensorGroup_->setExclusive(true);

    SetVisible({trkLoadCellThreshold, edtLoadCellThreshold, lblLoadCellThreshold,
                trkDownshiftThreshold, edtDownshiftThreshold, lblDownshiftThreshold},
               type == 1);
    trkLoadCellThreshold->setValue(Ecu.GearThresholdUpper);
    edtLoadCellThreshold->setText(QString::number(Ecu.GearThresholdUpper));
    trkDownshiftThreshold->setValue(Ecu.GearThresholdLower);
    edtDownshiftThreshold->setText(QString::number(Ecu.GearThresholdLower));

    SetVisible({trkBarrelThreshold, edtBarrelThreshold, lblBarrelThreshold}, type == 2);
    trkBarrelThreshold->setValue(WidthCountsToDegrees(Ecu.BarrelThreshold));
    edtBarrelThreshold->setText(QString::number(trkBarrelThreshold->value()));

    trkDebounce->setValue(Ecu.Debounce);
    edtDebounce->setText(QString::number(Ecu.Debounce));
    trkIgnore->setValue(Ecu.Ignore);
    // 64 bits: a hand-edited profile may hold any 32-bit value.
    edtIgnore->setText(QString::number(qint64 {Ecu.Ignore} * 4));

    const bool downshift = type != 0;
    SetVisible({lblDownshiftBlipTimeout, lblDownshiftBlipTimeoutUnits, trkDownshiftBlipTimeout,
                edtDownshiftBlipTimeout, lblBlipLed, lblDownshiftLed, BlipLed, DownshiftLed},
               downshift);
    trkDownshiftBlipTimeout->setValue(Ecu.BlipTimeout);
    edtDownshiftBlipTimeout->setText(QString::number(qint64 {Ecu.BlipTimeout} * 2));

    chkCutAfterBlip->setVisible(downshift);
    SetVisible({lblCutAfterBlipUnits, trkCutAfterBlip, edtCutAfterBlip},
               downshift && Ecu.UseCutAfterBlip);
    chkCutAfterBlip->setChecked(Ecu.UseCutAfterBlip);
    trkCutAfterBlip->setValue(Ecu.CutAfterBlip);
    edtCutAfterBlip->setText(QString::number(Ecu.CutAfterBlip));

    const int entry = Ecu.PositionCount - 6;
    cmbGears->setCurrentIndex(entry >= 0 && entry < cmbGears->count() ? entry : -1);

    rbUseFeedback->setChecked(Ecu.UseFeedback);
    rbUseTimed->setChecked(!Ecu.UseFeedback);

    trkFeedbackWindow->setValue(Ecu.FeedbackWindow);
    edtFeedbackWindow->setText(QString::number(trkFeedbackWindow->value()));

    pnlDelay->setVisible(!Ecu.UseFeedback);
    SetVisible({trkSparkCutTimeout, EdtSparkCutTimeout, lblSparkCutTimeoutCaption,
                lblSparkCutTimeoutUnits},
               Ecu.UseFeedback);
    trkSparkCutTimeout->setValue(Ecu.SparkCutTimeout);
    EdtSparkCutTimeout->setText(QString::number(Ecu.SparkCutTimeout));

    // The grid shows at most the nine named positions, whatever count the controller reported.
    const int positions = std::clamp(Ecu.PositionCount, 0, kGridMaxRows - 1);
    sgGears->setRowCount(positions + 1);
    SetCell(0, 0, QStringLiteral("Gear"));
    SetCell(1, 0, QStringLiteral("Angle"));
    for (int i = 0; i < positions; ++i) {
        SetCell(0, i + 1,
                QString::fromUtf8(GearNameOf(i).data(), static_cast<int>(GearNameOf(i).size())));
        SetCell(1, i + 1,
                QString::number(RoundHalfEven(
                    CountsToDegrees(Ecu.Positions[static_cast<std::size_t>(i)].Adc))));
    }
    SetCell(2, 0, QStringLiteral("Duration (ms)"));
    if (Ecu.UseFeedback) {
        for (int row = 1; row <= positions; ++row)
            SetCell(2, row, QString());
    } else {
        SetCell(2, 1, QStringLiteral("-"));
        SetCell(2, 2, QStringLiteral("-"));
        for (int i = kFirstSparkIndex; i <= positions - 2; ++i) {
            const int delay = Ecu.SparkDelays[static_cast<std::size_t>(i)];
            SetCell(2, i + 1, QString::number(delay));
            if (QSlider *bar = SparkBars[static_cast<std::size_t>(i)])
                bar->setValue(delay);
        }
        if (positions >= 3)
            SetCell(2, positions, QStringLiteral("-"));
    }
    sgGears->viewport()->update();

    trkSpark[3]->setVisible(Ecu.PositionCount > 6);
    trkSpark[4]->setVisible(Ecu.PositionCount > 7);
    trkSpark[5]->setVisible(Ecu.PositionCount > 8);

    Refreshing = tmrUpDownAll->isActive();
    UpdateComparison();
}

void TfrmMain::trkLoadCellThresholdChange()
{
    if (Refreshing)
        return;
    Ecu.GearThresholdUpper = trkLoadCellThreshold->value();
    Ecu.GearThresholdLower = trkDownshiftThreshold->value();
    SettingsChanged = true;
    RefreshSettings();
}

void TfrmMain::edtLoadCellThresholdExit()
{
    if (Refreshing)
        return;
    Ecu.GearThresholdUpper
        = Clamp(EditValue(edtLoadCellThreshold, Ecu.GearThresholdUpper),
                trkLoadCellThreshold->minimum(), trkLoadCellThreshold->maximum());
    Ecu.GearThresholdLower
        = Clamp(EditValue(edtDownshiftThreshold, Ecu.GearThresholdLower),
                trkDownshiftThreshold->minimum(), trkDownshiftThreshold->maximum());
    SettingsChanged = true;
    RefreshSettings();
}

void TfrmMain::trkBarrelThresholdChange()
{
    if (Refreshing)
        return;
    Ecu.BarrelThreshold = WidthDegreesToCounts(trkBarrelThreshold->value());
    SettingsChanged = true;
    RefreshSettings();
}

void TfrmMain::edtBarrelThresholdExit()
{
    if (Refreshing)
        return;
    const int degrees = Clamp(EditValue(edtBarrelThreshold, trkBarrelThreshold->value()),
                              trkBarrelThreshold->minimum(), trkBarrelThreshold->maximum());
    Ecu.BarrelThreshold = WidthDegreesToCounts(degrees);
    SettingsChanged = true;
    RefreshSettings();
}

void TfrmMain::trkDebounceChange()
{
    if (Refreshing)
        return;
    Ecu.Debounce = trkDebounce->value();
    SettingsChanged = true;
    RefreshSettings();
}

void TfrmMain::edtDebounceExit()
{
    if (Refreshing)
        return;
    Ecu.Debounce = Clamp(EditValue(edtDebounce, Ecu.Debounce), trkDebounce->minimum(),
                         trkDebounce->maximum());
    SettingsChanged = true;
    RefreshSettings();
}

void TfrmMain::trkIgnoreChange()
{
    if (Refreshing)
        return;
    Ecu.Ignore = trkIgnore->value();
    Ecu.BlipTimeout = trkDownshiftBlipTimeout->value();
    SettingsChanged = true;
    RefreshSettings();
}

void TfrmMain::edtIgnoreExit()
{
    if (Refreshing)
        return;
    // The boxes show milliseconds; the model keeps units of 4 ms and 2 ms.
    Ecu.Ignore = Clamp(EditValue(edtIgnore, trkIgnore->value() * 4) / 4, trkIgnore->minimum(),
                       trkIgnore->maximum());
    Ecu.BlipTimeout
        = Clamp(EditValue(edtDownshiftBlipTimeout, trkDownshiftBlipTimeout->value() * 2) / 2,
                trkDownshiftBlipTimeout->minimum(), trkDownshiftBlipTimeout->maximum());
    SettingsChanged = true;
    RefreshSettings();
}

void TfrmMain::trkCutAfterBlipChange()
{
    if (Refreshing)
        return;
    Ecu.CutAfterBlip = trkCutAfterBlip->value();
    SettingsChanged = true;
    RefreshSettings();
}

void TfrmMain::edtCutAfterBlipExit()
{
    if (Refreshing)
        return;
    Ecu.CutAfterBlip = Clamp(EditValue(edtCutAfterBlip, trkCutAfterBlip->value()),
                             trkCutAfterBlip->minimum(), trkCutAfterBlip->maximum());
    SettingsChanged = true;
    RefreshSettings();
}

void TfrmMain::trkSparkCutTimeoutChange()
{
    if (Refreshing)
        return;
    Ecu.SparkCutTimeout = trkSparkCutTimeout->value();
    SettingsChanged = true;
    RefreshSettings();
}

void TfrmMain::EdtSparkCutTimeoutExit()
{
    if (Refreshing)
        return;
    Ecu.SparkCutTimeout = Clamp(EditValue(EdtSparkCutTimeout, trkSparkCutTimeout->value()),
                                trkSparkCutTimeout->minimum(), trkSparkCutTimeout->maximum());
    SettingsChanged = true;
    RefreshSettings();
}

void TfrmMain::trkDelayChange(QSlider *sender)
{
    if (Refreshing)
        return;
    const int index = sender->property("Tag").toInt();
    if (index >= 0 && index < kPositionSlots)
        Ecu.SparkDelays[static_cast<std::size_t>(index)] = sender->value();
    SettingsChanged = true;
    RefreshSettings();
}

void TfrmMain::rgGearSensorClick()
{
    if (Refreshing)
        return;
    if (rbSensorTypeSwitch->isChecked())
        Ecu.GearShiftType = 0;
    else if (rbSensorTypeLoadCell->isChecked())
        Ecu.GearShiftType = 1;
    else if (rbSensorTypeBarrelPosition->isChecked())
        Ecu.GearShiftType = 2;
    SettingsChanged = true;
    RefreshSettings();
}

void TfrmMain::rbUseFeedbackClick()
{
    if (Refreshing)
        return;
    Ecu.UseFeedback = rbUseFeedback->isChecked();
    SettingsChanged = true;
    RefreshSettings();
}

void TfrmMain::chkCutAfterBlipClick()
{
    if (Refreshing)
        return;
    Ecu.UseCutAfterBlip = chkCutAfterBlip->isChecked();
    SettingsChanged = true;
    RefreshSettings();
}

void TfrmMain::btnClearSparksClick()
{
    SettingsChanged = true;
    ClearCutDurationsInUse(Ecu);
    RefreshSettings();
}
