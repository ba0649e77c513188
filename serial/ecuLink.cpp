#include "ecuLink.h"

#include "linkRules.h"
#include "serialDriver.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <array>
#include <charconv>

namespace {

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// The body length of a reply of this type as the controller sends it, taken from the encoder so
// the two cannot disagree: the letter and every payload field, without the line start and end.
// Worked out once: every status reply is measured against it.
std::size_t FullReplyLength(std::size_t type)
{
    static const std::array<std::size_t, kMessageTypeCount> lengths = [] {
        std::array<std::size_t, kMessageTypeCount> all {};
        for (std::size_t t = 0; t < all.size(); ++t) {
            TQV3318MessageRec message;
            message.MsgType = static_cast<std::uint8_t>(t);
            all[t] = TQV3318EncDec::EncodeReply(message).size() - 2;
        }
        return all;
    }();
    return type < lengths.size() ? lengths[type] : 0;
}

// The reply type and slot a range or cut duration request line ("@R03\n") asks for.
bool RequestedSlot(const std::string &line, std::pair<std::uint8_t, std::uint8_t> &slot)
{
    constexpr std::size_t kSlotAt = 2; // after the line start and the letter
    constexpr std::size_t kSlotDigits = 2;
    if (line.size() < kSlotAt + kSlotDigits || line[0] != kLineStart)
        return false;
    const char letter = line[1];
    if (letter != MessageLetters[mtRangeRequest] && letter != MessageLetters[mtSparkDelayRequest])
        return false;
    unsigned value = 0;
    const char *first = line.data() + kSlotAt;
    const auto [end, error] = std::from_chars(first, first + kSlotDigits, value, 16);
    if (error != std::errc {} || end != first + kSlotDigits)
        return false;
    slot = {letter == MessageLetters[mtRangeRequest] ? mtRange : mtSparkDelay,
            static_cast<std::uint8_t>(value)};
    return true;
}

} // namespace

bool ReplyComplete(std::string_view line)
{
    if (line.empty())
        return false;
    const std::size_t type = MessageLetters.find(line.front());
    if (type == std::string_view::npos)
        return false;
    return line.size() == FullReplyLength(type)
        && std::all_of(line.begin() + 1, line.end(), IsHexDigit);
}

bool SettingsReplyComplete(std::string_view line)
{
    return !line.empty() && IsSettingsMessage(MessageLetters.find(line.front()))
        && ReplyComplete(line);
}

bool IsSettingsRequest(std::string_view line)
{
    if (line.size() < 2 || line.front() != kLineStart)
        return false;
    const std::size_t type = MessageLetters.find(line[1]);
    return type == mtParamsRequest || type == mtFeedbackRequest || type == mtRangeRequest
        || type == mtSparkDelayRequest;
}

void TReadAnswers::Clear()
{
    asked_ = TSettingsKnown::Nothing();
    answered_ = TSettingsKnown::Nothing();
}

void TReadAnswers::Asked(const std::string &line)
{
    Note(asked_, line);
}

bool TReadAnswers::WasAsked(const std::string &line) const
{
    TSettingsKnown one = TSettingsKnown::Nothing();
    return Note(one, line) && Within(one, asked_);
}

bool TReadAnswers::Within(const TSettingsKnown &part, const TSettingsKnown &whole)
{
    return (!part.Params || whole.Params) && (!part.Feedback || whole.Feedback)
        && (part.RangeSlots & ~whole.RangeSlots).none()
        && (part.SparkDelays & ~whole.SparkDelays).none();
}

bool TReadAnswers::Note(TSettingsKnown &known, const std::string &line)
{
    if (!IsSettingsRequest(line))
        return false;
    const std::size_t type = MessageLetters.find(line[1]);
    if (type == mtParamsRequest)
        known.Params = true;
    else if (type == mtFeedbackRequest)
        known.Feedback = true;
    else if (std::pair<std::uint8_t, std::uint8_t> slot; RequestedSlot(line, slot)) {
        if (slot.first == mtRange && slot.second < kRangeSlots)
            known.RangeSlots.set(slot.second);
        else if (slot.first == mtSparkDelay && slot.second < kPositionSlots)
            known.SparkDelays.set(slot.second);
        else
            return false;
    } else
        return false;
    return true;
}

void TReadAnswers::Answered(const TQV3318MessageRec &message)
{
    answered_.NoteReceived(message);
}

bool TReadAnswers::Complete() const
{
    return Within(asked_, answered_);
}

bool StatusReplyPlausible(std::string_view line, const TQV3318MessageRec &message)
{
    return message.MsgType == mtStatus && ReplyComplete(line) && message.Adc <= kAdcMax;
}

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

bool TEcuLink::Open(const QString &portName, int quietMs)
{
    Close();
    CommPort->SetPortName(portName);
    if (!CommPort->OpenPort())
        return false;
    if (quietMs > 0)
        LetLineGoQuiet(quietMs);
    Connected = false;
    LinkMissedTicks = 0;
    StatusRequestsSent = 0;
    StatusRepliesReceived = 0;
    RequestedSlots.clear();
    tmrStatus->setInterval(kStatusFirstTickMs);
    tmrStatus->start();
    tmrLink->start();
    return true;
}

void TEcuLink::LetLineGoQuiet(int quietMs)
{
    QEventLoop loop;
    QTimer quiet;
    quiet.setSingleShot(true);
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&quiet, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(CommPort, &TSerialPortDriver::OnReceiveData, &quiet,
                     [&quiet, quietMs] { quiet.start(quietMs); });
    discarding_ = true;
    quiet.start(quietMs);
    limit.start(quietMs * kQuietLimitFactor);
    loop.exec();
    discarding_ = false;
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
    const bool written = CommPort->SendText(line);
    LinkDemand = WithLineTaken(LinkDemand, line, written);
    if (std::pair<std::uint8_t, std::uint8_t> slot; written && RequestedSlot(line, slot))
        RequestedSlots.push_back(slot);
    if (idle) {
        if (Connected)
            ++StatusRequestsSent;
        if (tmrStatus->interval() != kStatusPollMs)
            tmrStatus->setInterval(kStatusPollMs);
    }
    Q_EMIT LineSent(QString::fromStdString(line), written);
}

void TEcuLink::tmrLinkTimer()
{
    // Every further tick while down repeats the verdict, as the window's status panel does.
    if (LinkTick(LinkMissedTicks, std::exchange(LinkDemand, TLinkDemand::NoLine))) {
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
    if (discarding_)
        return;
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

    // A damaged settings reply still shows the controller talking, but its values are not taken:
    // whoever asked finds the answer missing.
    if (IsSettingsMessage(message.MsgType) && !TakeSettingsReply(message)) {
        ++RepliesRefused;
        if (cameUp)
            Q_EMIT LinkUp();
        return;
    }

    switch (message.MsgType) {
    case mtStatus:
        // Never more replies than requests: one beyond them answers a poll sent before the
        // link's own, and counted it would end a transfer before its last answers are in.
        if (StatusRepliesReceived < StatusRequestsSent)
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

bool TEcuLink::TakeSettingsReply(const TQV3318MessageRec &message)
{
    if (!SettingsReplyComplete(Codec.DecodedLine()))
        return false;
    if (message.MsgType != mtRange && message.MsgType != mtSparkDelay)
        return true;
    const auto asked = std::find(RequestedSlots.begin(), RequestedSlots.end(),
                                 std::pair {message.MsgType, message.Index});
    if (asked == RequestedSlots.end())
        return false;
    RequestedSlots.erase(asked);
    return true;
}
