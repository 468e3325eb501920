#include "app/port_map.h"

namespace app {
namespace {

// The prefix of the system's device namespace, which every COM port from
// COM10 on needs and the lower ones accept.
constexpr std::string_view kDeviceNamespace = "\\\\.\\";

}  // namespace

std::string_view DefaultDeviceRule() { return "\\\\.\\COM<N>"; }

int PortNumberOfDeviceName(std::string_view name) {
    if (name.starts_with(kDeviceNamespace)) name.remove_prefix(kDeviceNamespace.size());
    return PortNumberOfKey(name);
}

}  // namespace app
