#include "tools/instrument-sim/pty/pty_session.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <thread>
#include <vector>

#include "tools/instrument-sim/model/instrument_model.h"

namespace instrument_sim {
namespace {

constexpr std::size_t kReadChunk = 4096;
// With line time on, the session takes from the master only what the line
// can carry in one millisecond at the host's rate, plus one byte, so that
// the host's writes back up in the pty as they would in a UART's queue.
constexpr std::uint32_t kBitsPerByte = 10;
constexpr std::uint32_t kMsPerSecond = 1000;

std::size_t LineRoom(const InstrumentModel& model) {
    if (!model.Config().lineTime) return kReadChunk;
    const std::size_t perMs = model.HostRate() / kBitsPerByte / kMsPerSecond + 1;
    const std::size_t pending = model.HostTxPending();
    return pending >= perMs ? 0 : perMs - pending;
}

class RealTime {
public:
    std::uint64_t NowMs() const {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now() - start_)
                                              .count());
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

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
    const RealTime clock;
    std::uint64_t lastHostByteMs = 0;
    std::uint32_t hostRate = 0;
    std::deque<std::uint8_t> toHost;
    std::vector<std::uint8_t> chunk(kReadChunk);
    SessionEnd end = SessionEnd::kStopped;

    while (!stop.load()) {
        const std::uint64_t now = clock.NowMs();
        model.AdvanceTo(now);
        const std::uint32_t rate = pty.HostRate();
        if (rate != 0 && rate != hostRate) {
            hostRate = rate;
            model.SetHostRate(rate);
        }

        const std::size_t room = LineRoom(model);
        if (room > 0) {
            const long got = pty.Read(chunk.data(), std::min(room, chunk.size()));
            if (got < 0) {
                end = SessionEnd::kPtyError;
                break;
            }
            if (got > 0) {
                model.HostWrite(chunk.data(), static_cast<std::size_t>(got));
                lastHostByteMs = now;
            }
        }
        for (const std::uint8_t byte : model.HostRead()) toHost.push_back(byte);
        while (!toHost.empty()) {
            const std::vector<std::uint8_t> out(toHost.begin(), toHost.end());
            const long written = pty.Write(out.data(), out.size());
            if (written < 0) {
                end = SessionEnd::kPtyError;
                break;
            }
            if (written == 0) break;
            toHost.erase(toHost.begin(), toHost.begin() + written);
        }
        if (end == SessionEnd::kPtyError) break;

        if (model.HungUp()) {
            end = SessionEnd::kHungUp;
            break;
        }
        const Outcome outcome = model.CurrentOutcome();
        const bool quiet = toHost.empty() && model.HostTxPending() == 0 && !model.NextDueMs();
        if (outcome != Outcome::kInProgress && quiet && now - lastHostByteMs >= kFinishLingerMs) {
            end = SessionEnd::kFinished;
            break;
        }
        if (now - lastHostByteMs >= options.idleTimeoutMs) {
            end = SessionEnd::kIdle;
            break;
        }

        // Sleep until the next byte is due, the host writes, or a short while.
        int waitMs = kMaxPollMs;
        if (const auto due = model.NextDueMs()) {
            waitMs = static_cast<int>(std::clamp<std::uint64_t>(*due > now ? *due - now : 0, 0, kMaxPollMs));
        }
        if (!toHost.empty() || room == 0) {
            // Bytes wait on either side: the master may be readable at once,
            // so sleep instead of polling it.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } else if (waitMs > 0) {
            pty.WaitReadable(waitMs);
        }
    }

    SessionResult result;
    result.end = end;
    result.outcome = model.CurrentOutcome();
    result.imagesMatch = model.ImagesMatch();
    result.summaryText = model.SummaryText();
    result.summaryJson = model.SummaryJson();
    return result;
}

}  // namespace instrument_sim
