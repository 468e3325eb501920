#include "tools/instrument-sim/pty/tool_options.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <utility>

namespace instrument_sim {
namespace {

constexpr std::uint32_t kMsPerSecond = 1000;

std::optional<unsigned long> Number(const std::string& text, unsigned long max) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || value > max) return std::nullopt;
    return value;
}

// "C=V" with C a number and V a number up to `max`.
std::optional<std::pair<int, unsigned long>> Pair(const std::string& text, unsigned long max) {
    const auto equals = text.find('=');
    if (equals == std::string::npos) return std::nullopt;
    const auto key = Number(text.substr(0, equals), 255);
    const auto value = Number(text.substr(equals + 1), max);
    if (!key || !value) return std::nullopt;
    return std::make_pair(static_cast<int>(*key), *value);
}

// What an option does with its value; returns false when the value is bad.
using Handler = std::function<bool(ToolOptions&, const std::string&)>;

// The type a number is stored as: T itself, or the T inside std::optional<T>.
template <typename T>
struct StoredAs {
    using type = T;
};
template <typename T>
struct StoredAs<std::optional<T>> {
    using type = T;
};

// An option whose value is a number up to `max`, stored in `field`.
template <typename Field>
Handler NumberInto(Field InstrumentConfig::*field, unsigned long max) {
    return [field, max](ToolOptions& o, const std::string& v) {
        const auto n = Number(v, max);
        if (!n) return false;
        o.session.config.*field = static_cast<typename StoredAs<Field>::type>(*n);
        return true;
    };
}

// An option whose value is one of the names in `choices`, stored in `field`.
template <typename Field>
Handler ChoiceInto(Field InstrumentConfig::*field, std::map<std::string, Field> choices) {
    return [field, choices = std::move(choices)](ToolOptions& o, const std::string& v) {
        const auto found = choices.find(v);
        if (found == choices.end()) return false;
        o.session.config.*field = found->second;
        return true;
    };
}

// An option "C=V", repeatable: value V up to `max` for command C, in `field`.
template <typename Map>
Handler PairInto(Map InstrumentConfig::*field, unsigned long max) {
    return [field, max](ToolOptions& o, const std::string& v) {
        const auto p = Pair(v, max);
        if (!p) return false;
        (o.session.config.*field)[p->first] = static_cast<typename Map::mapped_type>(p->second);
        return true;
    };
}

struct OptionSpec {
    const char* name;
    const char* argument;  // nullptr: a flag without value
    const char* help;      // ends with the default
    Handler apply;
};

const std::vector<OptionSpec>& Specs() {
    static const std::vector<OptionSpec> specs = {
        {"--method", "1|2", "2: speaks the tag language, then switches to its boot side; 1: silent, "
                            "boot side from the start (default 2)",
         [](ToolOptions& o, const std::string& v) {
             const auto n = Number(v, 2);
             if (!n || *n < 1) return false;
             o.session.config.updateMethod = static_cast<int>(*n);
             return true;
         }},
        {"--parent-tag", "TAG", "parent tag as stored in update.ini (default <ORV72>)",
         [](ToolOptions& o, const std::string& v) {
             o.session.config.parentTag = v;
             return true;
         }},
        {"--installed-version", "TEXT", "installed version reported by <VER> (default 1.0.0)",
         [](ToolOptions& o, const std::string& v) {
             o.session.config.version = v;
             return true;
         }},
        {"--version-reply", "version|none|silent",
         "answer to the version query: the version, lines without it, or nothing (default version)",
         ChoiceInto(&InstrumentConfig::versionReply, {{"version", VersionReply::kVersion},
                                                      {"none", VersionReply::kNoVersion},
                                                      {"silent", VersionReply::kSilent}})},
        {"--versionless-lines", "N", "lines sent with --version-reply none (default 5)",
         NumberInto(&InstrumentConfig::versionlessLines, 1000)},
        {"--probe-reply", "TEXT", "reply line to the <CFG> probe line (default none)",
         [](ToolOptions& o, const std::string& v) {
             o.session.config.probeLineReply = v;
             return true;
         }},
        {"--kernel", "FILE", "expected kernel image: gives its size, compared at the end (default none)",
         [](ToolOptions& o, const std::string& v) {
             o.session.config.kernelFile = v;
             return !v.empty();
         }},
        {"--update", "FILE", "expected update image: gives its size, compared at the end (default none)",
         [](ToolOptions& o, const std::string& v) {
             o.session.config.updateFile = v;
             return !v.empty();
         }},
        {"--kernel-size", "N", "kernel size without a file; 0: ends after 200 ms of silence (default 0)",
         NumberInto(&InstrumentConfig::kernelSize, 0x7FFFFFFF)},
        {"--update-size", "N", "update size without a file; 0: ends after 2000 ms of silence (default 0)",
         NumberInto(&InstrumentConfig::updateSize, 0x7FFFFFFF)},
        {"--no-line-time", nullptr, "bytes arrive at once instead of taking 10 bit-times each (default: line time on)",
         [](ToolOptions& o, const std::string&) {
             o.session.config.lineTime = false;
             return true;
         }},
        {"--noise", "garble|drop", "bytes at a foreign rate are garbled as a UART would, or dropped (default garble)",
         ChoiceInto(&InstrumentConfig::noise, {{"garble", NoiseMode::kGarble}, {"drop", NoiseMode::kDrop}})},
        {"--sync-from", "N", "answer 0xAA from the N-th carriage-return probe; 0: never (default 1)",
         NumberInto(&InstrumentConfig::syncFromProbe, 1'000'000)},
        {"--pre-sync-reply", "BYTE", "answer to the probes before that one (default none)",
         NumberInto(&InstrumentConfig::preSyncReply, 255)},
        {"--sync-delay", "MS", "delay of the answer to a probe (default 0)",
         NumberInto(&InstrumentConfig::syncReplyDelayMs, 3'600'000)},
        {"--wrong-echo-at", "N", "echo kernel byte N (0-based) inverted (default never)",
         NumberInto(&InstrumentConfig::wrongEchoAtByte, 0x7FFFFFFF)},
        {"--late-echo-at", "N", "echo kernel byte N late by --late-echo-ms (default never)",
         NumberInto(&InstrumentConfig::lateEchoAtByte, 0x7FFFFFFF)},
        {"--late-echo-ms", "MS", "how late that echo comes (default 600)",
         NumberInto(&InstrumentConfig::lateEchoMs, 3'600'000)},
        {"--stray-before-echo", "N", "send --stray-byte before the echo of kernel byte N (default never)",
         NumberInto(&InstrumentConfig::strayBeforeEchoAtByte, 0x7FFFFFFF)},
        {"--stray-before-command", "C", "send --stray-byte before the echo of command C (default never)",
         NumberInto(&InstrumentConfig::strayBeforeCommandEcho, 255)},
        {"--stray-byte", "BYTE", "the stray byte (default 0x55)",
         NumberInto(&InstrumentConfig::strayByte, 255)},
        {"--end-code", "accept|memory-errors|bad", "how the kernel ends: 0x5A, 0xA5 and a count, or "
                                                   "--bad-end-code (default accept)",
         ChoiceInto(&InstrumentConfig::kernelEnd, {{"accept", KernelEnd::kAccept},
                                                   {"memory-errors", KernelEnd::kMemoryErrors},
                                                   {"bad", KernelEnd::kBadCode}})},
        {"--memory-errors", "N", "count reported with --end-code memory-errors (default 3)",
         NumberInto(&InstrumentConfig::memoryErrors, 0xFFFF)},
        {"--bad-end-code", "BYTE", "end code sent with --end-code bad (default 0x00)",
         NumberInto(&InstrumentConfig::badEndCode, 255)},
        {"--status", "C=S", "status byte S for command C, repeatable (default 0 for all)",
         PairInto(&InstrumentConfig::statusFor, 255)},
        {"--status-delay", "C=MS", "time before the status of command C, repeatable (default 0)",
         PairInto(&InstrumentConfig::statusDelayMs, 3'600'000)},
        {"--echo-delay", "C=MS", "time before the echo of command C, repeatable (default 0)",
         PairInto(&InstrumentConfig::commandEchoDelayMs, 3'600'000)},
        {"--no-status", "C", "echo command C but never send its status (default: status sent)",
         [](ToolOptions& o, const std::string& v) {
             const auto n = Number(v, 255);
             if (!n) return false;
             o.session.config.silentFrom = SilentStage::kCommandStatus;
             o.session.config.silentCommand = static_cast<int>(*n);
             return true;
         }},
        {"--silent-from", "STAGE", "say nothing from STAGE on: tags, sync, kernel-echo:N, end-code, "
                                   "command-echo:C, status:C (default never)",
         [](ToolOptions& o, const std::string& v) {
             const auto colon = v.find(':');
             const std::string stage = v.substr(0, colon);
             const std::string arg = colon == std::string::npos ? "" : v.substr(colon + 1);
             auto& config = o.session.config;
             static const std::map<std::string, SilentStage> plain = {
                 {"tags", SilentStage::kTagReplies},
                 {"sync", SilentStage::kSyncReply},
                 {"end-code", SilentStage::kEndCode}};
             if (const auto found = plain.find(stage); found != plain.end()) {
                 config.silentFrom = found->second;
                 return arg.empty();
             }
             const auto n = Number(arg, 0x7FFFFFFF);
             if (!n) return false;
             if (stage == "kernel-echo") {
                 config.silentFrom = SilentStage::kKernelEcho;
                 config.silentAtKernelByte = static_cast<int>(*n);
             } else if (stage == "command-echo" || stage == "status") {
                 config.silentFrom =
                     stage == "status" ? SilentStage::kCommandStatus : SilentStage::kCommandEcho;
                 config.silentCommand = static_cast<int>(*n);
             } else {
                 return false;
             }
             return true;
         }},
        {"--hang-up", "kernel:N|update:N", "close the pty after N bytes of that image (default never)",
         [](ToolOptions& o, const std::string& v) {
             const auto colon = v.find(':');
             if (colon == std::string::npos) return false;
             const std::string stage = v.substr(0, colon);
             const auto n = Number(v.substr(colon + 1), 0x7FFFFFFF);
             if (!n || (stage != "kernel" && stage != "update")) return false;
             o.session.config.hangUp = stage == "kernel" ? HangUpStage::kKernel : HangUpStage::kUpdate;
             o.session.config.hangUpAfterBytes = static_cast<std::uint32_t>(*n);
             return true;
         }},
        {"--link", "PATH", "also name the device by a symbolic link at PATH (default none)",
         [](ToolOptions& o, const std::string& v) {
             o.linkPath = v;
             return !v.empty();
         }},
        {"--loop", nullptr, "serve one update after another until interrupted (default: one update)",
         [](ToolOptions& o, const std::string&) {
             o.loop = true;
             return true;
         }},
        {"--idle-timeout", "SECONDS", "end an update when the host has sent nothing this long, "
                                      "counted from the start too (default 60)",
         [](ToolOptions& o, const std::string& v) {
             const auto n = Number(v, 86'400);
             if (!n || *n == 0) return false;
             o.session.idleTimeoutMs = static_cast<std::uint32_t>(*n) * kMsPerSecond;
             return true;
         }},
        {"--json", nullptr, "print the summary as one JSON object (default: text)",
         [](ToolOptions& o, const std::string&) {
             o.json = true;
             return true;
         }},
    };
    return specs;
}


// Declares every option of the table with the parser. Each option's handler
// runs as the option is met, so that options which set the same field (such as
// --no-status and --silent-from) take effect in the order given. A value is
// always the next argument, even one that starts with '-', so that a negative
// number is refused by name rather than taken for an option.
void DeclareOptions(CLI::App& app, ToolOptions& options) {
    app.set_help_flag();  // HelpText, printed by the caller
    app.allow_extras();
    for (const OptionSpec& spec : Specs()) {
        const std::string name = spec.name;
        if (spec.argument == nullptr) {
            app.add_flag_callback(name, [&options, &spec] { spec.apply(options, ""); })
                ->disable_flag_override()
                ->trigger_on_parse();
            continue;
        }
        app.add_option_function<std::string>(name,
                                             [&options, &spec](const std::string& value) {
                                                 if (!spec.apply(options, value)) {
                                                     throw CLI::ValidationError(std::string("bad value for ") + spec.name + ": " +
                                                                                value + " (expected " + spec.argument + ")");
                                                 }
                                             })
            ->trigger_on_parse()
            ->allow_extra_args(false);
    }
    // "--version TEXT" is the older spelling of --installed-version; alone it
    // asks for the program's version, as -V does.
    app.add_option_function<std::vector<std::string>>("--version", [&options](const std::vector<std::string>& values) {
           if (values.empty() || values.front().empty()) {
               options.showVersion = true;
           } else {
               options.session.config.version = values.front();
           }
       })
        ->expected(0, 1)
        ->trigger_on_parse();
    app.add_flag_callback("-V", [&options] { options.showVersion = true; });
    app.add_flag_callback("-h,--help", [&options] { options.help = true; });
}

// The parser's message, with a flag given a value ("--loop=yes") named as
// it was spelt: the parser itself names it without its dashes.
std::string Explained(const CLI::ParseError& error) {
    const std::string message = error.what();
    for (const OptionSpec& spec : Specs()) {
        const std::string bare = std::string(spec.name).substr(2);
        if (spec.argument == nullptr && message.starts_with(bare + " was given")) {
            return std::string(spec.name) + " takes no value";
        }
    }
    return message;
}

}  // namespace

ParsedOptions ParseToolOptions(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    CLI::App app;
    DeclareOptions(app, parsed.options);
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // the order CLI11 takes
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        parsed.error = Explained(error);
        return parsed;
    }
    if (const std::vector<std::string> leftOver = app.remaining(); !leftOver.empty()) {
        parsed.error = (leftOver.front().starts_with("-") ? "unknown option " : "unexpected argument ") + leftOver.front();
    }
    return parsed;
}

std::string HelpText() {
    std::string text =
        "Usage: instrument-sim [OPTION]...\n"
        "Simulates the instrument on a pseudo-terminal. Prints the device path on the first\n"
        "line, serves one update (or loops), then prints a summary of what it received.\n"
        "Exit status: 0 when the update completed and every given image matched, 1 when not,\n"
        "2 for a bad command line or a pseudo-terminal that cannot be created.\n\n";
    for (const OptionSpec& spec : Specs()) {
        std::string head = std::string("  ") + spec.name;
        if (spec.argument != nullptr) head += std::string(" ") + spec.argument;
        text += head;
        text += head.size() < 30 ? std::string(30 - head.size(), ' ') : std::string("\n") + std::string(30, ' ');
        text += spec.help;
        text += "\n";
    }
    text += "  -h, --help                    show this text and exit\n"
            "  -V, --version                 show the program's version and exit\n"
            "                                (--version TEXT: the same as --installed-version)\n";
    return text;
}

}  // namespace instrument_sim
