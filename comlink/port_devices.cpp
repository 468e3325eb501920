#include "comlink/port_devices.h"

#include <map>
#include <mutex>

#include "comlink/port_device_defaults.h"

namespace {

struct DeviceTable {
    std::mutex mutex;
    std::map<int, std::string> paths;
};

DeviceTable& Table() {
    static DeviceTable table;
    return table;
}

}  // namespace

std::string PortDevicePath(int portIndex) {
    DeviceTable& table = Table();
    std::lock_guard lock(table.mutex);
    const auto found = table.paths.find(portIndex);
    if (found != table.paths.end()) return found->second;
    return DefaultPortDevicePath(portIndex);
}

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
           "): " + DeviceOpenCauseText(failure);
}
