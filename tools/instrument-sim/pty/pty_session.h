#pragma once
// Serves the simulated instrument on a pseudo-terminal in real time: the
// program under test talks to the slave, this side moves bytes between the
// master and an InstrumentModel on a steady nanosecond clock, so that each
// byte takes its line time at the rate the program sets, and follows that
// rate.

#include <atomic>
#include <cstdint>
#include <string>

#include "tools/instrument-sim/model/instrument_config.h"
#include "tools/instrument-sim/model/instrument_record.h"
#include "tools/instrument-sim/pty/pseudo_terminal.h"

namespace instrument_sim {

// After the instrument has finished (completed or reported a failure), the
// session waits this long for the host to fall quiet before it ends.
inline constexpr std::uint32_t kFinishLingerMs = 500;
// The longest wait between two looks at the line.
inline constexpr int kMaxPollMs = 20;

struct SessionOptions {
    InstrumentConfig config;
    // The session ends when the host has sent nothing for this long.
    std::uint32_t idleTimeoutMs = 60'000;
};

enum class SessionEnd {
    kFinished,  // the instrument completed or reported a failure
    kHungUp,    // the configured hang-up: the caller must close the pty
    kIdle,      // the host fell silent for the idle time-out
    kStopped,   // the stop flag was raised
    kPtyError,  // the master failed
};
const char* SessionEndName(SessionEnd end);

struct SessionResult {
    SessionEnd end = SessionEnd::kStopped;
    Outcome outcome = Outcome::kInProgress;
    bool imagesMatch = false;
    std::string summaryText;
    std::string summaryJson;  // begins with "timing", the timingJson object
    // The session's own measurements of the line (SessionTiming::Json).
    std::string timingJson;
    // Everything the instrument recorded; event times are milliseconds
    // since the session started.
    ModelRecord record;
};

// Serves one update on `pty` until it ends (see SessionEnd). Returns what the
// instrument received. Thread-safe with respect to `stop`, which another
// thread or a signal handler may raise.
SessionResult ServeOneUpdate(PseudoTerminal& pty, const SessionOptions& options,
                             const std::atomic<bool>& stop);

}  // namespace instrument_sim
