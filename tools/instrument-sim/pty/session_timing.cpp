#include "tools/instrument-sim/pty/session_timing.h"

#include <algorithm>
#include <cmath>

#include "tools/instrument-sim/model/wire.h"

namespace instrument_sim {
namespace {

constexpr double kMedian = 0.5;
constexpr double kNinetyNinth = 0.99;
constexpr double kLargest = 1.0;
// An echo is one byte each way: the kernel byte, then its echo.
constexpr std::uint64_t kEchoByteTimes = 2;

}  // namespace

void SessionTiming::HostBytesRead(const HostRead& read) {
    toInstrumentNs_ += read.count * ByteTimeNs(read.baud);
    const bool kernelByte = read.phase == TimedPhase::kKernel && read.count == 1;
    if (kernelByte && echoWrittenNs_) turnaroundsNs_.push_back(read.atNs - *echoWrittenNs_);
    echoWrittenNs_.reset();
    kernelByteReadNs_.reset();
    if (kernelByte) kernelByteReadNs_ = read.atNs;

    // After the first image byte, a read that filled the line's room found
    // the host's bytes waiting: an idle line before it was this side's.
    if (read.phase != TimedPhase::kUpdate) {
        streaming_ = false;
        return;
    }
    if (streaming_ && read.count == read.room && read.atNs > read.lineFreeNs) {
        streamShareNs_ += read.atNs - read.lineFreeNs;
    }
    streaming_ = true;
}

void SessionTiming::BytesToHost(std::uint64_t nowNs, std::size_t count, std::uint32_t baud, TimedPhase phase) {
    toHostNs_ += count * ByteTimeNs(baud);
    if (phase != TimedPhase::kKernel || count != 1 || !kernelByteReadNs_) {
        echoWrittenNs_.reset();
        return;
    }
    const std::uint64_t due = *kernelByteReadNs_ + kEchoByteTimes * ByteTimeNs(baud);
    echoShareNs_ += nowNs > due ? nowNs - due : 0;
    ++echoedBytes_;
    kernelByteReadNs_.reset();
    echoWrittenNs_ = nowNs;
}

std::string SessionTiming::Json(std::optional<std::int64_t> streamMs) const {
    const auto field = [](const char* name, std::uint64_t value) {
        return std::string(",\"") + name + "\":" + std::to_string(value);
    };
    std::string json = "{\"line_to_instrument_ns\":" + std::to_string(toInstrumentNs_) +
                       field("line_to_host_ns", toHostNs_) + field("echoes", echoedBytes_) +
                       field("turnarounds", turnaroundsNs_.size()) +
                       field("turnaround_median_ns", Percentile(turnaroundsNs_, kMedian)) +
                       field("turnaround_p99_ns", Percentile(turnaroundsNs_, kNinetyNinth)) +
                       field("turnaround_max_ns", Percentile(turnaroundsNs_, kLargest)) +
                       field("echo_share_ns", echoShareNs_) + field("stream_share_ns", streamShareNs_) +
                       field("session_share_ns", echoShareNs_ + streamShareNs_);
    if (streamMs) json += ",\"stream_ms\":" + std::to_string(*streamMs);
    return json + "}";
}

std::uint64_t Percentile(std::vector<std::uint64_t> samples, double fraction) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    const double rank = std::ceil(std::clamp(fraction, 0.0, 1.0) * static_cast<double>(samples.size()));
    const std::size_t index = rank < 1.0 ? 0 : static_cast<std::size_t>(rank) - 1;
    return samples[std::min(index, samples.size() - 1)];
}

}  // namespace instrument_sim
