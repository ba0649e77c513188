#include "cliRunner.h"

#include "agreedAnswers.h"
#include "cliOptions.h"
#include "comPortEnumerator.h"
#include "dataLog.h"
#include "ecuLink.h"
#include "linkProblem.h"
#include "linkRules.h"
#include "portSetting.h"
#include "profile.h"
#include "settingsCompare.h"
#include "statusFormat.h"
#include "transfers.h"

#include "orbanel_version.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

std::atomic<bool> stopRequested {false};
static_assert(std::atomic<bool>::is_always_lock_free, "stop flag is set from a signal handler");

// The requests a read sends, and the letter of the reply each expects.
const std::map<char, char> kReplyOf = {{'P', 'p'}, {'F', 'f'}, {'R', 'r'}, {'D', 'd'}};

// How often a read is tried before requests not answered alike in two tries make it fail.
constexpr int kReadAttempts = 8;
// How often, and how long after each ask, the version is asked for before a command gives up.
constexpr int kVersionAsks = 5;
constexpr qint64 kVersionWaitMs = 1000;
// How long the line must be quiet before the first request: longer than a late controller or
// adapter takes to answer, so that the replies to a command run just before are all gone by.
constexpr int kQuietMs = 500;

// Why a profile was refused by the reader, for the message that refuses it: a user who is told
// only that it cannot be read does not know whether to fix the path, the permissions or the file.
QString UnreadableReason(const QString &file)
{
    const QFileInfo info(file);
    if (!info.exists())
        return QStringLiteral("there is no such file");
    if (info.isDir())
        return QStringLiteral("it is a folder");
    if (!info.isFile())
        return QStringLiteral("it is not a regular file");
    if (static_cast<std::uint64_t>(info.size()) > kMaxDiskFileBytes)
        return QStringLiteral("it is larger than %1 MiB").arg(kMaxDiskFileBytes >> 20);
    std::string text;
    if (ReadDiskFile(file.toStdString(), text) != TDiskRead::Loaded)
        return QStringLiteral("permission denied");
    if (IsForeignText(text))
        return QStringLiteral("it is not a profile (it has none of a profile's sections)");
    return QStringLiteral("it could not be read");
}

class TCliRun
{
public:
    TCliRun(const TCliOptions &options, QTextStream &out, QTextStream &err)
        : options_(options), out_(out), err_(err)
    {
        QObject::connect(&link_, &TEcuLink::LinkLost, &link_, [this] { lost_ = true; });
        QObject::connect(&link_, &TEcuLink::TransferFinished, &link_,
                         [this] { transferFinished_ = true; });
        // A request that did not go out stays unanswered, so it is counted all the same.
        QObject::connect(&link_, &TEcuLink::LineSent, &link_, [this](const QString &line, bool) {
            if (counting_ && line.size() >= 2)
                ++sent_[line[1].toLatin1()];
        });
        QObject::connect(&link_, &TEcuLink::MessageReceived, &link_,
                         [this](const TQV3318MessageRec &message) {
                             if (!counting_)
                                 return;
                             answers_.Note(link_.Codec.DecodedLine(), message);
                         });
    }

    int Run()
    {
        switch (options_.Command) {
        case ccPorts:
            return Ports();
        case ccRead:
            return Read();
        case ccWrite:
            return Write();
        case ccCompare:
            return Compare();
        case ccMonitor:
            return Monitor();
        case ccReset:
            return Reset();
        case ccNone:
            break;
        }
        return kCliUsage;
    }

private:
    int Fail(int code, const QString &message)
    {
        err_ << "orbanel-cli: " << message << Qt::endl;
        return code;
    }

    int RefuseProfile()
    {
        return Fail(kCliUsage,
                    QStringLiteral("cannot read the profile %1: %2")
                        .arg(options_.File, UnreadableReason(options_.File)));
    }

    // Why the last wait ended without its result.
    int WaitFailure()
    {
        if (stopRequested)
            return Fail(kCliNoController, QStringLiteral("interrupted"));
        return LinkFailure();
    }

    // What is wrong with the link.
    int LinkFailure()
    {
        // The window's hint names its own dialog; here the port is an option.
        if (!link_.IsOpen() && port_.isEmpty())
            return Fail(kCliNoController,
                        QStringLiteral("No port is chosen: give one with --port (orbanel-cli "
                                       "ports lists them)."));
        if (!link_.IsOpen() && link_.CommPort->PortProblem() == ppMissing)
            return Fail(kCliNoController,
                        QStringLiteral("Port %1 does not exist. Plug in the adapter, or give "
                                       "another port with --port (orbanel-cli ports lists them).")
                            .arg(port_));
        if (!link_.IsOpen())
            return Fail(kCliNoController,
                        PortProblemText(link_.CommPort->PortProblem(), port_, DeviceAccess(port_)));
        if (!everConnected_)
            return Fail(kCliNoController,
                        QStringLiteral("no reply from the controller on %1").arg(port_));
        return Fail(kCliNoController,
                    QStringLiteral("the controller on %1 stopped answering").arg(port_));
    }

    // Runs the event loop until done() holds; false when the link was lost or a stop was asked
    // for first. A port that closed (the adapter was pulled) is a lost link at once, without
    // waiting for the watchdog. The status timer ticks at least every 100 ms, so the loop never
    // sleeps long.
    bool WaitFor(const std::function<bool()> &done)
    {
        while (!done()) {
            if (lost_ || stopRequested || !link_.IsOpen())
                return false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return true;
    }

    // Opens the port and waits until the controller has answered and told its version.
    int Connect()
    {
        port_ = options_.Port.isEmpty() ? ReadStoredPort() : options_.Port;
        // A relative path typed on the command line means the file from here; the serial layer
        // would look for any name that is not a path in /dev.
        if (port_.contains(QLatin1Char('/')) && QFileInfo(port_).isRelative())
            port_ = QFileInfo(port_).absoluteFilePath();
        if (!link_.Open(port_, kQuietMs))
            return LinkFailure();
        // The version goes by two whole replies alike: a digit changed on the line would pass
        // for another version. The version is asked for again after each reply until then, and
        // after a reply lost on the line, but not for ever.
        std::string heard; // the last whole version reply
        bool confirmed = false;
        bool askNow = false;
        int asks = 0;
        QElapsedTimer asked;
        const QMetaObject::Connection versions = QObject::connect(
            &link_, &TEcuLink::MessageReceived, &link_, [&](const TQV3318MessageRec &message) {
                const std::string line(link_.Codec.DecodedLine());
                if (message.MsgType != mtVersion || !ReplyComplete(line) || confirmed)
                    return;
                confirmed = line == heard;
                heard = line;
                askNow = !confirmed;
                if (confirmed)
                    version_ = message;
            });
        const bool up = WaitFor([&] {
            everConnected_ = everConnected_ || link_.Connected;
            if (!link_.Connected || confirmed)
                return confirmed;
            if (askNow || !asked.isValid() || asked.elapsed() >= kVersionWaitMs) {
                if (asks == kVersionAsks)
                    return true;
                TQV3318MessageRec version;
                version.MsgType = mtVersion;
                link_.QueueMessage(version);
                asked.start();
                askNow = false;
                ++asks;
            }
            return false;
        });
        QObject::disconnect(versions);
        if (!up)
            return WaitFailure();
        if (!confirmed)
            return Fail(kCliNoController,
                        QStringLiteral("the controller on %1 did not tell its version alike twice "
                                       "(asked %2 times)")
                            .arg(port_)
                            .arg(asks));
        return kCliOk;
    }

    QString EcuVersion() const { return QString::fromStdString(version_.VersionText); }

    int CheckVersion()
    {
        if (VersionsMatch(ORBANEL_VERSION_MAJOR, ORBANEL_VERSION_MINOR, version_.VersionMajor,
                          version_.VersionMinor)
            || options_.Force)
            return kCliOk;
        return Fail(kCliDiffers,
                    QStringLiteral("PC and GCU software versions do not match (program %1.%2, "
                                   "ECU %3); --force goes on all the same")
                        .arg(ORBANEL_VERSION_MAJOR)
                        .arg(ORBANEL_VERSION_MINOR)
                        .arg(EcuVersion()));
    }

    // The link up and its controller's version one the transfers may use.
    int ConnectChecked()
    {
        const int result = Connect();
        return result == kCliOk ? CheckVersion() : result;
    }

    // Runs a whole read or write sequence on model and waits until the controller has answered
    // everything it was sent: the reply to the first status request after the last queued line.
    // Which requests got an answer is for the caller to tell from the answers gathered.
    int Transfer(int firstStep, TEcu &model)
    {
        link_.Ecu = model;
        // Every earlier reply is in; a slot left over from an earlier try must not let a garbled
        // reply through.
        link_.RequestedSlots.clear();
        sent_.clear();
        counting_ = true;
        transferFinished_ = false;
        link_.StartTransfer(firstStep);
        int lastReply = -1;
        const bool answered = WaitFor([&] {
            if (lastReply < 0) {
                if (!transferFinished_ || !link_.TxQueue.isEmpty())
                    return false;
                lastReply = link_.StatusRequestsSent + 1;
            }
            return link_.StatusRepliesReceived >= lastReply;
        });
        counting_ = false;
        if (!answered)
            return WaitFailure();
        requests_ = 0;
        for (const auto &entry : kReplyOf)
            requests_ += sent_[entry.first];
        model = link_.Ecu;
        return kCliOk;
    }

    // The answers gathered so far applied to model in the order a read applies them, when every
    // request has been answered alike in two tries.
    bool ApplyAnswers(TEcu &model)
    {
        const TQV3318MessageRec *params = answers_.Agreed(TAgreedAnswers::KeyOf(mtParams, 0));
        unsettled_ = 1;
        if (params == nullptr)
            return false;
        TEcu result = model;
        ApplyParams(result, *params);
        const auto needed = TAgreedAnswers::Needed(result);
        unsettled_ = answers_.Unsettled(needed);
        if (unsettled_ > 0)
            return false;
        result.Ranges.Clear();
        known_ = TSettingsKnown::Nothing();
        answers_.ApplyAgreed(result, known_, needed);
        model = result;
        return true;
    }

    // Reads all settings into model. The whole read runs at least twice, and a request counts
    // as answered when two tries brought the same answer (the controller's settings do not change
    // between tries): a reply lost, cut short or refused as damaged leaves its try without one,
    // and a reply with a digit changed on the line differs from the others. After kReadAttempts
    // tries with a request still not settled the read fails and model is unchanged.
    int ReadSettings(TEcu &model)
    {
        answers_.Clear();
        for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
            TEcu tried = model;
            // The cut durations asked for follow the number of gears. A slow controller's
            // parameters come after that step has chosen by the file's number: the next try
            // chooses by the one the controller gave: the one told alike twice, else the last.
            const auto paramsKey = TAgreedAnswers::KeyOf(mtParams, 0);
            if (const TQV3318MessageRec *agreed = answers_.Agreed(paramsKey))
                ApplyParams(tried, *agreed);
            else if (const TQV3318MessageRec *latest = answers_.Latest(paramsKey))
                ApplyParams(tried, *latest);
            const int result = Transfer(kReadFirstStep, tried);
            if (result != kCliOk)
                return result;
            if (ApplyAnswers(model))
                return kCliOk;
        }
        return Fail(kCliNoController,
                    QStringLiteral("the controller on %1 did not answer %2 of %3 requests alike "
                                   "in two tries (read %4 times)")
                        .arg(port_)
                        .arg(unsettled_)
                        .arg(requests_)
                        .arg(kReadAttempts));
    }

    // A profile text read as the window opens it after its start: the factory defaults, the
    // positions and cut durations in use cleared, then the text.
    static void LoadProfileText(const std::string &text, TEcu &model,
                                std::vector<std::string> *unreadable = nullptr,
                                std::vector<std::string> *missing = nullptr)
    {
        LoadDefaults(model);
        ClearPositionsInUse(model);
        ClearCutDurationsInUse(model);
        ReadProfileText(text, model, unreadable, missing);
    }

    // The profile FILE, read as LoadProfileText does.
    int LoadProfile(TEcu &model, bool toWrite)
    {
        // A missing file, no regular file, or one that fails part-way: the defaults left must not
        // be written to the controller.
        std::string text;
        if (ReadDiskFile(options_.File.toStdString(), text) != TDiskRead::Loaded
            || IsForeignText(text))
            return RefuseProfile();
        // Nor must the defaults an empty file reads as: they hold no gear ranges.
        if (toWrite && !HoldsSettings(text))
            return Fail(kCliUsage,
                        QStringLiteral("cannot write the profile %1: it holds no settings")
                            .arg(options_.File));
        // The window opens a count of gears out of range as the nearest it takes; written unseen,
        // the file's other gears would be cut off or made up.
        if (toWrite && !ForwardGearsInRange(text))
            return Fail(kCliUsage,
                        QStringLiteral("cannot write the profile %1: [vehicle] fwdgears is not "
                                       "0 to 3 (4 to 7 forward gears)")
                            .arg(options_.File));
        std::vector<std::string> unreadable;
        std::vector<std::string> missing;
        LoadProfileText(text, model, &unreadable, &missing);
        const auto listed = [](const std::vector<std::string> &items) {
            QStringList list;
            for (const std::string &item : items)
                list << QString::fromStdString(item);
            return list.join(QStringLiteral(", "));
        };
        // The window shows what a value that is no number, or none, reads as; written unseen, a
        // typing error or a line lost in an edit would put the default into the car (a lost
        // range count empties every gear range).
        if (toWrite && !unreadable.empty())
            return Fail(kCliUsage,
                        QStringLiteral("cannot write the profile %1: not a number: %2")
                            .arg(options_.File, listed(unreadable)));
        if (toWrite && !missing.empty())
            return Fail(kCliUsage,
                        QStringLiteral("cannot write the profile %1: no value for %2")
                            .arg(options_.File, listed(missing)));
        if (!toWrite)
            return kCliOk;
        // What would become of a value on its way, said per setting that it changes.
        const auto changes = [&model](const TEcu &after, const char *becomes) {
            QStringList changed;
            for (const TCompareRow &row : CompareSettings(model, after))
                if (row.Differs())
                    changed << QStringLiteral("%1 %2 (%3 %4)")
                                   .arg(QString::fromStdString(row.Setting),
                                        QString::fromStdString(CellText(row.Left, row.Unit)),
                                        QLatin1String(becomes),
                                        QString::fromStdString(CellText(row.Right, row.Unit)));
            return changed.join(QStringLiteral(", "));
        };
        // Nor a value its field on the line cannot carry: the controller would get another one,
        // and the read-back would tell only after the car had it.
        if (const QString changed = changes(AsWritten(model), "would arrive as");
            !changed.isEmpty())
            return Fail(kCliUsage,
                        QStringLiteral("cannot write the profile %1: the line cannot "
                                       "carry: %2")
                            .arg(options_.File, changed));
        // Nor one a profile cannot hold: the controller could then not be read into one.
        TEcu saved;
        LoadProfileText(ProfileText(std::string(), model), saved);
        if (const QString changed = changes(saved, "would be saved as"); !changed.isEmpty())
            return Fail(kCliUsage,
                        QStringLiteral("cannot write the profile %1: a profile cannot "
                                       "hold: %2")
                            .arg(options_.File, changed));
        return kCliOk;
    }

    // Lists the settings that differ (or were not answered) between a profile and what the
    // last read brought back, one per line; returns how many.
    int PrintDifferences(const TEcu &profile, const TEcu &ecu)
    {
        const auto rows = DifferingFirst(CompareSettings(profile, ecu, known_));
        int listed = 0;
        for (const TCompareRow &row : rows) {
            if (row.State == TCompareState::Same)
                continue;
            out_ << QStringLiteral("%1: file %2, ECU %3")
                        .arg(QString::fromStdString(row.Setting),
                             QString::fromStdString(CellText(row.Left, row.Unit)),
                             QString::fromStdString(CellText(row.Right, row.Unit)))
                 << Qt::endl;
            ++listed;
        }
        return listed;
    }

    // Lists the differences between a profile and the controller; when there are any, fails
    // saying what they mean.
    int FailOnDifferences(const TEcu &profile, const TEcu &ecu, const QString &meaning)
    {
        const int differences = PrintDifferences(profile, ecu);
        if (differences == 0)
            return kCliOk;
        return Fail(kCliDiffers,
                    QStringLiteral("the controller on %1 %2 (%3 differences)")
                        .arg(port_, meaning)
                        .arg(differences));
    }

    int Ports()
    {
        TComPortEnumerator ports;
        ports.Enumerate();
        for (int i = 0; i < ports.PortCount(); ++i)
            out_ << ports.GetPortName(i) << '\t' << ports.GetFriendlyName(i) << Qt::endl;
        return kCliOk;
    }

    int Read()
    {
        // What the controller does not report keeps the file's value, or the default.
        TEcu model;
        LoadDefaults(model);
        // A file that is there but cannot be read, or a folder that is not, would only fail at the
        // save, after the whole read. A symbolic link is saved through, into its target's folder.
        if (ReadProfile(options_.File.toStdString(), model) == TDiskRead::Failed)
            return RefuseProfile();
        const QFileInfo file(options_.File);
        if (const QString folder
            = QFileInfo(file.isSymLink() ? file.symLinkTarget() : file.absoluteFilePath())
                  .absolutePath();
            !QFileInfo(folder).isDir())
            return Fail(kCliUsage,
                        QStringLiteral("cannot write the profile %1: there is no folder %2")
                            .arg(options_.File, folder));
        int result = ConnectChecked();
        if (result == kCliOk)
            result = ReadSettings(model);
        if (result != kCliOk)
            return result;
        // A profile holds six to nine positions, say: what it cannot hold would be saved as
        // something else, a profile that differs at once from the controller it was read from.
        TEcu saved;
        LoadProfileText(ProfileText(std::string(), model), saved);
        if (const int differ = FailOnDifferences(
                saved, model, QStringLiteral("holds what a profile cannot, nothing saved"));
            differ != kCliOk)
            return differ;
        if (!WriteProfile(options_.File.toStdString(), model))
            return Fail(kCliDiffers, QStringLiteral("Unable to write to %1").arg(options_.File));
        out_ << QStringLiteral("Read ECU %1 on %2: %3 forward gears, %4 gear ranges; saved to %5")
                    .arg(EcuVersion(), port_)
                    .arg(model.PositionCount - 2)
                    .arg(model.Ranges.Count())
                    .arg(options_.File)
             << Qt::endl;
        return kCliOk;
    }

    int Write()
    {
        TEcu written;
        int result = LoadProfile(written, true);
        if (result == kCliOk)
            result = ConnectChecked();
        if (result == kCliOk) {
            result = Transfer(kWriteFirstStep, written);
            // Cut short, by an interrupt or a lost link, a write leaves the controller with some
            // of the new settings and some of the old.
            if (result != kCliOk && !sent_.empty())
                Fail(result,
                     QStringLiteral("the controller may now hold only part of %1: write it again")
                         .arg(options_.File));
        }
        if (result != kCliOk)
            return result;
        TEcu readBack = written;
        result = ReadSettings(readBack);
        // The write went through: a user told only that the controller stopped answering would
        // take it for a write that failed.
        if (result != kCliOk)
            return Fail(result,
                        QStringLiteral("%1 was written, but the controller could not be "
                                       "read back to check it: run compare")
                            .arg(options_.File));
        if (const int differ = FailOnDifferences(written, readBack,
                                                 QStringLiteral("does not hold what was written"));
            differ != kCliOk)
            return differ;
        out_ << QStringLiteral("Wrote %1 into ECU %2 on %3; read back the same settings")
                    .arg(options_.File, EcuVersion(), port_)
             << Qt::endl;
        return kCliOk;
    }

    int Compare()
    {
        TEcu profile;
        int result = LoadProfile(profile, false);
        if (result == kCliOk)
            result = ConnectChecked();
        TEcu ecu = profile;
        if (result == kCliOk)
            result = ReadSettings(ecu);
        if (result != kCliOk)
            return result;
        return PrintDifferences(profile, ecu) == 0 ? kCliOk : kCliDiffers;
    }

    int Monitor()
    {
        if (const int result = Connect(); result != kCliOk)
            return result;
        QElapsedTimer clock;
        clock.start();
        const std::int64_t logStartMs = LogClockMs();
        // A script that records a run must not take a full disk or a closed file for a log.
        bool outputFailed = false;
        const auto wrote = [&] { outputFailed = outputFailed || out_.status() != QTextStream::Ok; };
        if (options_.Csv)
            out_ << QLatin1String(kDataLogHeader.data(), qsizetype(kDataLogHeader.size()))
                 << Qt::endl;
        wrote();
        qint64 lastStatusMs = -1; // none yet: a version reply alone is no status
        const QMetaObject::Connection rows = QObject::connect(
            &link_, &TEcuLink::MessageReceived, &link_, [&](const TQV3318MessageRec &message) {
                if (message.MsgType != mtStatus)
                    return;
                lastStatusMs = clock.elapsed();
                // A reply damaged on the line still shows the controller answers; its values
                // are not printed.
                if (!StatusReplyPlausible(link_.Codec.DecodedLine(), message))
                    return;
                if (!options_.Csv) {
                    out_ << StatusLine(QDateTime::currentDateTime(), message) << Qt::endl;
                    wrote();
                    return;
                }
                TLogSample sample;
                sample.Ms = LogClockMs() - logStartMs;
                sample.Adc = message.Adc;
                sample.Gear = message.Gear;
                sample.AnalogueInput = message.AnalogueInput;
                sample.StatusBits = message.StatusBits;
                out_ << QString::fromStdString(
                    FormatSampleRow(FormatLogTime(std::chrono::system_clock::now()), sample))
                     << Qt::endl;
                wrote();
            });
        const qint64 limitMs = qint64 {options_.Seconds} * 1000;
        const bool ran
            = WaitFor([&] { return outputFailed || (limitMs > 0 && clock.elapsed() >= limitMs); });
        QObject::disconnect(rows);
        if (outputFailed)
            return kCliDiffers; // said with every other output failure, on the way out
        // An interrupt is the normal end of an open-ended run.
        if (!ran && !stopRequested)
            return WaitFailure();
        // Ctrl+C before the first status reply: nothing tells that the controller stopped.
        if (stopRequested && !lost_ && link_.IsOpen() && lastStatusMs < 0)
            return Fail(kCliNoController,
                        QStringLiteral("interrupted before the controller on %1 answered a "
                                       "status request")
                            .arg(port_));
        // The watchdog needs up to two link ticks to call a silent line lost, so the deadline or
        // an interrupt may come first: a run counts only when the line still answered in the
        // last link tick.
        if (lost_ || !link_.IsOpen() || lastStatusMs < 0
            || clock.elapsed() - lastStatusMs > kLinkTickMs)
            return LinkFailure();
        return kCliOk;
    }

    int Reset()
    {
        if (const int result = Connect(); result != kCliOk)
            return result;
        TQV3318MessageRec reset;
        reset.MsgType = mtReset;
        const QString resetLine = QString::fromStdString(link_.Codec.Encode(reset));
        bool tried = false;
        bool written = false;
        // Only the reset line's own tick tells whether it went out; an empty queue does not.
        const auto noteSent = [&](const QString &line, bool ok) {
            if (line == resetLine && !tried) {
                tried = true;
                written = ok;
            }
        };
        const QMetaObject::Connection sent
            = QObject::connect(&link_, &TEcuLink::LineSent, &link_, noteSent);
        link_.QueueMessage(reset);
        const bool done = WaitFor([&] { return tried; });
        QObject::disconnect(sent);
        if (!done)
            return WaitFailure();
        if (!written)
            return Fail(
                kCliNoController,
                QStringLiteral("the reset could not be sent to the controller on %1").arg(port_));
        out_ << QStringLiteral("Reset sent to ECU %1 on %2").arg(EcuVersion(), port_) << Qt::endl;
        return kCliOk;
    }

    const TCliOptions &options_;
    QTextStream &out_;
    QTextStream &err_;
    QString port_;
    TEcuLink link_;
    bool lost_ = false;
    bool everConnected_ = false;
    bool transferFinished_ = false;
    bool counting_ = false;
    std::map<char, int> sent_;
    int requests_ = 0; // settings requests of the last transfer
    int unsettled_ = 0; // requests of a read not yet answered alike in two tries
    // Every answer taken to each settings request since the read began, with its line.
    TAgreedAnswers answers_;
    TQV3318MessageRec version_; // as the controller told it alike twice
    TSettingsKnown known_; // what the last read's answers filled
};

} // namespace

int RunCli(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    return RunCli(arguments, {}, out, err);
}

namespace {

int RunCommand(const QStringList &arguments, const QString &encodingError, QTextStream &out,
               QTextStream &err)
{
    TCliOptions options = ParseCliArguments(arguments);
    if (!encodingError.isEmpty())
        options.Error = encodingError;
    if (!options.Error.isEmpty()) {
        err << "orbanel-cli: " << options.Error << Qt::endl
            << "Try 'orbanel-cli --help'." << Qt::endl;
        return kCliUsage;
    }
    if (options.Help) {
        out << CliHelp(options.Command);
        out.flush();
        return kCliOk;
    }
    TCliRun run(options, out, err);
    return run.Run();
}

} // namespace

int RunCli(const QStringList &arguments, const QString &encodingError, QTextStream &out,
           QTextStream &err)
{
    stopRequested = false;
    const int code = RunCommand(arguments, encodingError, out, err);
    // A result a script never got is no success: a full disk, a closed output.
    out.flush();
    if (out.status() == QTextStream::Ok)
        return code;
    err << "orbanel-cli: unable to write the output" << Qt::endl;
    return code == kCliOk ? kCliDiffers : code;
}

void RequestCliStop()
{
    stopRequested = true;
}
