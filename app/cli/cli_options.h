#pragma once
// The command line of updater-cli, parsed without touching the system:
//   updater-cli [--ini FILE] (--port N... | --device PATH...) [--yes | --no]
//               [--raw | --json] [--report FILE] [--trace FILE]
//   updater-cli [--ini FILE] (--port N... | --device PATH...) --check
//   updater-cli [--ini FILE] --list-ports
//   updater-cli -h | --help | -V | --version
// A value follows its option as the next argument ("--port -1" passes "-1")
// or after '=' ("--port=7").

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace cli {

enum class Command { kUpdate, kCheck, kListPorts, kHelp, kVersion };

// How the confirmation question of the update is answered.
enum class AnswerPolicy {
    kAskTerminal,  // ask on the terminal; No when standard input is none
    kYes,
    kNo,
};

struct CliOptions {
    Command command = Command::kUpdate;
    std::optional<std::string> iniPath;  // --ini; else update.ini beside the program
    std::optional<int> port;             // the first --port, already checked to be 1 to 35
    std::optional<std::string> device;   // the first --device
    std::vector<int> ports;              // every --port, in order, no number twice
    std::vector<std::string> devices;    // every --device, in order, no path twice
    AnswerPolicy answer = AnswerPolicy::kAskTerminal;
    bool raw = false;
    bool json = false;                       // --json: one JSON object per event on stdout
    std::optional<std::string> reportPath;   // --report: append one record per update
    std::optional<std::string> tracePath;    // --trace: the wire trace of the update
};

// Why the command line was refused: one line for standard error.
struct UsageError {
    std::string message;
};

using ParseResult = std::variant<CliOptions, UsageError>;

// Parses the arguments after the program name. --help and --version win over
// everything else that parses; any unknown option, missing value, conflict
// (--port with --device, --yes with --no, --raw with --json, --list-ports with
// an update option, --check with an option of the update itself), a port or
// device given twice, or missing port is a UsageError. --port and --device may
// be given several times: one update per instrument, all at once. A --port text that is not an integer 1 to
// 35 gives the UsageError "The port must be an integer between 1 and 35.".
ParseResult ParseCommandLine(const std::vector<std::string_view>& arguments);

// Returns the text --help prints.
std::string UsageText(std::string_view programName);

// Every spelling ParseCommandLine accepts ("--port", "-h", ...), so that the
// documentation can be checked against it.
std::vector<std::string> AcceptedOptionNames();

}  // namespace cli
