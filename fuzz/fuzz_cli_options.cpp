// updater-cli's command line: any arguments (the input split at zero
// bytes). Either a usage error with a message, or options that keep the
// rules: an update names exactly one port, a port is 1 to 35.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <variant>
#include <vector>

#include "app/cli/cli_options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> arguments;
    for (std::size_t start = 0; start <= input.size();) {
        const std::size_t end = std::min(input.find('\0', start), input.size());
        arguments.push_back(input.substr(start, end - start));
        start = end + 1;
    }
    const cli::ParseResult result = cli::ParseCommandLine(arguments);
    if (const auto* error = std::get_if<cli::UsageError>(&result)) {
        if (error->message.empty()) std::abort();
        return 0;
    }
    const cli::CliOptions& options = std::get<cli::CliOptions>(result);
    if (options.port && (*options.port < 1 || *options.port > 35)) std::abort();
    if (options.command == cli::Command::kUpdate && options.port.has_value() == options.device.has_value()) {
        std::abort();
    }
    if (options.device && options.device->empty()) std::abort();
    return 0;
}
