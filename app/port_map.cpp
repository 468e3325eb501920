#include "app/port_map.h"

#include <vector>

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

namespace {

// The entries COM1 ... COM35 among `keys`, each device read with `device(key)`.
template <typename Device>
PortMap CollectPorts(const std::vector<std::string>& keys, const Device& device) {
    PortMap ports;
    for (const std::string& key : keys) {
        const int port = PortNumberOfKey(key);
        if (port == 0 || ports.contains(port)) continue;
        std::string path = device(key);
        if (!path.empty()) ports.emplace(port, std::move(path));
    }
    return ports;
}

}  // namespace

PortMap ReadPortMap(const std::string& iniPath) {
    // The platform's reader (the system's own on Windows). What cannot be
    // read as a profile reads as a missing file: no entries.
    return CollectPorts(platform::GetProfileKeys(iniPath, kPortsSection), [&](const std::string& key) {
        return platform::GetProfileString(iniPath, kPortsSection, key, "");
    });
}

PortMap ReadPortMap(const platform::ProfileFile& profile) {
    return CollectPorts(profile.Keys(kPortsSection),
                        [&](const std::string& key) { return profile.GetString(kPortsSection, key, ""); });
}

std::string DevicePathForPort(int port, const PortMap& ports) {
    if (const auto found = ports.find(port); found != ports.end()) return found->second;
    return DefaultDevicePathForPort(port);
}

std::string DefaultDevicePathForPort(int port) { return DefaultPortDevicePath(port - 1); }

}  // namespace app
