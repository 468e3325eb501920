#pragma once
// Which system device each port index opens. The table is process-wide: the
// program fills it once (from its configuration or command line) before it
// opens a port; a port reads it when it opens its device. All functions are
// safe to call from any thread. Why an open failed is kept by the port that
// failed (DeviceOpenFailure, QvComLink::OpenFailure).

#include <string>

#include "comlink/device_open_failure.h"

// The device path for `portIndex`: the path set with SetPortDevicePath, or
// the platform's default: "/dev/ttyS<portIndex>" (index 0, COM1, is
// /dev/ttyS0), on Windows "\\.\COM<portIndex + 1>".
std::string PortDevicePath(int portIndex);

// Maps `portIndex` to `path`. An empty path restores the default.
void SetPortDevicePath(int portIndex, const std::string& path);

// The device a port index opens when nothing else is set: "/dev/ttyS<index>"
// (index 0, COM1, is /dev/ttyS0), on Windows "\\.\COM<index + 1>"; one
// source file per platform.
std::string DefaultPortDevicePath(int portIndex);
