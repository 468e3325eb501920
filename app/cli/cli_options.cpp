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
constexpr std::string_view kOptJson = "--json";
constexpr std::string_view kOptCheck = "--check";
constexpr std::string_view kOptReport = "--report";
constexpr std::string_view kOptTrace = "--trace";

bool TakesValue(std::string_view name) {
    return name == kOptIni || name == kOptPort || name == kOptDevice || name == kOptReport ||
           name == kOptTrace;
}

bool IsFlag(std::string_view name) {
    return name == kOptYes || name == kOptNo || name == kOptRaw || name == kOptListPorts ||
           name == kOptJson || name == kOptCheck || name == kOptHelp || name == kOptVersion || name == "-h";
}

// What the arguments said, before the rules between options are checked.
struct Seen {
    std::optional<std::string> ini;
    std::vector<std::string> portTexts;
    std::vector<std::string> devices;
    std::optional<std::string> report;
    std::optional<std::string> trace;
    bool yes = false;
    bool no = false;
    bool raw = false;
    bool listPorts = false;
    bool json = false;
    bool check = false;
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
    if (name == kOptReport) return once(seen.report);
    if (name == kOptTrace) return once(seen.trace);
    if (name == kOptPort) {
        seen.portTexts.emplace_back(value);
        return std::nullopt;
    }
    if (name == kOptDevice) {
        for (const std::string& device : seen.devices) {
            if (device == value) return UsageError{"device " + std::string(value) + " given more than once"};
        }
        seen.devices.emplace_back(value);
        return std::nullopt;
    }
    if (name == kOptYes) seen.yes = true;
    else if (name == kOptNo) seen.no = true;
    else if (name == kOptRaw) seen.raw = true;
    else if (name == kOptListPorts) seen.listPorts = true;
    else if (name == kOptJson) seen.json = true;
    else if (name == kOptCheck) seen.check = true;
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
        if (!seen.portTexts.empty() || !seen.devices.empty() || seen.yes || seen.no || seen.raw || seen.json ||
            seen.check || seen.report || seen.trace) {
            return UsageError{"--list-ports takes no option but --ini"};
        }
        options.command = Command::kListPorts;
        return options;
    }
    const bool ports = !seen.portTexts.empty();
    const bool devices = !seen.devices.empty();
    if (ports && devices) return UsageError{"give either --port or --device, not both"};
    if (!ports && !devices) return UsageError{"give the instrument's port: --port N or --device PATH"};
    if (seen.yes && seen.no) return UsageError{"give either --yes or --no, not both"};
    if (seen.raw && seen.json) return UsageError{"give either --raw or --json, not both"};
    if (seen.check && (seen.yes || seen.no || seen.raw || seen.report || seen.trace)) {
        return UsageError{"--check takes no option but --ini, --port, --device and --json"};
    }

    for (const std::string& text : seen.portTexts) {
        const std::optional<int> port = app::ParsePortNumber(text);
        if (!port) return UsageError{std::string(app::kPortRefusedText)};
        for (const int earlier : options.ports) {
            if (earlier == *port) return UsageError{"port " + std::to_string(*port) + " given more than once"};
        }
        options.ports.push_back(*port);
    }
    for (const std::string& device : seen.devices) {
        if (device.empty()) return UsageError{"--device needs a device path"};
    }
    options.devices = seen.devices;
    if (ports) options.port = options.ports.front();
    if (devices) options.device = options.devices.front();
    options.command = seen.check ? Command::kCheck : Command::kUpdate;
    options.answer = seen.yes ? AnswerPolicy::kYes : seen.no ? AnswerPolicy::kNo : AnswerPolicy::kAskTerminal;
    options.raw = seen.raw;
    options.json = seen.json;
    options.reportPath = seen.report;
    options.tracePath = seen.trace;
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
           "  " + name + " [--ini FILE] (--port N | --device PATH)... [--yes | --no]\n"
           "      [--raw | --json] [--report FILE] [--trace FILE]\n"
           "  " + name + " [--ini FILE] (--port N | --device PATH)... --check [--json]\n"
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
           "                 (--port and --device may be repeated: the instruments are\n"
           "                 updated at once, one worker each)\n"
           "  --yes, --no    answer the question \"Are you sure you want to update from ...\"\n"
           "                 that an instrument with the tag dialogue (method 2) is asked;\n"
           "                 without either it is asked on the terminal, and answered No\n"
           "                 when there is none. A method-1 instrument is never asked:\n"
           "                 --no does not stop its update\n"
           "  --raw          print exactly the worker's lines, one per line\n"
           "  --json         print one JSON object per line for each event (see README)\n"
           "  --report FILE  append one JSON record per update to FILE\n"
           "  --trace FILE   write every byte on the wire, with times and rates, to FILE\n"
           "                 (several instruments: FILE.<n> for the n-th)\n"
           "  --check        report whether an update could start; sends nothing\n"
           "  --list-ports   list this machine's serial devices and their COM numbers\n"
           "\n"
           "Exit status: 0 update successful, 1 update failed, 2 answered No,\n"
           "3 usage or configuration error, 4 serial link could not be opened,\n"
           "130 or 143 stopped by Ctrl-C or SIGTERM. Once the instrument is in its boot\n"
           "side, the first Ctrl-C only warns; a second within 5 seconds stops.\n";
}

}  // namespace cli
