#pragma once
// SessionTiming: what the pty session measures of the line with its own
// steady clock, for benchmarks of the program on the other end.
//   - Line time: every byte the host sent and every byte sent to it, each at
//     10 bit-times of the rate it crossed the line with.
//   - Echo turnaround of the kernel, per byte: from the moment the session
//     has handed an echo to the pty (the echo has fully arrived at the host's
//     end) to the moment the host's next kernel byte was seen on the pty.
//     That is the host's own time plus the pty's transfer each way.
//   - The session's own share of the time, which is not the host's: how much
//     later than its two byte times an echo was handed over, and, while the
//     update image streams, how long the line stood idle before a read that
//     found the host's bytes already waiting (a full read).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace instrument_sim {

// What the instrument is taking when the host's bytes arrive.
enum class TimedPhase { kOther, kKernel, kUpdate };

// One read of the host's bytes from the pty.
struct HostRead {
    std::uint64_t atNs = 0;          // when the bytes were seen
    std::size_t count = 0;           // bytes read
    std::size_t room = 0;            // bytes asked for (the line's room)
    std::uint32_t baud = 0;          // the host's rate
    TimedPhase phase = TimedPhase::kOther;
    std::uint64_t lineFreeNs = 0;    // when the line had carried all before
};

class SessionTiming {
public:
    void HostBytesRead(const HostRead& read);
    // `count` bytes at `baud` were handed to the host at `nowNs`.
    void BytesToHost(std::uint64_t nowNs, std::size_t count, std::uint32_t baud, TimedPhase phase);

    std::uint64_t ToInstrumentNs() const { return toInstrumentNs_; }
    std::uint64_t ToHostNs() const { return toHostNs_; }
    // Host turnarounds in nanoseconds, in the order measured.
    const std::vector<std::uint64_t>& TurnaroundsNs() const { return turnaroundsNs_; }
    // The session's lateness on the echoes, and its idle line while streaming.
    std::uint64_t EchoShareNs() const { return echoShareNs_; }
    std::uint64_t StreamShareNs() const { return streamShareNs_; }
    std::size_t EchoedBytes() const { return echoedBytes_; }

    // One JSON object: line_to_instrument_ns, line_to_host_ns, echoes,
    // turnarounds, turnaround_median_ns, turnaround_p99_ns,
    // turnaround_max_ns, session_share_ns (echo_share_ns + stream_share_ns);
    // with `streamMs` (the update command's echo to its status, in
    // milliseconds) also stream_ms.
    std::string Json(std::optional<std::int64_t> streamMs) const;

private:
    std::uint64_t toInstrumentNs_ = 0;
    std::uint64_t toHostNs_ = 0;
    std::optional<std::uint64_t> kernelByteReadNs_;  // awaiting its echo
    std::optional<std::uint64_t> echoWrittenNs_;     // awaiting the next byte
    bool streaming_ = false;                          // an update byte was read
    std::vector<std::uint64_t> turnaroundsNs_;
    std::uint64_t echoShareNs_ = 0;
    std::uint64_t streamShareNs_ = 0;
    std::size_t echoedBytes_ = 0;
};

// The sample at rank ceil(fraction * n) of the sorted samples (fraction 0 to
// 1): 0.5 the median, 0.99 the 99th percentile, 1 the largest; 0 for none.
std::uint64_t Percentile(std::vector<std::uint64_t> samples, double fraction);

}  // namespace instrument_sim
