#pragma once
// The progress bar line drawn on a terminal from the worker's progress lines.
// Pure: the same figures always give the same text.

#include <cstdint>
#include <string>

namespace cli {

struct ProgressFigures {
    std::int64_t sent = 0;   // bytes sent so far
    std::int64_t total = 0;  // bytes in both images
    // Throughput on the line measured over an interval: `measuredBytes` bytes
    // in `measuredMs` milliseconds. No rate is shown while either is 0.
    std::int64_t measuredBytes = 0;
    std::int64_t measuredMs = 0;
    // Of `sent`, the bytes still waiting in the port's transmit queue: the
    // time left counts from the bytes already on the line.
    std::int64_t queued = 0;
};

// Cells of the bar between its brackets.
inline constexpr int kBarCells = 30;

// Returns one line without a line end, e.g.
//   "[#############.................]  1100/2500 bytes  44%  3.1 KB/s  0:01 left"
// The percentage is sent/total truncated and held within 0 to 100 (0 for a
// total of 0); without a rate, rate and time left read "--".
std::string FormatProgressBar(const ProgressFigures& figures);

// Returns `bytesPerSecond` as "812 B/s", "3.1 KB/s" or "1.2 MB/s" (powers of 1024).
std::string FormatRate(double bytesPerSecond);

// Returns whole `seconds` as "m:ss", or "h:mm:ss" from one hour on.
std::string FormatDuration(std::int64_t seconds);

}  // namespace cli
