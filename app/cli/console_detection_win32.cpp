#include <windows.h>

#include "app/cli/console_detection.h"

namespace cli {
namespace {

// A console handle answers GetConsoleMode; a file, a pipe or the NUL device
// does not (the C library's isatty also counts NUL as a terminal).
bool IsConsole(DWORD whichHandle, DWORD* mode) {
    const HANDLE handle = GetStdHandle(whichHandle);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, mode) != 0;
}

// Asks the console to interpret escape sequences (Windows 10 and later);
// returns whether it does.
bool EnableEscapes(DWORD outputMode) {
    if ((outputMode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) return true;
    const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    return SetConsoleMode(handle, outputMode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace

ConsoleStreams DetectConsoleStreams(bool colourForbidden) {
    ConsoleStreams streams;
    DWORD outputMode = 0;
    DWORD inputMode = 0;
    streams.outIsTerminal = IsConsole(STD_OUTPUT_HANDLE, &outputMode);
    streams.inIsTerminal = IsConsole(STD_INPUT_HANDLE, &inputMode);
    streams.colourAllowed = !colourForbidden && streams.outIsTerminal && EnableEscapes(outputMode);
    return streams;
}

}  // namespace cli
