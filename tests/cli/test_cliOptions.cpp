#include "cliOptions.h"
#include "cliRunner.h"

#include <QFile>
#include <QTextStream>

#include <gtest/gtest.h>

namespace {

TCliOptions Parse(const char *line)
{
    return ParseCliArguments(QString::fromLatin1(line).split(u' ', Qt::SkipEmptyParts));
}

} // namespace

TEST(CliOptions, UsableLines)
{
    TCliOptions o = Parse("--port /dev/ttyUSB0 read car.ini");
    EXPECT_TRUE(o.Error.isEmpty()) << o.Error.toStdString();
    EXPECT_EQ(o.Command, ccRead);
    EXPECT_EQ(o.Port, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(o.File, QStringLiteral("car.ini"));

    o = Parse("monitor --csv --seconds=2 --port=COM3");
    EXPECT_TRUE(o.Error.isEmpty()) << o.Error.toStdString();
    EXPECT_EQ(o.Command, ccMonitor);
    EXPECT_TRUE(o.Csv);
    EXPECT_EQ(o.Seconds, 2);
    EXPECT_EQ(o.Port, QStringLiteral("COM3"));

    o = Parse("write --force a.ini");
    EXPECT_TRUE(o.Force);
    EXPECT_EQ(o.File, QStringLiteral("a.ini"));

    o = Parse("--port p read -- --force.ini"); // a FILE that starts with -, after the options
    EXPECT_TRUE(o.Error.isEmpty()) << o.Error.toStdString();
    EXPECT_EQ(o.File, QStringLiteral("--force.ini"));
    EXPECT_FALSE(o.Force);
    EXPECT_EQ(Parse("-- write -").File, QStringLiteral("-"));

    o = Parse("compare --help");
    EXPECT_TRUE(o.Help);
    EXPECT_EQ(o.Command, ccCompare);
    EXPECT_TRUE(o.Error.isEmpty()) << "help needs no FILE";
    EXPECT_TRUE(CliHelp(ccCompare).contains(QStringLiteral("compare FILE")));
    EXPECT_TRUE(Parse("--help").Error.isEmpty());
    EXPECT_TRUE(CliHelp(ccNone).contains(QStringLiteral("monitor [--seconds N] [--csv]")));
}

// Every line here is wrong usage (exit 2), each for its own reason.
TEST(CliOptions, WrongUsageIsRefusedWithAReason)
{
    for (const char *line :
         {"", "bogus", "read", "read a.ini b.ini", "ports extra", "--port", "--port= ports",
          "monitor --seconds 0", "monitor --seconds x", "monitor --seconds", "read a.ini --csv",
          "reset --seconds 3", "monitor --force", "ports --verbose", "read -- a.ini --force"}) {
        const TCliOptions o = Parse(line);
        EXPECT_FALSE(o.Error.isEmpty()) << "'" << line << "' was accepted";
    }
    EXPECT_EQ(Parse("monitor --seconds 1").Seconds, 1) << "the smallest run";
    EXPECT_FALSE(ParseCliArguments({QStringLiteral("read"), QString()}).Error.isEmpty())
        << "an empty FILE";
}

// A Latin-1 file name on a UTF-8 system would be read as another name, and `read` would create
// that file and report success.
TEST(CliOptions, AnArgumentThatIsNotValidTextIsRefused)
{
    const char *latin1[] = {"orbanel-cli", "read", "Kart\xE9.ini"};
    EXPECT_TRUE(ArgumentEncodingError(3, latin1).contains(QStringLiteral("Kart")));
    const char *utf8[] = {"orbanel-cli", "--port", "/dev/ttyUSB0", "read", "K\xC3\xA4rt.ini"};
    EXPECT_TRUE(ArgumentEncodingError(5, utf8).isEmpty());
    const char *latin1Program[]
        = {"orbanel-cli\xE9", "ports"}; // the program's own name is not used
    EXPECT_TRUE(ArgumentEncodingError(2, latin1Program).isEmpty());
}

// A result that never reached its reader (a full disk, a closed output) is no success.
TEST(CliOptions, OutputThatCannotBeWrittenFailsTheCommand)
{
    QFile full(QStringLiteral("/dev/full"));
    ASSERT_TRUE(full.open(QIODevice::WriteOnly));
    QTextStream out(&full);
    QString errors;
    QTextStream err(&errors);
    EXPECT_EQ(RunCli({QStringLiteral("--help")}, out, err), kCliDiffers);
    err.flush();
    EXPECT_TRUE(errors.contains(QStringLiteral("unable to write the output")))
        << errors.toStdString();
}
