#include <windows.h>

#include "app/cli/console_detection.h"

namespace cli {
namespace {

// A console handle answers GetConsoleMode; a file, a pipe or the NUL device
// does not (the C library's isatty also counts NUL as a terminal).
bool IsConsole(DWORD whichHandle) {
    const HANDLE handle = GetStdHandle(whichHandle);
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

}  // namespace

// The bar is drawn without colour on Windows: consoles before Windows 10, and
// Wine's, accept the request for escape sequences and then print them as
// text, so a colour escape cannot be known to work.
ConsoleStreams DetectConsoleStreams(bool /*colourForbidden*/) {
    ConsoleStreams streams;
    streams.outIsTerminal = IsConsole(STD_OUTPUT_HANDLE);
    streams.inIsTerminal = IsConsole(STD_INPUT_HANDLE);
    streams.colourAllowed = false;
    return streams;
}

}  // namespace cli
