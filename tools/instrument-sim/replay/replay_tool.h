#pragma once
// instrument-sim --replay TRACE: serves a recorded wire trace on a
// pseudo-terminal instead of the simulated instrument, and reports at the
// end whether the host's bytes matched the trace and where they first
// differed.
//   instrument-sim --replay TRACE [--link PATH] [--idle-timeout S] [--json]
// Exit status: 0 matched, 1 differed, 2 usage error.

#include <atomic>
#include <string>
#include <vector>

namespace instrument_sim {

// True when the arguments ask for a replay.
bool WantsReplay(const std::vector<std::string>& args);

// The lines --help adds for the replay.
std::string ReplayHelpText();

// Runs the replay until it ends or `stop` is raised.
int RunReplayTool(const std::vector<std::string>& args, const std::atomic<bool>& stop);

}  // namespace instrument_sim
