#include "app/port_map.h"

#include "comlink/port_devices.h"
#include "platform/profile.h"

namespace app {

int PortNumberOfKey(std::string_view key) {
    if (key.size() < 4 || key.size() > 5) return 0;
    for (std::size_t i = 0; i < 3; ++i) {
        const char c = static_cast<char>(key[i] | 0x20);  // ASCII lower case
        if (c != "com"[i]) return 0;
    }
    const std::string_view digits = key.substr(3);
    if (digits.front() == '0') return 0;
    int number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return 0;
        number = number * 10 + (c - '0');
    }
    return (number >= kMinPort && number <= kMaxPort) ? number : 0;
}

PortMap ReadPortMap(const std::string& iniPath) {
    // The platform's reader (the system's own on Windows). What cannot be
    // read as a profile reads as a missing file: no entries.
    PortMap ports;
    for (const std::string& key : platform::GetProfileKeys(iniPath, kPortsSection)) {
        const int port = PortNumberOfKey(key);
        if (port == 0 || ports.contains(port)) continue;
        std::string device = platform::GetProfileString(iniPath, kPortsSection, key, "");
        if (!device.empty()) ports.emplace(port, std::move(device));
    }
    return ports;
}

PortMap ReadPortMap(const platform::ProfileFile& profile) {
    PortMap ports;
    for (const std::string& key : profile.Keys(kPortsSection)) {
        const int port = PortNumberOfKey(key);
        if (port == 0 || ports.contains(port)) continue;
        std::string device = profile.GetString(kPortsSection, key, "");
        if (!device.empty()) ports.emplace(port, std::move(device));
    }
    return ports;
}

std::string DevicePathForPort(int port, const PortMap& ports) {
    if (const auto found = ports.find(port); found != ports.end()) return found->second;
    return DefaultDevicePathForPort(port);
}

std::string DefaultDevicePathForPort(int port) { return DefaultPortDevicePath(port - 1); }

}  // namespace app
