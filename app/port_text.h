#pragma once
// The check of the port number the operator typed, and the text shown when
// the link on that port cannot be opened.

#include <cstdint>
#include <optional>
#include <string_view>

namespace app {

inline constexpr std::string_view kPortRefusedText = "The port must be an integer between 1 and 35.";
inline constexpr std::string_view kLinkFailureText =
    "ERROR: Can not establish communications.  Make sure all connections are made and the instrument is on.";

// Converts the whole of `text` to a signed 32-bit integer: leading blanks,
// then at most one '+' or '-', then decimal digits, or hexadecimal digits
// after a "$", "x", "X", "0x" or "0X" prefix. Returns nothing for an empty
// text, a text without digits, any character after the digits (trailing
// blanks included) and a value outside the 32-bit signed range.
std::optional<std::int32_t> TextToInt32(std::string_view text);

// Returns the port number (1 to 35) that `text` names, or nothing when the
// text is not such an integer; the caller then shows kPortRefusedText.
std::optional<int> ParsePortNumber(std::string_view text);

}  // namespace app
