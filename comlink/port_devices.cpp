#include "comlink/port_devices.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

namespace {

constexpr const char* kDefaultDevicePrefix = "/dev/ttyS";

struct DeviceTable {
    std::mutex mutex;
    std::map<int, std::string> paths;
};

DeviceTable& Table() {
    static DeviceTable table;
    return table;
}

std::string CauseText(const DeviceOpenFailure& failure) {
    switch (failure.systemError) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return "no such device";
    case EACCES:
    case EPERM:
        return "permission denied (add the user to the 'dialout' group)";
    case EBUSY:
    case EWOULDBLOCK:
        return "busy (another program holds it)";
    case ENOTTY:
        return "not a serial device";
    default:
        break;
    }
    const std::string systemText = std::strerror(failure.systemError);
    if (failure.step == DeviceOpenFailure::Step::kSettings) {
        return "the device refused the line settings (" + systemText + ")";
    }
    return systemText;
}

}  // namespace

std::string PortDevicePath(int portIndex) {
    DeviceTable& table = Table();
    std::lock_guard lock(table.mutex);
    const auto found = table.paths.find(portIndex);
    if (found != table.paths.end()) return found->second;
    return DefaultPortDevicePath(portIndex);
}

std::string DefaultPortDevicePath(int portIndex) { return kDefaultDevicePrefix + std::to_string(portIndex); }

void SetPortDevicePath(int portIndex, const std::string& path) {
    DeviceTable& table = Table();
    std::lock_guard lock(table.mutex);
    if (path.empty()) {
        table.paths.erase(portIndex);
    } else {
        table.paths[portIndex] = path;
    }
}

std::string DescribeDeviceOpenFailure(const DeviceOpenFailure& failure) {
    return "COM" + std::to_string(failure.portIndex + 1) + " (" + failure.path +
           "): " + CauseText(failure);
}
