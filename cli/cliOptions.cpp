#include "cliOptions.h"

#include <array>

namespace {

struct TCommandInfo
{
    TCliCommand Command;
    const char *Name;
    const char *Synopsis;
    const char *Help;
};

constexpr std::array<TCommandInfo, 6> kCommands = {{
    {ccPorts, "ports", "ports",
     "Lists the serial ports present now, one per line: the name to give to --port, a tab and\n"
     "the readable name (the list the main program's port dialog shows).\n"},
    {ccRead, "read", "read FILE",
     "Reads every setting from the controller and saves them in the profile FILE. An existing\n"
     "file keeps every section and key the program does not own, and the settings the\n"
     "controller does not report. Prints a one-line summary.\n"},
    {ccWrite, "write", "write FILE",
     "Writes the settings of the profile FILE into the controller, then reads them back and\n"
     "compares. Exit 0 only when the controller holds what was written; otherwise every\n"
     "difference is listed, one per line, and the exit code is 1.\n"},
    {ccCompare, "compare", "compare FILE",
     "Reads the controller and lists the differences against the profile FILE, one per line.\n"
     "Exit 0 when they hold the same settings, 1 when they differ.\n"},
    {ccMonitor, "monitor", "monitor [--seconds N] [--csv]",
     "Polls the controller's status ten times a second and prints one line per reply: time,\n"
     "barrel angle, gear, analogue input and the up-shift trigger, down-shift trigger, engine\n"
     "cut and throttle blip bits. --csv prints a header and CSV rows instead. Runs for N\n"
     "seconds, or until interrupted (Ctrl+C).\n"},
    {ccReset, "reset", "reset", "Sends the controller the reset command.\n"},
}};

const TCommandInfo *FindCommand(const QString &name)
{
    for (const TCommandInfo &info : kCommands)
        if (name == QLatin1String(info.Name))
            return &info;
    return nullptr;
}

const TCommandInfo *InfoOf(TCliCommand command)
{
    for (const TCommandInfo &info : kCommands)
        if (info.Command == command)
            return &info;
    return nullptr;
}

const char *const kCommonOptions
    = "Options:\n"
      "  --port NAME   the serial port (default: the port the main program uses)\n"
      "  --force       read, write, compare: go on when the controller's version differs\n"
      "  --help        this help; after a command, that command's help\n"
      "  --            ends the options: a FILE after it may start with -\n";

const char *const kExitCodes = "Exit codes: 0 success, 1 the controller disagreed or differed or "
                               "the output\ncould not be written, 2 wrong usage, 3 no controller "
                               "answering or the port could\nnot be opened.\n";

bool TakesFile(TCliCommand command)
{
    return command == ccRead || command == ccWrite || command == ccCompare;
}

} // namespace

QString CliHelp(TCliCommand command)
{
    if (const TCommandInfo *info = InfoOf(command))
        return QStringLiteral("Usage: orbanel-cli [--port NAME] %1\n\n%2\n%3\n%4")
            .arg(QLatin1String(info->Synopsis), QLatin1String(info->Help),
                 QLatin1String(kCommonOptions), QLatin1String(kExitCodes));
    QString text = QStringLiteral(
        "Usage: orbanel-cli [--port NAME] [--force] COMMAND [ARGS]\n\n"
        "Reads, writes, compares, monitors and resets the gear-shift controller from a terminal\n"
        "or a script, at the same pace and on the same link rules as the main program.\n\n"
        "Commands:\n");
    for (const TCommandInfo &info : kCommands)
        text += QStringLiteral("  %1\n").arg(QLatin1String(info.Synopsis));
    text
        += QStringLiteral("\n%1\n%2").arg(QLatin1String(kCommonOptions), QLatin1String(kExitCodes));
    return text;
}

TCliOptions ParseCliArguments(const QStringList &arguments)
{
    TCliOptions options;
    QStringList positional;
    bool secondsGiven = false;
    const auto fail = [&options](const QString &why) {
        if (options.Error.isEmpty())
            options.Error = why;
    };

    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        // After "--" every argument is a command or a FILE, also one that starts with "-".
        if (optionsEnded || arg == QLatin1String("--")) {
            if (optionsEnded)
                positional.append(arg);
            optionsEnded = true;
            continue;
        }
        // Both "--port NAME" and "--port=NAME".
        const auto value = [&](const QString &name, QString &into) {
            if (arg.startsWith(name + QLatin1Char('='))) {
                into = arg.mid(name.size() + 1);
                return true;
            }
            if (arg != name)
                return false;
            if (i + 1 >= arguments.size()) {
                fail(QStringLiteral("%1 needs a value").arg(name));
                return true;
            }
            into = arguments[++i];
            return true;
        };
        QString text;
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.Help = true;
        } else if (arg == QLatin1String("--force")) {
            options.Force = true;
        } else if (arg == QLatin1String("--csv")) {
            options.Csv = true;
        } else if (value(QStringLiteral("--port"), text)) {
            options.Port = text;
            if (text.isEmpty())
                fail(QStringLiteral("--port needs a port name"));
        } else if (value(QStringLiteral("--seconds"), text)) {
            bool ok = false;
            options.Seconds = text.toInt(&ok);
            secondsGiven = true;
            if (!ok || options.Seconds <= 0)
                fail(QStringLiteral("--seconds wants a whole number of seconds above 0"));
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            fail(QStringLiteral("unknown option %1").arg(arg));
        } else {
            positional.append(arg);
        }
    }

    if (positional.isEmpty()) {
        if (!options.Help)
            fail(QStringLiteral("no command given"));
        return options;
    }
    const QString name = positional.takeFirst();
    const TCommandInfo *info = FindCommand(name);
    if (!info) {
        fail(QStringLiteral("unknown command %1").arg(name));
        return options;
    }
    options.Command = info->Command;
    if (options.Help)
        return options; // the command's help, whatever else the line holds

    if (TakesFile(options.Command)) {
        if (positional.isEmpty() || positional.first().isEmpty())
            fail(QStringLiteral("%1 needs a profile FILE").arg(QLatin1String(info->Name)));
        else
            options.File = positional.takeFirst();
    }
    if (!positional.isEmpty())
        fail(QStringLiteral("unexpected argument %1").arg(positional.first()));
    if (options.Command != ccMonitor && (options.Csv || secondsGiven))
        fail(QStringLiteral("--seconds and --csv belong to monitor"));
    if (options.Force && !TakesFile(options.Command))
        fail(QStringLiteral("--force belongs to read, write and compare"));
    return options;
}

QString ArgumentEncodingError(int argc, const char *const argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray given(argv[i]);
        const QString text = QString::fromLocal8Bit(given);
        if (text.toLocal8Bit() != given)
            return QStringLiteral("the argument '%1' is not valid text in this system's encoding; "
                                  "rename the file")
                .arg(text);
    }
    return {};
}
