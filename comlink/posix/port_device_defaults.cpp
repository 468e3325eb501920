#include "comlink/port_device_defaults.h"

#include <cerrno>
#include <cstring>

namespace {

// Index 0, COM1, is /dev/ttyS0.
constexpr const char* kDefaultDevicePrefix = "/dev/ttyS";

}  // namespace

std::string DefaultPortDevicePath(int portIndex) { return kDefaultDevicePrefix + std::to_string(portIndex); }

std::string DeviceOpenCauseText(const DeviceOpenFailure& failure) {
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
