#include "tools/instrument-sim/pty/pty_session.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <vector>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "tools/instrument-sim/model/instrument_model.h"
#include "tools/instrument-sim/model/wire.h"
#include "tools/instrument-sim/pty/session_timing.h"

namespace instrument_sim {
namespace {

constexpr std::size_t kReadChunk = 4096;
constexpr std::uint64_t kNsPerMs = 1'000'000;
// With line time on, the session takes bytes from the master only as the
// line carries them, so that the host's writes back up in the pty as they
// would in a UART's queue. It keeps about this much line time queued ahead
// of the wire, and at least two bytes (the one on the wire and the next
// behind it): the model starts each byte the moment the one before is
// through, so the line never idles as long as the session wakes within that
// margin. A UART's FIFO holds less (16 bytes, 4 ms at 38400 baud), but on a
// loaded machine this side's wake-ups come late by several milliseconds, and
// a margin that small left the line idle for 7 % of a streamed update. The
// host sees no difference: its writes still back up in the pty's buffer of
// several kilobytes, and it flushes its transmit queue only when nothing but
// a single probe is queued.
constexpr std::uint64_t kLineLookAheadNs = 50 * kNsPerMs;
constexpr std::size_t kMinBytesAhead = 2;

// How many bytes the line has room for now.
std::size_t LineRoom(const InstrumentModel& model) {
    if (!model.Config().lineTime) return kReadChunk;
    const std::uint64_t ahead = std::max<std::uint64_t>(
        kMinBytesAhead, kLineLookAheadNs / ByteTimeNs(model.HostRate()));
    const std::size_t pending = model.HostTxPending();
    return pending >= ahead ? 0 : std::min<std::size_t>(ahead - pending, kReadChunk);
}

// Nanoseconds on the steady clock since the session started.
class SessionClock {
public:
    std::uint64_t NowNs() const {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                              std::chrono::steady_clock::now() - start_)
                                              .count());
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// While it lives, the calling thread's timed waits end on time: Linux lets
// them run late by the thread's timer slack (50 µs by default), which would
// add to each of the two byte times of every echoed byte.
class PreciseTimers {
public:
    PreciseTimers() : previous_(prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0)) {
        prctl(PR_SET_TIMERSLACK, kPreciseSlackNs, 0, 0, 0);
    }
    ~PreciseTimers() {
        if (previous_ > 0) prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(previous_), 0, 0, 0);
    }
    PreciseTimers(const PreciseTimers&) = delete;
    PreciseTimers& operator=(const PreciseTimers&) = delete;

private:
    static constexpr unsigned long kPreciseSlackNs = 1'000;
    int previous_;
};

// While it lives, the calling thread runs with a high scheduling weight
// when the system allows it (root, or CAP_SYS_NICE), and as before when not.
// A real instrument answers in its own time whatever the host machine does;
// on a loaded machine a simulator at normal weight can answer later than
// the host waits (50 ms for the sync answer), and the host then probes again
// into what the instrument takes for the kernel.
class TimelyScheduling {
public:
    TimelyScheduling() : thread_(static_cast<id_t>(::syscall(SYS_gettid))) {
        errno = 0;
        const int previous = ::getpriority(PRIO_PROCESS, thread_);
        if (errno == 0 && ::setpriority(PRIO_PROCESS, thread_, kTimelyNice) == 0) previous_ = previous;
    }
    ~TimelyScheduling() {
        if (previous_) ::setpriority(PRIO_PROCESS, thread_, *previous_);
    }
    TimelyScheduling(const TimelyScheduling&) = delete;
    TimelyScheduling& operator=(const TimelyScheduling&) = delete;

private:
    static constexpr int kTimelyNice = -15;
    id_t thread_;
    std::optional<int> previous_;
};

// How long to wait from `nowNs`: until the model's next due time, at most
// the longest wait between two looks at the line.
std::uint64_t WaitNs(const InstrumentModel& model, std::uint64_t nowNs) {
    const std::uint64_t longest = std::uint64_t{kMaxPollMs} * kNsPerMs;
    const auto due = model.NextDueNs();
    if (!due) return longest;
    return *due > nowNs ? std::min(*due - nowNs, longest) : 0;
}

TimedPhase PhaseOf(const InstrumentModel& model) {
    if (model.ReceivingKernel()) return TimedPhase::kKernel;
    return model.ReceivingUpdate() ? TimedPhase::kUpdate : TimedPhase::kOther;
}

// Milliseconds from the echo of the update command to its status byte, both
// as the instrument sent them, when both were sent.
std::optional<std::int64_t> StreamMs(const ModelRecord& record) {
    const std::int64_t echo = record.FirstTime(EventKind::kCommandEchoSent, kCmdSendUpdate);
    if (echo < 0) return std::nullopt;
    const std::string command = std::to_string(kCmdSendUpdate);
    for (const ModelEvent& event : record.events) {
        if (event.kind == EventKind::kStatusSent && event.text == command &&
            static_cast<std::int64_t>(event.timeMs) >= echo) {
            return static_cast<std::int64_t>(event.timeMs) - echo;
        }
    }
    return std::nullopt;
}

}  // namespace

const char* SessionEndName(SessionEnd end) {
    switch (end) {
        case SessionEnd::kFinished: return "finished";
        case SessionEnd::kHungUp: return "hung up";
        case SessionEnd::kIdle: return "idle time-out";
        case SessionEnd::kStopped: return "stopped";
        case SessionEnd::kPtyError: return "pseudo-terminal failed";
    }
    return "unknown";
}

SessionResult ServeOneUpdate(PseudoTerminal& pty, const SessionOptions& options,
                             const std::atomic<bool>& stop) {
    InstrumentModel model(options.config);
    const PreciseTimers preciseTimers;
    const TimelyScheduling timelyScheduling;
    const SessionClock clock;
    const std::uint64_t lingerNs = std::uint64_t{kFinishLingerMs} * kNsPerMs;
    const std::uint64_t idleTimeoutNs = std::uint64_t{options.idleTimeoutMs} * kNsPerMs;
    std::uint64_t lastHostByteNs = 0;
    std::uint32_t hostRate = 0;
    std::vector<std::uint8_t> toHost;
    std::vector<std::uint8_t> chunk(kReadChunk);
    SessionEnd end = SessionEnd::kStopped;
    SessionTiming timing;
    // When the last wait ended because the host's bytes came: the moment
    // they are taken as read, so that this loop's own work is not counted
    // as the host's.
    // 0: the last wait did not end for input.
    std::uint64_t inputWokeNs = 0;

    // Takes over the rate the host has set on its end of the line.
    const auto followHostRate = [&] {
        const std::uint32_t rate = pty.HostRate();
        if (rate != 0 && rate != hostRate) {
            hostRate = rate;
            model.SetHostRate(rate);
        }
    };

    while (!stop.load()) {
        const std::uint64_t now = clock.NowNs();
        model.AdvanceToNs(now);
        followHostRate();

        if (const std::size_t room = LineRoom(model); room > 0) {
            const long got = pty.Read(chunk.data(), room);
            if (got < 0) {
                end = SessionEnd::kPtyError;
                break;
            }
            if (got > 0) {
                const std::uint64_t readNs = inputWokeNs != 0 ? inputWokeNs : clock.NowNs();
                // The host sets its rate before it writes, so the rate in
                // effect once its bytes are read is the one they were sent
                // with; the rate read before them may be older.
                followHostRate();
                timing.HostBytesRead({readNs, static_cast<std::size_t>(got), room, hostRate,
                                      PhaseOf(model), model.HostLineFreeNs()});
                model.HostWrite(chunk.data(), static_cast<std::size_t>(got));
                lastHostByteNs = now;
            }
        }
        inputWokeNs = 0;
        const std::vector<std::uint8_t> arrived = model.HostRead();
        toHost.insert(toHost.end(), arrived.begin(), arrived.end());
        if (!toHost.empty()) {
            const long written = pty.Write(toHost.data(), toHost.size());
            if (written < 0) {
                end = SessionEnd::kPtyError;
                break;
            }
            if (written > 0) {
                timing.BytesToHost(clock.NowNs(), static_cast<std::size_t>(written), hostRate, PhaseOf(model));
            }
            toHost.erase(toHost.begin(), toHost.begin() + written);
        }

        if (model.HungUp()) {
            end = SessionEnd::kHungUp;
            break;
        }
        const Outcome outcome = model.CurrentOutcome();
        const bool quiet = toHost.empty() && model.HostTxPending() == 0 && !model.NextDueNs();
        if (outcome != Outcome::kInProgress && quiet && now - lastHostByteNs >= lingerNs) {
            end = SessionEnd::kFinished;
            break;
        }
        if (now - lastHostByteNs >= idleTimeoutNs) {
            end = SessionEnd::kIdle;
            break;
        }

        // Wait for the next byte due on the line, for the host's bytes while
        // the line has room for them, or for room in the host's input while
        // bytes wait for it.
        if (const std::uint64_t waitNs = WaitNs(model, clock.NowNs()); waitNs > 0) {
            const PseudoTerminal::Ready ready = pty.Wait(waitNs, LineRoom(model) > 0, !toHost.empty());
            if (ready.readable) {
                inputWokeNs = clock.NowNs();
                continue;
            }
        }
    }

    SessionResult result;
    result.end = end;
    result.outcome = model.CurrentOutcome();
    result.imagesMatch = model.ImagesMatch();
    result.summaryText = model.SummaryText();
    result.record = model.Record();
    result.timingJson = timing.Json(StreamMs(result.record));
    result.summaryJson = "{\"timing\":" + result.timingJson + "," + model.SummaryJson().substr(1);
    return result;
}

}  // namespace instrument_sim
