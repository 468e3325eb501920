#include "app/port_text.h"

#include "app/port_map.h"

namespace app {
namespace {

int DigitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9') value = c - '0';
    else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
    return value < base ? value : -1;
}

}  // namespace

std::optional<std::int32_t> TextToInt32(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;

    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        i += 1;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }

    // The magnitude may reach 2^31 only for a negative number.
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    std::int64_t magnitude = 0;
    const std::size_t firstDigit = i;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i], base);
        if (digit < 0) return std::nullopt;  // a character that is not a digit
        magnitude = magnitude * base + digit;
        if (magnitude > limit) return std::nullopt;
    }
    if (i == firstDigit) return std::nullopt;  // no digits at all
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::optional<int> ParsePortNumber(std::string_view text) {
    const std::optional<std::int32_t> number = TextToInt32(text);
    if (!number || *number < kMinPort || *number > kMaxPort) return std::nullopt;
    return *number;
}

}  // namespace app
