// orbanel-cli: reads, writes, compares, monitors and resets the controller from a terminal or a
// script, on the same link rules as the main program.

#include "cliRunner.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>

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
    // Ctrl+C and a polite kill end a monitor run normally; a reader that went away (monitor
    // piped into head) must not kill it mid-line.
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    QTextStream out(stdout);
    QTextStream err(stderr);
    return RunCli(QCoreApplication::arguments().mid(1), out, err);
}
