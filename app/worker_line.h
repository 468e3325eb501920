#pragma once
// How the window reads each line the worker posts: progress lines move the
// gauge and the byte counts, error lines raise a box, every other line is the
// new status text. Prefixes are compared exactly and case-sensitively.

#include <cstdint>
#include <string>
#include <string_view>

namespace app {

inline constexpr std::string_view kProgressPrefix = "DATA:";
inline constexpr std::string_view kErrorPrefix = "ERROR:";

enum class LineKind { Progress, Error, Status };

// What one progress line shows.
struct ProgressView {
    std::int32_t total = 0;      // the byte total as read
    std::int32_t remaining = 0;  // the bytes still to send as read
    std::int32_t sent = 0;       // total - remaining, wrapping at 32 bits
    std::int32_t percent = 0;    // for the gauge, which clamps it to its range
    std::string sentText;        // sent in decimal, "-" first when negative
    std::string totalText;       // total in decimal
};

// One worker line, classified.
struct WorkerLine {
    LineKind kind = LineKind::Status;
    std::string text;       // error lines: the text after "ERROR:"; status lines: the whole line
    ProgressView progress;  // progress lines only
};

// Returns the kind of `line` and what the window shows for it.
WorkerLine ReadWorkerLine(std::string_view line);

// Returns the progress shown for the text after "DATA:": split at its first
// ':' (without one, both fields are the whole text), each field read with
// ReadWrappedInt32. The percentage is (sent / total) * 100 in floating point,
// quotient first, truncated toward zero; it is 0 when the total is 0 and held
// within the 32-bit range otherwise.
ProgressView ReadProgress(std::string_view fields);

// Reads `field` like C's atoi, but wrapping at 32 bits instead of failing:
// leading white space, an optional sign, then digits, each step value * 10 +
// digit modulo 2^32; anything after the digits is ignored; no digits gives 0.
// "4294967294" gives -2.
std::int32_t ReadWrappedInt32(std::string_view field);

}  // namespace app
