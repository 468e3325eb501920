#pragma once
// What the process's standard streams are connected to, read once at start:
// a terminal (on Windows a console) or a file or pipe, and whether the
// progress bar may be coloured (never on Windows). One source file per system.

#include "app/cli/update_run.h"

namespace cli {

// Returns the process's streams (stdout, stderr, stdin) with their kinds
// filled in; `colourForbidden` is the NO_COLOR convention's verdict.
ConsoleStreams DetectConsoleStreams(bool colourForbidden);

}  // namespace cli
