#include "app/cli/port_listing.h"
#include "app/cli/system_ports.h"

namespace cli {
namespace {
constexpr const char* kTtyClassDir = "/sys/class/tty";
}  // namespace

std::string SystemPortListText(const std::string& iniPath) {
    std::vector<SerialDeviceInfo> devices = ListSerialDevices(kTtyClassDir);
    AssignComNumbers(devices, app::ReadPortMap(iniPath));
    return FormatDeviceList(devices);
}

}  // namespace cli
