#pragma once
// The full path of the running program, and the folder-path rules used to
// find files that sit beside it.

#include <string>
#include <string_view>

namespace platform {

// The separator this system puts between folder names ('\' on Windows,
// '/' elsewhere).
#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Returns the full path of the running executable, or an empty text when the
// system cannot tell.
std::string ExecutablePath();

// Returns the folder part of `path`: everything before its last separator
// ('/' always, '\' too when `separator` is '\'), keeping that separator when
// it is the root ("/prog" gives "/", "C:\prog.exe" gives "C:\"). A path
// without a separator gives an empty text.
std::string DirectoryOf(std::string_view path, char separator = kPathSeparator);

// Returns `directory` + `name`, with `separator` between them unless the
// directory already ends in one (or is empty).
std::string JoinPath(std::string_view directory, std::string_view name,
                     char separator = kPathSeparator);

}  // namespace platform
