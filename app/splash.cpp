#include "splash.h"

#include "progress.h"

#include <QCoreApplication>
#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include <memory>

// See about.cpp: the initialiser has to be named at global scope.
static void InitSplashResources()
{
    Q_INIT_RESOURCE(auxwindows);
}

namespace {

constexpr QRect kImageRect {93, 32, 145, 33};
constexpr QRect kLabelRect {41, 96, 242, 27};
constexpr int kLabelFontPixels = 24;
// The bevel's lit and shaded edges, greys that read as relief on the black face.
const QColor kBevelLight(0x80, 0x80, 0x80);
const QColor kBevelDark(0x30, 0x30, 0x30);

} // namespace

TfrmSplash::TfrmSplash(QWidget *parent, int displayMs)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    InitSplashResources();
    setObjectName("frmSplash");
    setWindowTitle("Splash");
    setFixedSize(kClientWidth, kClientHeight);

    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, Qt::white);
    pal.setColor(QPalette::Light, kBevelLight);
    pal.setColor(QPalette::Dark, kBevelDark);
    setPalette(pal);
    setAutoFillBackground(true);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(rect());
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(kBevelWidth);

    Image1 = new QLabel(Panel1);
    Image1->setObjectName("Image1");
    Image1->setGeometry(kImageRect);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(QPixmap(":/images/logo.png"));

    Label1 = new QLabel(kWebAddress, Panel1);
    Label1->setObjectName("Label1");
    QFont font("Arial");
    font.setPixelSize(kLabelFontPixels);
    Label1->setFont(font);
    Label1->setGeometry(kLabelRect);
    Label1->setAlignment(Qt::AlignCenter);

    tmrSplash = new QTimer(this);
    tmrSplash->setObjectName("tmrSplash");
    tmrSplash->setInterval(displayMs);
    connect(tmrSplash, &QTimer::timeout, this, &TfrmSplash::tmrSplashTimer);
    tmrSplash->start();

    if (const QScreen *scr = QGuiApplication::primaryScreen(); scr != nullptr) {
        move(CentredTopLeft(scr->geometry(), size()));
    }
}

void TfrmSplash::tmrSplashTimer()
{
    tmrSplash->stop();
    Done = true;
}

void ShowSplash(int displayMs)
{
    const auto splash = std::make_unique<TfrmSplash>(nullptr, displayMs);
    splash->show();
    while (!splash->Done) {
        QThread::msleep(kSplashPollMs);
        QCoreApplication::processEvents();
    }
}
