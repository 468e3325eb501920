#include <windows.h>

#include <string_view>

#include "tests/support/port_guard.h"

namespace test_support {
namespace {

constexpr std::string_view kDeviceNamespace = "\\\\.\\";
constexpr const char* kWinePortsKey = "Software\\Wine\\Ports";
constexpr std::string_view kPseudoTerminals = "/dev/pts/";
constexpr DWORD kLongestMapping = 1024;

// "COM5" or "\\.\COM5" (any letter case) -> "COM5"; anything else -> "".
std::string ComName(std::string_view device) {
    if (device.starts_with(kDeviceNamespace)) device.remove_prefix(kDeviceNamespace.size());
    if (device.size() < 4) return {};
    for (std::size_t i = 0; i < 3; ++i) {
        if ((device[i] | 0x20) != "com"[i]) return {};
    }
    if (device[3] == '0') return {};
    for (const char c : device.substr(3)) {
        if (c < '0' || c > '9') return {};
    }
    return "COM" + std::string(device.substr(3));
}

}  // namespace

const char* const kPseudoTerminalHint =
    "map COM<N> to the pty with wine_map_com of scripts/wine-env.sh, which writes HKLM\\Software\\Wine\\Ports";

bool ReachesPseudoTerminal(const std::string& device) {
    const std::string com = ComName(device);
    if (com.empty()) return false;
    char mapping[kLongestMapping] = {};
    DWORD size = sizeof mapping;
    const LONG result = RegGetValueA(HKEY_LOCAL_MACHINE, kWinePortsKey, com.c_str(), RRF_RT_REG_SZ, nullptr,
                                     mapping, &size);
    return result == ERROR_SUCCESS && std::string_view(mapping).starts_with(kPseudoTerminals);
}

}  // namespace test_support
