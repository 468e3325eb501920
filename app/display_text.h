#pragma once
// How a window shows the 8-bit texts of update.ini and of the worker's lines.

#include <string>
#include <string_view>

namespace app {

// Returns `text` as UTF-16 for display: read as UTF-8 when it is valid UTF-8,
// otherwise byte by byte as Windows-1252, the encoding in which Windows
// editors save 8-bit files (so "Ger\xE4t" shows as Gerät, not as a
// replacement mark).
std::u16string DisplayText(std::string_view text);

}  // namespace app
