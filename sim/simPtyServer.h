#pragma once

#include "ecuSimulator.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

class QSocketNotifier;

// How a TSimPtyServer behaves on the line.
struct TSimPtyOptions
{
    int ReplyDelayMs = 0; // added before every reply
    // Serial speed whose transmission time each reply takes (a reply starts only after the one
    // before it ended); 0 sends replies as fast as the pty takes them.
    int LineBaud = 0;
    int SilentAfterLines = -1; // stop replying once this many lines arrived; -1 never
    double NoiseProbability = 0.0; // chance per reply character of being corrupted or dropped
    std::uint32_t NoiseSeed = 1;
    std::optional<TSimVersion> Version; // replaces the simulator's own version
    // Rewrites each reply before the noise (cuts one short, garbles a field); empty leaves them.
    std::function<std::string(const std::string &)> Damage;
};

// Serves a TEcuSimulator on a pseudo-terminal inside the Qt event loop: the tool opens
// DevicePath() like a serial port. The server keeps the slave side open itself, so the tool can
// close and reopen the port without the master ever seeing a hang-up. Owned by its creator (a
// test, or the ecu-sim program).
class TSimPtyServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kLiveTickMs = 20; // how often the live state catches up with real time

    explicit TSimPtyServer(const TSimPtyOptions &options = {}, QObject *parent = nullptr);
    ~TSimPtyServer() override;
    TSimPtyServer(const TSimPtyServer &) = delete;
    TSimPtyServer &operator=(const TSimPtyServer &) = delete;

    // True while plugged in: the pseudo-terminal is open.
    bool IsOpen() const { return master_ >= 0; }
    // The slave device the tool opens, e.g. /dev/pts/5; empty when the pty could not be opened.
    QString DevicePath() const { return devicePath_; }

    // Pulls the cable: the pseudo-terminal closes, so whoever has the device open sees a
    // hang-up, and the link disappears. Replies on their way are lost. False when already out.
    bool Unplug();
    // Plugs it back: a new pseudo-terminal (under a new device name, as a re-plugged adapter
    // may get), and the link points at it again. False when already in or no pty is to be had.
    bool Replug();
    // Hears requests but answers none for ms milliseconds; 0 answers again at once.
    void SilenceFor(int ms);
    bool Silent() const;
    // Places a symbolic link at path pointing to the device, replacing an existing link (never
    // a regular file or directory). The link is removed again with the server.
    bool CreateLink(const QString &path);
    void RemoveLink();
    QString LinkPath() const { return linkPath_; }

    TEcuSimulator &Simulator() { return sim_; }
    const TEcuSimulator &Simulator() const { return sim_; }

    int LinesReceived() const { return sim_.LinesReceived(); }
    int RepliesSent() const { return repliesSent_; }
    // Reply bytes the pty did not take (nobody reading); a real line loses them the same way.
    long long BytesDropped() const { return bytesDropped_; }

signals:
    // A received line produced this reply (before delay and noise), for logs and tests.
    void Replied(const QString &reply);
    // The first status request since the last re-plug arrived ms milliseconds after it: the
    // tool polls for status only while it counts the link as up.
    void StatusPolledAfterReplug(qint64 ms);

private:
    bool OpenDevice();
    void CloseDevice();
    void ReadInput();
    void AdvanceLive();
    void QueueReply(std::string reply);
    void FlushDue();
    std::string AddNoise(const std::string &reply);
    std::uint32_t NextRandom();

    TSimPtyOptions options_;
    TEcuSimulator sim_;
    int master_ = -1;
    int slave_ = -1;
    QString devicePath_;
    QString linkPath_;
    QSocketNotifier *input_ = nullptr;
    QTimer liveTimer_;
    QTimer replyTimer_;
    QElapsedTimer clock_;
    long long liveMs_ = 0; // real time already handed to the simulator

    struct TPending
    {
        long long DueMs;
        std::string Bytes;
    };
    std::deque<TPending> pending_;
    long long lineFreeMs_ = 0; // when the simulated line finishes the last queued reply
    int repliesSent_ = 0;
    long long bytesDropped_ = 0;
    std::uint64_t rng_ = 1;
    long long silentUntilMs_ = 0;
    long long pluggedAtMs_ = -1; // when the last re-plug happened; -1 once it was polled
};
