#include "wiretrace/trace_format.h"

#include <charconv>

namespace wire_trace {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Splits off the next field at a blank; the rest stays in `line`.
std::string_view NextField(std::string_view& line) {
    const std::size_t blank = line.find(' ');
    const std::string_view field = line.substr(0, blank);
    line = blank == std::string_view::npos ? std::string_view{} : line.substr(blank + 1);
    return field;
}

template <typename Number>
bool ReadNumber(std::string_view field, Number& value) {
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    return error == std::errc{} && end == field.data() + field.size();
}

}  // namespace

std::string FormatRunStart(std::int64_t timeUs, char mark, std::int32_t baud) {
    return std::to_string(timeUs) + ' ' + mark + ' ' + std::to_string(baud);
}

std::string FormatByte(std::uint8_t byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {' ', kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

std::string FormatMarker(std::int64_t timeUs, const std::string& text) {
    std::string line = std::to_string(timeUs) + ' ' + kMarkerMark + ' ' + text;
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return line;
}

ParsedLine ParseTraceLine(std::string_view line) {
    ParsedLine parsed;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == kMarkerMark) return parsed;
    TraceEvent event;
    if (!ReadNumber(NextField(line), event.timeUs)) {
        parsed.error = "no time";
        return parsed;
    }
    const std::string_view mark = NextField(line);
    if (mark.size() != 1) {
        parsed.error = "no direction";
        return parsed;
    }
    if (mark[0] == kMarkerMark) {
        event.kind = TraceEvent::Kind::kMarker;
        event.text = std::string(line);
        parsed.event = std::move(event);
        return parsed;
    }
    if (mark[0] != kSentMark && mark[0] != kReceivedMark) {
        parsed.error = "unknown direction";
        return parsed;
    }
    event.kind = mark[0] == kSentMark ? TraceEvent::Kind::kSent : TraceEvent::Kind::kReceived;
    if (!ReadNumber(NextField(line), event.baud)) {
        parsed.error = "no line rate";
        return parsed;
    }
    while (!line.empty()) {
        const std::string_view field = NextField(line);
        const bool last = line.empty();
        if (field.size() == 2 && HexValue(field[0]) >= 0 && HexValue(field[1]) >= 0) {
            event.bytes.push_back(static_cast<std::uint8_t>(HexValue(field[0]) * 16 + HexValue(field[1])));
        } else if (!(last && field.size() < 2)) {
            parsed.error = "not a byte: " + std::string(field);
            return parsed;
        }
    }
    parsed.event = std::move(event);
    return parsed;
}

}  // namespace wire_trace
