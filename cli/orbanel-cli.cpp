// orbanel-cli: reads, writes, compares, monitors and resets the controller from a terminal or a
// script, on the same link rules as the main program.

#include "cliOptions.h"
#include "cliRunner.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>

namespace {

void OnStopSignal(int)
{
    RequestCliStop();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orbanel-cli"));
    // Ctrl+C and a polite kill end a monitor run normally. A reader that went away (monitor piped
    // into head) ends the program as it ends any filter.
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return RunCli(QCoreApplication::arguments().mid(1), ArgumentEncodingError(argc, argv), out,
                  err);
}
