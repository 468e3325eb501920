#pragma once
// What the system says about a serial device, found without opening it (so
// that nothing on the line changes and nothing is sent), and whether a modem
// manager that probes serial ports is running.

#include <optional>
#include <string>
#include <vector>

namespace cli {

struct DeviceProbe {
    bool exists = false;
    bool isSerial = false;   // a terminal device: a serial port or a pseudo-terminal
    bool permitted = false;  // this user may read and write it
    std::string permissionHint;  // how to get permission, when not permitted
    bool busy = false;       // another process holds its exclusive lock
    std::vector<std::string> lockHolders;  // "pid 123 (name)" where the system says
    std::vector<std::string> openedBy;     // other processes that have it open
};

// Probes the device at `path`.
DeviceProbe ProbeDevice(const std::string& path);

// "ModemManager (pid 123)" when a modem manager runs, else nothing (always
// nothing where the system has none).
std::optional<std::string> RunningModemManager();

}  // namespace cli
