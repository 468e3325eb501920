#include "app/port_map.h"

namespace app {

std::string_view DefaultDeviceRule() { return "/dev/ttyS<N-1>"; }

int PortNumberOfDeviceName(std::string_view /*name*/) { return 0; }

}  // namespace app
