// The main window's hold on the chosen port: it opens the port again while it is not open, and
// tells in the status bar's tip why it is not.

#include "main.h"

#include "linkProblem.h"
#include "serialDriver.h"
#include "statusPanels.h"

#include <QTimer>

namespace {

// A pulled adapter is back within about a second of its re-plug; a failed open costs one
// system call per try.
constexpr int kReopenMs = 1000;

} // namespace

void TfrmMain::CreateReopenTimer()
{
    // Started by RestartLink: before the window is shown no port has been chosen yet.
    tmrReopen = new QTimer(this);
    tmrReopen->setObjectName(QStringLiteral("tmrReopen"));
    tmrReopen->setInterval(kReopenMs);
    connect(tmrReopen, &QTimer::timeout, this, &TfrmMain::tmrReopenTimer);
}

void TfrmMain::tmrReopenTimer()
{
    // Silently: the stored port stays as it is. Once the port is open the polls bring the link up
    // as after any silence of the controller.
    if (!CommPort->IsOpen()) {
        // A port that went away ends the link at once, not at the watchdog's second tick: an
        // adapter moved to another car within a second would otherwise pass for the same
        // controller, with no question and the first car's settings on show.
        if (Connected)
            LinkLost();
        CommPort->SetPortName(CommPortName);
        CommPort->OpenPort();
    }
    ShowPortProblem();
}

void TfrmMain::ShowPortProblem()
{
    QString tip;
    if (!CommPort->IsOpen())
        tip = PortProblemText(CommPort->PortProblem(), CommPortName,
                              CommPort->PortProblem() == ppDenied ? DeviceAccess(CommPortName)
                                                                  : TDeviceAccess {});
    else if (CommPort->Stalled())
        tip = StalledPortText(CommPortName);
    pnlStatusBar->SetPanelToolTip(0, tip);
}
