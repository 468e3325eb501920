#include "app/link_failure_text.h"

#include "app/port_text.h"

namespace app {

std::string LinkFailureBoxText(const std::optional<DeviceOpenFailure>& failure) {
    std::string text(kLinkFailureText);
    if (failure) text += "\n" + DescribeDeviceOpenFailure(*failure);
    return text;
}

}  // namespace app
