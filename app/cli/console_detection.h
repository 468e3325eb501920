#pragma once
// What the process's standard streams are connected to, read once at start:
// a terminal (on Windows a console) or a file or pipe. On Windows the console
// is also asked to show the colour escapes of the progress bar; colour is
// then allowed only where that worked. One source file per system.

#include "app/cli/update_run.h"

namespace cli {

// Returns the process's streams (stdout, stderr, stdin) with their kinds
// filled in; `colourForbidden` is the NO_COLOR convention's verdict.
ConsoleStreams DetectConsoleStreams(bool colourForbidden);

}  // namespace cli
