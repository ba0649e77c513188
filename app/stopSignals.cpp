#include "stopSignals.h"

#include <QApplication>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <array>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

// A request that waits looks again this often.
constexpr int kRetryMs = 250;

#ifdef Q_OS_UNIX
constexpr std::array<int, 3> kStopSignals = {SIGTERM, SIGHUP, SIGINT};
// The handler may only write to a descriptor: the read end wakes the event loop.
int signalPipe[2] = {-1, -1};
std::array<struct sigaction, kStopSignals.size()> earlier {};

extern "C" void OnStopSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a request; one is enough.
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[0], &byte, 1);
    errno = saved;
}
#endif

} // namespace

TStopSignals::TStopSignals(std::function<bool()> busy, std::function<void()> close, QObject *parent)
    : QObject(parent), busy_(std::move(busy)), close_(std::move(close))
{
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, &TStopSignals::TryClose);
#ifdef Q_OS_UNIX
    if (signalPipe[0] >= 0
        || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    notifier_ = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TStopSignals::SignalArrived);
    struct sigaction action
    {
    };
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kStopSignals.size(); ++i)
        ::sigaction(kStopSignals[i], &action, &earlier[i]);
    installed_ = true;
#endif
}

TStopSignals::~TStopSignals()
{
#ifdef Q_OS_UNIX
    if (!installed_)
        return;
    for (std::size_t i = 0; i < kStopSignals.size(); ++i)
        ::sigaction(kStopSignals[i], &earlier[i], nullptr);
    delete notifier_;
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
#endif
}

void TStopSignals::SignalArrived()
{
#ifdef Q_OS_UNIX
    char bytes[64];
    while (::read(signalPipe[1], bytes, sizeof bytes) > 0) { }
#endif
    TryClose();
}

void TStopSignals::TryClose()
{
    if (QApplication::activeModalWidget() != nullptr || (busy_ && busy_())) {
        retry_.start();
        return;
    }
    retry_.stop();
    close_();
}
