// The port-to-device table and the texts for a failed open.

#include <gtest/gtest.h>

#include <cerrno>

#include "comlink/port_devices.h"

namespace {

TEST(PortDevices, DefaultsToTtySNumberedFromZeroAndCanBeRemapped) {
    EXPECT_EQ(PortDevicePath(0), "/dev/ttyS0");
    EXPECT_EQ(PortDevicePath(33), "/dev/ttyS33");

    SetPortDevicePath(3, "/dev/ttyUSB0");
    EXPECT_EQ(PortDevicePath(3), "/dev/ttyUSB0");
    EXPECT_EQ(PortDevicePath(4), "/dev/ttyS4");
    SetPortDevicePath(3, "");
    EXPECT_EQ(PortDevicePath(3), "/dev/ttyS3");
}

TEST(PortDevices, DescribesTheCausesAPersonCanAct) {
    struct Case {
        DeviceOpenFailure::Step step;
        int systemError;
        const char* text;
    };
    const Case cases[] = {
        {DeviceOpenFailure::Step::kOpen, ENOENT, "COM2 (/dev/x): no such device"},
        {DeviceOpenFailure::Step::kOpen, EACCES,
         "COM2 (/dev/x): permission denied (add the user to the 'dialout' group)"},
        {DeviceOpenFailure::Step::kOpen, EBUSY, "COM2 (/dev/x): busy (another program holds it)"},
        {DeviceOpenFailure::Step::kLock, EWOULDBLOCK, "COM2 (/dev/x): busy (another program holds it)"},
        {DeviceOpenFailure::Step::kSettings, ENOTTY, "COM2 (/dev/x): not a serial device"},
        {DeviceOpenFailure::Step::kSettings, EINVAL,
         "COM2 (/dev/x): the device refused the line settings (Invalid argument)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DescribeDeviceOpenFailure({1, "/dev/x", c.step, c.systemError}), c.text);
    }
}

}  // namespace
