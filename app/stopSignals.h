#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class QSocketNotifier;

// The signals that ask a program to end (SIGTERM from kill or a shutdown, SIGHUP from a closed
// terminal, SIGINT from Ctrl+C) become a request to close, made from the event loop like a click
// on the window's close button, so the questions and checks of a close run as ever: a write to the
// controller is not cut short, unsaved settings are asked about, the data log gets its last rows.
// Left to their default, the signals ended the program on the spot.
//
// A request made while a question or another modal window is open, or while busy() holds (a
// transfer runs), waits until neither is so: the close would otherwise ask its own question over
// the open one, in a nested loop under it, or refuse with "Busy" and leave the program running
// once the transfer is done. One object at a time; it restores the signals' earlier handling when
// it goes. Does nothing on Windows.
class TStopSignals : public QObject
{
    Q_OBJECT
public:
    TStopSignals(std::function<bool()> busy, std::function<void()> close,
                 QObject *parent = nullptr);
    ~TStopSignals() override;
    TStopSignals(const TStopSignals &) = delete;
    TStopSignals &operator=(const TStopSignals &) = delete;

    bool Installed() const { return installed_; }
    // A request is waiting for a modal window to close or the work to end.
    bool Pending() const { return retry_.isActive(); }

private:
    void SignalArrived();
    void TryClose();

    std::function<bool()> busy_;
    std::function<void()> close_;
    QSocketNotifier *notifier_ = nullptr;
    QTimer retry_;
    bool installed_ = false;
};
