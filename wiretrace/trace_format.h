#pragma once
// The wire trace's line format, shared by the program that writes traces and
// the tools that read them. One event per line, fields separated by one blank:
//   <time_us> > <baud> <hex> <hex> ...   bytes the host sent (accepted by its port)
//   <time_us> < <baud> <hex> <hex> ...   bytes the host received
//   <time_us> # <text>                   a step marker (the step text as shown)
// <time_us> is a monotonic time in microseconds since the trace began, the
// time of the line's first byte; <baud> the line rate set at that moment; each
// <hex> one byte as two upper-case hex digits. A run of bytes in one direction
// shares a line. Lines starting with '#' are comments. A trace cut short (a
// crash, a pulled cable) ends in a line without its line end, which still
// reads: a last byte cut in half is left out.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wire_trace {

inline constexpr char kSentMark = '>';
inline constexpr char kReceivedMark = '<';
inline constexpr char kMarkerMark = '#';
inline constexpr std::string_view kHeaderLine =
    "# wire trace 1: <time_us> > <baud> <hex bytes> host sent; <time_us> < <baud> <hex bytes> host received; "
    "<time_us> # <text> step";

struct TraceEvent {
    enum class Kind { kSent, kReceived, kMarker };
    Kind kind = Kind::kSent;
    std::int64_t timeUs = 0;
    std::int32_t baud = 0;
    std::vector<std::uint8_t> bytes;  // kSent, kReceived
    std::string text;                 // kMarker
};

// The start of a byte line, "<time_us> <mark> <baud>", without the bytes.
std::string FormatRunStart(std::int64_t timeUs, char mark, std::int32_t baud);
// " XX" for one byte, appended to a run.
std::string FormatByte(std::uint8_t byte);
// A whole marker line, without its line end; line ends in the text become blanks.
std::string FormatMarker(std::int64_t timeUs, const std::string& text);

struct ParsedLine {
    std::optional<TraceEvent> event;  // nothing for a comment or a blank line
    std::string error;                // why the line could not be read
};
// Reads one line (without its line end).
ParsedLine ParseTraceLine(std::string_view line);

}  // namespace wire_trace
