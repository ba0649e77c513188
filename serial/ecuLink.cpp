#include "ecuLink.h"

#include "linkRules.h"
#include "serialDriver.h"

#include <QTimer>

std::string TakeStatusLine(QStringList &queue, bool connected, const TQV3318EncDec &codec)
{
    if (!queue.isEmpty())
        return queue.takeFirst().toStdString();
    TQV3318MessageRec poll;
    poll.MsgType = PollType(connected);
    return codec.Encode(poll);
}

void SetControllerLine(TSerialPortDriver &port)
{
    port.SetBaudRate(br19200);
    port.SetDataBits(db8BITS);
    port.SetStopBits(sb1BITS);
    port.SetParity(ptNONE);
    port.SetHwFlow(hfNONE);
    port.SetSwFlow(sfNONE);
}

TEcuLink::TEcuLink(QObject *parent) : QObject(parent)
{
    CommPort = new TSerialPortDriver(this);
    SetControllerLine(*CommPort);
    connect(CommPort, &TSerialPortDriver::OnReceiveData, this, &TEcuLink::ReceiveData);
    Codec.OnMessage = [this](const TQV3318MessageRec &message) { DispatchMessage(message); };

    tmrStatus = new QTimer(this);
    tmrStatus->setInterval(kStatusFirstTickMs);
    connect(tmrStatus, &QTimer::timeout, this, &TEcuLink::tmrStatusTimer);
    tmrLink = new QTimer(this);
    tmrLink->setInterval(kLinkTickMs);
    connect(tmrLink, &QTimer::timeout, this, &TEcuLink::tmrLinkTimer);
    tmrUpDownAll = new QTimer(this);
    tmrUpDownAll->setInterval(kTransferTickMs);
    connect(tmrUpDownAll, &QTimer::timeout, this, &TEcuLink::tmrUpDownAllTimer);
}

TEcuLink::~TEcuLink()
{
    Close();
}

bool TEcuLink::Open(const QString &portName)
{
    Close();
    CommPort->SetPortName(portName);
    if (!CommPort->OpenPort())
        return false;
    Connected = false;
    LinkMissedTicks = 0;
    StatusRequestsSent = 0;
    StatusRepliesReceived = 0;
    tmrStatus->setInterval(kStatusFirstTickMs);
    tmrStatus->start();
    tmrLink->start();
    return true;
}

void TEcuLink::Close()
{
    tmrStatus->stop();
    tmrLink->stop();
    tmrUpDownAll->stop();
    CommPort->ClosePort();
}

bool TEcuLink::IsOpen() const
{
    return CommPort->IsOpen();
}

void TEcuLink::QueueMessage(const TQV3318MessageRec &message)
{
    TxQueue.append(QString::fromStdString(Codec.Encode(message)));
}

bool TEcuLink::StartTransfer(int firstStep)
{
    if (TransferRunning())
        return false;
    UpDownStep = firstStep;
    tmrUpDownAll->start();
    return true;
}

bool TEcuLink::TransferRunning() const
{
    return tmrUpDownAll->isActive();
}

void TEcuLink::tmrStatusTimer()
{
    const bool idle = TxQueue.isEmpty();
    const std::string line = TakeStatusLine(TxQueue, Connected, Codec);
    CommPort->SendText(line);
    if (idle) {
        if (Connected)
            ++StatusRequestsSent;
        if (tmrStatus->interval() != kStatusPollMs)
            tmrStatus->setInterval(kStatusPollMs);
    }
    Q_EMIT LineSent(QString::fromStdString(line));
}

void TEcuLink::tmrLinkTimer()
{
    // Every further tick while down repeats the verdict, as the window's status panel does.
    if (LinkTick(LinkMissedTicks)) {
        Connected = false;
        Q_EMIT LinkLost();
    }
}

void TEcuLink::tmrUpDownAllTimer()
{
    if (UpDownStep == 0) {
        tmrUpDownAll->stop();
        Q_EMIT TransferFinished();
        return;
    }
    if (!TransferStepReady(static_cast<std::size_t>(TxQueue.size())))
        return;
    // A read starts its range list afresh, as the window's gears step does.
    if (UpDownStep == 2)
        Ecu.Ranges.Clear();
    for (const TQV3318MessageRec &m :
         TransferStepLines(UpDownStep, Ecu, GridRowCountFor(Ecu.PositionCount)))
        QueueMessage(m);
    UpDownStep = NextTransferStep(UpDownStep);
}

void TEcuLink::ReceiveData(TSerialPortDriver *, const char *data, quint32 size)
{
    // A receiver may run a nested event loop; the driver's buffer is reused meanwhile.
    const std::string bytes(data, size);
    for (char c : bytes)
        Codec.Receive(std::string_view(&c, 1));
}

void TEcuLink::DispatchMessage(const TQV3318MessageRec &message)
{
    if (message.MsgType == mtVersion) {
        VersionKnown = true;
        EcuVersionMajor = message.VersionMajor;
        EcuVersionMinor = message.VersionMinor;
        EcuVersionText = message.VersionText;
    }
    LinkMissedTicks = 0;
    const bool cameUp = !Connected;
    Connected = true;

    switch (message.MsgType) {
    case mtStatus:
        ++StatusRepliesReceived;
        break;
    case mtParams:
        ApplyParams(Ecu, message);
        break;
    case mtRange:
        ApplyRange(Ecu, message);
        break;
    case mtSparkDelay:
        ApplySparkDelay(Ecu, message);
        break;
    case mtFeedback:
        ApplyFeedback(Ecu, message);
        break;
    default:
        break;
    }
    if (cameUp)
        Q_EMIT LinkUp();
    Q_EMIT MessageReceived(message);
}
