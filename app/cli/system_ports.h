#pragma once
// The serial ports this system knows, for --list-ports: on Linux the kernel's
// tty devices with the COM numbers update.ini gives them (port_listing.h), on
// Windows the COM ports of the registry's HARDWARE\DEVICEMAP\SERIALCOMM.
// One source file per system.

#include <string>
#include <vector>

namespace cli {

// Returns the text --list-ports prints: one line per port, or
// "No serial devices found." when there is none. `iniPath` is the
// configuration whose [PORTS] section maps COM numbers to devices.
std::string SystemPortListText(const std::string& iniPath);

// One COM port that the Windows registry lists.
struct ComPortEntry {
    std::string comName;     // "COM3"
    std::string deviceName;  // the system's device behind it, "\Device\Serial0"
};

// Returns one line per port, sorted by port number (names that are no COM
// number after them, by name), e.g. "COM3   \Device\Serial0", and
// "No serial devices found." for an empty list.
std::string FormatComPortList(std::vector<ComPortEntry> ports);

}  // namespace cli
