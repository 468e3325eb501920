#include <unistd.h>

#include "app/cli/console_detection.h"

namespace cli {

ConsoleStreams DetectConsoleStreams(bool colourForbidden) {
    ConsoleStreams streams;
    streams.outIsTerminal = isatty(STDOUT_FILENO) == 1;
    streams.inIsTerminal = isatty(STDIN_FILENO) == 1;
    streams.colourAllowed = !colourForbidden;
    return streams;
}

}  // namespace cli
