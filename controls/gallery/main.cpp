// Shows every control in each style and state; `--screenshot FILE` saves the window as a PNG.
#include "Display.h"
#include "compassRange.h"
#include "ledLamp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <array>
#include <cstdio>

namespace {

constexpr int kNeedleStepMs = 100;
constexpr float kNeedleStep = 3.0f;
constexpr int kCharacterStepMs = 700;
constexpr float kScreenshotPosition = 75.0f;
constexpr int kDialMaxValue = 360;

struct TBand
{
    QRgb Colour;
    float Low;
    float High;
};

// Gear bands and sampled positions the way the main window shows them.
constexpr std::array<TBand, 6> kBands {{
    {0xFF0000, 10, 40},
    {0xFFFF00, 60, 90},
    {0x00FF00, 120, 150},
    {0x00FFFF, 180, 210},
    {0x0080FF, 240, 270},
    {0xFF00FF, 350, 10}, // low above high: not drawn
}};
constexpr std::array<float, 4> kMarkers {25, 75, 135, 195};

QWidget *DialSection(QWidget *parent, TCompassRange *&dial)
{
    auto *box = new QGroupBox(QStringLiteral("Barrel-angle dial"), parent);
    auto *layout = new QHBoxLayout(box);
    dial = new TCompassRange(box);
    dial->setObjectName(QStringLiteral("BarrelGauge"));
    dial->setFixedSize(TCompassRange::kDefaultSize, TCompassRange::kDefaultSize);
    dial->SetRangeCount(static_cast<int>(kBands.size()));
    for (int i = 0; i < static_cast<int>(kBands.size()); ++i) {
        dial->SetRange(i, QColor(kBands[i].Colour), kBands[i].Low, kBands[i].High);
    }
    dial->SetMarkerCount(static_cast<int>(kMarkers.size()));
    for (int i = 0; i < static_cast<int>(kMarkers.size()); ++i) {
        dial->SetMarker(i, Qt::red, kMarkers[i]);
    }
    layout->addWidget(dial);

    auto *eight = new TCompassRange(box);
    eight->setObjectName(QStringLiteral("dialEightMarks"));
    eight->setFixedSize(160, 160);
    eight->SetMarks(8);
    eight->SetMaxValue(100);
    eight->SetTitle(QStringLiteral("Load"));
    eight->SetUnits(QStringLiteral("%"));
    eight->SetColorNeedle(QColor(0x00C0FF));
    eight->SetPosition(40);
    layout->addWidget(eight);
    return box;
}

QWidget *LampSection(QWidget *parent)
{
    auto *box = new QGroupBox(QStringLiteral("LED lamps"), parent);
    auto *grid = new QGridLayout(box);
    const std::array<const char *, 6> styleNames {"LEDSmall",   "LEDLarge",    "LEDSqSmall",
                                                  "LEDSqLarge", "LEDVertical", "LEDHorizontal"};
    const std::array<const char *, 6> columns {"framed on", "framed off", "framed blinking",
                                               "plain on",  "plain off",  "plain blinking"};
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        grid->addWidget(new QLabel(QLatin1String(columns[c]), box), 0, c + 1);
    }
    for (int s = 0; s < static_cast<int>(styleNames.size()); ++s) {
        grid->addWidget(new QLabel(QLatin1String(styleNames[s]), box), s + 1, 0);
        for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
            auto *lamp = new TLedLamp(box);
            lamp->setObjectName(QStringLiteral("led%1_%2").arg(s).arg(c));
            lamp->SetLEDStyle(static_cast<TLEDStyle>(s));
            lamp->SetBordered(c < 3);
            const int state = c % 3;
            lamp->SetBlink(state == 2);
            lamp->SetValue(state != 1);
            if (s % 2 == 1) {
                lamp->SetTrueColor(Qt::red);
                lamp->SetFalseColor(QColor(0x400000));
            }
            lamp->setFixedSize(lamp->size());
            grid->addWidget(lamp, s + 1, c + 1, Qt::AlignCenter);
        }
    }
    return box;
}

struct TDisplayRow
{
    TDigitStyle Style;
    const char *Name;
    const char *Text;
};

constexpr std::array<TDisplayRow, 5> kDisplayRows {{
    {ds7Seg, "ds7Seg", "0123456789AbCdEF"},
    {ds16Seg, "ds16Seg", "KESTROVA R N 1234"},
    {ds5x7Dot, "ds5x7Dot", "Orbanel 0Aa"},
    {ds5x7Bulb, "ds5x7Bulb", "Gear 5x7"},
    {ds16SegCustom, "ds16SegCustom", ""},
}};

QWidget *DisplaySection(QWidget *parent, std::array<TDisplay *, 5> &shown)
{
    auto *box
        = new QGroupBox(QStringLiteral("Character display (the last one: click to edit)"), parent);
    auto *layout = new QHBoxLayout(box);
    for (int i = 0; i < static_cast<int>(kDisplayRows.size()); ++i) {
        auto *column = new QVBoxLayout;
        auto *display = new TDisplay(box);
        display->setObjectName(QLatin1String(kDisplayRows[i].Name));
        display->setFixedSize(TDisplay::kDefaultWidth * 3 / 4, TDisplay::kDefaultHeight * 3 / 4);
        display->SetSegWidth(11);
        display->SetMargin(8);
        display->SetDigitStyle(kDisplayRows[i].Style);
        display->SetDigit(kDisplayRows[i].Text[0]);
        if (kDisplayRows[i].Style == ds16SegCustom) {
            display->SetCustomDigit(0x8A51);
            display->SetEdit(true);
            display->SetOnColor(QColor(0x00FF00));
            display->SetOffColor(QColor(0x103010));
        }
        if (kDisplayRows[i].Style == ds5x7Bulb) {
            display->SetOnColor(QColor(0xFFC000));
            display->SetOffColor(QColor(0x302000));
        }
        shown[i] = display;
        column->addWidget(display);
        column->addWidget(new QLabel(QLatin1String(kDisplayRows[i].Name), box), 0,
                          Qt::AlignHCenter);
        layout->addLayout(column);
    }
    return box;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Save the window as a PNG and quit."),
                                        QStringLiteral("FILE"));
    parser.addOption(screenshot);
    parser.process(app);

    QWidget window;
    window.setObjectName(QStringLiteral("controlsGallery"));
    window.setWindowTitle(QStringLiteral("Controls gallery"));
    auto *layout = new QVBoxLayout(&window);
    auto *top = new QHBoxLayout;
    TCompassRange *dial = nullptr;
    top->addWidget(DialSection(&window, dial));
    top->addWidget(LampSection(&window));
    layout->addLayout(top);
    std::array<TDisplay *, 5> displays {};
    layout->addWidget(DisplaySection(&window, displays));

    if (parser.isSet(screenshot)) {
        dial->SetPosition(kScreenshotPosition);
        window.show();
        window.adjustSize();
        QApplication::processEvents();
        const QString file = parser.value(screenshot);
        if (!window.grab().save(file, "PNG")) {
            std::fprintf(stderr, "Unable to write %s\n", qPrintable(file));
            return 1;
        }
        return 0;
    }

    QTimer needle(&window);
    QObject::connect(&needle, &QTimer::timeout, dial, [dial] {
        float next = dial->Position() + kNeedleStep;
        if (next >= kDialMaxValue) {
            next = 0;
        }
        dial->SetPosition(next);
    });
    needle.start(kNeedleStepMs);

    int step = 0;
    QTimer characters(&window);
    QObject::connect(&characters, &QTimer::timeout, &window, [&displays, &step] {
        ++step;
        for (int i = 0; i < static_cast<int>(kDisplayRows.size()); ++i) {
            const QByteArray text(kDisplayRows[i].Text);
            if (!text.isEmpty()) {
                displays[i]->SetDigit(text.at(step % text.size()));
            }
        }
    });
    characters.start(kCharacterStepMs);

    window.show();
    return app.exec();
}
