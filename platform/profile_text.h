#pragma once
// The 8-bit text a profile file written in UTF-16 (as Windows editors save
// "Unicode" files) reads as. One source file per system.

#include <string>
#include <string_view>

namespace platform {

// Returns `text` in the system's 8-bit encoding: UTF-8 on POSIX systems, the
// ANSI code page on Windows (characters it lacks become '?', as the system's
// profile reader gives them). A lone surrogate becomes U+FFFD on POSIX.
std::string NarrowProfileText(std::u16string_view text);

}  // namespace platform
