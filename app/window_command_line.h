#pragma once
// The window program's own command line: --help and --version (-h, -V) are
// answered on standard output before any window or display is touched.
// Every other argument is left to the window's toolkit.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// The text to print and end with status 0 when the arguments ask for the
// help or the version (the help wins); nullopt when the window should open.
std::optional<std::string> WindowProgramAnswer(const std::vector<std::string_view>& arguments,
                                               std::string_view programName, std::string_view version);

}  // namespace app
