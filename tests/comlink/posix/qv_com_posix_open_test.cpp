// Opening and closing the POSIX port on a pty: the settings it applies, the
// exclusive hold on the device and the port index, what it restores, and
// the cause it keeps when a device cannot be opened.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "comlink/links.h"
#include "comlink/port_devices.h"
#include "pty_pair.h"

using pty_test::PtyPair;
using pty_test::ScopedPortDevice;

namespace {

constexpr int kQueueSize = 8192;
constexpr int kPortIndex = 20;
constexpr int kOtherPortIndex = 21;

TEST(QvComPosixOpen, AppliesRaw115200WithoutFlowControlAndRaisesNoError) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ScopedPortDevice mapping(kPortIndex, pty.SlavePath());

    Links port(kPortIndex, kQueueSize, kQueueSize);
    ASSERT_EQ(port.LastError(), LINK_OK);
    EXPECT_NE(port.NativeHandle(), 0);
    EXPECT_EQ(PortUseCount(kPortIndex), 1);
    EXPECT_FALSE(port.OpenFailure().has_value());

    const termios line = pty.LineSettings();
    EXPECT_EQ(cfgetospeed(&line), B115200);
    EXPECT_EQ(cfgetispeed(&line), B115200);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_cc[VMIN], 0);
    EXPECT_EQ(line.c_cc[VTIME], 0);
}

TEST(QvComPosixOpen, RestoresTheDeviceSettingsItFound) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    termios before = pty.LineSettings();
    cfsetispeed(&before, B1200);
    cfsetospeed(&before, B1200);
    before.c_lflag |= ICANON | ECHO;
    ASSERT_EQ(::tcsetattr(pty.Slave(), TCSANOW, &before), 0);
    ScopedPortDevice mapping(kPortIndex, pty.SlavePath());

    {
        Links port(kPortIndex, kQueueSize, kQueueSize);
        ASSERT_EQ(port.LastError(), LINK_OK);
        const termios opened = pty.LineSettings();
        ASSERT_EQ(cfgetospeed(&opened), B115200);
    }

    const termios after = pty.LineSettings();
    EXPECT_EQ(cfgetospeed(&after), B1200);
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
    EXPECT_EQ(PortUseCount(kPortIndex), 0);
}

TEST(QvComPosixOpen, PortIndexIsHeldOncePerProcess) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ScopedPortDevice mapping(kPortIndex, pty.SlavePath());

    auto first = std::make_unique<Links>(kPortIndex, kQueueSize, kQueueSize);
    ASSERT_EQ(first->LastError(), LINK_OK);
    {
        Links second(kPortIndex, kQueueSize, kQueueSize);
        EXPECT_EQ(second.LastError(), LINK_ERR_IN_USE);
        EXPECT_EQ(second.NativeHandle(), 0);
    }
    EXPECT_EQ(PortUseCount(kPortIndex), 1);
    EXPECT_NE(first->NativeHandle(), 0);

    first.reset();
    EXPECT_EQ(PortUseCount(kPortIndex), 0);
    Links again(kPortIndex, kQueueSize, kQueueSize);
    EXPECT_EQ(again.LastError(), LINK_OK);
}

TEST(QvComPosixOpen, DeviceHeldThroughAnotherIndexIsInUse) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ScopedPortDevice mapping(kPortIndex, pty.SlavePath());
    ScopedPortDevice sameDevice(kOtherPortIndex, pty.SlavePath());

    Links holder(kPortIndex, kQueueSize, kQueueSize);
    ASSERT_EQ(holder.LastError(), LINK_OK);
    Links intruder(kOtherPortIndex, kQueueSize, kQueueSize);
    // The use count is the device's: refused before the device is touched.
    EXPECT_EQ(intruder.LastError(), LINK_ERR_IN_USE);
    EXPECT_EQ(intruder.NativeHandle(), 0);
    EXPECT_FALSE(intruder.OpenFailure().has_value());
    EXPECT_EQ(PortUseCount(pty.SlavePath()), 1);
}

TEST(QvComPosixOpen, FailedOpensKeepTheSystemCauseAndHoldNothing) {
    struct Case {
        const char* path;
        const char* cause;
    };
    const Case cases[] = {
        {"/nonexistent/serial-device", "no such device"},
        {"/dev/null", "not a serial device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ScopedPortDevice mapping(kPortIndex, c.path);
        Links port(kPortIndex, kQueueSize, kQueueSize);
        EXPECT_EQ(port.LastError(), LINK_ERR_GENERAL);
        EXPECT_EQ(port.NativeHandle(), 0);
        EXPECT_EQ(PortUseCount(kPortIndex), 0);
        const auto failure = port.OpenFailure();
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(DescribeDeviceOpenFailure(*failure),
                  "COM21 (" + std::string(c.path) + "): " + c.cause);
    }
}

TEST(QvComPosixOpen, NegativeIndexIsRefusedBeforeAnyDevice) {
    Links port(-1, kQueueSize, kQueueSize);
    EXPECT_EQ(port.LastError(), LINK_ERR_PORT);
    EXPECT_EQ(port.NativeHandle(), 0);
    EXPECT_FALSE(port.OpenFailure().has_value());
}

TEST(QvComPosixOpen, DeviceOpenedWithoutItsIndexIsStillReleased) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ScopedPortDevice outside(-1, pty.SlavePath());
    {
        Links port(-1, kQueueSize, kQueueSize);
        ASSERT_EQ(port.LastError(), LINK_ERR_PORT);
        ASSERT_EQ(port.OpenDevice(), LINK_OK);  // holds the device, not the index
        EXPECT_NE(port.NativeHandle(), 0);
    }
    ScopedPortDevice mapping(kPortIndex, pty.SlavePath());
    Links next(kPortIndex, kQueueSize, kQueueSize);
    EXPECT_EQ(next.LastError(), LINK_OK);
}

}  // namespace
