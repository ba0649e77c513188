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
// The program's help, or one command's (ccNone: the program's).
QString CliHelp(TCliCommand command);
