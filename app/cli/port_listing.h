#pragma once
// The serial devices of this machine, read from the kernel's tty class
// (/sys/class/tty), and the COM numbers that update.ini maps to them.

#include <string>
#include <vector>

#include "app/port_map.h"

namespace cli {

struct SerialDeviceInfo {
    std::string name;        // "ttyUSB0"
    std::string devicePath;  // "/dev/ttyUSB0"
    std::string driver;      // kernel driver, e.g. "ftdi_sio"; may be empty
    // USB adapters only; each may be empty.
    std::string usbVendorId;   // 4 hex digits
    std::string usbProductId;  // 4 hex digits
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
    std::vector<int> comNumbers;  // the ports that open this device, ascending
};

// Returns the serial devices under `ttyClassDir` (normally /sys/class/tty),
// sorted by name: entries backed by a device, without the virtual consoles,
// and without serial-core ports whose UART type reads 0 (no hardware found).
// A folder that cannot be read gives an empty list.
std::vector<SerialDeviceInfo> ListSerialDevices(const std::string& ttyClassDir);

// Fills comNumbers of each device from `ports`: port N belongs to a device
// when DevicePathForPort(N, ports) names its /dev path, directly or through
// symbolic links.
void AssignComNumbers(std::vector<SerialDeviceInfo>& devices, const app::PortMap& ports);

// Returns one line per device, e.g.
//   "/dev/ttyUSB0  COM3  USB 0403:6001 FTDI FT232R USB UART, serial A50285BI (ftdi_sio)"
// or "No serial devices found." when the list is empty.
std::string FormatDeviceList(const std::vector<SerialDeviceInfo>& devices);

}  // namespace cli
