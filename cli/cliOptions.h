#pragma once

#include <QString>
#include <QStringList>

// The commands of orbanel-cli.
enum TCliCommand { ccNone, ccPorts, ccRead, ccWrite, ccCompare, ccMonitor, ccReset };

// What the command line asks for. Parsing never touches a port or a file.
struct TCliOptions
{
    TCliCommand Command = ccNone;
    QString Port; // empty: the stored port of the main program
    QString File; // read, write, compare
    bool Force = false; // go on when the versions differ
    bool Help = false; // the help of Command, or of the program when there is none
    int Seconds = 0; // monitor: 0 runs until interrupted
    bool Csv = false; // monitor
    QString Error; // wrong usage: why; empty when the line is usable
};

TCliOptions ParseCliArguments(const QStringList &arguments); // without the program name
// Wrong usage of another kind: an argument (argv[1] on) that is not valid text in the system's
// encoding, such as a file name from an older system, would name another file once decoded.
// Empty when every argument is kept as given.
QString ArgumentEncodingError(int argc, const char *const argv[]);
// The program's help, or one command's (ccNone: the program's).
QString CliHelp(TCliCommand command);
