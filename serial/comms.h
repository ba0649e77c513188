#pragma once

#include "comPortEnumerator.h"

#include <QDialog>
#include <QString>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

// The modal port dialog "Serial Communications": lists the ports present now by readable name,
// preselects the current one and hands back the short name of the choice in SelectedPort. The
// main window creates it once and keeps it for the whole run.
class TfrmComms : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kResultOk = 1;
    static constexpr int kResultCancel = 2;

    explicit TfrmComms(QWidget *parent = nullptr);

    // Fills the list, preselects CurrentPort (ignoring case) and runs the dialog modally;
    // 1 for OK, 2 for Cancel, Esc or closing the window.
    int Execute(const QString &CurrentPort);

    // Test seam: replaces the platform enumeration that Execute runs.
    void SetEnumerator(std::function<void(TComPortEnumerator &)> source);

    QString SelectedPort;
    TComPortEnumerator Enumerator;

    QLabel *Label1 = nullptr;
    QComboBox *cmbSerialPort = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

private:
    void cmbSerialPortChange(int index);

    std::function<void(TComPortEnumerator &)> enumerate_;
};
