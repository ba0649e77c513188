#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

class QSerialPort;
class QTimer;

enum TPortNumber {
    pnCustom,
    pnCOM1,
    pnCOM2,
    pnCOM3,
    pnCOM4,
    pnCOM5,
    pnCOM6,
    pnCOM7,
    pnCOM8,
    pnCOM9,
    pnCOM10,
    pnCOM11,
    pnCOM12,
    pnCOM13,
    pnCOM14,
    pnCOM15,
    pnCOM16
};
enum TBaudRate {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TDataBits { db5BITS, db6BITS, db7BITS, db8BITS };
enum TStopBits { sb1BITS, sb1HALFBITS, sb2BITS };
enum TParity { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum THwFlowControl { hfNONE, hfNONERTSON, hfRTSCTS };
enum TSwFlowControl { sfNONE, sfXONXOFF };
enum TPacketMode { pmDiscard, pmPass };
enum TModemLine { mlCTS = 0x1, mlDSR = 0x2, mlRing = 0x4, mlCarrier = 0x8 };
using TModemLines = unsigned; // OR of TModemLine

// Why the port is not open: the last open that failed, or the device that went away.
enum TPortProblem {
    ppNone, // open, or never tried
    ppMissing, // no device of that name
    ppBusy, // held by another program
    ppDenied, // the user may not open the device
    ppRefused, // the device refused the line settings
    ppLost, // the device went away while open (hang-up, read or write error)
    ppNotSerial, // the name is no serial device (a file, a folder, /dev/null)
    ppOther
};

// The number in the rate's name (br19200 -> 19200); 0 for brCustom.
quint32 BaudRateOf(TBaudRate rate);
// Milliseconds that `size` bytes take on the line at ten bit times per byte, rounded to even;
// 0 for brCustom.
quint32 PacketTransferTime(TBaudRate rate, qint32 size);
// The same for any bit rate; 0 when the rate is 0.
quint32 PacketTransferTimeAt(quint32 bitsPerSecond, qint32 size);

// Owns one serial port: opens it exclusively by device name, programs the line settings, writes
// with a bounded idle wait and polls the input on a timer of the owning thread, so received bytes
// reach the owner through OnReceiveData (stream mode) or OnReceivePacket (packet mode). It knows
// nothing of the protocol it carries. The main window owns the one instance of the program.
class TSerialPortDriver : public QObject
{
    Q_OBJECT
public:
    // Limits of the receive buffer and of the output queue, in bytes.
    static constexpr quint32 kMinBufSize = 128;
    static constexpr quint32 kMaxBufSize = 8192;
    // Bytes taken from the device and not yet read by a step, at most. A step reads at most the
    // receive buffer, so a device that streams faster than that (another device on the port)
    // would otherwise fill memory; beyond the limit it waits in the device, as in the fixed
    // input queue of a serial driver. Half a minute of the line at 19200 baud.
    static constexpr qint64 kMaxInQueue = 64 * 1024;
    static constexpr quint16 kMinPollingDelay = 5;
    // Each write inside the send loop waits at most this long for the device.
    static constexpr int kWriteTimeoutMs = 10;
    // The packet start tick when no incomplete packet is pending.
    static constexpr quint32 kNoTick = 0xFFFFFFFFu;

    explicit TSerialPortDriver(QObject *owner = nullptr);
    ~TSerialPortDriver() override; // closes the port

    // Property = getter of the same name + Set<Name> setter.
    TPortNumber Port() const { return port_; }
    void SetPort(TPortNumber value);
    QString PortName() const { return portName_; }
    void SetPortName(const QString &value);
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate value);
    quint32 BaudRateValue() const { return baudRateValue_; }
    void SetBaudRateValue(quint32 value);
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits value);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits value);
    TParity Parity() const { return parity_; }
    void SetParity(TParity value);
    THwFlowControl HwFlow() const { return hwFlow_; }
    void SetHwFlow(THwFlowControl value);
    TSwFlowControl SwFlow() const { return swFlow_; }
    void SetSwFlow(TSwFlowControl value);
    quint32 InBufSize() const { return inBufSize_; }
    void SetInBufSize(quint32 value);
    quint32 OutBufSize() const { return outBufSize_; }
    void SetOutBufSize(quint32 value);
    qint16 PacketSize() const { return packetSize_; }
    void SetPacketSize(qint16 value);
    qint32 PacketTimeout() const { return packetTimeout_; }
    void SetPacketTimeout(qint32 value);
    TPacketMode PacketMode = pmDiscard;
    quint16 PollingDelay() const { return pollingDelay_; }
    void SetPollingDelay(quint16 value);
    bool EnableDTROnOpen = true; // takes effect at the next ApplySettings
    quint16 OutputTimeout = 500; // idle time-out of SendBuffer, ms
    quint32 InputTimeout = 200; // kept for callers; no operation reads it
    bool CheckLineStatus = false; // a send stops while no modem input line is on

    bool OpenPort();
    void ClosePort();
    bool IsOpen() const;
    bool ApplySettings();
    TModemLines GetModemLines();
    bool PurgeBuffers(bool input, bool output);
    quint16 OutFreeSpace();
    quint32 SendBufferTimed(const char *data, quint32 size, quint32 timeout);
    quint32 SendBuffer(const char *data, quint32 size);
    bool SendText(std::string_view text);

    // One receive step, as the polling timer runs it; does nothing while closed.
    void PollOnce();
    // Bytes received and not yet delivered (0 while closed).
    quint32 InQueueCount();
    // The packet start tick (kNoTick when none), for inspection.
    quint32 PacketStartTick() const { return packetStartTick_; }

    // Test seam: the millisecond tick source (GetTickCount); default a steady clock.
    void SetTickSource(std::function<quint32()> source);

    // Why the port is not open now; ppNone while it is open.
    TPortProblem PortProblem() const { return problem_; }
    // True while the open port takes no bytes: a send ran out its time-out with nothing moving,
    // and no byte has left since.
    bool Stalled() const;

Q_SIGNALS:
    // `data` points into the driver's receive buffer and is valid only during the call.
    void OnReceiveData(TSerialPortDriver *sender, const char *data, quint32 size);
    void OnReceivePacket(TSerialPortDriver *sender, const char *packet, quint32 size);

private:
    quint32 Now() const;
    void PullPending();
    void AllocateReceiveBuffer();
    void ReapplyIfOpen();
    // A tick of the polling timer (level 0) or of a stand-in: one receive step, with the next
    // stand-in running while it lasts.
    void PollTick(std::size_t level);
    // What a step has to deliver; none while the port is closed or its line lost.
    std::optional<quint32> TickQueued();
    void Step(quint32 queued);
    void StreamStep(quint32 queued);
    void PacketStep(quint32 queued);
    char *StepBuffer(std::vector<char> &nested, quint32 size);
    void ClearDeviceError();
    void DeviceFailed(int error);
    void NoticeHangUp();
    void DropLostDevice(quint64 session);
    bool LineLost() const;

    TPortNumber port_ = pnCOM2;
    QString portName_;
    TBaudRate baudRate_ = br9600;
    quint32 baudRateValue_ = 9600;
    TDataBits dataBits_ = db8BITS;
    TStopBits stopBits_ = sb1BITS;
    TParity parity_ = ptNONE;
    THwFlowControl hwFlow_ = hfNONERTSON;
    TSwFlowControl swFlow_ = sfNONE;
    quint32 inBufSize_ = 2048;
    quint32 outBufSize_ = 2048;
    qint16 packetSize_ = -1;
    qint32 packetTimeout_ = -1;
    quint16 pollingDelay_ = 50;

    QSerialPort *device_ = nullptr;
    QTimer *pollTimer_ = nullptr;
    // Stand-ins for the polling timer, one per nested event loop a receiver has opened from a
    // tick; each runs only while the tick before it is still on the stack.
    std::vector<QTimer *> standIns_;
    std::vector<char> receiveBuffer_;
    std::vector<std::vector<char>> retiredBuffers_; // replaced while an event was being raised
    quint32 packetStartTick_ = kNoTick;
    int raising_ = 0; // events being raised now; above 0 while a receiver runs
    std::function<quint32()> tickSource_;
    TPortProblem problem_ = ppNone;
    quint64 session_ = 0; // counts the opens, so a late close never hits a port opened since
    bool lost_ = false; // the device went away; the port closes at the next turn of the loop
    // A send ran out its time-out with the device taking nothing; the queue then held this many
    // bytes. Until a byte leaves, sends fail at once rather than each waiting the time-out.
    bool stalled_ = false;
    qint64 stalledQueue_ = 0;
};
