#include "app/cli/cli_options.h"

#include "app/port_map.h"
#include "app/port_text.h"

namespace cli {
namespace {

constexpr std::string_view kOptIni = "--ini";
constexpr std::string_view kOptPort = "--port";
constexpr std::string_view kOptDevice = "--device";
constexpr std::string_view kOptYes = "--yes";
constexpr std::string_view kOptNo = "--no";
constexpr std::string_view kOptRaw = "--raw";
constexpr std::string_view kOptListPorts = "--list-ports";
constexpr std::string_view kOptHelp = "--help";
constexpr std::string_view kOptVersion = "--version";

bool TakesValue(std::string_view name) {
    return name == kOptIni || name == kOptPort || name == kOptDevice;
}

bool IsFlag(std::string_view name) {
    return name == kOptYes || name == kOptNo || name == kOptRaw || name == kOptListPorts ||
           name == kOptHelp || name == kOptVersion || name == "-h";
}

// What the arguments said, before the rules between options are checked.
struct Seen {
    std::optional<std::string> ini;
    std::optional<std::string> portText;
    std::optional<std::string> device;
    bool yes = false;
    bool no = false;
    bool raw = false;
    bool listPorts = false;
    bool help = false;
    bool version = false;
};

std::optional<UsageError> Record(Seen& seen, std::string_view name, std::string_view value) {
    auto once = [&](std::optional<std::string>& slot) -> std::optional<UsageError> {
        if (slot) return UsageError{"option " + std::string(name) + " given more than once"};
        slot = std::string(value);
        return std::nullopt;
    };
    if (name == kOptIni) return once(seen.ini);
    if (name == kOptPort) return once(seen.portText);
    if (name == kOptDevice) return once(seen.device);
    if (name == kOptYes) seen.yes = true;
    else if (name == kOptNo) seen.no = true;
    else if (name == kOptRaw) seen.raw = true;
    else if (name == kOptListPorts) seen.listPorts = true;
    else if (name == kOptVersion) seen.version = true;
    else seen.help = true;
    return std::nullopt;
}

ParseResult Resolve(const Seen& seen) {
    CliOptions options;
    options.iniPath = seen.ini;
    if (seen.help) {
        options.command = Command::kHelp;
        return options;
    }
    if (seen.version) {
        options.command = Command::kVersion;
        return options;
    }
    if (seen.listPorts) {
        if (seen.portText || seen.device || seen.yes || seen.no || seen.raw) {
            return UsageError{"--list-ports takes no option but --ini"};
        }
        options.command = Command::kListPorts;
        return options;
    }
    if (seen.portText && seen.device) return UsageError{"give either --port or --device, not both"};
    if (!seen.portText && !seen.device) return UsageError{"give the instrument's port: --port N or --device PATH"};
    if (seen.yes && seen.no) return UsageError{"give either --yes or --no, not both"};

    if (seen.portText) {
        options.port = app::ParsePortNumber(*seen.portText);
        if (!options.port) return UsageError{std::string(app::kPortRefusedText)};
    }
    if (seen.device && seen.device->empty()) return UsageError{"--device needs a device path"};
    options.device = seen.device;
    options.answer = seen.yes ? AnswerPolicy::kYes : seen.no ? AnswerPolicy::kNo : AnswerPolicy::kAskTerminal;
    options.raw = seen.raw;
    return options;
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string_view>& arguments) {
    Seen seen;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        std::string_view name = argument;
        std::optional<std::string_view> inlineValue;
        if (const std::size_t equals = argument.find('='); argument.starts_with("--") && equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            inlineValue = argument.substr(equals + 1);
        }

        std::optional<UsageError> error;
        if (TakesValue(name)) {
            if (inlineValue) {
                error = Record(seen, name, *inlineValue);
            } else if (i + 1 < arguments.size()) {
                error = Record(seen, name, arguments[++i]);
            } else {
                return UsageError{"option " + std::string(name) + " needs a value"};
            }
        } else if (IsFlag(name) && !inlineValue) {
            error = Record(seen, name, {});
        } else if (IsFlag(name)) {
            return UsageError{"option " + std::string(name) + " takes no value"};
        } else if (argument.starts_with("-")) {
            return UsageError{"unknown option " + std::string(argument)};
        } else {
            return UsageError{"unexpected argument " + std::string(argument)};
        }
        if (error) return *error;
    }
    return Resolve(seen);
}

std::string UsageText(std::string_view programName) {
    const std::string name(programName);
    return "Usage:\n"
           "  " + name + " [--ini FILE] (--port N | --device PATH) [--yes | --no] [--raw]\n"
           "  " + name + " [--ini FILE] --list-ports\n"
           "  " + name + " --help | --version\n"
           "\n"
           "Updates the instrument's software over a serial line, as the window does.\n"
           "\n"
           "  --ini FILE     configuration (section UPDATE: version, instrument, parent_tag,\n"
           "                 update_file, kernel_file; section PORTS: COM<N>=device);\n"
           "                 default: update.ini beside this program\n"
           "  --port N       COM port 1 to 35; opens [PORTS] COM<N>, else " + std::string(app::DefaultDeviceRule()) + "\n"
           "  --device PATH  open this serial device directly\n"
           "  --yes, --no    answer the question \"Are you sure you want to update from ...\"\n"
           "                 that an instrument with the tag dialogue (method 2) is asked;\n"
           "                 without either it is asked on the terminal, and answered No\n"
           "                 when there is none. A method-1 instrument is never asked:\n"
           "                 --no does not stop its update\n"
           "  --raw          print exactly the worker's lines, one per line\n"
           "  --list-ports   list this machine's serial devices and their COM numbers\n"
           "\n"
           "Exit status: 0 update successful, 1 update failed, 2 answered No,\n"
           "3 usage or configuration error, 4 serial link could not be opened,\n"
           "130 or 143 stopped by Ctrl-C or SIGTERM. Once the instrument is in its boot\n"
           "side, the first Ctrl-C only warns; a second within 5 seconds stops.\n";
}

}  // namespace cli
