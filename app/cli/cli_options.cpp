#include "app/cli/cli_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <tuple>

#include "app/port_map.h"
#include "app/port_text.h"

namespace cli {
namespace {

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

// The values of the options that take one value: any number is collected,
// so that a repetition is refused with the option named.
struct SingleValues {
    std::vector<std::string> ini;
    std::vector<std::string> report;
    std::vector<std::string> trace;
};

// Every spelling the command line knows, each bound to its slot. A value is
// always the next argument, even one that starts with '-' ("--port -1").
// Arguments no option takes are kept aside, to be refused by name.
void DeclareOptions(CLI::App& app, Seen& seen, SingleValues& values) {
    app.set_help_flag();  // the help is UsageText, printed by the caller
    app.allow_extras();
    const auto valued = [&](const char* name, std::vector<std::string>& slot) {
        app.add_option(name, slot)->allow_extra_args(false);
    };
    const auto flag = [&](const char* name, bool& slot) { app.add_flag(name, slot)->disable_flag_override(); };
    valued("--ini", values.ini);
    valued("--port", seen.portTexts);
    valued("--device", seen.devices);
    valued("--report", values.report);
    valued("--trace", values.trace);
    flag("--yes", seen.yes);
    flag("--no", seen.no);
    flag("--raw", seen.raw);
    flag("--json", seen.json);
    flag("--check", seen.check);
    flag("--list-ports", seen.listPorts);
    flag("-h,--help", seen.help);
    flag("-V,--version", seen.version);
}

// Moves the one value of `name` into `slot`; more than one is refused.
std::optional<UsageError> TakeSingle(const char* name, const std::vector<std::string>& values,
                                     std::optional<std::string>& slot) {
    if (values.size() > 1) return UsageError{"option " + std::string(name) + " given more than once"};
    if (!values.empty()) slot = values.front();
    return std::nullopt;
}

// The first argument no option took, named as what it is.
UsageError LeftOver(const std::string& argument) {
    if (argument.starts_with("-")) return UsageError{"unknown option " + argument};
    return UsageError{"unexpected argument " + argument};
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
    for (auto device = seen.devices.begin(); device != seen.devices.end(); ++device) {
        if (device->empty()) return UsageError{"--device needs a device path"};
        if (std::find(seen.devices.begin(), device, *device) != device) {
            return UsageError{"device " + *device + " given more than once"};
        }
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
    CLI::App app;
    Seen seen;
    SingleValues values;
    DeclareOptions(app, seen, values);
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());  // the order CLI11 takes
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        return UsageError{error.what()};
    }
    if (const std::vector<std::string> leftOver = app.remaining(); !leftOver.empty()) return LeftOver(leftOver.front());
    for (const auto& [name, given, slot] : {std::tuple{"--ini", &values.ini, &seen.ini},
                                            std::tuple{"--report", &values.report, &seen.report},
                                            std::tuple{"--trace", &values.trace, &seen.trace}}) {
        if (auto error = TakeSingle(name, *given, *slot)) return *error;
    }
    return Resolve(seen);
}

std::vector<std::string> AcceptedOptionNames() {
    CLI::App app;
    Seen seen;
    SingleValues values;
    DeclareOptions(app, seen, values);
    std::vector<std::string> names;
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
        for (const std::string& name : option->get_snames()) names.push_back("-" + name);
    }
    return names;
}

std::string UsageText(std::string_view programName) {
    const std::string name(programName);
    return "Usage:\n"
           "  " + name + " [--ini FILE] (--port N | --device PATH)... [--yes | --no]\n"
           "      [--raw | --json] [--report FILE] [--trace FILE]\n"
           "  " + name + " [--ini FILE] (--port N | --device PATH)... --check [--json]\n"
           "  " + name + " [--ini FILE] --list-ports\n"
           "  " + name + " -h | --help | -V | --version\n"
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
           "  --json         print one JSON object per line for each event\n"
           "  --report FILE  append one JSON record per update to FILE\n"
           "  --trace FILE   write every byte on the wire, with times and rates, to FILE\n"
           "                 (several instruments: FILE.<n> for the n-th)\n"
           "  --check        report whether an update could start; sends nothing\n"
           "  --list-ports   list this machine's serial devices and their COM numbers\n"
           "  -h, --help     show this text and exit\n"
           "  -V, --version  show the program's version and exit\n"
           "\n"
           "Exit status: 0 update successful, 1 update failed, 2 answered No,\n"
           "3 usage or configuration error, 4 serial link could not be opened,\n"
           "130 or 143 stopped by Ctrl-C, or by SIGTERM or SIGHUP. Once the instrument is\n"
           "in its boot side, the first Ctrl-C only warns; a second within 5 seconds stops.\n";
}

}  // namespace cli
