#include <windows.h>

#include "app/cli/device_probe.h"

namespace cli {
namespace {

constexpr const char* kDevicePrefix = "\\\\.\\";
constexpr const char* kComPrefix = "COM";
constexpr DWORD kTargetChars = 1024;

// "COM3" for "\\.\COM3" or "COM3".
std::string DosName(const std::string& path) {
    const std::string prefix = kDevicePrefix;
    return path.rfind(prefix, 0) == 0 ? path.substr(prefix.size()) : path;
}

}  // namespace

// Windows tells whether a COM device exists without opening it; who holds a
// port it tells only to an opener, so busy stays unknown (false) here, and
// there is no modem manager probing ports.
DeviceProbe ProbeDevice(const std::string& path) {
    DeviceProbe probe;
    const std::string name = DosName(path);
    char target[kTargetChars];
    probe.exists = QueryDosDeviceA(name.c_str(), target, kTargetChars) != 0;
    if (!probe.exists) {
        probe.exists = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
        return probe;
    }
    probe.isSerial = name.rfind(kComPrefix, 0) == 0;
    probe.permitted = true;
    return probe;
}

std::optional<std::string> RunningModemManager() { return std::nullopt; }

}  // namespace cli
