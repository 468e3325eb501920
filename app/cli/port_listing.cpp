#include "app/cli/port_listing.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace cli {
namespace fs = std::filesystem;
namespace {

constexpr const char* kDevFolder = "/dev/";
// The serial core's UART type for a port without hardware behind it.
constexpr const char* kUnknownUartType = "0";
// Folders above a tty's device that are searched for the USB device.
constexpr int kUsbSearchDepth = 6;
// Folders above a tty's device that are searched for its driver.
constexpr int kDriverSearchDepth = 3;
constexpr const char* kSerialBaseBus = "/serial-base/";

// The first line of a sysfs attribute, or an empty text.
std::string ReadAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (in) std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
    return line;
}

// Virtual consoles ("tty", "tty1" ... "tty63"), the console and the pty master.
bool IsVirtualTerminal(const std::string& name) {
    if (name == "console" || name == "ptmx" || name == "tty") return true;
    if (name.size() > 3 && name.starts_with("tty") &&
        std::all_of(name.begin() + 3, name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return true;
    }
    return false;
}

void ReadUsbDetails(const fs::path& deviceDir, SerialDeviceInfo& info) {
    std::error_code error;
    fs::path folder = fs::canonical(deviceDir, error);
    if (error) return;
    for (int depth = 0; depth < kUsbSearchDepth && folder.has_relative_path(); ++depth) {
        if (fs::exists(folder / "idVendor", error)) {
            info.usbVendorId = ReadAttribute(folder / "idVendor");
            info.usbProductId = ReadAttribute(folder / "idProduct");
            info.manufacturer = ReadAttribute(folder / "manufacturer");
            info.product = ReadAttribute(folder / "product");
            info.serialNumber = ReadAttribute(folder / "serial");
            return;
        }
        folder = folder.parent_path();
    }
}

// The driver of the device behind a tty. Newer kernels put the serial core's
// own port and controller devices (bus "serial-base") between the tty and the
// hardware; the hardware's driver above them is the one worth naming.
std::string DriverOf(const fs::path& deviceDir) {
    std::error_code error;
    fs::path folder = fs::canonical(deviceDir, error);
    if (error) return {};
    for (int depth = 0; depth < kDriverSearchDepth && folder.has_relative_path(); ++depth) {
        std::error_code linkError;
        const fs::path driver = fs::read_symlink(folder / "driver", linkError);
        if (!linkError && driver.string().find(kSerialBaseBus) == std::string::npos) {
            return driver.filename().string();
        }
        folder = folder.parent_path();
    }
    return {};
}

std::string CanonicalOrSame(const std::string& path) {
    std::error_code error;
    const fs::path canonical = fs::canonical(path, error);
    return error ? path : canonical.string();
}

}  // namespace

std::vector<SerialDeviceInfo> ListSerialDevices(const std::string& ttyClassDir) {
    std::vector<SerialDeviceInfo> devices;
    std::error_code error;
    for (fs::directory_iterator entry(ttyClassDir, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        const fs::path deviceDir = entry->path() / "device";
        std::error_code probeError;
        if (IsVirtualTerminal(name) || !fs::exists(deviceDir, probeError)) continue;
        const fs::path typeFile = entry->path() / "type";
        if (fs::exists(typeFile, probeError) && ReadAttribute(typeFile) == kUnknownUartType) continue;

        SerialDeviceInfo info;
        info.name = name;
        info.devicePath = kDevFolder + name;
        info.driver = DriverOf(deviceDir);
        ReadUsbDetails(deviceDir, info);
        devices.push_back(std::move(info));
    }
    std::sort(devices.begin(), devices.end(),
              [](const SerialDeviceInfo& a, const SerialDeviceInfo& b) { return a.name < b.name; });
    return devices;
}

void AssignComNumbers(std::vector<SerialDeviceInfo>& devices, const app::PortMap& ports) {
    for (SerialDeviceInfo& device : devices) {
        device.comNumbers.clear();
        const std::string canonicalDevice = CanonicalOrSame(device.devicePath);
        for (int port = app::kMinPort; port <= app::kMaxPort; ++port) {
            const std::string path = app::DevicePathForPort(port, ports);
            if (path == device.devicePath || CanonicalOrSame(path) == canonicalDevice) {
                device.comNumbers.push_back(port);
            }
        }
    }
}

std::string FormatDeviceList(const std::vector<SerialDeviceInfo>& devices) {
    if (devices.empty()) return "No serial devices found.\n";
    std::size_t pathWidth = 0;
    for (const SerialDeviceInfo& device : devices) pathWidth = std::max(pathWidth, device.devicePath.size());

    std::string text;
    for (const SerialDeviceInfo& device : devices) {
        std::string line = device.devicePath;
        line.append(pathWidth - device.devicePath.size() + 2, ' ');

        std::string com;
        for (const int port : device.comNumbers) com += (com.empty() ? "COM" : ",COM") + std::to_string(port);
        line += com.empty() ? std::string("-") : com;
        line += "  ";

        std::string description;
        if (!device.usbVendorId.empty()) {
            description = "USB " + device.usbVendorId + ":" + device.usbProductId;
            if (!device.manufacturer.empty()) description += " " + device.manufacturer;
            if (!device.product.empty()) description += " " + device.product;
            if (!device.serialNumber.empty()) description += ", serial " + device.serialNumber;
        } else {
            description = "serial port";
        }
        if (!device.driver.empty()) description += " (" + device.driver + ")";
        text += line + description + "\n";
    }
    return text;
}

}  // namespace cli
