#pragma once
// ReplayPlayer: the instrument's side of a wire trace, played back against a
// host. Each run of bytes the instrument sent in the trace is due once the
// host has sent every byte that preceded it in the trace, after the same
// delay as in the trace; the host's bytes are compared with the trace's as
// they come, and the first difference is kept (a synchronisation probe
// repeated because its answer came late is not one). Pure: the caller feeds bytes
// and times (microseconds on any monotonic clock) and writes what is due.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wiretrace/trace_format.h"

namespace instrument_sim {

struct ReplayDifference {
    std::uint64_t hostByte = 0;  // index in the host's byte stream, from 0
    std::uint8_t expected = 0;
    std::uint8_t got = 0;
    std::string lastStep;  // the trace's last step marker before that byte
};

// Where the host's line rate first differed from the trace's.
struct RateDifference {
    std::uint64_t hostByte = 0;
    std::int32_t traceBaud = 0;
    std::uint32_t hostBaud = 0;
};

struct ReplayVerdict {
    bool matched = false;
    std::uint64_t hostBytesExpected = 0;
    std::uint64_t hostBytesSeen = 0;
    std::uint64_t replyBytesPlayed = 0;
    std::optional<ReplayDifference> difference;
    std::optional<RateDifference> rateDifference;  // noted, not a mismatch
    std::string text;  // one line: "matched ..." or where it differed
};

class ReplayPlayer {
public:
    explicit ReplayPlayer(const std::vector<wire_trace::TraceEvent>& events);

    // The host sent `count` bytes, read at `nowUs` with its line at
    // `hostBaud` (0: not known, not compared).
    void HostBytes(const std::uint8_t* bytes, std::size_t count, std::int64_t nowUs, std::uint32_t hostBaud = 0);
    // Removes and returns the instrument's bytes due at `nowUs` (the caller
    // writes them at once).
    std::vector<std::uint8_t> TakeDue(std::int64_t nowUs);
    // When the next instrument bytes fall due; nothing while they wait for
    // the host, or when none are left.
    std::optional<std::int64_t> NextDueUs() const;
    // Every instrument byte was played and every host byte of the trace came.
    bool Finished() const;
    ReplayVerdict Verdict() const;

private:
    struct Step {
        bool fromHost = false;
        std::int64_t traceUs = 0;
        std::vector<std::uint8_t> bytes;
        std::uint64_t hostEnd = 0;  // host bytes up to and with this step
        std::string lastStep;
    };
    // A synchronisation probe beyond those of the trace, sent right after
    // its last one: skipped, not compared.
    bool IsRepeatedProbe(std::uint8_t byte) const;
    // Moves past host steps the host has completed; sets the anchor.
    void Advance(std::int64_t nowUs);

    std::vector<Step> steps_;
    std::vector<std::uint8_t> expectedHost_;
    std::vector<std::string> markerOfHostByte_;
    std::vector<std::int32_t> baudOfHostByte_;
    std::optional<RateDifference> rateDifference_;
    std::size_t next_ = 0;  // the first step not yet done
    std::uint64_t hostSeen_ = 0;
    std::uint64_t repliesPlayed_ = 0;
    std::optional<ReplayDifference> difference_;
    // The real time and trace time of the last step done: delays are kept
    // relative to it.
    std::int64_t anchorRealUs_ = 0;
    std::int64_t anchorTraceUs_ = 0;
    bool anchored_ = false;
};

}  // namespace instrument_sim
