#pragma once

#include "Ecu.h"
#include "encdec.h"
#include "linkRules.h"
#include "settingsCompare.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QTimer;
class TSerialPortDriver;

// Sets the controller's line on a port: 19200 baud, 8 data bits, no parity, 1 stop bit, no flow
// control.
void SetControllerLine(TSerialPortDriver &port);

// One status tick's line: the oldest queued line, taken off the queue, or the poll for the link
// state when nothing waits. The main window's status timer and TEcuLink's both send this.
std::string TakeStatusLine(QStringList &queue, bool connected, const TQV3318EncDec &codec);

// Whether a reply's line body (its letter and payload) arrived whole: its full length and nothing
// but hexadecimal digits after the letter. The codec reads a line cut short or a garbled field as
// zeros, which must not pass for the controller's settings or be recorded as its readings.
bool ReplyComplete(std::string_view line);
// The same, and the line is a settings reply (p, f, r or d).
bool SettingsReplyComplete(std::string_view line);
// Whether an outgoing line ("@R03\n") asks for settings (P, F, R or D): a read's requests.
bool IsSettingsRequest(std::string_view line);
// The settings requests a read of all settings sent, and which of them the model holds an answer
// to. Each reply answers the request for its own part and slot only: a reply for another slot (a
// digit changed on the line, or a controller answering the wrong request) leaves the asked one
// open, and a late range for slot 0, which clears the list, opens the slots answered before it.
class TReadAnswers
{
public:
    void Clear();
    // A settings request line ("@R03\n") that went out; other lines are let be.
    void Asked(const std::string &line);
    // A settings reply that arrived whole.
    void Answered(const TQV3318MessageRec &message);
    bool Complete() const;
    // Whether a request line went out in this read: asked by a step that ran before the count of
    // gears it depends on had arrived, a later count may call for lines never sent.
    bool WasAsked(const std::string &line) const;

private:
    // Notes the part and slot a settings request asks for; false for any other line.
    static bool Note(TSettingsKnown &known, const std::string &line);
    // Whether every part and slot of part is in whole.
    static bool Within(const TSettingsKnown &part, const TSettingsKnown &whole);

    TSettingsKnown asked_ = TSettingsKnown::Nothing();
    TSettingsKnown answered_ = TSettingsKnown::Nothing();
};

// Whether a decoded status reply may be recorded: complete, and a barrel reading the sensor can
// give. A line without a check sum may still carry a changed digit; these are the ones it shows.
bool StatusReplyPlausible(std::string_view line, const TQV3318MessageRec &message);

// A link to the controller without a window: the serial driver, the codec, the outgoing queue and
// the status, link and transfer timers, run on the same rules and at the same pace as the main
// window's, and a settings model that received settings go into and transfers write from. The
// command-line program owns one; everything runs on the thread that created it.
class TEcuLink : public QObject
{
    Q_OBJECT

public:
    explicit TEcuLink(QObject *parent = nullptr);
    ~TEcuLink() override;

    // Opens the port at the controller's line settings and starts the status and link timers
    // with the link down. False when the port cannot be opened; nothing runs then. With quietMs,
    // whatever the line brings first is let go by until it has been quiet that long (at most
    // kQuietLimitFactor times as long): replies still on their way to an earlier program's
    // requests would otherwise pass for answers to this link's.
    bool Open(const QString &portName, int quietMs = 0);
    static constexpr int kQuietLimitFactor = 4;
    void Close();
    bool IsOpen() const;

    void QueueMessage(const TQV3318MessageRec &message);
    // Starts a read (kReadFirstStep) or a write (kWriteFirstStep) of all settings; false while
    // one runs.
    bool StartTransfer(int firstStep);
    bool TransferRunning() const;

    // The timers' work, public so tests can tick by hand.
    void tmrStatusTimer();
    void tmrLinkTimer();
    void tmrUpDownAllTimer();
    void ReceiveData(TSerialPortDriver *sender, const char *data, quint32 size);
    // The codec's handler: Codec.DecodedLine() is the line the message was decoded from.
    void DispatchMessage(const TQV3318MessageRec &message);

    TEcu Ecu;
    TQV3318EncDec Codec;
    TSerialPortDriver *CommPort = nullptr;
    QStringList TxQueue;
    bool Connected = false;
    int LinkMissedTicks = 0;
    TLinkDemand LinkDemand = TLinkDemand::NoLine; // what was asked since the last link tick
    int UpDownStep = 0;
    bool VersionKnown = false;
    std::int32_t EcuVersionMajor = 0;
    std::int32_t EcuVersionMinor = 0;
    std::string EcuVersionText;
    // Status requests sent and status replies received since the port opened. Replies come in
    // the order of the requests, so the reply to a status request sent after some lines proves
    // that everything those lines asked for has been answered.
    int StatusRequestsSent = 0;
    int StatusRepliesReceived = 0;
    // Range and cut duration slots asked for by lines that went out and not yet answered: a reply
    // for any other slot is a garbled one and is not taken.
    std::vector<std::pair<std::uint8_t, std::uint8_t>> RequestedSlots;
    // Settings replies not taken (cut short, garbled, or for a slot nobody asked for).
    int RepliesRefused = 0;

    QTimer *tmrStatus = nullptr;
    QTimer *tmrLink = nullptr;
    QTimer *tmrUpDownAll = nullptr;

Q_SIGNALS:
    void LinkUp();
    void LinkLost();
    // After the message has been applied to Ecu; a settings reply not taken raises nothing.
    void MessageReceived(const TQV3318MessageRec &message);
    // After each status tick; written is false when the line did not go out (the port closed or
    // the line hung up).
    void LineSent(const QString &line, bool written);
    void TransferFinished();

private:
    // Whether a settings reply may go into the model; an r or d reply also answers its request.
    bool TakeSettingsReply(const TQV3318MessageRec &message);
    void LetLineGoQuiet(int quietMs);

    bool discarding_ = false;
};
