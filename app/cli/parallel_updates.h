#pragma once
// The updates that --json, --report, --trace or several instruments ask for:
// one DataExchange worker per device, each with its own link and its own
// thread acting as its window, all at once. One device shows its lines as
// the plain run does; several share a board with a line each (in place on a
// terminal) and end with a summary table; --json replaces both with the
// event stream.

#include <string>
#include <vector>

#include "app/cli/cli_options.h"
#include "app/cli/exit_status.h"
#include "app/cli/update_run.h"

namespace cli {

// True when `options` need this runner rather than the plain one.
bool NeedsObservedRun(const CliOptions& options);

// The links of every --port or --device, each with its own port number.
std::vector<LinkChoice> ChooseLinks(const CliOptions& options, const std::string& iniPath);

// Runs the updates. Returns 0 when every update succeeded, else the highest
// exit status among them; returns once every port is closed.
ExitStatus RunObservedUpdates(const CliOptions& options, const std::string& iniPath,
                              const ConsoleStreams& streams, const std::string& toolVersion);

}  // namespace cli
