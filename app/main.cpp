#include "main.h"

#include "Display.h"
#include "about.h"
#include "cachedGroupBox.h"
#include "comms.h"
#include "compare.h"
#include "compassRange.h"
#include "debug.h"
#include "ecuLink.h"
#include "ledLamp.h"
#include "linkRules.h"
#include "liveRecorder.h"
#include "menuBarStyle.h"
#include "programFolders.h"
#include "progress.h"
#include "serialDriver.h"
#include "statusPanels.h"
#include "transfers.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <utility>

namespace {

QString Latin1(const std::string &text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr int kClientWidth = 1018;
constexpr int kClientHeight = 664;
constexpr int kSettingsWidth = 760;
constexpr int kDashWidth = 258;
constexpr int kStatusBarHeight = 19;
constexpr int kWindowBorder = 4; // assumed, per side, on a screen too small for the window
constexpr int kMinTitleBar = 36; // a window manager's title bar may be taller than the style's
constexpr int kMinClientSide = 200;

const QString kConnectedText = QStringLiteral("ECU Connected");
const QString kDisconnectedText = QStringLiteral("ECU Disconnected");

// The window's typefaces are those of the controller's home platform; where they are missing, a
// face of the same metrics keeps the captions within their places.
QFont UiFont(const QString &family, int points)
{
    QFont font(family, points);
    font.setFamilies({family, QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    return font;
}

QColor Rgb(std::uint32_t rgb)
{
    return QColor::fromRgb(static_cast<QRgb>(rgb));
}

} // namespace

TfrmMain::TfrmMain(TMainEnvironment environment, QWidget *parent)
    : QMainWindow(parent)
    , env_(std::move(environment))
    , trackedPrompts_(std::make_unique<TTrackedPrompts>(env_.Prompts))
{
    env_.Prompts = trackedPrompts_.get();
    // Asked from the event loop, once the handler that asked the last question has finished with
    // its answer.
    trackedPrompts_->AllClosed = [this] {
        if (UploadQuestionWaits)
            QTimer::singleShot(0, this, [this] {
                if (UploadQuestionWaits && isVisible())
                    AskUploadQuestion();
            });
    };
    FormCreate();
}

TfrmMain::~TfrmMain()
{
    // The driver goes with the window; closing it first keeps a last poll from reaching a
    // half-destroyed window.
    if (CommPort)
        CommPort->ClosePort();
}

void TfrmMain::SetAuxWindows(const TAuxWindows &windows)
{
    aux_ = windows;
}

TPrompts::Button TfrmMain::Ask(TPrompts::Kind kind, const QString &text, int buttons)
{
    return env_.Prompts->Ask(this, kind, text, buttons);
}

void TfrmMain::FormCreate()
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Kestrova Ltd."));
    setFont(UiFont(QStringLiteral("MS Sans Serif"), 8));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    // Profiles folder and help file beside the program, or the per-user folder and the installed
    // manual for an installed copy. A folder that cannot be made is ignored: the dialogs simply
    // start elsewhere.
    ProfilesFolder = ChooseProfilesFolder(env_.ProgramPath, env_.UserDataFolder);
    HelpFile = ChooseHelpFile(env_.ProgramPath);

    BuildMenu();
    setAcceptDrops(true);

    // The settings and the dashboard lie in a scroll area above the status bar. It scrolls only on
    // a screen too small for the whole window (a small laptop, a large scale factor), where the
    // status bar, the only sign of the link, would otherwise lie beyond the screen's edge.
    auto *frame = new QWidget(this);
    frame->setObjectName(QStringLiteral("client"));
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    frameLayout->setSpacing(0);
    scrClient = new QScrollArea(frame);
    scrClient->setObjectName(QStringLiteral("scrClient"));
    scrClient->setFrameShape(QFrame::NoFrame);
    auto *client = new QWidget;
    client->setObjectName(QStringLiteral("clientArea"));
    client->setFixedSize(kClientWidth, kClientHeight - kStatusBarHeight);
    scrClient->setWidget(client);
    scrClient->setFixedSize(client->size());
    frameLayout->addWidget(scrClient);
    setCentralWidget(frame);
    // A single fixed border: the outer size follows the client area and the menu bar, and the
    // user cannot change it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    auto *tab = new QWidget(client);
    tab->setObjectName(QStringLiteral("TabVehicle"));
    tab->setGeometry(0, 0, kSettingsWidth, kClientHeight - kStatusBarHeight);
    BuildSettingsArea(tab);

    auto *dash = new QFrame(client);
    dash->setObjectName(QStringLiteral("pnlDash"));
    dash->setFrameShape(QFrame::StyledPanel);
    dash->setGeometry(kSettingsWidth, 0, kDashWidth, kClientHeight - kStatusBarHeight);

    for (int i = 0; i < 6; ++i)
        SparkBars[static_cast<std::size_t>(i + 2)] = trkSpark[static_cast<std::size_t>(i)];

    CommPort = new TSerialPortDriver(this);
    CommPort->setObjectName(QStringLiteral("CommPort"));
    SetControllerLine(*CommPort);
    connect(CommPort, &TSerialPortDriver::OnReceiveData, this, &TfrmMain::ReceiveData);

    Codec.OnMessage = [this](const TQV3318MessageRec &message) { DispatchMessage(message); };
    TxQueue.clear();
    UploadPromptOpen = false;

    BuildDashboard(dash);

    pnlStatusBar = new TStatusPanels(frame);
    pnlStatusBar->setObjectName(QStringLiteral("pnlStatusBar"));
    pnlStatusBar->setFixedSize(kClientWidth, kStatusBarHeight);
    frameLayout->addWidget(pnlStatusBar);
    pnlStatusBar->AddPanel({106, Qt::AlignHCenter, kDisconnectedText, true});
    pnlStatusBar->AddPanel({150, Qt::AlignHCenter, QStringLiteral("ECU Version"), false});
    pnlStatusBar->AddPanel({150, Qt::AlignRight, QString(), false});
    pnlStatusBar->DrawPanel = [this](QPainter &painter, int panel, const QRect &rect) {
        pnlStatusBarDrawPanel(painter, panel, rect);
    };

    DiagnosticMode = env_.DebuggerAttached && env_.DebuggerAttached();
    for (QLabel *label : {lblIgnoreLed, lblStatus, lblGearlbl, lblGear})
        label->setVisible(DiagnosticMode);

    trkSparkCutTimeout->setMaximum(1000);
    trkSparkCutTimeout->setTickInterval(100);

    // Both link timers tick from creation on; with the port still closed their sends write
    // nothing.
    tmrStatus = new QTimer(this);
    tmrStatus->setObjectName(QStringLiteral("tmrStatus"));
    tmrStatus->setInterval(kStatusFirstTickMs);
    connect(tmrStatus, &QTimer::timeout, this, &TfrmMain::tmrStatusTimer);
    tmrLink = new QTimer(this);
    tmrLink->setObjectName(QStringLiteral("tmrLink"));
    tmrLink->setInterval(kLinkTickMs);
    connect(tmrLink, &QTimer::timeout, this, &TfrmMain::tmrLinkTimer);
    tmrUpDownAll = new QTimer(this);
    tmrUpDownAll->setObjectName(QStringLiteral("tmrUpDownAll"));
    tmrUpDownAll->setInterval(kTransferTickMs);
    connect(tmrUpDownAll, &QTimer::timeout, this, &TfrmMain::tmrUpDownAllTimer);
    tmrStatus->start();
    tmrLink->start();
    BuildLiveData();
    CreateReopenTimer();
}

void TfrmMain::BuildMenu()
{
    auto *barStyle = new TMenuBarStyle;
    barStyle->setParent(menuBar()); // setStyle does not take it
    menuBar()->setStyle(barStyle);
    QMenu *file = menuBar()->addMenu(QStringLiteral("File"));
    New1 = file->addAction(QStringLiteral("&New"), this, &TfrmMain::New1Click);
    Open1 = file->addAction(QStringLiteral("&Open"), this, &TfrmMain::Open1Click);
    Save1 = file->addAction(QStringLiteral("&Save"), this, &TfrmMain::Save1Click);
    Save1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    SaveAs1 = file->addAction(QStringLiteral("Save &As"), this, &TfrmMain::SaveAs1Click);
    QAction *beforeExit = file->addSeparator();
    Exit1 = file->addAction(QStringLiteral("E&xit"), this, &TfrmMain::Exit1Click);

    QMenu *settings = menuBar()->addMenu(QStringLiteral("Settings"));
    Communications1 = settings->addAction(QStringLiteral("&Communications"), this,
                                          &TfrmMain::Communications1Click);
    ResetECU1 = settings->addAction(QStringLiteral("&Reset ECU"), this, &TfrmMain::ResetECU1Click);
    ResetECU1->setShortcut(QKeySequence(Qt::Key_F12));

    QMenu *transfer = menuBar()->addMenu(QStringLiteral("Upload / Download"));
    UploadAllSettingsToEcu1 = transfer->addAction(QStringLiteral("Upload All Settings From ECU"),
                                                  this, &TfrmMain::UploadAllSettingsToEcu1Click);
    UploadAllSettingsToEcu1->setShortcut(QKeySequence(Qt::Key_F5));
    UploadAllSettingsToEcu1->setEnabled(false);
    DownloadAllSettingsToECU1
        = transfer->addAction(QStringLiteral("Download All Settings To ECU"), this,
                              &TfrmMain::DownloadAllSettingsToECU1Click);
    DownloadAllSettingsToECU1->setShortcut(QKeySequence(Qt::Key_F8));
    DownloadAllSettingsToECU1->setEnabled(false);
    BuildCompareMenu(file, beforeExit, transfer);
    OpenBackup1 = new QAction(QStringLiteral("Open &Backup\u2026"), this);
    OpenBackup1->setObjectName(QStringLiteral("OpenBackup1"));
    connect(OpenBackup1, &QAction::triggered, this, &TfrmMain::OpenBackup1Click);
    file->insertAction(beforeExit, OpenBackup1);

    QMenu *help = menuBar()->addMenu(QStringLiteral("Help"));
    About1 = help->addAction(QStringLiteral("About"), this, &TfrmMain::About1Click);
    Help2 = help->addAction(QStringLiteral("Help"), this, &TfrmMain::Help2Click);
    Help2->setShortcut(QKeySequence(Qt::Key_F1));

    const std::pair<QAction *, const char *> names[] = {
        {New1, "New1"},
        {Open1, "Open1"},
        {Save1, "Save1"},
        {SaveAs1, "SaveAs1"},
        {Exit1, "Exit1"},
        {Communications1, "Communications1"},
        {ResetECU1, "ResetECU1"},
        {UploadAllSettingsToEcu1, "UploadAllSettingsToEcu1"},
        {DownloadAllSettingsToECU1, "DownloadAllSettingsToECU1"},
        {About1, "About1"},
        {Help2, "Help2"},
    };
    for (const auto &[action, name] : names)
        action->setObjectName(QLatin1String(name));
}

void TfrmMain::BuildDashboard(QWidget *dash)
{
    auto *pnlBarrel = new QWidget(dash);
    pnlBarrel->setObjectName(QStringLiteral("pnlBarrel"));
    pnlBarrel->setGeometry((kDashWidth - 209) / 2, 8, 209, 201);
    // The live parts of the dashboard fill their own ground, so that their repaints stop there
    // and do not draw the dashboard's frame again ten times a second. The ground is the window's
    // colour, which is what showed through before.
    pnlBarrel->setAutoFillBackground(true);

    BarrelGauge = new TCompassRange(pnlBarrel);
    BarrelGauge->setObjectName(QStringLiteral("BarrelGauge"));
    BarrelGauge->setGeometry(0, 0, pnlBarrel->width(), pnlBarrel->height());
    BarrelGauge->SetFontName(QStringLiteral("Century Gothic"));
    BarrelGauge->SetColorScale(Qt::black);
    BarrelGauge->SetColorBack(Rgb(0xC0C0C0));
    BarrelGauge->SetColorFont(Qt::white);
    BarrelGauge->SetColorNeedle(Rgb(0xFFFF00));
    BarrelGauge->SetMaxValue(360);
    BarrelGauge->SetMarks(12);
    BarrelGauge->SetUnits(QStringLiteral(" "));
    BarrelGauge->SetTitle(QStringLiteral(" "));
    BarrelGauge->SetColorBorder(Rgb(0x808080));

    GearDisplay = new TDisplay(pnlBarrel);
    GearDisplay->setObjectName(QStringLiteral("GearDisplay"));
    GearDisplay->setGeometry((pnlBarrel->width() - 35) / 2, 37, 35, 45);
    GearDisplay->SetCustomDigit(0);
    GearDisplay->SetDigit('6');
    GearDisplay->SetOffColor(Rgb(0x262626));
    GearDisplay->SetSegWidth(3);
    GearDisplay->SetMargin(2);
    GearDisplay->SetDigitStyle(ds16Seg);
    GearDisplay->SetPenOnColor(Qt::black);
    GearDisplay->SetPenOffColor(Qt::black);
    GearDisplay->raise();

    auto *sensors = new TCachedGroupBox(QStringLiteral("Sensors"), dash);
    sensors->setObjectName(QStringLiteral("GroupBox2"));
    sensors->setGeometry(8, 216, kDashWidth - 16, 124);
    sensors->setAutoFillBackground(true);
    QFont valueFont = UiFont(QStringLiteral("Tahoma"), 16);
    // Digits and a degree sign need no text shaping; skipping it halves the cost of drawing a
    // reading, ten times a second.
    valueFont.setStyleStrategy(QFont::PreferNoShaping);
    constexpr int kValueLeft = 132;
    auto valueLabel = [&](const char *name, const QString &text, int y) {
        auto *label = new TGroundedLabel(text, sensors);
        label->setObjectName(QLatin1String(name));
        label->setFont(valueFont);
        // A palette, not a style sheet: these labels change ten times a second, and a style
        // sheet sends every repaint through the slower style-sheet style.
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Rgb(0x004080));
        label->setPalette(palette);
        // A fixed size: a new text then asks no layout pass of the group box. It draws the
        // group box's picture under it, so a new text does not repaint the group box.
        label->move(kValueLeft, y);
        label->setFixedSize(100, 28);
        return label;
    };
    auto caption = [](QWidget *parent, const QString &text, int x, int y, int width = 128) {
        auto *label = new QLabel(text, parent);
        label->setGeometry(x, y, width, 16);
        return label;
    };
    // The captions end where the readings begin: a caption under a reading would be drawn
    // again with every reading.
    constexpr int kSensorCaptionWidth = kValueLeft - 12;
    caption(sensors, QStringLiteral("Barrel Angle"), 12, 26, kSensorCaptionWidth);
    lblAngle = valueLabel("lblAngle", QStringLiteral("0°"), 18);
    caption(sensors, QStringLiteral("Analogue Input"), 12, 58, kSensorCaptionWidth);
    lblAdc = valueLabel("lblAdc", QStringLiteral("0"), 50);
    lblGearlbl = caption(sensors, QStringLiteral("Gear Position"), 12, 90, kSensorCaptionWidth);
    lblGearlbl->setObjectName(QStringLiteral("lblGearlbl"));
    lblGear = valueLabel("lblGear", QStringLiteral("0"), 82);

    auto *indicators = new TCachedGroupBox(QStringLiteral("Indicators"), dash);
    indicators->setObjectName(QStringLiteral("GroupBox4"));
    indicators->setGeometry(8, 346, kDashWidth - 16, 290);
    indicators->setAutoFillBackground(true);
    const struct
    {
        const char *caption;
        const char *captionName;
        const char *lampName;
        TLedLamp **lamp;
        int top;
    } lamps[] = {
        {"Upshift Trigger Active", "lblUpshiftLed", "UpshiftLed", &UpshiftLed, 32},
        {"Engine Cut", "lblEngineCutLed", "EngineCutLed", &EngineCutLed, 62},
        {"Downshift Trigger Active", "lblDownshiftLed", "DownshiftLed", &DownshiftLed, 92},
        {"Throttle Blip", "lblBlipLed", "BlipLed", &BlipLed, 122},
    };
    for (const auto &l : lamps) {
        QLabel *label = caption(indicators, QLatin1String(l.caption), 12, l.top + 3);
        label->setObjectName(QLatin1String(l.captionName));
        auto *lamp = new TLedLamp(indicators);
        lamp->setObjectName(QLatin1String(l.lampName));
        lamp->setGeometry(144, l.top, 22, 22);
        lamp->SetFalseColor(Rgb(0x004000));
        lamp->SetBlink(false);
        lamp->SetLEDStyle(LEDSqLarge);
        *l.lamp = lamp;
        if (l.lamp == &BlipLed)
            lblBlipLed = label;
        if (l.lamp == &DownshiftLed)
            lblDownshiftLed = label;
    }
    lblIgnoreLed = caption(indicators, QStringLiteral("Ignore"), 12, 158);
    lblIgnoreLed->setObjectName(QStringLiteral("lblIgnoreLed"));
    lblStatus = caption(indicators, QStringLiteral("00"), 144, 158);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));

    auto *logo = new QLabel(indicators);
    logo->setObjectName(QStringLiteral("Image1"));
    logo->setPixmap(QPixmap(QStringLiteral(":/images/logo.png")));
    logo->setAlignment(Qt::AlignCenter);
    // The wordmark is drawn for a dark ground, as on the splash and About windows.
    logo->setStyleSheet(QStringLiteral("background: black;"));
    logo->setGeometry((indicators->width() - 165) / 2, 196, 165, 45);
}

void TfrmMain::FitToScreen(const QSize &available)
{
    // Room for the window manager's title bar and borders, which are not known before the
    // window is shown.
    const QSize frame(2 * kWindowBorder,
                      std::max(style()->pixelMetric(QStyle::PM_TitleBarHeight), kMinTitleBar)
                          + 2 * kWindowBorder);
    const QSize whole(kClientWidth, kClientHeight - kStatusBarHeight);
    const QSize room
        = available - frame - QSize(0, menuBar()->sizeHint().height() + kStatusBarHeight);
    const QSize shown = whole.boundedTo(room).expandedTo(QSize(kMinClientSide, kMinClientSide));
    scrClient->setFixedSize(shown);
    // The status bar spans the window, as wide as what is shown of the client.
    pnlStatusBar->setFixedSize(shown.width(), kStatusBarHeight);
    // The window takes its new size now, not after it has been shown at the old one.
    centralWidget()->layout()->activate();
    centralWidget()->updateGeometry();
    layout()->activate();
}

void TfrmMain::FitToCurrentScreen()
{
    QScreen *shownOn = screen();
    if (!shownOn)
        return;
    FitToScreen(shownOn->availableGeometry().size());
    // A panel moved or a scale factor changed while the program runs.
    connect(shownOn, &QScreen::availableGeometryChanged, this, &TfrmMain::FitToCurrentScreen,
            Qt::UniqueConnection);
}

void TfrmMain::showEvent(QShowEvent *event)
{
    FitToCurrentScreen();
    if (QWindow *window = windowHandle())
        connect(window, &QWindow::screenChanged, this, &TfrmMain::FitToCurrentScreen,
                Qt::UniqueConnection);
    QMainWindow::showEvent(event);
    // A restore from the task bar is a spontaneous show and must not restart the link.
    if (!event->spontaneous())
        FormShow();
}

void TfrmMain::FormShow()
{
    connect(BarrelGauge, &TCompassRange::OnSetPosition, this, &TfrmMain::OnSetPosition,
            Qt::UniqueConnection);
    // The store gives "COM1" when it holds no port; a value it holds, even an empty one, is the
    // user's and stays until another port is chosen.
    CommPortName = env_.ReadStoredPort ? env_.ReadStoredPort() : QStringLiteral("COM1");
    RestartLink();
    Help2->setVisible(QFileInfo::exists(HelpFile));
    if (aux_.Debug && !env_.Arguments.isEmpty())
        aux_.Debug->show();
    loadDefaults();
    SettingsChanged = false;
    NoteSettingsBaseline();
    move(0, 0);
}

void TfrmMain::RestartLink()
{
    SetConnected(false);
    CommPort->ClosePort();
    SetLinkControlsEnabled(false);
    CommPort->SetPortName(CommPortName);
    CommPort->OpenPort();
    PortStored = !env_.WriteStoredPort || env_.WriteStoredPort(CommPortName);
    ShowPortProblem();
    tmrReopen->start();
}

void TfrmMain::SetLinkControlsEnabled(bool enabled)
{
    btnCapture->setEnabled(enabled);
    UploadAllSettingsToEcu1->setEnabled(enabled);
    DownloadAllSettingsToECU1->setEnabled(enabled);
}

void TfrmMain::SetConnected(bool connected)
{
    // The link back may be to another controller, or to one changed meanwhile: a comparison
    // with the one before would offer its values as this one's.
    if (connected && !Connected && frmCompare && Compare.CanWrite && !Compare.Reading)
        frmCompare->hide();
    Connected = connected;
    pnlStatusBar->SetPanelText(0, connected ? kConnectedText : kDisconnectedText);
    pnlStatusBar->update();
    if (LiveData)
        LiveData->LinkChanged(connected);
}

void TfrmMain::Communications1Click()
{
    if (!aux_.Comms)
        return;
    if (trackedPrompts_->Track([&] { return aux_.Comms->Execute(CommPortName); }) != 1)
        return;
    // The same port restarts the link only when it is not open (tested after the dialog: the
    // port may have come back meanwhile); otherwise the link is not interrupted.
    if (aux_.Comms->SelectedPort != CommPortName) {
        CommPortName = aux_.Comms->SelectedPort;
        RestartLink();
        // A settings store that cannot be written (a read-only home, a locked file) would bring
        // the old port back at the next start without a word.
        if (!PortStored)
            Ask(TPrompts::Warning,
                QStringLiteral(
                    "Unable to save the port setting: %1 is used until Orbanel is closed")
                    .arg(CommPortName),
                TPrompts::Ok);
    } else if (!CommPort->IsOpen()) {
        RestartLink();
    }
}

void TfrmMain::About1Click()
{
    if (aux_.About)
        trackedPrompts_->Track([&] { return aux_.About->exec(); });
}

QString TfrmMain::LogsFolder() const
{
    return ChooseLogsFolder(ProfilesFolder, env_.UserDataFolder);
}

QString TfrmMain::BackupsFolder() const
{
    return ChooseBackupsFolder(ProfilesFolder, env_.UserDataFolder);
}

void TfrmMain::Help2Click()
{
    if (!QFileInfo::exists(HelpFile) || !env_.OpenDocument)
        return;
    // A desktop with no program for the manual's type opens nothing; F1 must not just do nothing.
    if (!env_.OpenDocument(HelpFile))
        Ask(TPrompts::Warning,
            QStringLiteral("Unable to open the help file %1 - no program to show it is set up.")
                .arg(QDir::toNativeSeparators(HelpFile)),
            TPrompts::Ok);
}

void TfrmMain::Exit1Click()
{
    close();
}

bool TfrmMain::FormCloseQuery()
{
    // Quitting would cut a transfer short: a write would leave the controller with part of the
    // settings. The save question's nested loop may start one (a Yes to the link's question).
    return !TransferBusy() && SavePrompt() && !TransferBusy();
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    if (env_.Terminate)
        env_.Terminate();
}

void TfrmMain::pnlStatusBarDrawPanel(QPainter &painter, int panel, const QRect &rect) const
{
    if (panel != 0)
        return;
    const QColor brush = Connected ? QColor(0x00, 0xFF, 0x00) : QColor(0xFF, 0x00, 0x00);
    const QString text = pnlStatusBar->PanelAt(0).Text;
    const QFontMetrics metrics(painter.font());
    const int x
        = rect.left() + (pnlStatusBar->PanelAt(0).Width - metrics.horizontalAdvance(text)) / 2;
    const int y = rect.top() + (pnlStatusBar->height() - metrics.height()) / 4;
    painter.fillRect(rect, brush);
    painter.setClipRect(rect);
    painter.setPen(pnlStatusBar->palette().color(QPalette::WindowText));
    painter.drawText(QPoint(x, y + metrics.ascent()), text);
}

QString TfrmMain::PanelText(int panel) const
{
    return pnlStatusBar->PanelAt(panel).Text;
}

void TfrmMain::OnSetPosition()
{
    GearDisplay->update();
}

// ---- Link supervision ------------------------------------------------------------------------

void TfrmMain::QueueMessage(const TQV3318MessageRec &message)
{
    TxQueue.append(QString::fromStdString(Codec.Encode(message)));
}

void TfrmMain::QueueAll(const std::vector<TQV3318MessageRec> &messages)
{
    for (const TQV3318MessageRec &m : messages)
        QueueMessage(m);
}

void TfrmMain::tmrStatusTimer()
{
    const bool transmit = !aux_.Debug || aux_.Debug->TxEnabled();
    const bool idle = TxQueue.isEmpty();
    // A queued line leaves the queue whether or not it was sent.
    const std::string line = TakeStatusLine(TxQueue, Connected, Codec);
    const bool sent = transmit && CommPort->SendText(line);
    LinkDemand = WithLineTaken(LinkDemand, line, sent);
    if (!idle && !sent) {
        LiveData->LineNotSent();
        TransferTxOff = TransferTxOff || !transmit;
    }
    if (idle && sent && Connected)
        ++StatusPollsSent;
    if (idle && Connected)
        StatusPollsUnanswered = std::min(StatusPollsUnanswered + 1, kStaleStatusPolls);
    if (!idle && sent && IsSettingsRequest(line)
        && (tmrUpDownAll->isActive() || TransferLinesLeft > 0))
        TransferAnswers.Asked(line);
    if (!idle && TransferLinesLeft > 0 && --TransferLinesLeft == 0) {
        // A read waits for its answers, a write for a sign that the controller was still there to
        // take its lines (one that froze under them would pass for written), unless the link is
        // down and none will come, or the transfer has failed already.
        if (Connected && !LiveData->TransferBroken())
            TransferEndsAtReply = StatusPollsSent + 1;
        else
            EndTransfer();
    }
    if (idle && tmrStatus->interval() != kStatusPollMs)
        tmrStatus->setInterval(kStatusPollMs);
    if (transmit && line.size() >= 2) {
        const QString text = QString::fromStdString(line.substr(1, line.size() - 2));
        LogLine(text.startsWith(QLatin1Char('S')) ? lkStatus : lkOther, QStringLiteral("Tx"), text);
    }
}

void TfrmMain::ReceiveData(TSerialPortDriver *, const char *data, quint32 size)
{
    // A question opened by a decoded message runs a nested event loop, in which the driver
    // delivers newer bytes. Every call takes its bytes from the one shared queue, front first:
    // the nested call goes on with what the outer one had not reached, so the lines are handled
    // in the order they came. Handled out of order, the older ones left behind the question
    // would come after newer ones: a late answer taken once the wait for it had ended, a stale
    // reading logged at the answer's time.
    RxPending.append(data, size);
    while (RxTaken < RxPending.size()) {
        const char c = RxPending[RxTaken++];
        Codec.Receive(std::string_view(&c, 1));
    }
    RxPending.clear();
    RxTaken = 0;
}

void TfrmMain::LogLine(TLogKind kind, const QString &direction, const QString &text)
{
    if (aux_.Debug)
        aux_.Debug->LogLine(kind == lkStatus ? TfrmDebug::lkStatus : TfrmDebug::lkOther, direction,
                            text, LastStatusLine);
}

void TfrmMain::AskUploadQuestion()
{
    UploadQuestionWaits = false;
    const bool progressShown = aux_.Progress && aux_.Progress->isVisible();
    if (UploadPromptOpen || progressShown || !Connected)
        return;
    // Over another prompt, a Yes would replace the settings that prompt's answer then acts on:
    // the save question of Exit would save the controller's values into the profile.
    if (trackedPrompts_->AnyOpen()) {
        UploadQuestionWaits = true;
        return;
    }
    UploadPromptOpen = true;
    const auto answer
        = Ask(TPrompts::Confirmation, QStringLiteral("ECU Connected - upload values from ECU?"),
              TPrompts::Yes | TPrompts::No);
    // The link may have dropped while the question was open.
    if (answer == TPrompts::Yes && Connected)
        UploadAllSettingsToEcu1Click();
    UploadPromptOpen = false;
}

void TfrmMain::DispatchMessage(const TQV3318MessageRec &message)
{
    // Taken now: a nested loop below decodes other lines.
    const std::string decoded = Codec.DecodedLine();
    const QString line = QString::fromStdString(decoded);
    if (message.MsgType == mtVersion) {
        LogLine(lkStatus, QStringLiteral("Rx"), line);
        pnlStatusBar->SetPanelText(
            1, QStringLiteral("ECU Version %1").arg(QString::fromStdString(message.VersionText)));
        EcuVersionMajor = message.VersionMajor;
        EcuVersionMinor = message.VersionMinor;
    }

    const bool linkCameBack = !Connected;
    if (linkCameBack)
        SetConnected(true);
    // The watchdog counts from this reply, also while the question below is open: it still held
    // the count that lost the link, and its next tick would drop the link again under the
    // question, and a Yes would then read nothing.
    LinkMissedTicks = 0;
    // A status reply is recorded when it comes, even when the question below holds up its
    // display: replies received while the question is open are recorded meanwhile, after it.
    // One that line noise damaged is shown as ever but not recorded: a spike in the log would
    // pass for a gear that left its range.
    if (StatusReplyPlausible(decoded, message))
        LiveData->StatusReceived(message);
    // A comparison's claim on this reply is settled as it came: under the question below, later
    // replies may end the comparison's wait for its late answers, and this one, a late answer
    // itself, would then pass for the tool's own settings.
    const bool compared = CaptureCompareReply(message, line);
    if (linkCameBack)
        AskUploadQuestion();

    SetLinkControlsEnabled(true);
    LinkMissedTicks = 0;
    // A comparison read fills its own model; the tool's settings and display stay as they are.
    if (compared)
        return;

    switch (message.MsgType) {
    case mtStatus: {
        // Never more replies than polls since the transfer began: a reply to a poll sent before
        // it belongs to none of its own.
        if (StatusRepliesSeen < StatusPollsSent)
            ++StatusRepliesSeen;
        StatusPollsUnanswered = 0;
        if (TransferEndsAtReply >= 0 && StatusRepliesSeen >= TransferEndsAtReply)
            EndTransfer();
        LogLine(lkStatus, QStringLiteral("Rx"), line);
        GearDisplay->SetDigit(GearLetterOf(message.Gear));
        BarrelGauge->SetPosition(static_cast<float>(message.Adc * 360.0 / 1023.0));
        UpshiftLed->SetValue((message.StatusBits & 0x01) != 0);
        DownshiftLed->SetValue((message.StatusBits & 0x02) != 0);
        EngineCutLed->SetValue((message.StatusBits & 0x04) != 0);
        BlipLed->SetValue((message.StatusBits & 0x08) != 0);
        lblStatus->setText(Latin1(HexByte(message.StatusBits)));
        lblGear->setText(Latin1(ThreeDigits(static_cast<int>(message.Adc))));
        lblAngle->setText(Latin1(ThreeDigits(RoundHalfEven(message.Adc / 1023.0 * 360.0)))
                          + QChar(0x00B0));
        if (aux_.Debug)
            aux_.Debug->ShowBits(message.StatusBits);
        lblAdc->setText(Latin1(ThreeDigits(static_cast<int>(message.AnalogueInput))));
        break;
    }
    case mtZData:
        LogLine(lkStatus, QStringLiteral("Rx"), line);
        break;
    case mtParams:
        LogLine(lkOther, QStringLiteral("Rx"), line);
        ApplyParams(Ecu, message);
        RefreshSettings();
        break;
    case mtRange: {
        LogLine(lkOther, QStringLiteral("Rx"), line);
        if (message.Upper == 0)
            break;
        // The dial holds slots 0..10; a slot number beyond them still enters the model but leaves
        // the dial as it is: raising its count would show stale ranges in the slots between.
        const int slot = message.Index;
        const bool onDial = slot < kPositionSlots;
        if (onDial)
            BarrelGauge->SetRangeCount(slot + 1);
        if (slot == 0)
            SettingsChanged = true;
        ApplyRange(Ecu, message);
        if (onDial)
            BarrelGauge->SetRange(slot, Rgb(GearColourOf(message.Gear)),
                                  static_cast<float>(message.Lower * 360.0 / 1023.0),
                                  static_cast<float>(message.Upper * 360.0 / 1023.0));
        RefreshSettings();
        break;
    }
    case mtSparkDelay:
        LogLine(lkOther, QStringLiteral("Rx"), line);
        ApplySparkDelay(Ecu, message);
        RefreshSettings();
        break;
    case mtFeedback:
        ApplyFeedback(Ecu, message);
        RefreshSettings();
        break;
    default:
        break;
    }
    if (TransferReading && (tmrUpDownAll->isActive() || TransferLinesLeft >= 0)
        && SettingsReplyComplete(decoded))
        TransferAnswers.Answered(message);
}

void TfrmMain::tmrLinkTimer()
{
    if (LinkTick(LinkMissedTicks, std::exchange(LinkDemand, TLinkDemand::NoLine)))
        LinkLost();
}

void TfrmMain::LinkLost()
{
    SetConnected(false);
    btnCapture->setEnabled(false);
    // A transfer waiting for its answers gets no more.
    if (TransferEndsAtReply >= 0)
        EndTransfer();
}
