#pragma once
// What updater-cli does on Ctrl-C or a termination request, by how far the
// update has come. Before the instrument has left its normal mode a stop is
// harmless and immediate. Once it is in its boot side a stop leaves it
// without working software, so the first request only warns and a second
// one within kSecondRequestWindowMs stops. After the final text the update
// is over and a stop is immediate again.

#include <cstdint>
#include <optional>
#include <string>

namespace cli {

inline constexpr std::int64_t kSecondRequestWindowMs = 5000;

enum class RunStage {
    kDialogue,  // only the tag dialogue so far: the instrument is unchanged
    kBootSide,  // switched to update mode, or probed at 38400 (method 1)
    kEnded,     // the worker posted its final text
};

// The stage after the worker posted `line` in `stage`.
RunStage StageAfterLine(RunStage stage, const std::string& line);

struct InterruptAnswer {
    bool stop = false;
    std::string message;  // for standard error, without a line end
};

class InterruptPolicy {
public:
    // One request at `nowMs` (any monotonic milliseconds) while the run is
    // in `stage`, with `step` the last step text shown.
    InterruptAnswer OnRequest(RunStage stage, const std::string& step, std::int64_t nowMs);
    // A request the system follows by ending the process within seconds
    // (the console closed, logoff, shutdown): always a stop, never a warning.
    static InterruptAnswer OnSystemEnding(RunStage stage, const std::string& step);

private:
    std::optional<std::int64_t> warnedAtMs_;
};

}  // namespace cli
