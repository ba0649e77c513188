#include "about.h"

#include "Display.h"
#include "orbanel_version.h"
#include "progress.h"

#include <QFont>
#include <QGuiApplication>
#include <QHideEvent>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include <cstring>
#include <limits>

// The resource initialiser must be named outside any namespace; a static library is only
// linked in where something refers to it.
static void InitAuxResources()
{
    Q_INIT_RESOURCE(auxwindows);
}

namespace {

constexpr int kSmallFontPixels = 11;
constexpr int kLabelFontPixels = 19;
constexpr QRect kImageRect {10, 16, 145, 33};
constexpr QPoint kLabelPos {26, 48};
constexpr int kVersionTop = 80;
constexpr QRect kDisplayRect {49, 120, 66, 97};
constexpr QRect kButtonRect {45, 240, 75, 25};
const QColor kDisplayOffColor(0x26, 0x26, 0x26);
constexpr int kDisplaySegWidth = 7;
constexpr int kDisplayMargin = 3;

QFont SansFont(int pixels)
{
    // Where the original face is missing, the closest in width keeps the caption inside the box.
    QFont font;
    font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial"});
    font.setPixelSize(pixels);
    return font;
}

void MakeWhiteOnBlack(QWidget *widget)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, Qt::white);
    widget->setPalette(pal);
}

} // namespace

TfrmAbout::TfrmAbout(QWidget *parent) : TfrmAbout(BuildProductVersion(), parent) { }

TfrmAbout::TfrmAbout(std::optional<TProductVersion> productVersion, QWidget *parent)
    : QDialog(parent), ProductVersion(productVersion)
{
    InitAuxResources();
    setObjectName("frmAbout");
    setWindowTitle("About");
    setFont(SansFont(kSmallFontPixels));
    setFixedSize(kClientWidth, kClientHeight);
    MakeWhiteOnBlack(this);
    setAutoFillBackground(true);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(kImageRect);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(QPixmap(":/images/logo.png"));

    Label1 = new QLabel("Control Panel", this);
    Label1->setObjectName("Label1");
    Label1->setFont(SansFont(kLabelFontPixels));
    Label1->move(kLabelPos);
    Label1->adjustSize();

    lblVersion = new QLabel("v1.1.1.1", this);
    lblVersion->setObjectName("lblVersion");
    lblVersion->setAlignment(Qt::AlignCenter);
    lblVersion->move(0, kVersionTop);

    Button1 = new QPushButton("OK", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(kButtonRect);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    tmrSplash = new QTimer(this);
    tmrSplash->setObjectName("tmrSplash");
    tmrSplash->setInterval(kAnimationMs);
    connect(tmrSplash, &QTimer::timeout, this, &TfrmAbout::AnimationTick);

    FormCreate();
}

std::optional<TProductVersion> TfrmAbout::BuildProductVersion()
{
    constexpr long long kWordMax = std::numeric_limits<quint16>::max();
    const long long parts[] = {ORBANEL_VERSION_MAJOR, ORBANEL_VERSION_MINOR, ORBANEL_VERSION_PATCH,
                               ORBANEL_VERSION_TWEAK};
    for (long long part : parts) {
        if (part < 0 || part > kWordMax) {
            return std::nullopt;
        }
    }
    return TProductVersion {static_cast<quint16>(parts[0]), static_cast<quint16>(parts[1]),
                            static_cast<quint16>(parts[2]), static_cast<quint16>(parts[3])};
}

void TfrmAbout::FormCreate()
{
    AboutDisplay = new TDisplay(this);
    AboutDisplay->setObjectName("AboutDisplay");
    AboutDisplay->setGeometry(kDisplayRect);
    AboutDisplay->SetCustomDigit(0);
    AboutDisplay->SetDigit(kAnimationText[1]);
    AboutDisplay->SetOffColor(kDisplayOffColor);
    AboutDisplay->SetSegWidth(kDisplaySegWidth);
    AboutDisplay->SetMargin(kDisplayMargin);
    AboutDisplay->SetDigitStyle(ds16Seg);
    AboutDisplay->SetPenOnColor(Qt::black);
    AboutDisplay->SetPenOffColor(Qt::black);

    lblVersion->setText(GetVersion());
    lblVersion->adjustSize();
    // Centred by its own width, so an empty text leaves nothing to see.
    lblVersion->move((width() - lblVersion->width()) / 2, kVersionTop);
}

QString TfrmAbout::GetVersion()
{
    if (!ProductVersion) {
        return {};
    }
    VersionMajor = ProductVersion->Major;
    VersionMinor = ProductVersion->Minor;
    return QString::asprintf("v %d.%d.%d.%d", ProductVersion->Major, ProductVersion->Minor,
                             ProductVersion->Release, ProductVersion->Build);
}

void TfrmAbout::AnimationTick()
{
    const int length = static_cast<int>(std::strlen(kAnimationText));
    ++tmrSplashTag;
    // The step after the text shows code 0, which the display draws as a dash.
    AboutDisplay->SetDigit(tmrSplashTag <= length ? kAnimationText[tmrSplashTag - 1] : '\0');
    if (tmrSplashTag > length) {
        tmrSplashTag = 0;
    }
}

void TfrmAbout::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!Centred) {
        // Placed once, like a window that opens in the middle of the screen.
        Centred = true;
        const QScreen *scr = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
        if (scr != nullptr) {
            move(CentredTopLeft(scr->geometry(), frameGeometry().size()));
        }
    }
    tmrSplash->start();
}

void TfrmAbout::hideEvent(QHideEvent *event)
{
    tmrSplash->stop();
    QDialog::hideEvent(event);
}
