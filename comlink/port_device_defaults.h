#pragma once
// What differs per platform in the port-to-device table (port_devices.h): the
// device a port index opens when nothing maps it, and the words for the
// system's cause of a failed open. One source file per platform implements it.

#include <string>

#include "comlink/port_devices.h"

// The device of `portIndex` without a mapping (index 0 is COM1).
std::string DefaultPortDevicePath(int portIndex);

// The system's cause of `failure`, in words, from its step and system error.
std::string DeviceOpenCauseText(const DeviceOpenFailure& failure);
