#include <algorithm>
#include <tuple>

#include "app/cli/system_ports.h"
#include "app/port_map.h"

namespace cli {
namespace {

// Sort key: ports COM1 ... COM35 by number first, then any other name.
std::tuple<int, std::string> SortKey(const ComPortEntry& entry) {
    const int number = app::PortNumberOfKey(entry.comName);
    return {number == 0 ? app::kMaxPort + 1 : number, entry.comName};
}

}  // namespace

std::string FormatComPortList(std::vector<ComPortEntry> ports) {
    if (ports.empty()) return "No serial devices found.\n";
    std::sort(ports.begin(), ports.end(),
              [](const ComPortEntry& a, const ComPortEntry& b) { return SortKey(a) < SortKey(b); });
    std::size_t nameWidth = 0;
    for (const ComPortEntry& port : ports) nameWidth = std::max(nameWidth, port.comName.size());
    std::string text;
    for (const ComPortEntry& port : ports) {
        text += port.comName;
        text.append(nameWidth - port.comName.size() + 2, ' ');
        text += port.deviceName + "\n";
    }
    return text;
}

}  // namespace cli
