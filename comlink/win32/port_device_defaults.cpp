#include "comlink/port_device_defaults.h"

#include <windows.h>

#include <array>
#include <cctype>

#include "comlink/win32/win32_device_name.h"

namespace {

// The system's own name of a COM port, which reaches every port number.
constexpr const char* kDeviceNamespace = "\\\\.\\";
constexpr const char* kComPrefix = "COM";

bool IsBareComName(const std::string& path) {
    const std::size_t prefixLength = std::char_traits<char>::length(kComPrefix);
    if (path.size() <= prefixLength) return false;
    for (std::size_t k = 0; k < prefixLength; ++k) {
        if (std::toupper(static_cast<unsigned char>(path[k])) != kComPrefix[k]) return false;
    }
    for (std::size_t k = prefixLength; k < path.size(); ++k) {
        if (std::isdigit(static_cast<unsigned char>(path[k])) == 0) return false;
    }
    return true;
}

// The system's own words for `systemError`, or its number when it has none.
std::string SystemErrorText(int systemError) {
    std::array<char, 256> text{};
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                    static_cast<DWORD>(systemError), 0, text.data(),
                                    static_cast<DWORD>(text.size()), nullptr);
    while (length > 0 && (std::isspace(static_cast<unsigned char>(text[length - 1])) != 0 || text[length - 1] == '.')) {
        --length;
    }
    if (length == 0) return "system error " + std::to_string(systemError);
    return std::string(text.data(), length);
}

}  // namespace

std::string Win32DeviceName(const std::string& path) {
    return IsBareComName(path) ? kDeviceNamespace + path : path;
}

std::string DefaultPortDevicePath(int portIndex) {
    return std::string(kDeviceNamespace) + kComPrefix + std::to_string(portIndex + 1);
}

std::string DeviceOpenCauseText(const DeviceOpenFailure& failure) {
    switch (static_cast<DWORD>(failure.systemError)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_UNIT:
        return "no such port";
    case ERROR_ACCESS_DENIED:
        return "access denied (in use by another program)";
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return "in use by another program";
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
        return "not a serial device";
    default:
        break;
    }
    const std::string systemText = SystemErrorText(failure.systemError);
    if (failure.step == DeviceOpenFailure::Step::kSettings) {
        return "the device refused the line settings (" + systemText + ")";
    }
    return systemText;
}
