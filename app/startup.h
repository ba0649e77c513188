#pragma once

#include "main.h"

// The process facts the main window takes from the running program: the stored port, the
// program's own path, a debugger check and the desktop's document handler.
TMainEnvironment ProgramEnvironment(TPrompts *prompts, const QStringList &arguments);

// True while a debugger is attached to this process.
bool DebuggerAttached();

// The whole program: creates the windows in their fixed order, shows the splash, runs the main
// window until it closes. Returns the exit code.
int RunProgram(int argc, char **argv);
