#pragma once
// The box a window shows when the link cannot be opened: the system's
// sentence as it stands, and the cause on a line of its own when the port
// knows it (busy and by whom, no such device, permission denied).

#include <optional>
#include <string>

#include "comlink/device_open_failure.h"

namespace app {

std::string LinkFailureBoxText(const std::optional<DeviceOpenFailure>& failure);

}  // namespace app
