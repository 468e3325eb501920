#pragma once
// The COM port numbers the operator types (1 to 35) and the serial devices
// they open: key COM<N> of section [PORTS] of update.ini names the device for
// port N; without it port N is the system's own device for it ("\\.\COM<N>"
// on Windows, /dev/ttyS<N-1> elsewhere).

#include <map>
#include <string>
#include <string_view>

namespace platform {
class ProfileFile;
}

namespace app {

inline constexpr int kMinPort = 1;
inline constexpr int kMaxPort = 35;
inline constexpr std::string_view kPortsSection = "PORTS";

// Port number -> device path, for the ports that [PORTS] names.
using PortMap = std::map<int, std::string>;

// Returns the device paths of the keys COM1 ... COM35 (any letter case, no
// leading zeros) with a non-empty value in section [PORTS] of `iniPath`.
// Missing file or section: an empty map.
PortMap ReadPortMap(const std::string& iniPath);
// The same from a profile already read.
PortMap ReadPortMap(const platform::ProfileFile& profile);

// Returns the device for `port` (1 to 35): the mapped path when `ports` has
// one, else DefaultDevicePathForPort(port).
std::string DevicePathForPort(int port, const PortMap& ports);

// Returns the system's own device for `port`: "\\.\COM<port>" on Windows,
// "/dev/ttyS<port-1>" elsewhere (one source file per system).
std::string DefaultDevicePathForPort(int port);

// The rule of DefaultDevicePathForPort in words, for help texts:
// "\\.\COM<N>" on Windows, "/dev/ttyS<N-1>" elsewhere.
std::string_view DefaultDeviceRule();

// Returns the COM port number a device name stands for on this system, or 0:
// on Windows "COM7" and "\\.\COM7" give 7 (1 to 35, any letter case);
// elsewhere every name gives 0, as device paths there are not port numbers.
int PortNumberOfDeviceName(std::string_view name);

// Returns the port number for a key of [PORTS] ("COM7" gives 7), or 0 when
// the key is not COM1 ... COM35.
int PortNumberOfKey(std::string_view key);

}  // namespace app
