#include "serialDriver.h"

#include <QMetaMethod>
#include <QPointer>
#include <QSerialPort>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <QFile>

#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#endif

#ifdef Q_OS_LINUX
#include <sys/sysmacros.h>
#endif

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>

namespace {

// Names of the serial devices as the platform's own interface spells them.
const QString kDevicePrefix = QStringLiteral("\\\\.\\");
const QString kComDevicePrefix = QStringLiteral("\\\\.\\COM");

constexpr std::array<quint32, br256000 + 1> kBaudRates
    = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
       14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

constexpr int kBitsPerByte = 10; // start, eight data, stop
// Bounds the loop that moves bytes from the device into the port's buffer in one step.
constexpr int kMaxPullRounds = 64;

// The device name the platform layer opens: the prefix is the Windows form of a device path.
QString PlatformDeviceName(const QString &portName)
{
    if (portName.startsWith(kDevicePrefix))
        return portName.mid(kDevicePrefix.size());
    return portName;
}

// Counts the events being raised, also when a receiver leaves by an exception.
struct RaiseGuard
{
    explicit RaiseGuard(int &depth) : depth_(depth) { ++depth_; }
    ~RaiseGuard() { --depth_; }
    RaiseGuard(const RaiseGuard &) = delete;
    RaiseGuard &operator=(const RaiseGuard &) = delete;
    int &depth_;
};

// Why an open failed, from what the serial layer reported and, where the platform lets us look,
// from the device node itself: the layer reports a missing device, a lock held by another
// program and a refused permission alike on some systems.
#ifdef Q_OS_UNIX
// The device node behind a port name, by the serial layer's own rule: a name without a folder
// lives in /dev.
QByteArray DeviceNodePath(const QString &device)
{
    return QFile::encodeName(
        device.startsWith(QLatin1Char('/')) ? device : QStringLiteral("/dev/") + device);
}
#endif

TPortProblem OpenProblem(const QString &device, QSerialPort::SerialPortError error)
{
#ifdef Q_OS_UNIX
    const QByteArray path = DeviceNodePath(device);
    struct stat info = {};
    if (::stat(path.constData(), &info) != 0)
        return errno == EACCES ? ppDenied : ppMissing;
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES)
        return ppDenied;
    if (!S_ISCHR(info.st_mode))
        return ppNotSerial;
#endif
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return ppMissing;
    case QSerialPort::PermissionError: // with the rights checked above: a lock or exclusive use
    case QSerialPort::OpenError:
        return ppBusy;
    case QSerialPort::UnsupportedOperationError: // a device that takes no line settings
        return ppNotSerial;
    default:
        return ppOther;
    }
}

#ifdef Q_OS_LINUX
// Whether a program holds a lock on the device node at `device` (as this driver and other careful
// programs lock the port they use). The kernel's list of locks tells it without opening the
// device: an open sets the line, and would change its speed under that program.
bool LockedElsewhere(const QString &device)
{
    struct stat info = {};
    if (::stat(DeviceNodePath(device).constData(), &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    char id[64];
    std::snprintf(id, sizeof id, "%02x:%02x:%llu", major(info.st_dev), minor(info.st_dev),
                  static_cast<unsigned long long>(info.st_ino));
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return false;
    // A line: "1: FLOCK  ADVISORY  WRITE 1234 00:1a:4 0 EOF"; one waiting for it has "->" first.
    for (const QByteArray &line : locks.readAll().split('\n'))
        if (line.simplified().split(' ').contains(QByteArray(id)))
            return true;
    return false;
}
#endif

// Whether the device behind an open descriptor is gone (or the line reports an error).
bool HungUp([[maybe_unused]] const QSerialPort &device)
{
#ifdef Q_OS_UNIX
    pollfd line = {static_cast<int>(device.handle()), POLLIN | POLLOUT, 0};
    return ::poll(&line, 1, 0) > 0 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    // Elsewhere the serial layer reports no spurious read or write errors.
    return true;
#endif
}

quint32 SteadyTicks()
{
    using namespace std::chrono;
    return static_cast<quint32>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

quint32 BaudRateOf(TBaudRate rate)
{
    const auto index = static_cast<std::size_t>(rate);
    return index < kBaudRates.size() ? kBaudRates[index] : 0;
}

quint32 PacketTransferTimeAt(quint32 bitsPerSecond, qint32 size)
{
    if (bitsPerSecond == 0 || size <= 0)
        return 0;
    const double ms
        = static_cast<double>(size) / (static_cast<double>(bitsPerSecond) / kBitsPerByte) * 1000.0;
    return static_cast<quint32>(std::nearbyint(ms)); // default rounding mode: ties to even
}

quint32 PacketTransferTime(TBaudRate rate, qint32 size)
{
    return PacketTransferTimeAt(BaudRateOf(rate), size);
}

TSerialPortDriver::TSerialPortDriver(QObject *owner)
    : QObject(owner)
    , portName_(kComDevicePrefix + QString::number(pnCOM2))
    , device_(new QSerialPort(this))
    , pollTimer_(new QTimer(this))
{
    AllocateReceiveBuffer();
    device_->setReadBufferSize(kMaxInQueue);
    pollTimer_->setInterval(pollingDelay_);
    pollTimer_->callOnTimeout(this, [this] { PollTick(0); });
    connect(device_, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { DeviceFailed(error); });
}

TSerialPortDriver::~TSerialPortDriver()
{
    ClosePort();
}

void TSerialPortDriver::SetTickSource(std::function<quint32()> source)
{
    tickSource_ = std::move(source);
}

quint32 TSerialPortDriver::Now() const
{
    return tickSource_ ? tickSource_() : SteadyTicks();
}

// ---- properties ----

void TSerialPortDriver::SetPort(TPortNumber value)
{
    if (IsOpen())
        return;
    port_ = value;
    if (value != pnCustom)
        portName_ = kComDevicePrefix + QString::number(static_cast<int>(value));
}

void TSerialPortDriver::SetPortName(const QString &value)
{
    if (IsOpen())
        return;
    port_ = pnCustom;
    // Only names of the COM form are taken as complete device paths; anything else (also a
    // path that already has the plain prefix) gets the prefix in front.
    portName_ = value.startsWith(kComDevicePrefix) ? value : kDevicePrefix + value;
}

void TSerialPortDriver::ReapplyIfOpen()
{
    // The result is not examined: a refused setting leaves the port open with what it accepted.
    if (IsOpen())
        ApplySettings();
}

void TSerialPortDriver::SetBaudRate(TBaudRate value)
{
    baudRate_ = value;
    if (value != brCustom)
        baudRateValue_ = BaudRateOf(value);
    ReapplyIfOpen();
}

void TSerialPortDriver::SetBaudRateValue(quint32 value)
{
    baudRate_ = brCustom;
    baudRateValue_ = value;
    ReapplyIfOpen();
}

void TSerialPortDriver::SetDataBits(TDataBits value)
{
    dataBits_ = value;
    ReapplyIfOpen();
}

void TSerialPortDriver::SetStopBits(TStopBits value)
{
    stopBits_ = value;
    ReapplyIfOpen();
}

void TSerialPortDriver::SetParity(TParity value)
{
    parity_ = value;
    ReapplyIfOpen();
}

void TSerialPortDriver::SetHwFlow(THwFlowControl value)
{
    hwFlow_ = value;
    ReapplyIfOpen();
}

void TSerialPortDriver::SetSwFlow(TSwFlowControl value)
{
    swFlow_ = value;
    ReapplyIfOpen();
}

void TSerialPortDriver::SetInBufSize(quint32 value)
{
    if (IsOpen())
        return;
    inBufSize_ = std::clamp(value, kMinBufSize, kMaxBufSize);
    AllocateReceiveBuffer();
    SetPacketSize(packetSize_); // the buffer must still hold one packet
}

void TSerialPortDriver::SetOutBufSize(quint32 value)
{
    if (IsOpen())
        return;
    outBufSize_ = std::clamp(value, kMinBufSize, kMaxBufSize);
}

void TSerialPortDriver::SetPacketSize(qint16 value)
{
    if (value <= 0) {
        packetSize_ = -1;
        return;
    }
    // A packet never exceeds the largest input buffer; a larger size is limited to it.
    packetSize_ = static_cast<qint16>(std::min<quint32>(static_cast<quint32>(value), kMaxBufSize));
    if (static_cast<quint32>(packetSize_) > inBufSize_)
        SetInBufSize(static_cast<quint32>(packetSize_));
    // While open InBufSize refuses changes; the receive buffer grows anyway so that one packet
    // always fits in it.
    AllocateReceiveBuffer();
}

void TSerialPortDriver::SetPacketTimeout(qint32 value)
{
    if (value <= 0)
        packetTimeout_ = -1;
    else if (value < pollingDelay_)
        packetTimeout_ = pollingDelay_ + pollingDelay_ * 40 / 100;
    else
        packetTimeout_ = value;
}

void TSerialPortDriver::SetPollingDelay(quint16 value)
{
    value = std::max(value, kMinPollingDelay);
    if (value == pollingDelay_)
        return;
    pollingDelay_ = value;
    pollTimer_->setInterval(value);
    for (QTimer *standIn : standIns_)
        standIn->setInterval(value);
    if (IsOpen())
        pollTimer_->start();
    SetPacketTimeout(packetTimeout_);
}

void TSerialPortDriver::AllocateReceiveBuffer()
{
    const quint32 packet = packetSize_ > 0 ? static_cast<quint32>(packetSize_) : 0;
    const std::size_t size = std::max(inBufSize_, packet);
    if (receiveBuffer_.size() == size)
        return;
    // A receiver changing the sizes while it is being called still reads the old buffer.
    if (raising_ > 0)
        retiredBuffers_.push_back(std::move(receiveBuffer_));
    receiveBuffer_.assign(size, 0);
}

// ---- port ----

bool TSerialPortDriver::IsOpen() const
{
    return device_->isOpen();
}

bool TSerialPortDriver::OpenPort()
{
    if (IsOpen())
        return true;
    const QString device = PlatformDeviceName(portName_);
#ifdef Q_OS_LINUX
    // A port another program holds is left alone. Opened, it would take this program's line
    // settings for a moment at every attempt, and lose its exclusive mode (which a privileged
    // user opens past).
    if (LockedElsewhere(device)) {
        problem_ = ppBusy;
        return false;
    }
#endif
    device_->setPortName(device);
    if (!device_->open(QIODevice::ReadWrite)) {
        problem_ = OpenProblem(device, device_->error());
        ClearDeviceError();
        return false;
    }
#ifdef Q_OS_UNIX
    // The port belongs to one user at a time. The serial layer's own exclusive mode does not
    // hold against a privileged user, so a lock on the open device backs it up.
    if (::flock(static_cast<int>(device_->handle()), LOCK_EX | LOCK_NB) != 0) {
        device_->close();
        ClearDeviceError();
        problem_ = ppBusy;
        return false;
    }
#endif
    ++session_;
    lost_ = false;
    stalled_ = false;
    if (!ApplySettings()) {
        ClosePort();
        problem_ = ppRefused;
        return false;
    }
    problem_ = ppNone;
    packetStartTick_ = kNoTick;
    pollTimer_->start(pollingDelay_);
    return true;
}

void TSerialPortDriver::ClosePort()
{
    if (!IsOpen())
        return;
    pollTimer_->stop();
    device_->close(); // releases the lock with the descriptor
    ClearDeviceError();
    problem_ = ppNone;
}

void TSerialPortDriver::ClearDeviceError()
{
    // Clearing a clear error still sends a signal and looks up the text of "no error"; the
    // driver clears after every operation, many times a second.
    if (device_->error() != QSerialPort::NoError)
        device_->clearError();
}

void TSerialPortDriver::DeviceFailed(int error)
{
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError
        || error == QSerialPort::WriteError)
        NoticeHangUp();
}

void TSerialPortDriver::NoticeHangUp()
{
    if (!IsOpen() || lost_)
        return;
    // The serial layer also reports a read that found nothing to do (a spurious wake-up) as a
    // failure; only a line that hung up is gone.
    if (!HungUp(*device_))
        return;
    // The device went away (a pulled adapter hangs up its port). Its descriptor stays readable
    // for ever, so the port must close, but not from inside the serial layer's own signal: the
    // code that raised it still uses the descriptor. Until the close, sends and receive steps
    // leave the dead line alone.
    lost_ = true;
    QMetaObject::invokeMethod(
        this, [this, session = session_] { DropLostDevice(session); }, Qt::QueuedConnection);
}

void TSerialPortDriver::DropLostDevice(quint64 session)
{
    // The owner may have closed and opened a port again in the meantime.
    if (session != session_ || !IsOpen())
        return;
    ClosePort();
    problem_ = ppLost;
}

bool TSerialPortDriver::LineLost() const
{
    return lost_ && IsOpen();
}

bool TSerialPortDriver::ApplySettings()
{
    if (!IsOpen())
        return false;

    bool accepted = device_->setBaudRate(static_cast<qint32>(baudRateValue_));
    accepted = accepted
        && device_->setDataBits(
            static_cast<QSerialPort::DataBits>(int(QSerialPort::Data5) + int(dataBits_)));
    static constexpr QSerialPort::Parity kParities[]
        = {QSerialPort::NoParity, QSerialPort::OddParity, QSerialPort::EvenParity,
           QSerialPort::MarkParity, QSerialPort::SpaceParity};
    accepted = accepted && device_->setParity(kParities[parity_]);
    static constexpr QSerialPort::StopBits kStopBits[]
        = {QSerialPort::OneStop, QSerialPort::OneAndHalfStop, QSerialPort::TwoStop};
    accepted = accepted && device_->setStopBits(kStopBits[stopBits_]);
    // One flow control at a time; RTS/CTS wins when both are asked for.
    QSerialPort::FlowControl flow = QSerialPort::NoFlowControl;
    if (hwFlow_ == hfRTSCTS)
        flow = QSerialPort::HardwareControl;
    else if (swFlow_ == sfXONXOFF)
        flow = QSerialPort::SoftwareControl;
    accepted = accepted && device_->setFlowControl(flow);
    if (!accepted) {
        ClearDeviceError();
        return false;
    }
    // DTR and RTS are outputs the line may not have (a pseudo-terminal has none); not having
    // them is no refusal of the settings.
    device_->setDataTerminalReady(EnableDTROnOpen);
    if (hwFlow_ != hfRTSCTS)
        device_->setRequestToSend(hwFlow_ == hfNONERTSON);
    ClearDeviceError();
    return PurgeBuffers(true, true);
}

TModemLines TSerialPortDriver::GetModemLines()
{
    if (!IsOpen())
        return 0;
    const QSerialPort::PinoutSignals pins = device_->pinoutSignals();
    if (device_->error() != QSerialPort::NoError) {
        ClearDeviceError();
        return 0;
    }
    TModemLines lines = 0;
    if (pins & QSerialPort::ClearToSendSignal)
        lines |= mlCTS;
    if (pins & QSerialPort::DataSetReadySignal)
        lines |= mlDSR;
    if (pins & QSerialPort::RingIndicatorSignal)
        lines |= mlRing;
    if (pins & QSerialPort::DataCarrierDetectSignal)
        lines |= mlCarrier;
    return lines;
}

bool TSerialPortDriver::PurgeBuffers(bool input, bool output)
{
    if (!IsOpen())
        return false;
    QSerialPort::Directions directions;
    if (input)
        directions |= QSerialPort::Input;
    if (output)
        directions |= QSerialPort::Output;
    bool purged = true;
    if (directions != QSerialPort::Directions())
        purged = device_->clear(directions);
    ClearDeviceError();
    if (purged)
        packetStartTick_ = kNoTick;
    return purged;
}

bool TSerialPortDriver::Stalled() const
{
    return stalled_ && IsOpen() && device_->bytesToWrite() >= stalledQueue_;
}

quint16 TSerialPortDriver::OutFreeSpace()
{
    if (!IsOpen())
        return 0xFFFF;
    const qint64 queued = device_->bytesToWrite();
    // The queue may hold more than OutBufSize only through a caller writing past the free
    // space; that is no free space, not a wrapped-around large one.
    if (queued >= static_cast<qint64>(outBufSize_))
        return 0;
    return static_cast<quint16>(outBufSize_ - static_cast<quint32>(queued));
}

quint32 TSerialPortDriver::SendBufferTimed(const char *data, quint32 size, quint32 timeout)
{
    quint32 total = 0;
    if (!IsOpen() || LineLost() || data == nullptr)
        return 0;
    // A device that takes nothing (a stalled adapter, a radio link out of range, a line held off
    // by flow control) would hold every send for the whole time-out, and the window with it, ten
    // times a second. One send waits; the next wait only for a byte to have left.
    if (stalled_) {
        device_->waitForBytesWritten(0);
        if (Stalled())
            return 0;
        stalled_ = false;
    }
    quint32 idleStart = Now();
    bool timedOut = false;
    while (size > 0 && !LineLost()) {
        const quint16 free = OutFreeSpace();
        if (free > 0) {
            if (CheckLineStatus && GetModemLines() == 0)
                break;
            const qint64 written = device_->write(data, std::min<quint32>(free, size));
            // Pushes the bytes towards the device, waiting at most the write time-out.
            device_->waitForBytesWritten(kWriteTimeoutMs);
            ClearDeviceError();
            if (written > 0) {
                const auto moved = static_cast<quint32>(written);
                total += moved;
                size -= moved;
                data += moved;
                idleStart = Now();
                continue;
            }
        } else {
            device_->waitForBytesWritten(kWriteTimeoutMs);
            ClearDeviceError();
        }
        // The time-out runs from the last write that moved bytes, not from the call.
        if (Now() - idleStart > timeout) {
            timedOut = true;
            break;
        }
    }
    if (timedOut && IsOpen() && !LineLost()) {
        stalled_ = true;
        stalledQueue_ = device_->bytesToWrite();
    }
    // Bytes handed to a device that then failed never leave.
    return LineLost() ? 0 : total;
}

quint32 TSerialPortDriver::SendBuffer(const char *data, quint32 size)
{
    return SendBufferTimed(data, size, OutputTimeout);
}

bool TSerialPortDriver::SendText(std::string_view text)
{
    if (text.empty())
        return true;
    if (text.size() > 0xFFFFFFFFu)
        return false;
    const auto size = static_cast<quint32>(text.size());
    return SendBuffer(text.data(), size) == size;
}

// ---- receive step ----

void TSerialPortDriver::PullPending()
{
    // Bytes that reached the device but not yet the port's buffer (the event loop may not have
    // run since they arrived) are moved now, so a step sees everything queued.
    for (int round = 0; round < kMaxPullRounds && !lost_; ++round) {
#ifdef Q_OS_UNIX
        int pending = 0;
        if (::ioctl(static_cast<int>(device_->handle()), FIONREAD, &pending) != 0) {
            NoticeHangUp(); // a hung-up line refuses the question
            break;
        }
        if (pending <= 0 || device_->bytesAvailable() >= kMaxInQueue)
            break; // a full queue leaves the rest waiting in the device
        // A round may go to pending output instead; the count above decides when to stop.
        device_->waitForReadyRead(0);
#else
        if (device_->bytesAvailable() >= kMaxInQueue || !device_->waitForReadyRead(0))
            break;
#endif
    }
    ClearDeviceError();
}

quint32 TSerialPortDriver::InQueueCount()
{
    if (!IsOpen() || LineLost())
        return 0;
    PullPending();
    return static_cast<quint32>(std::min<qint64>(device_->bytesAvailable(), 0xFFFFFFFF));
}

void TSerialPortDriver::PollTick(std::size_t level)
{
    // A receiver that opens a modal question runs a nested event loop from inside this tick,
    // and Qt fires no timer again while its own handler is still running. For as long as the
    // step lasts, the next timer of a chain therefore stands in, so reception goes on under the
    // question (and its own tick has the next one for a question opened under that). Almost
    // every step returns at once and the stand-in never fires.
    if (standIns_.size() <= level) {
        auto *timer = new QTimer(this);
        timer->setInterval(pollingDelay_);
        timer->callOnTimeout(this, [this, level] { PollTick(level + 1); });
        standIns_.push_back(timer);
    }
    const std::optional<quint32> queued = TickQueued();
    if (!queued)
        return;
    // Only delivered bytes reach a receiver, so only a step with bytes to deliver arms its
    // stand-in: arming it at every tick cost the event loop a timer's registration each time.
    if (*queued == 0) {
        Step(0);
        return;
    }
    const QPointer<QTimer> standIn = standIns_[level];
    const bool started = !standIn->isActive();
    if (started)
        standIn->start();
    Step(*queued);
    if (started && standIn)
        standIn->stop();
}

void TSerialPortDriver::PollOnce()
{
    if (const std::optional<quint32> queued = TickQueued())
        Step(*queued);
}

std::optional<quint32> TSerialPortDriver::TickQueued()
{
    if (!IsOpen() || LineLost())
        return std::nullopt;
    if (raising_ == 0)
        retiredBuffers_.clear();
    return InQueueCount();
}

void TSerialPortDriver::Step(quint32 queued)
{
    if (packetSize_ <= 0)
        StreamStep(queued);
    else
        PacketStep(queued);
}

void TSerialPortDriver::StreamStep(quint32 queued)
{
    if (queued == 0)
        return;
    // One read never exceeds the receive buffer; what does not fit waits for the next tick.
    const quint32 wanted = std::min<quint32>(queued, inBufSize_);
    std::vector<char> nested;
    char *buffer = StepBuffer(nested, wanted);
    const qint64 count = device_->read(buffer, wanted);
    if (count > 0
        && isSignalConnected(QMetaMethod::fromSignal(&TSerialPortDriver::OnReceiveData))) {
        const RaiseGuard raising(raising_);
        Q_EMIT OnReceiveData(this, buffer, static_cast<quint32>(count));
    }
}

char *TSerialPortDriver::StepBuffer(std::vector<char> &nested, quint32 size)
{
    // A receiver that runs a nested event loop (a modal question) lets the timer step again
    // while it still reads the bytes it was handed; the nested step must not overwrite them.
    if (raising_ == 0)
        return receiveBuffer_.data();
    nested.assign(size, 0);
    return nested.data();
}

void TSerialPortDriver::PacketStep(quint32 queued)
{
    const auto packet = static_cast<quint32>(packetSize_);
    const bool assigned
        = isSignalConnected(QMetaMethod::fromSignal(&TSerialPortDriver::OnReceivePacket));
    std::vector<char> nested;
    if (queued >= packet) {
        // At a custom rate the transfer time comes from the rate actually programmed.
        const quint32 transfer = PacketTransferTimeAt(baudRateValue_, packet);
        while (queued >= packet) {
            char *buffer = StepBuffer(nested, packet);
            const qint64 count = device_->read(buffer, packet);
            if (count <= 0)
                break; // the bytes stay queued for the next tick
            if (assigned) {
                const RaiseGuard raising(raising_);
                Q_EMIT OnReceivePacket(this, buffer, static_cast<quint32>(count));
            }
            if (!IsOpen() || LineLost() || packetSize_ != static_cast<qint16>(packet))
                return; // the receiver closed the port or changed the packet size
            // Whole packets taken while no incomplete one was pending leave the tick at none;
            // it is never advanced from the none marker.
            if (packetStartTick_ != kNoTick)
                packetStartTick_ += transfer;
            // Counted again rather than decremented: a nested step may have taken bytes.
            queued = static_cast<quint32>(std::min<qint64>(device_->bytesAvailable(), 0xFFFFFFFF));
            if (queued == 0)
                packetStartTick_ = kNoTick;
        }
        // The first byte of the incomplete rest has arrived by now at the latest.
        if (queued > 0 && packetStartTick_ == kNoTick)
            packetStartTick_ = Now();
        return;
    }
    if (packetTimeout_ > 0 && packetStartTick_ != kNoTick
        && Now() - packetStartTick_ > static_cast<quint32>(packetTimeout_)) {
        char *buffer = StepBuffer(nested, queued);
        const qint64 count = device_->read(buffer, queued);
        packetStartTick_ = kNoTick;
        if (count > 0 && PacketMode == pmPass && assigned) {
            const RaiseGuard raising(raising_);
            Q_EMIT OnReceivePacket(this, buffer, static_cast<quint32>(count));
        }
        return;
    }
    if (queued > 0 && packetStartTick_ == kNoTick)
        packetStartTick_ = Now();
}
