#pragma once
// Which system device each port index opens, and why the last attempt to open
// one failed. The table is process-wide: the program fills it once (from its
// configuration or command line) before it opens a port; a port reads it when
// it opens its device. All functions are safe to call from any thread.

#include <optional>
#include <string>

// The device path for `portIndex`: the path set with SetPortDevicePath, or
// the platform's default: "/dev/ttyS<portIndex>" (index 0, COM1, is
// /dev/ttyS0), on Windows "\\.\COM<portIndex + 1>".
std::string PortDevicePath(int portIndex);

// Maps `portIndex` to `path`. An empty path restores the default.
void SetPortDevicePath(int portIndex, const std::string& path);

// Why opening a device failed, for the messages a person reads. The serial
// library itself reports LINK_ERR_GENERAL; this keeps the system's cause.
struct DeviceOpenFailure {
    enum class Step {
        kOpen,      // the device could not be opened
        kLock,      // another program or handle holds the device
        kSettings,  // the device refused the line settings or is no terminal
    };
    int portIndex = 0;
    std::string path;
    Step step = Step::kOpen;
    int systemError = 0;  // errno of the failed call (GetLastError on Windows)
};

// The failure of the most recent open attempt, or nothing when that attempt
// succeeded (or none was made). Each attempt replaces the record.
std::optional<DeviceOpenFailure> LastDeviceOpenFailure();
void RecordDeviceOpenFailure(const DeviceOpenFailure& failure);
void ClearDeviceOpenFailure();

// One line for a person, naming the port, the device and the cause, e.g.
// "COM1 (/dev/ttyS0): permission denied (add the user to the 'dialout' group)".
std::string DescribeDeviceOpenFailure(const DeviceOpenFailure& failure);
