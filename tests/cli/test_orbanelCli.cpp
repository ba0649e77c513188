// orbanel-cli against ecu-sim on a pseudo-terminal, both as the programs a user runs.

#include "cliRunner.h"
#include "diskFile.h"
#include "profile.h"
#include "settingsCompare.h"
#include "simPtyServer.h"
#include "textFile.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kStartMs = 10'000;
constexpr int kRunMs = 30'000;

struct TCliResult
{
    int ExitCode = -1;
    QString Out;
    QString Err;
};

// Runs ecu-sim on a link in dir for as long as it lives.
class TSimProcess
{
public:
    TSimProcess(const QTemporaryDir &dir, const QStringList &extra = {})
    {
        link_ = dir.filePath(QStringLiteral("ttyECU"));
        process_.start(QStringLiteral(ECU_SIM_BINARY),
                       QStringList {QStringLiteral("--link"), link_} + extra);
        (void)QTest::qWaitFor(
            [&] { return process_.canReadLine() || process_.waitForReadyRead(50); }, kStartMs);
        device_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    }
    ~TSimProcess()
    {
        process_.terminate();
        process_.waitForFinished(kStartMs);
    }
    bool Started() const { return device_.startsWith(QStringLiteral("/dev/")); }
    const QString &Link() const { return link_; }

private:
    QProcess process_;
    QString link_;
    QString device_;
};

TCliResult RunCliProcess(const QStringList &arguments, const QProcessEnvironment &env = {},
                         const QString &outputFile = {})
{
    QProcess cli;
    if (!env.isEmpty())
        cli.setProcessEnvironment(env);
    if (!outputFile.isEmpty())
        cli.setStandardOutputFile(outputFile);
    cli.start(QStringLiteral(ORBANEL_CLI_BINARY), arguments);
    TCliResult result;
    if (!cli.waitForFinished(kRunMs))
        return result;
    result.ExitCode = cli.exitCode();
    result.Out = QString::fromLocal8Bit(cli.readAllStandardOutput());
    result.Err = QString::fromLocal8Bit(cli.readAllStandardError());
    return result;
}

// A profile whose every setting differs from the simulated controller's factory settings.
TEcu KnownSettings()
{
    TEcu ecu;
    LoadDefaults(ecu);
    ecu.SetPositionCount(8);
    ecu.GearShiftType = 1;
    ecu.GearThresholdUpper = 77;
    ecu.GearThresholdLower = 44;
    ecu.BarrelThreshold = 13;
    ecu.Debounce = 9;
    ecu.Ignore = 33;
    ecu.BlipTimeout = 55;
    ecu.UseFeedback = false;
    ecu.UseCutAfterBlip = true;
    ecu.FeedbackWindow = 4;
    ecu.SparkCutTimeout = 222;
    ecu.CutAfterBlip = 17;
    ecu.Ranges.Clear();
    const int bounds[][4] = {{1, 200, 260, 230}, {2, 300, 360, 330}, {3, 400, 460, 430}};
    for (const auto &b : bounds) {
        TGearData &r = ecu.Ranges.Add();
        r.Gear = static_cast<std::uint8_t>(b[0]);
        r.Lower = b[1];
        r.Upper = b[2];
        r.Adc = static_cast<std::uint16_t>(b[3]);
        ecu.Positions[static_cast<std::size_t>(b[0])].Adc = r.Adc;
    }
    for (int i = 2; i <= 8; ++i)
        ecu.SparkDelays[static_cast<std::size_t>(i)] = 140 - i;
    return ecu;
}

TEcu ProfileAt(const QString &path)
{
    TEcu ecu;
    LoadDefaults(ecu);
    ReadProfile(path.toStdString(), ecu);
    return ecu;
}

// Runs one command line in this process, so the simulated controller in the same event loop
// answers it.
TCliResult RunCliHere(const QStringList &arguments)
{
    TCliResult result;
    QTextStream out(&result.Out);
    QTextStream err(&result.Err);
    result.ExitCode = RunCli(arguments, out, err);
    out.flush();
    err.flush();
    return result;
}

// Replies that start with Prefix, damaged by Damage at the given occurrences (1 is the first).
struct TReplyHit
{
    std::string Prefix;
    std::set<int> Occurrences;
    std::function<std::string(std::string)> Damage;
};

std::function<std::string(const std::string &)> DamageAt(std::vector<TReplyHit> hits)
{
    auto seen = std::make_shared<std::vector<int>>(hits.size(), 0);
    return [=](const std::string &reply) {
        for (std::size_t i = 0; i < hits.size(); ++i) {
            if (reply.rfind(hits[i].Prefix, 0) == 0 && hits[i].Occurrences.count(++(*seen)[i]) > 0)
                return hits[i].Damage(reply);
        }
        return reply;
    };
}

std::set<int> EveryOccurrence()
{
    std::set<int> all;
    for (int i = 1; i <= 100; ++i)
        all.insert(i);
    return all;
}

// A reply whose digit at `at` is changed into another: whole, and wrong.
std::string WithOtherDigit(const std::string &reply, std::size_t at)
{
    std::string changed = reply;
    if (at < changed.size())
        changed[at] = changed[at] == '1' ? '2' : '1';
    return changed;
}

} // namespace

TEST(OrbanelCli, WriteThenReadGivesTheSameSettingsAndCompareTellsDifferences)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TSimProcess sim(dir);
    ASSERT_TRUE(sim.Started());
    const QString known = dir.filePath(QStringLiteral("known.ini"));
    ASSERT_TRUE(WriteProfile(known.toStdString(), KnownSettings()));

    const TCliResult write
        = RunCliProcess({QStringLiteral("--port"), sim.Link(), QStringLiteral("write"), known});
    EXPECT_EQ(write.ExitCode, 0) << write.Err.toStdString();
    EXPECT_TRUE(write.Out.startsWith(QStringLiteral("Wrote "))) << write.Out.toStdString();

    const QString back = dir.filePath(QStringLiteral("back.ini"));
    const TCliResult read
        = RunCliProcess({QStringLiteral("--port"), sim.Link(), QStringLiteral("read"), back});
    EXPECT_EQ(read.ExitCode, 0) << read.Err.toStdString();
    EXPECT_TRUE(read.Err.isEmpty());
    EXPECT_TRUE(read.Out.contains(QStringLiteral("6 forward gears, 3 gear ranges")))
        << read.Out.toStdString();
    const TEcu readBack = ProfileAt(back);
    EXPECT_EQ(CountDiffering(CompareSettings(KnownSettings(), readBack)), 0);
    EXPECT_EQ(readBack.Debounce, 9);
    EXPECT_EQ(readBack.Ranges.Count(), 3);
    EXPECT_EQ(readBack.SparkDelays[6], 134);

    const TCliResult same
        = RunCliProcess({QStringLiteral("--port"), sim.Link(), QStringLiteral("compare"), known});
    EXPECT_EQ(same.ExitCode, 0) << same.Err.toStdString();
    EXPECT_TRUE(same.Out.isEmpty()) << same.Out.toStdString();

    TEcu changed = KnownSettings();
    changed.Debounce = 10;
    changed.SparkDelays[3] = 99;
    changed.SparkDelays[8] = 1; // never read back from the controller: no difference
    const QString other = dir.filePath(QStringLiteral("other.ini"));
    ASSERT_TRUE(WriteProfile(other.toStdString(), changed));
    const TCliResult differs
        = RunCliProcess({QStringLiteral("compare"), other, QStringLiteral("--port"), sim.Link()});
    EXPECT_EQ(differs.ExitCode, 1) << differs.Err.toStdString();
    EXPECT_EQ(differs.Out,
              QStringLiteral("Trigger Debounce: file 10 ms, ECU 9 ms\n"
                             "Cut Duration (Second): file 99 ms, ECU 137 ms\n"));

    // A hand-edited profile without a gear's cut duration reads as the window opens it: none,
    // not the factory's 100 ms, so a write from here puts the same into the car as one from there.
    std::string text = ReadText(known.toStdString());
    const std::size_t third = text.find("\n3=136");
    ASSERT_NE(third, std::string::npos) << text;
    text.erase(third, 6);
    WriteText(known.toStdString(), text);
    const TCliResult handEdited
        = RunCliProcess({QStringLiteral("--port"), sim.Link(), QStringLiteral("compare"), known});
    EXPECT_EQ(handEdited.Out, QStringLiteral("Cut Duration (Third): file 0 ms, ECU 136 ms\n"));
}

// Without --port the program uses the port the main program stores.
TEST(OrbanelCli, MonitorCsvGivesAboutTenRowsASecondThatParse)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TSimProcess sim(dir);
    ASSERT_TRUE(sim.Started());
    QDir(dir.path()).mkpath(QStringLiteral("config/Kestrova"));
    QFile conf(dir.filePath(QStringLiteral("config/Kestrova/Orbanel.conf")));
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write(QStringLiteral("[General]\ncommsport=%1\n").arg(sim.Link()).toLocal8Bit());
    conf.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));

    const TCliResult monitor
        = RunCliProcess({QStringLiteral("monitor"), QStringLiteral("--seconds"),
                         QStringLiteral("2"), QStringLiteral("--csv")},
                        env);
    ASSERT_EQ(monitor.ExitCode, 0) << monitor.Err.toStdString();
    QStringList rows = monitor.Out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(rows.takeFirst(),
              QStringLiteral("time,ms,adc,angle_deg,gear_index,gear,analog_input,status_hex,"
                             "upshift_trigger,downshift_trigger,engine_cut,throttle_blip"));
    EXPECT_GE(rows.size(), 15);
    EXPECT_LE(rows.size(), 22);
    qint64 lastMs = -1;
    for (const QString &row : rows) {
        const QStringList f = row.split(u',');
        ASSERT_EQ(f.size(), 12) << row.toStdString();
        EXPECT_TRUE(QDateTime::fromString(f[0], Qt::ISODateWithMs).isValid()) << row.toStdString();
        bool ok = false;
        const qint64 ms = f[1].toLongLong(&ok);
        EXPECT_TRUE(ok && ms > lastMs && ms <= 2100) << row.toStdString();
        lastMs = ms;
        const int adc = f[2].toInt(&ok);
        EXPECT_TRUE(ok && adc >= 0 && adc <= 1023) << row.toStdString();
        EXPECT_NEAR(f[3].toDouble(), adc * 360.0 / 1023.0, 0.05) << row.toStdString();
        const int gear = f[4].toInt(&ok);
        ASSERT_TRUE(ok && gear >= 0 && gear < 10) << row.toStdString();
        EXPECT_EQ(f[5], QString(QLatin1Char("RN1234567x"[gear])));
        const int bits = f[7].toInt(&ok, 16);
        EXPECT_TRUE(ok && f[7].size() == 2) << row.toStdString();
        for (int b = 0; b < 4; ++b)
            EXPECT_EQ(f[8 + b].toInt(), (bits >> b) & 1) << row.toStdString();
    }

    // Output to a full disk is no log: the run stops and says so.
    for (const bool csv : {true, false}) {
        QStringList arguments
            = {QStringLiteral("monitor"), QStringLiteral("--seconds"), QStringLiteral("20")};
        if (csv)
            arguments << QStringLiteral("--csv");
        const TCliResult full = RunCliProcess(arguments, env, QStringLiteral("/dev/full"));
        EXPECT_EQ(full.ExitCode, 1) << csv;
        EXPECT_TRUE(full.Err.contains(QStringLiteral("unable to write the output")))
            << full.Err.toStdString();
    }
}

TEST(OrbanelCli, MissingPortSilentControllerAndOtherVersionAreRefused)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("car.ini"));

    const TCliResult missing
        = RunCliProcess({QStringLiteral("--port"), dir.filePath(QStringLiteral("ttyNone")),
                         QStringLiteral("read"), file});
    EXPECT_EQ(missing.ExitCode, 3);
    EXPECT_TRUE(missing.Out.isEmpty());
    EXPECT_TRUE(missing.Err.contains(QStringLiteral("does not exist")))
        << missing.Err.toStdString();
    EXPECT_TRUE(missing.Err.contains(QStringLiteral("--port"))) << "the option, not a dialog";

    {
        TSimProcess silent(dir, {QStringLiteral("--silent-after"), QStringLiteral("0")});
        ASSERT_TRUE(silent.Started());
        const TCliResult noReply
            = RunCliProcess({QStringLiteral("--port"), silent.Link(), QStringLiteral("reset")});
        EXPECT_EQ(noReply.ExitCode, 3);
        EXPECT_TRUE(noReply.Err.contains(QStringLiteral("no reply from the controller")))
            << noReply.Err.toStdString();
    }

    TSimProcess older(dir, {QStringLiteral("--version"), QStringLiteral("0.9.4")});
    ASSERT_TRUE(older.Started());
    const TCliResult refused
        = RunCliProcess({QStringLiteral("--port"), older.Link(), QStringLiteral("read"), file});
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_TRUE(refused.Err.contains(QStringLiteral("versions do not match")))
        << refused.Err.toStdString();
    EXPECT_FALSE(QFile::exists(file)) << "nothing read, nothing saved";

    // A profile that cannot be read whole, or a file that is no profile at all (a data log), is
    // refused before the port is touched: the port here does not exist, and would fail with
    // another code. Written, the log would have put factory defaults into the car.
    const QString big = dir.filePath(QStringLiteral("big.ini"));
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(static_cast<qint64>(kMaxDiskFileBytes) + 1));
    }
    const QString log = dir.filePath(QStringLiteral("run.csv"));
    WriteText(log.toStdString(), "time,ms,adc\n2026-12-09T01:46:47.976,0,748\n");
    // Each says why, so that the user knows what to mend. A missing profile is only refused
    // where it would be read: a read makes it.
    const QString folder = dir.filePath(QStringLiteral("profiles.ini"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString none = dir.filePath(QStringLiteral("none.ini"));
    const struct
    {
        QString File;
        const char *Reason;
        std::vector<const char *> Commands;
    } refusedFiles[] = {
        {big, "it is larger than 16 MiB", {"write", "read", "compare"}},
        {log, "it is not a profile", {"write", "read", "compare"}},
        {folder, "it is a folder", {"write", "read", "compare"}},
        {none, "there is no such file", {"write", "compare"}},
    };
    for (const auto &bad : refusedFiles)
        for (const char *command : bad.Commands) {
            const TCliResult refusedFile
                = RunCliProcess({QStringLiteral("--port"), dir.filePath(QStringLiteral("ttyNone")),
                                 QString::fromLatin1(command), bad.File});
            EXPECT_EQ(refusedFile.ExitCode, 2) << command << " " << bad.File.toStdString();
            EXPECT_TRUE(
                refusedFile.Err.contains(QStringLiteral("cannot read the profile %1: %2")
                                             .arg(bad.File, QString::fromLatin1(bad.Reason))))
                << refusedFile.Err.toStdString();
        }
    EXPECT_FALSE(QFile::exists(none));
    EXPECT_EQ(ReadText(log.toStdString()), "time,ms,adc\n2026-12-09T01:46:47.976,0,748\n");
    // A profile of only comments opens as the defaults, without gear ranges, and one with a value
    // that is no number as that setting's default: compared, they go on (to the port, which
    // fails); written, they are refused.
    const QString empty = dir.filePath(QStringLiteral("empty.ini"));
    WriteText(empty.toStdString(), "; to be filled in\n");
    // The others are whole profiles with one line changed.
    const auto profileWith = [&dir](const char *name, const char *line, const char *replacement) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        const QString whole = QString::fromStdString(ProfileText({}, KnownSettings()));
        const QString changed
            = QString(whole).replace(QRegularExpression(QStringLiteral("(?m)^%1").arg(line)),
                                     QString::fromLatin1(replacement));
        EXPECT_NE(changed, whole) << line;
        WriteText(path.toStdString(), changed.toStdString());
        return path;
    };
    const QString typo = profileWith("typo.ini", "debounce=.*\nignore=.*", "debounce=3O\nignore=");
    // Nor a key lost in an edit: the count of ranges read as none would empty every gear range.
    const QString partial = profileWith("partial.ini", "ranges=.*\n", "");
    // Nor a value its field on the line cannot carry: the car would get another one.
    const QString unfit = profileWith("unfit.ini", "debounce=.*", "debounce=300");
    // Nor one a profile cannot hold: the controller could not be read into a profile again.
    const QString tooLong = profileWith("long.ini", "timeout=.*", "timeout=1001");
    const QString longest = profileWith("longest.ini", "timeout=.*", "timeout=1000");
    // Nor a count of gears the reader would limit: the file's other gears would be cut off.
    const QString tooFew = profileWith("toofew.ini", "fwdgears=.*", "fwdgears=-1");
    const QString tooMany = profileWith("toomany.ini", "fwdgears=.*", "fwdgears=4");
    const std::pair<QString, QString> refusals[] = {
        {tooLong,
         QStringLiteral("a profile cannot hold: Maximum Cut Duration 1001 ms (would be saved as "
                        "1000 ms)")},
        {longest, QStringLiteral("cannot write the profile")},
        {tooFew, QStringLiteral("fwdgears is not 0 to 3")},
        {tooMany, QStringLiteral("fwdgears is not 0 to 3")},
        {empty, QStringLiteral("holds no settings")},
        {typo, QStringLiteral("not a number: [vehicle] debounce=3O, [vehicle] ignore=")},
        {partial, QStringLiteral("no value for [vehicle] ranges")},
        {unfit,
         QStringLiteral("the line cannot carry: Trigger Debounce 300 ms (would arrive as "
                        "255 ms)")},
    };
    for (const auto &[file, reason] : refusals)
        for (const char *command : {"write", "compare"}) {
            const bool write = std::string_view(command) == "write";
            const TCliResult refusal
                = RunCliProcess({QStringLiteral("--port"), dir.filePath(QStringLiteral("ttyNone")),
                                 QString::fromLatin1(command), file});
            const bool refused = write && file != longest;
            EXPECT_EQ(refusal.ExitCode, refused ? 2 : 3) << command;
            EXPECT_EQ(refusal.Err.contains(reason), refused) << refusal.Err.toStdString();
        }
    const TCliResult noFolder
        = RunCliProcess({QStringLiteral("--port"), dir.filePath(QStringLiteral("ttyNone")),
                         QStringLiteral("read"), dir.filePath(QStringLiteral("gone/car.ini"))});
    EXPECT_EQ(noFolder.ExitCode, 2);
    EXPECT_TRUE(noFolder.Err.contains(QStringLiteral("there is no folder")))
        << noFolder.Err.toStdString();
    // A link is saved through: its target's folder must be there.
    const QString dangling = dir.filePath(QStringLiteral("dangling.ini"));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone/car.ini")), dangling));
    const TCliResult noTargetFolder
        = RunCliProcess({QStringLiteral("--port"), dir.filePath(QStringLiteral("ttyNone")),
                         QStringLiteral("read"), dangling});
    EXPECT_EQ(noTargetFolder.ExitCode, 2);
    EXPECT_TRUE(noTargetFolder.Err.contains(QStringLiteral("there is no folder")))
        << noTargetFolder.Err.toStdString();

    const TCliResult usage = RunCliProcess({QStringLiteral("read")});
    EXPECT_EQ(usage.ExitCode, 2);
    EXPECT_TRUE(usage.Out.isEmpty());
    EXPECT_TRUE(usage.Err.contains(QStringLiteral("needs a profile FILE")));
    const TCliResult help = RunCliProcess({QStringLiteral("monitor"), QStringLiteral("--help")});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_TRUE(help.Out.startsWith(QStringLiteral("Usage: orbanel-cli")))
        << help.Out.toStdString();
}

// In-process, where the simulated controller's own counters show what arrived.
TEST(OrbanelCli, ResetSendsTheResetCommandOnce)
{
    TSimPtyServer server;
    ASSERT_TRUE(server.IsOpen());
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    EXPECT_EQ(RunCli({QStringLiteral("--port"), server.DevicePath(), QStringLiteral("reset")},
                     outStream, errStream),
              kCliOk)
        << err.toStdString();
    EXPECT_TRUE(out.startsWith(QStringLiteral("Reset sent to ECU v 1.0.0"))) << out.toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.Simulator().Restarts() == 1; }, kStartMs));
}

TEST(OrbanelCli, ForceReadsAControllerOfAnotherVersion)
{
    TSimPtyOptions options;
    options.Version = TSimVersion {0, 9, 4};
    TSimPtyServer server(options);
    ASSERT_TRUE(server.IsOpen());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("car.ini"));
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    EXPECT_EQ(RunCli({QStringLiteral("read"), QStringLiteral("--force"), file,
                      QStringLiteral("--port"), server.DevicePath()},
                     outStream, errStream),
              kCliOk)
        << err.toStdString();
    EXPECT_TRUE(out.startsWith(QStringLiteral("Read ECU v 0.9.4"))) << out.toStdString();
    EXPECT_EQ(ProfileAt(file).PositionCount, server.Simulator().Settings().Params.PositionCount);
}

// The codec reads a short line or a non-hex field as zeros; such a reply leaves its request
// unanswered. A read tries again, and saves when every request was answered in one try or
// another; after three tries with a request unanswered it saves nothing.
TEST(OrbanelCli, ReadRetriesCutShortOrGarbledRepliesAndSavesNothingWhenEveryTryFails)
{
    const auto cutShort = [](std::string r) { return r.substr(0, 7) + "\r"; };
    const auto otherSlot = [](std::string r) { return r.replace(2, 2, "0C"); };
    const auto nonHex = [](std::string r) { return r.replace(4, 1, "G"); };
    // Whole replies with one digit changed: a range's upper bound, the version's major number.
    const auto otherUpper = [](const std::string &r) { return WithOtherDigit(r, 12); };
    const auto otherMajor = [](const std::string &r) { return WithOtherDigit(r, 3); };
    const auto statusInstead = [](std::string) { return std::string("@s0100200300\r"); };
    const auto twelvePositions = [](std::string r) { return r.replace(4, 2, "0C"); };
    const struct
    {
        const char *Name;
        std::vector<TReplyHit> Hits;
        const char *Failure; // nullptr: the read is saved
        int Code = kCliNoController;
    } rows[] = {
        {"parameters cut short once", {{"@p", {1}, cutShort}}, nullptr},
        {"each request damaged in some tries",
         {{"@p", {1, 3}, cutShort}, {"@r03", {2}, otherSlot}},
         nullptr},
        {"a range bound changed, whole, in the first try", {{"@r03", {1}, otherUpper}}, nullptr},
        {"the version's major number changed once", {{"@V", {1}, otherMajor}}, nullptr},
        {"cut duration garbled in every try",
         {{"@d02", EveryOccurrence(), nonHex}},
         "did not answer 1 of 17 requests alike in two tries (read 8 times)"},
        // A reply to each version request, but never the version: the command ends all the same.
        {"the version never told",
         {{"@V", EveryOccurrence(), statusInstead}},
         "did not tell its version alike twice (asked 5 times)"},
        // Answered alike every time, but more gears than a profile holds: saved, it would differ
        // from the controller at once.
        {"a gear count no profile holds",
         {{"@p", EveryOccurrence(), twelvePositions}},
         "holds what a profile cannot",
         kCliDiffers},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const auto &row : rows) {
        SCOPED_TRACE(row.Name);
        TSimPtyOptions options;
        options.Damage = DamageAt(row.Hits);
        TSimPtyServer server(options);
        ASSERT_TRUE(server.IsOpen());
        const QString file = dir.filePath(QString::fromLatin1(row.Name) + QStringLiteral(".ini"));
        const TCliResult read = RunCliHere(
            {QStringLiteral("--port"), server.DevicePath(), QStringLiteral("read"), file});
        if (row.Failure != nullptr) {
            EXPECT_EQ(read.ExitCode, row.Code);
            // What a profile cannot hold is listed as a comparison lists it.
            if (row.Code == kCliDiffers)
                EXPECT_TRUE(read.Out.startsWith("No. Of Forwards Gears: file 7, ECU 10\n"))
                    << read.Out.toStdString();
            else
                EXPECT_TRUE(read.Out.isEmpty()) << read.Out.toStdString();
            EXPECT_TRUE(read.Err.contains(QString::fromLatin1(row.Failure)))
                << read.Err.toStdString();
            EXPECT_FALSE(QFile::exists(file));
            continue;
        }
        ASSERT_EQ(read.ExitCode, kCliOk) << read.Err.toStdString();
        const TSimSettings &held = server.Simulator().Settings();
        const TEcu saved = ProfileAt(file);
        EXPECT_EQ(saved.PositionCount, held.Params.PositionCount);
        EXPECT_EQ(saved.Debounce, held.Params.Debounce);
        int ranges = 0;
        for (std::size_t slot = 0; slot < held.Ranges.size(); ++slot) {
            if (held.Ranges[slot].Upper == 0)
                continue;
            ASSERT_GT(saved.Ranges.Count(), ranges);
            EXPECT_EQ(saved.Ranges.Items(ranges).Lower, held.Ranges[slot].Lower) << slot;
            EXPECT_EQ(saved.Ranges.Items(ranges).Upper, held.Ranges[slot].Upper) << slot;
            ++ranges;
        }
        EXPECT_EQ(saved.Ranges.Count(), ranges);
        EXPECT_EQ(saved.SparkDelays[2], held.CutDurations[2]);
    }
}

// A controller or adapter that answers late still owes the last command its replies when the
// next one opens the port: they must not pass for answers to the new command's requests. One that
// answers later than the read's steps go gives the number of gears after the cut durations were
// asked for by the file's number (a new file's default): the next try asks by the controller's.
TEST(OrbanelCli, ACommandRightAfterAnotherThroughALateControllerReadsAll)
{
    for (const int delayMs : {300, 1200}) {
        SCOPED_TRACE(delayMs);
        TSimPtyOptions options;
        options.ReplyDelayMs = delayMs;
        TSimPtyServer server(options);
        ASSERT_TRUE(server.IsOpen());
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        if (delayMs < 1000) { // later, the line is lost to the monitor's watchdog
            const TCliResult monitor = RunCliHere(
                {QStringLiteral("--port"), server.DevicePath(), QStringLiteral("monitor"),
                 QStringLiteral("--seconds"), QStringLiteral("1")});
            ASSERT_EQ(monitor.ExitCode, kCliOk) << monitor.Err.toStdString();
        }
        const QString file = dir.filePath(QStringLiteral("late.ini"));
        const TCliResult read = RunCliHere(
            {QStringLiteral("--port"), server.DevicePath(), QStringLiteral("read"), file});
        EXPECT_EQ(read.ExitCode, kCliOk) << read.Err.toStdString();
        const TSimParams &held = server.Simulator().Settings().Params;
        EXPECT_EQ(ProfileAt(file).Debounce, held.Debounce);
        EXPECT_EQ(ProfileAt(file).PositionCount, held.PositionCount);
    }
}

// The watchdog calls a silent line lost only at its second tick; a run whose deadline comes
// first must not pass for one the controller answered to its end.
TEST(OrbanelCli, MonitorEndingOnAPulledCableOrASilentLineFails)
{
    const struct
    {
        const char *Name;
        int SilentAfterLines;
        int UnplugAtMs;
        bool StatusAnswered;
        const char *Seconds; // nullptr: until interrupted
        QString Reason;
    } rows[] = {
        {"cable pulled", -1, 1000, true, "2", QStringLiteral("went away")},
        // After the version, told twice, and one status reply.
        {"line silent", 3, -1, true, "2", QStringLiteral("stopped answering")},
        // The version alone is no status: a run shorter than the watchdog still fails, and so
        // does one that Ctrl+C ends, which does not blame the controller for the stop.
        {"status never answered", -1, -1, false, "1", QStringLiteral("stopped answering")},
        {"status never answered, interrupted", -1, -1, false, nullptr,
         QStringLiteral("interrupted before the controller on")},
    };
    for (const auto &row : rows) {
        TSimPtyOptions options;
        options.SilentAfterLines = row.SilentAfterLines;
        if (!row.StatusAnswered)
            options.Damage = DamageAt({{"@s", EveryOccurrence(), [](auto) { return ""; }}});
        TSimPtyServer server(options);
        ASSERT_TRUE(server.IsOpen());
        if (row.UnplugAtMs >= 0)
            QTimer::singleShot(row.UnplugAtMs, &server, [&server] { server.Unplug(); });
        QStringList arguments
            = {QStringLiteral("--port"), server.DevicePath(), QStringLiteral("monitor")};
        if (row.Seconds != nullptr)
            arguments << QStringLiteral("--seconds") << QString::fromLatin1(row.Seconds);
        else
            QTimer::singleShot(1500, &server, [] { RequestCliStop(); });
        const TCliResult monitor = RunCliHere(arguments);
        EXPECT_EQ(monitor.ExitCode, kCliNoController) << row.Name;
        EXPECT_TRUE(monitor.Err.contains(row.Reason))
            << row.Name << ": " << monitor.Err.toStdString();
        EXPECT_EQ(monitor.Out.isEmpty(), !row.StatusAnswered)
            << row.Name << ": the replies before still printed";
    }
}

// A controller that falls silent part-way through a write keeps some of the new settings: the
// failure says so, not only that the controller stopped answering.
TEST(OrbanelCli, AWriteCutShortSaysTheControllerMayHoldPartOfIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("car.ini"));
    ASSERT_TRUE(WriteProfile(file.toStdString(), KnownSettings()));
    // The version twice, then a few of the write's lines; or the whole write (about 20 lines) and
    // a few of the read back's: that write went through, and the user must not take it for one
    // that failed.
    const struct
    {
        int SilentAfterLines;
        const char *Says;
    } cases[] = {{8, "may now hold only part of"},
                 {26, "was written, but the controller could not be read back"}};
    for (const auto &c : cases) {
        TSimPtyOptions options;
        options.SilentAfterLines = c.SilentAfterLines;
        TSimPtyServer server(options);
        ASSERT_TRUE(server.IsOpen());
        const TCliResult write = RunCliHere(
            {QStringLiteral("--port"), server.DevicePath(), QStringLiteral("write"), file});
        EXPECT_EQ(write.ExitCode, kCliNoController) << c.SilentAfterLines;
        EXPECT_TRUE(write.Err.contains(QString::fromLatin1(c.Says))) << write.Err.toStdString();
    }
}

// The cable is pulled after the controller answered and before the reset line's tick (the
// next status tick, 100 ms after the version poll): the reset never goes out.
TEST(OrbanelCli, ResetOnAPulledCableFails)
{
    constexpr int kUnplugAfterReplyMs = 60; // after the driver's next read, before the next tick
    TSimPtyServer server;
    ASSERT_TRUE(server.IsOpen());
    QObject::connect(&server, &TSimPtyServer::Replied, &server, [&server](const QString &reply) {
        if (reply.startsWith(QStringLiteral("@V")))
            QTimer::singleShot(kUnplugAfterReplyMs, &server, [&server] { server.Unplug(); });
    });
    const TCliResult reset
        = RunCliHere({QStringLiteral("--port"), server.DevicePath(), QStringLiteral("reset")});
    EXPECT_EQ(reset.ExitCode, kCliNoController) << reset.Out.toStdString();
    EXPECT_TRUE(reset.Out.isEmpty()) << reset.Out.toStdString();
    EXPECT_TRUE(reset.Err.contains(QStringLiteral("went away"))
                || reset.Err.contains(QStringLiteral("could not be sent")))
        << reset.Err.toStdString();
    EXPECT_EQ(server.Simulator().Restarts(), 0);
}
