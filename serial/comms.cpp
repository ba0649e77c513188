#include "comms.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr int kClientWidth = 304;
constexpr int kClientHeight = 144;
constexpr int kFontPixels = 11;

} // namespace

TfrmComms::TfrmComms(QWidget *parent)
    : QDialog(parent), enumerate_([](TComPortEnumerator &enumerator) { enumerator.Enumerate(); })
{
    setObjectName(QStringLiteral("frmComms"));
    setWindowTitle(QStringLiteral("Serial Communications"));
    // Where Tahoma is missing, a face of similar width rather than whatever the system picks.
    QFont font(QStringLiteral("Tahoma"));
    font.setFamilies(
        {QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setPixelSize(kFontPixels);
    setFont(font);
    setFixedSize(kClientWidth, kClientHeight);

    Label1 = new QLabel(QStringLiteral("Serial Port"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(24, 21, 49, 13);
    // The place fits the caption in Tahoma; in another face the label grows to show it whole.
    Label1->resize(Label1->size().expandedTo(Label1->sizeHint()));

    // A drop-down list: the user picks a present port and cannot type a name.
    cmbSerialPort = new QComboBox(this);
    cmbSerialPort->setObjectName(QStringLiteral("cmbSerialPort"));
    cmbSerialPort->setEditable(false);
    cmbSerialPort->setGeometry(24, 40, 249, 21);

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(24, 88, 75, 25);
    btnOK->setDefault(true);

    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(198, 88, 75, 25);

    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    // Only the user's choice counts; filling and preselecting the list do not change it.
    connect(cmbSerialPort, &QComboBox::activated, this, &TfrmComms::cmbSerialPortChange);
}

void TfrmComms::SetEnumerator(std::function<void(TComPortEnumerator &)> source)
{
    enumerate_ = std::move(source);
}

void TfrmComms::cmbSerialPortChange(int index)
{
    SelectedPort = Enumerator.GetPortName(index);
}

int TfrmComms::Execute(const QString &CurrentPort)
{
    cmbSerialPort->clear();
    if (enumerate_)
        enumerate_(Enumerator);
    int selected = -1;
    for (int i = 0; i < Enumerator.PortCount(); ++i) {
        cmbSerialPort->addItem(Enumerator.GetFriendlyName(i));
        // A port stored under its plain name before the list knew its stable one is still it.
        if (Enumerator.IsKnownAs(i, CurrentPort))
            selected = i;
    }
    // Adding the first item selects it; a current port that is not present selects nothing.
    cmbSerialPort->setCurrentIndex(selected);
    SelectedPort = CurrentPort; // OK without a new choice keeps the current port

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    return exec() == QDialog::Accepted ? kResultOk : kResultCancel;
}
