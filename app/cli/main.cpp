// updater-cli: updates the instrument's software from the command line with
// the same worker and the same configuration as the window.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/cli/cli_options.h"
#include "app/cli/console_detection.h"
#include "app/cli/exit_status.h"
#include "app/cli/json_events.h"
#include "app/cli/line_presenter.h"
#include "app/cli/system_ports.h"
#include "app/cli/preflight_check.h"
#include "app/cli/update_run.h"
#include "app/configuration.h"
#include "app/port_map.h"
#include "app/port_text.h"
#include "app/profile_source.h"
#include "platform/standard_streams.h"

namespace {

constexpr const char* kProgramName = "updater-cli";

// A reader that goes away (a closed pipe) must not cut an update short:
// writes to it then fail quietly instead of ending the process.
#if defined(SIGPIPE)
void IgnoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }
#else
void IgnoreBrokenPipes() {}
#endif

int ListPorts(const std::string& iniPath) {
    const std::string text = cli::SystemPortListText(iniPath);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return cli::kExitSuccess;
}

// A --ini that names a directory, a device, a FIFO or a socket is a mistake
// worth stopping for (a device may never end, a FIFO waits for a writer); a
// missing file only gives the defaults.
bool IniUsable(const cli::CliOptions& options) {
    if (!options.iniPath || app::UsableAsProfile(*options.iniPath)) return true;
    std::fprintf(stderr, "%s: --ini %s is not a regular file (a directory, device, FIFO or socket), not a configuration file\n", kProgramName,
                 options.iniPath->c_str());
    return false;
}

int RunCheck(const cli::CliOptions& options) {
    const cli::PreflightReport report =
        cli::CheckBeforeUpdate(options, cli::IniPathOf(options, app::DefaultConfigurationPath()));
    const std::string text =
        options.json ? cli::JsonLine(cli::PreflightJson(report)) + "\n" : cli::PreflightText(report);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return report.status;
}

}  // namespace

int main(int argc, char** argv) {
    // First of all: a serial device opened as a closed standard stream's
    // number would receive the step texts on its line.
    if (!platform::EnsureStandardStreamsOpen()) return cli::kExitUsageError;
    IgnoreBrokenPipes();
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const cli::ParseResult parsed = cli::ParseCommandLine(arguments);
    if (const auto* error = std::get_if<cli::UsageError>(&parsed)) {
        // The port check's text stands alone, as the window shows it.
        if (error->message == app::kPortRefusedText) {
            std::fprintf(stderr, "%s\n", error->message.c_str());
            return cli::kExitUsageError;
        }
        std::fprintf(stderr, "%s: %s\n", kProgramName, error->message.c_str());
        std::fprintf(stderr, "Try '%s --help' for more information.\n", kProgramName);
        return cli::kExitUsageError;
    }
    const cli::CliOptions& options = std::get<cli::CliOptions>(parsed);

    switch (options.command) {
    case cli::Command::kHelp: {
        const std::string text = cli::UsageText(kProgramName);
        std::fwrite(text.data(), 1, text.size(), stdout);
        return cli::kExitSuccess;
    }
    case cli::Command::kVersion:
        std::printf("%s %s\n", kProgramName, UPDATER_VERSION);
        return cli::kExitSuccess;
    case cli::Command::kListPorts:
        if (!IniUsable(options)) return cli::kExitUsageError;
        return ListPorts(cli::IniPathOf(options, app::DefaultConfigurationPath()));
    case cli::Command::kCheck:
        if (!IniUsable(options)) return cli::kExitUsageError;
        return RunCheck(options);
    case cli::Command::kUpdate:
        if (!IniUsable(options)) return cli::kExitUsageError;
        break;
    }

    const cli::ConsoleStreams streams = cli::DetectConsoleStreams(cli::ColourForbidden(std::getenv("NO_COLOR")));
    const std::string iniPath = cli::IniPathOf(options, app::DefaultConfigurationPath());
    return cli::RunUpdates(options, iniPath, streams, UPDATER_VERSION);
}
