#pragma once
// One update run from the command line: reads the configuration, opens the
// link the options name, runs the DataExchange worker with a ConsoleWindow,
// shows its lines and waits until the worker is gone (port closed).

#include <cstdio>
#include <string>

#include "app/cli/cli_options.h"
#include "app/cli/exit_status.h"

namespace platform {
class ProfileFile;
}

namespace cli {

// The process's streams and what they are connected to.
struct ConsoleStreams {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    std::FILE* in = stdin;
    bool outIsTerminal = false;
    bool inIsTerminal = false;
    bool colourAllowed = false;  // NO_COLOR not set
};

// The device a run opens and the COM port number it is opened under.
struct LinkChoice {
    int portNumber = 1;
    std::string devicePath;
    bool namedDirectly = false;  // --device rather than --port
    bool unmapped = false;       // --port N without a [PORTS] entry: /dev/ttyS<N-1>
};

// Returns the link for `options`: --port N opens the device that the
// profile's [PORTS] maps to N (default /dev/ttyS<N-1>, see `unmapped`);
// --device PATH opens PATH as port 1 (on Windows "COM<N>" names port N).
LinkChoice ChooseLink(const CliOptions& options, const platform::ProfileFile& profile);

// Returns the configuration file of a run: --ini, else `defaultIniPath`.
std::string IniPathOf(const CliOptions& options, const std::string& defaultIniPath);

// Runs one update as `options` say, reading `iniPath` once. Images that
// exist but cannot be sent are refused before the port is opened. Returns
// the exit status; returns only after the worker's final pause and the
// closing of the port.
ExitStatus RunUpdateFromConsole(const CliOptions& options, const std::string& iniPath,
                                const ConsoleStreams& streams);

}  // namespace cli
