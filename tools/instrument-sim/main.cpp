// instrument-sim: the simulated instrument on a pseudo-terminal.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "platform/standard_streams.h"
#include "tools/instrument-sim/pty/pseudo_terminal.h"
#include "tools/instrument-sim/pty/pty_session.h"
#include "tools/instrument-sim/pty/tool_options.h"
#include "tools/instrument-sim/replay/replay_tool.h"

namespace {

constexpr int kExitCompleted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

std::atomic<bool> stopRequested{false};

extern "C" void RequestStop(int) { stopRequested.store(true); }

// Interrupts, a closed terminal and a termination request end the serving
// loop, so that the pty and its link are removed on the way out. A reader of
// the output that goes away (`instrument-sim | head -n 1`) must not kill the
// tool before that either: writes to it then just fail.
void InstallSignalHandlers() {
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    std::signal(SIGHUP, RequestStop);
    std::signal(SIGPIPE, SIG_IGN);
}

int UsageError(const std::string& message) {
    std::cerr << "instrument-sim: " << message << "\nTry 'instrument-sim --help'.\n";
    return kExitUsage;
}

void PrintSummary(const instrument_sim::SessionResult& result, bool json) {
    const std::string session = instrument_sim::SessionEndName(result.end);
    if (json) {
        std::cout << "{\"session\":\"" << session << "\"," << result.summaryJson.substr(1) << "\n";
    } else {
        std::cout << "session: " << session << "\n" << result.summaryText;
    }
    std::cout.flush();
}

}  // namespace

int main(int argc, char** argv) {
    // Before the pty is opened: it must never take the number of a closed
    // standard stream and receive the summary.
    if (!platform::EnsureStandardStreamsOpen()) return kExitUsage;
    static_assert(std::atomic<bool>::is_always_lock_free);
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (instrument_sim::WantsReplay(args)) {
        InstallSignalHandlers();
        return instrument_sim::RunReplayTool(args, stopRequested);
    }
    instrument_sim::ParsedOptions parsed = instrument_sim::ParseToolOptions(args);
    if (!parsed.error.empty()) return UsageError(parsed.error);
    instrument_sim::ToolOptions& options = parsed.options;
    if (options.help) {
        std::cout << instrument_sim::HelpText() << instrument_sim::ReplayHelpText();
        return kExitCompleted;
    }
    if (options.showVersion) {
        std::cout << "instrument-sim " << UPDATER_VERSION << "\n";
        return kExitCompleted;
    }
    if (const std::string error = instrument_sim::LoadImageFiles(options.session.config); !error.empty()) {
        return UsageError(error);
    }
    if (const std::string error = instrument_sim::ValidateConfig(options.session.config); !error.empty()) {
        return UsageError(error);
    }

    InstallSignalHandlers();
    instrument_sim::PseudoTerminal pty(options.linkPath);
    if (!pty.IsOpen()) {
        std::cerr << "instrument-sim: cannot create the pseudo-terminal: " << pty.Error() << "\n";
        return kExitUsage;
    }
    std::cout << pty.SlavePath() << std::endl;
    std::cerr << "instrument-sim: serving on " << pty.SlavePath();
    if (!options.linkPath.empty()) std::cerr << " (also " << options.linkPath << ")";
    std::cerr << std::endl;

    int status = kExitFailed;
    do {
        const instrument_sim::SessionResult result =
            instrument_sim::ServeOneUpdate(pty, options.session, stopRequested);
        PrintSummary(result, options.json);
        status = result.outcome == instrument_sim::Outcome::kCompleted && result.imagesMatch
                     ? kExitCompleted
                     : kExitFailed;
        if (result.end == instrument_sim::SessionEnd::kHungUp ||
            result.end == instrument_sim::SessionEnd::kPtyError) {
            break;
        }
    } while (options.loop && !stopRequested.load());
    pty.Close();
    return status;
}
