#pragma once

#include <QStringList>

class QTextStream;

// Exit codes of orbanel-cli.
inline constexpr int kCliOk = 0;
inline constexpr int kCliDiffers = 1; // the controller disagreed, differed, or a file failed
inline constexpr int kCliUsage = 2;
inline constexpr int kCliNoController = 3; // nothing answering, or the port did not open

// Runs one orbanel-cli command line (without the program name): results to out, errors to err.
// Needs a QCoreApplication; returns the exit code.
int RunCli(const QStringList &arguments, QTextStream &out, QTextStream &err);
// The same, refused as wrong usage when encodingError (ArgumentEncodingError) is not empty.
int RunCli(const QStringList &arguments, const QString &encodingError, QTextStream &out,
           QTextStream &err);

// Asks a running command to stop at its next chance (monitor then ends normally). Safe to call
// from a signal handler.
void RequestCliStop();
