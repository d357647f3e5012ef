#pragma once

// The program's exit status, whatever the mode.
enum class ExitStatus : int {
    Ok = 0,
    // Some lines were refused (an import), or the dialog was closed without a choice.
    Partly = 1,
    // Refused, ended without totals, or could not start.
    Failed = 2,
};
