#include "app/window_command_line.h"

#include <algorithm>

namespace app {
namespace {

bool Asks(const std::vector<std::string_view>& arguments, std::string_view shortName, std::string_view longName) {
    return std::any_of(arguments.begin(), arguments.end(),
                       [&](std::string_view argument) { return argument == shortName || argument == longName; });
}

std::string HelpText(std::string_view programName) {
    const std::string name(programName);
    return "Usage: " + name + " [-h | --help | -V | --version]\n"
           "\n"
           "Shows the operator window that updates the instrument's software over a\n"
           "serial line: type or spin the COM port (1 to 35), press \"Update Software\",\n"
           "and follow the status line and the gauge. The window reads update.ini\n"
           "beside the program, else the user's own update.ini in the folder\n"
           "instrument-updater of the user's configuration folder.\n"
           "\n"
           "  -h, --help     show this text and exit\n"
           "  -V, --version  show the program's version and exit\n";
}

}  // namespace

std::optional<std::string> WindowProgramAnswer(const std::vector<std::string_view>& arguments,
                                               std::string_view programName, std::string_view version) {
    if (Asks(arguments, "-h", "--help")) return HelpText(programName);
    if (Asks(arguments, "-V", "--version")) return std::string(programName) + " " + std::string(version) + "\n";
    return std::nullopt;
}

}  // namespace app
