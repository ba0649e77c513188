#include "simPtyServer.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace {

constexpr int kReadChunk = 256;
constexpr int kBitsPerCharacter = 10; // start, eight data, stop
constexpr long long kMaxLiveStepMs = 60'000; // a stalled process does not replay minutes at once
constexpr char kNoiseFirst = 0x20; // corrupted characters are printable ASCII
constexpr int kNoiseSpan = 0x7F - kNoiseFirst;

void MakeRaw(int fd)
{
    termios tio {};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
}

} // namespace

TSimPtyServer::TSimPtyServer(const TSimPtyOptions &options, QObject *parent)
    : QObject(parent), options_(options), rng_(std::uint64_t {options.NoiseSeed} + 1)
{
    if (options_.Version)
        sim_.SetVersion(options_.Version->Major, options_.Version->Minor,
                        options_.Version->Release);

    if (!OpenDevice())
        return;

    clock_.start();
    liveTimer_.setInterval(kLiveTickMs);
    connect(&liveTimer_, &QTimer::timeout, this, &TSimPtyServer::AdvanceLive);
    liveTimer_.start();

    replyTimer_.setSingleShot(true);
    replyTimer_.setTimerType(Qt::PreciseTimer);
    connect(&replyTimer_, &QTimer::timeout, this, &TSimPtyServer::FlushDue);
}

TSimPtyServer::~TSimPtyServer()
{
    RemoveLink();
    CloseDevice();
}

bool TSimPtyServer::OpenDevice()
{
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        master_ = slave_ = -1;
        return false;
    }
    MakeRaw(slave_);
    MakeRaw(master_);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    devicePath_ = QString::fromLocal8Bit(name);

    input_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(input_, &QSocketNotifier::activated, this, &TSimPtyServer::ReadInput);
    return true;
}

void TSimPtyServer::CloseDevice()
{
    if (input_) {
        input_->setEnabled(false);
        delete input_;
        input_ = nullptr;
    }
    if (slave_ >= 0)
        close(slave_);
    if (master_ >= 0)
        close(master_);
    master_ = slave_ = -1;
}

bool TSimPtyServer::Unplug()
{
    if (!IsOpen())
        return false;
    // The link goes first, as the system removes an adapter's names with the adapter; the path
    // is kept for the re-plug.
    const QString link = linkPath_;
    RemoveLink();
    linkPath_ = link;
    CloseDevice();
    pending_.clear();
    replyTimer_.stop();
    lineFreeMs_ = 0;
    return true;
}

bool TSimPtyServer::Replug()
{
    if (IsOpen() || !OpenDevice())
        return false;
    pluggedAtMs_ = clock_.elapsed();
    if (!linkPath_.isEmpty()) {
        const QString link = linkPath_;
        linkPath_.clear();
        CreateLink(link);
    }
    return true;
}

void TSimPtyServer::SilenceFor(int ms)
{
    silentUntilMs_ = clock_.elapsed() + std::max(0, ms);
}

bool TSimPtyServer::Silent() const
{
    return clock_.elapsed() < silentUntilMs_;
}

bool TSimPtyServer::CreateLink(const QString &path)
{
    namespace fs = std::filesystem;
    if (!IsOpen() || path.isEmpty())
        return false;
    const fs::path link = path.toStdString();
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(link, ec);
    if (fs::is_symlink(status)) {
        // A stale link from an earlier run points at a pseudo-terminal, or at nothing any more;
        // a link to anything else is the user's own.
        const fs::path target = fs::read_symlink(link, ec);
        const fs::file_status pointed = fs::status(link, ec);
        const bool stale = !fs::exists(pointed) || fs::is_character_file(pointed)
            || target.string().starts_with("/dev/");
        if (!stale)
            return false;
        fs::remove(link, ec);
        if (ec)
            return false;
    } else if (fs::exists(status)) {
        return false; // never replace a real file
    }
    fs::create_symlink(devicePath_.toStdString(), link, ec);
    if (ec)
        return false;
    if (!linkPath_.isEmpty() && linkPath_ != path)
        RemoveLink();
    linkPath_ = path;
    return true;
}

void TSimPtyServer::RemoveLink()
{
    namespace fs = std::filesystem;
    if (linkPath_.isEmpty())
        return;
    const fs::path link = linkPath_.toStdString();
    linkPath_.clear();
    std::error_code ec;
    // Only our own link: another server may have replaced it meanwhile.
    if (fs::is_symlink(fs::symlink_status(link, ec))
        && fs::read_symlink(link, ec) == fs::path(devicePath_.toStdString()))
        fs::remove(link, ec);
}

void TSimPtyServer::AdvanceLive()
{
    const long long now = clock_.elapsed();
    const long long delta = std::min(now - liveMs_, kMaxLiveStepMs);
    if (delta > 0)
        sim_.Advance(static_cast<int>(delta));
    liveMs_ = now;
}

void TSimPtyServer::ReadInput()
{
    char buffer[kReadChunk];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // EAGAIN: all read. Anything else would fire again at once: stop listening.
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
                input_->setEnabled(false);
            return;
        }
        AdvanceLive(); // a status reply reports the state of this moment
        // One byte at a time so that the silence limit falls exactly between two lines.
        for (ssize_t i = 0; i < n; ++i) {
            std::string reply = sim_.Receive(std::string_view(buffer + i, 1));
            if (reply.empty())
                continue;
            if (pluggedAtMs_ >= 0 && reply.rfind("@s", 0) == 0) {
                const qint64 ms = clock_.elapsed() - pluggedAtMs_;
                pluggedAtMs_ = -1;
                emit StatusPolledAfterReplug(ms);
                if (!IsOpen())
                    return; // a receiver pulled the cable
            }
            if (options_.SilentAfterLines >= 0 && sim_.LinesReceived() > options_.SilentAfterLines)
                continue;
            if (Silent())
                continue;
            QueueReply(std::move(reply));
        }
    }
}

void TSimPtyServer::QueueReply(std::string reply)
{
    emit Replied(QString::fromLatin1(reply.data(), static_cast<qsizetype>(reply.size())));
    std::string bytes = AddNoise(options_.Damage ? options_.Damage(reply) : reply);
    const long long now = clock_.elapsed();
    const long long start = std::max(now + std::max(0, options_.ReplyDelayMs), lineFreeMs_);
    long long transmitMs = 0;
    if (options_.LineBaud > 0) {
        const long long bits = static_cast<long long>(bytes.size()) * kBitsPerCharacter;
        transmitMs = (bits * 1000 + options_.LineBaud - 1) / options_.LineBaud;
    }
    lineFreeMs_ = start + transmitMs;
    pending_.push_back({lineFreeMs_, std::move(bytes)});
    FlushDue();
}

void TSimPtyServer::FlushDue()
{
    const long long now = clock_.elapsed();
    while (!pending_.empty() && pending_.front().DueMs <= now) {
        const std::string &bytes = pending_.front().Bytes;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        bytesDropped_ += static_cast<long long>(bytes.size() - done);
        ++repliesSent_;
        pending_.pop_front();
    }
    if (!pending_.empty())
        replyTimer_.start(static_cast<int>(std::max(0LL, pending_.front().DueMs - now)));
}

std::uint32_t TSimPtyServer::NextRandom()
{
    // xorshift64: small, seedable and the same on every platform. Its state is the seed plus one,
    // never the zero it would stay at, so every seed, 0 too, plays its own noise.
    rng_ ^= rng_ << 13;
    rng_ ^= rng_ >> 7;
    rng_ ^= rng_ << 17;
    return static_cast<std::uint32_t>(rng_ >> 32);
}

std::string TSimPtyServer::AddNoise(const std::string &reply)
{
    if (options_.NoiseProbability <= 0.0)
        return reply;
    std::string out;
    out.reserve(reply.size());
    for (const char c : reply) {
        const double roll = static_cast<double>(NextRandom()) / 4294967296.0;
        if (roll >= options_.NoiseProbability) {
            out.push_back(c);
            continue;
        }
        if (NextRandom() & 1u)
            continue; // dropped
        char corrupted
            = static_cast<char>(kNoiseFirst + static_cast<int>(NextRandom() % kNoiseSpan));
        if (corrupted == c)
            corrupted = corrupted == kNoiseFirst ? kNoiseFirst + 1 : kNoiseFirst;
        out.push_back(corrupted);
    }
    return out;
}
