#pragma once

#include "CommandLine.h"
#include "ExitStatus.h"

class ConsoleDesktop;
class Desktop;
class QtDesktop;

// What each mode of the program needs and does: one table, looked up once
// the command line has been read.
struct Mode {
    CommandLine::Action action;
    // --user-data moves into the user's data folder before it runs.
    bool blnEntersFolder;
    // Exactly one of the two: a mode without a window, on a bare core
    // application and a console desktop; or one with a window, which needs
    // a display, Qt's widgets and their desktop.
    ExitStatus (*runInConsole)(const CommandLine&, ConsoleDesktop&);
    ExitStatus (*runInWindow)(const CommandLine&, QtDesktop&);

    bool NeedsDisplay() const { return runInWindow != nullptr; }
};

const Mode& ModeOf(CommandLine::Action action);

// Moves into the user's data folder when the command line asks; false
// after telling the user why that failed.
bool EnterFolderAsAsked(const CommandLine& commandLine, Desktop& desktop);
