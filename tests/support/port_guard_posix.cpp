#include <filesystem>
#include <system_error>

#include "tests/support/port_guard.h"

namespace test_support {

const char* const kPseudoTerminalHint = "SetPortDevicePath with the pty's path";

bool ReachesPseudoTerminal(const std::string& device) {
    std::error_code error;
    const auto resolved = std::filesystem::canonical(device, error);
    return !error && resolved.string().rfind("/dev/pts/", 0) == 0;
}

}  // namespace test_support
