#include "tools/instrument-sim/replay/replay_tool.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <iostream>

#include "tools/instrument-sim/pty/pseudo_terminal.h"
#include "tools/instrument-sim/replay/replay_player.h"
#include "tools/instrument-sim/replay/trace_script.h"

namespace instrument_sim {
namespace {

constexpr int kExitMatched = 0;
constexpr int kExitDiffered = 1;
constexpr int kExitUsage = 2;
constexpr const char* kOptReplay = "--replay";
constexpr const char* kOptLink = "--link";
constexpr const char* kOptIdle = "--idle-timeout";
constexpr const char* kOptJson = "--json";
// The host falling silent this long ends the replay.
constexpr std::int64_t kDefaultIdleUs = 20'000'000;
// Once everything is played, the host may still send what the trace did not
// hold: it is awaited this long.
constexpr std::int64_t kFinishLingerUs = 500'000;
// The longest wait between two looks at the line.
constexpr std::int64_t kMaxPollUs = 20'000;
constexpr std::size_t kReadChunk = 4096;

struct ReplayOptions {
    std::string tracePath;
    std::string linkPath;
    std::int64_t idleUs = kDefaultIdleUs;
    bool json = false;
};

std::int64_t NowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string ParseReplayOptions(const std::vector<std::string>& args, ReplayOptions& options) {
    CLI::App app;
    app.set_help_flag();
    app.allow_extras();  // refused below with the replay named
    long idleSeconds = 0;
    app.add_option(kOptReplay, options.tracePath);
    app.add_option(kOptLink, options.linkPath);
    CLI::Option* idle = app.add_option(kOptIdle, idleSeconds);
    app.add_flag(kOptJson, options.json)->disable_flag_override();
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // the order CLI11 takes
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        return error.what();
    }
    if (const std::vector<std::string> leftOver = app.remaining(); !leftOver.empty()) {
        return "option " + leftOver.front() + " does not go with --replay";
    }
    if (idle->count() > 0) {
        if (idleSeconds <= 0) return "--idle-timeout needs a whole number of seconds";
        options.idleUs = static_cast<std::int64_t>(idleSeconds) * 1'000'000;
    }
    return options.tracePath.empty() ? "--replay needs a trace file" : "";
}

// Plays the script on the pty until it is done, the host falls silent or
// `stop` is raised.
void Serve(PseudoTerminal& pty, ReplayPlayer& player, const ReplayOptions& options, const std::atomic<bool>& stop) {
    std::vector<std::uint8_t> pending;  // due bytes the host's input had no room for yet
    std::int64_t lastHostUs = NowUs();
    std::int64_t finishedAtUs = -1;
    std::uint8_t buffer[kReadChunk];
    while (!stop.load()) {
        const std::int64_t now = NowUs();
        const long got = pty.Read(buffer, sizeof buffer);
        if (got < 0) return;
        if (got > 0) {
            player.HostBytes(buffer, static_cast<std::size_t>(got), now, pty.HostRate());
            lastHostUs = now;
        }
        const std::vector<std::uint8_t> due = player.TakeDue(now);
        pending.insert(pending.end(), due.begin(), due.end());
        if (!pending.empty()) {
            const long wrote = pty.Write(pending.data(), pending.size());
            if (wrote < 0) return;
            pending.erase(pending.begin(), pending.begin() + wrote);
        }
        if (player.Finished() && pending.empty()) {
            if (finishedAtUs < 0 || got > 0) finishedAtUs = now;
            if (now - finishedAtUs >= kFinishLingerUs) return;
        }
        if (now - lastHostUs >= options.idleUs) return;
        std::int64_t waitUs = kMaxPollUs;
        if (const std::optional<std::int64_t> dueAt = player.NextDueUs()) waitUs = std::clamp<std::int64_t>(*dueAt - now, 0, kMaxPollUs);
        if (got > 0) waitUs = 0;
        pty.Wait(static_cast<std::uint64_t>(waitUs) * 1000, true, !pending.empty());
    }
}

void PrintVerdict(const ReplayVerdict& verdict, bool json) {
    if (json) {
        std::cout << "{\"replay\":\"" << (verdict.matched ? "matched" : "differed") << "\",\"host_bytes\":"
                  << verdict.hostBytesSeen << ",\"trace_host_bytes\":" << verdict.hostBytesExpected
                  << ",\"instrument_bytes\":" << verdict.replyBytesPlayed;
        if (verdict.difference) {
            std::cout << ",\"first_difference\":" << verdict.difference->hostByte
                      << ",\"expected\":" << static_cast<int>(verdict.difference->expected)
                      << ",\"got\":" << static_cast<int>(verdict.difference->got);
        }
        if (verdict.rateDifference) {
            std::cout << ",\"rate_difference\":{\"host_byte\":" << verdict.rateDifference->hostByte
                      << ",\"trace_baud\":" << verdict.rateDifference->traceBaud
                      << ",\"host_baud\":" << verdict.rateDifference->hostBaud << "}";
        }
        std::cout << "}\n";
    } else {
        std::cout << "replay: " << verdict.text << "\n";
    }
    std::cout.flush();
}

}  // namespace

std::string ReplayHelpText() {
    return "\nReplay of a wire trace (updater-cli --trace) instead of the simulated instrument:\n"
           "  instrument-sim --replay TRACE [--link PATH] [--idle-timeout S] [--json]\n"
           "  plays the instrument's bytes of TRACE after the host bytes that preceded them, with\n"
           "  the same delays, and reports whether the host's bytes matched (exit status 0) or\n"
           "  where they first differed (1); a line rate other than the trace's is noted.\n"
           "  Default idle time-out 20 s.\n";
}

bool WantsReplay(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == kOptReplay) return true;
    }
    return false;
}

int RunReplayTool(const std::vector<std::string>& args, const std::atomic<bool>& stop) {
    ReplayOptions options;
    if (const std::string error = ParseReplayOptions(args, options); !error.empty()) {
        std::cerr << "instrument-sim: " << error << "\nTry 'instrument-sim --help'.\n";
        return kExitUsage;
    }
    const TraceScript script = ReadTraceScript(options.tracePath);
    if (!script.error.empty()) {
        std::cerr << "instrument-sim: " << script.error << "\n";
        return kExitUsage;
    }
    PseudoTerminal pty(options.linkPath);
    if (!pty.IsOpen()) {
        std::cerr << "instrument-sim: cannot create the pseudo-terminal: " << pty.Error() << "\n";
        return kExitUsage;
    }
    std::cout << pty.SlavePath() << std::endl;
    std::cerr << "instrument-sim: replaying " << options.tracePath << " on " << pty.SlavePath() << std::endl;

    ReplayPlayer player(script.events);
    Serve(pty, player, options, stop);
    pty.Close();
    const ReplayVerdict verdict = player.Verdict();
    PrintVerdict(verdict, options.json);
    return verdict.matched ? kExitMatched : kExitDiffered;
}

}  // namespace instrument_sim
