#pragma once
// The COM port numbers the operator types (1 to 35) and the serial devices
// they open on systems without COM names: key COM<N> of section [PORTS] of
// update.ini names the device for port N; without it port N is /dev/ttyS<N-1>.

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
// one, else "/dev/ttyS<port-1>".
std::string DevicePathForPort(int port, const PortMap& ports);

// Returns the port number for a key of [PORTS] ("COM7" gives 7), or 0 when
// the key is not COM1 ... COM35.
int PortNumberOfKey(std::string_view key);

}  // namespace app
