#pragma once
// The --trace file: every byte a port reports, in the wire trace format
// (wiretrace/trace_format.h), written as it happens. Bytes of one direction at
// one rate that follow each other within kRunGapUs share a line; each piece
// is handed to the system at once, so that a crash or a pulled cable leaves
// the trace whole up to the last byte.

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "wiretrace/trace_sink.h"

namespace cli {

// Bytes further apart than this start a new line (a byte at 9600 baud takes
// about 1 ms, so a reply read as it arrives stays on one line).
inline constexpr std::int64_t kRunGapUs = 3000;
// The longest line, in bytes.
inline constexpr std::size_t kMaxRunBytes = 256;

class TraceFile final : public TraceSink {
public:
    // Opens (replaces) the file at `path`; Error() says why it failed. The
    // first write that fails is said once on `warnings`; the update goes on.
    TraceFile(const std::string& path, std::FILE* warnings);
    ~TraceFile() override;  // ends the last line
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Error() const { return error_; }

    void Bytes(TraceDirection direction, const std::uint8_t* bytes, std::size_t count, std::int32_t baud) override;
    void Marker(const std::string& text) override;

private:
    std::int64_t NowUs() const;
    void EndRun();
    void Put(const std::string& text);

    std::FILE* file_ = nullptr;
    std::string path_;
    std::FILE* warnings_;
    bool writeFailed_ = false;
    std::string error_;
    std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
    bool runOpen_ = false;
    TraceDirection runDirection_ = TraceDirection::kSent;
    std::int32_t runBaud_ = 0;
    std::int64_t runLastUs_ = 0;
    std::size_t runBytes_ = 0;
};


}  // namespace cli
