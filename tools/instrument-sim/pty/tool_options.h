#pragma once
// The command line of the instrument-sim tool: every option maps onto the
// instrument's config or the session; HelpText lists them with defaults.

#include <string>
#include <vector>

#include "tools/instrument-sim/pty/pty_session.h"

namespace instrument_sim {

struct ToolOptions {
    SessionOptions session;
    std::string linkPath;
    bool loop = false;
    bool json = false;
    bool help = false;
    bool showVersion = false;  // --version without a value
};

struct ParsedOptions {
    ToolOptions options;
    std::string error;  // empty when the command line was understood
};

// Parses the arguments after the program name. Image files are not read
// here (LoadImageFiles does that).
ParsedOptions ParseToolOptions(const std::vector<std::string>& args);

// The --help text: usage, then each option with its default.
std::string HelpText();

}  // namespace instrument_sim
