#pragma once
// Why a port could not open its device, for the messages a person reads. The
// serial library itself reports LINK_ERR_GENERAL; the port that failed keeps
// this record of the system's cause (QvComLink::OpenFailure).

#include <string>

struct DeviceOpenFailure {
    enum class Step {
        kOpen,      // the device could not be opened
        kLock,      // another program or handle holds the device
        kSettings,  // the device refused the line settings or is no terminal
    };
    int portIndex = 0;
    std::string path;
    Step step = Step::kOpen;
    int systemError = 0;  // the system's error number of the failed call
};

// One line for a person, naming the port, the device and the cause, e.g.
// "COM1 (/dev/ttyS0): permission denied (add the user to the 'dialout' group)".
std::string DescribeDeviceOpenFailure(const DeviceOpenFailure& failure);
