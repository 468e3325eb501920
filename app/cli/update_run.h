#pragma once
// The command line's one update run, for one device or many: reads the
// configuration once, checks the images before any port opens, runs one
// update session per device (all at once), and shows each through its
// observers: the console or the board, --json, --report, --trace. The stop
// rules and the notes after a run hold whatever the options.

#include <cstdio>
#include <string>
#include <vector>

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

// The links of every --port or --device, each with its own port number.
std::vector<LinkChoice> ChooseLinks(const CliOptions& options, const platform::ProfileFile& profile);

// Runs the updates as `options` say, reading `iniPath` once. Images that
// exist but cannot be sent are refused before any port opens. Returns 0 when
// every update succeeded, else the highest exit status among them; returns
// once every port is closed.
ExitStatus RunUpdates(const CliOptions& options, const std::string& iniPath, const ConsoleStreams& streams,
                      const std::string& toolVersion);

}  // namespace cli
