#pragma once
// What differs per platform in the port-to-device table (port_devices.h): the
// device a port index opens when nothing maps it (DefaultPortDevicePath), and
// the words for the system's cause of a failed open. One source file per
// platform implements both.

#include <string>

#include "comlink/port_devices.h"

// The system's cause of `failure`, in words, from its step and system error.
std::string DeviceOpenCauseText(const DeviceOpenFailure& failure);
