// The program's Serial link over the real POSIX port, on a pseudo-terminal
// that stands in for the instrument's serial port: the line settings and the
// bytes the device at the far end actually sees.

#include <gtest/gtest.h>
#include <termios.h>

#include <string>

#include "comlink/qv_data_format.h"
#include "comlink/serial.h"
#include "pty_pair.h"

namespace {

using pty_test::PtyPair;
using pty_test::ScopedPortDevice;

constexpr int kPortIndex = 12;  // COM13, mapped to the test's own pty

TEST(SerialOverPty, OpensByPortIndexAndTheLineRunsAtTheRateSet) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    const ScopedPortDevice mapping(kPortIndex, pty.SlavePath());

    Serial serial;
    ASSERT_TRUE(serial.Open(kPortIndex));
    EXPECT_NE(serial.Handle(), 0);
    ASSERT_TRUE(serial.SetBaudRate(9600));

    const termios line = pty.LineSettings();
    EXPECT_EQ(cfgetospeed(&line), B9600);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO), 0u);  // raw: no line editing, no echo

    // A text line goes out byte for byte, and a reply line comes back.
    EXPECT_EQ(serial.WriteText("<<ORV72>>?</<ORV72>>", -2), 21);
    EXPECT_EQ(pty.ReceiveAtMaster(21), "<<ORV72>>?</<ORV72>>\n");
    ASSERT_TRUE(pty.SendFromMaster("<VER>1.0.2b</VER>\nrest"));
    char reply[64] = {};
    EXPECT_EQ(serial.ReadText(reply, 63, 10, 2000), 18);
    EXPECT_EQ(std::string(reply), "<VER>1.0.2b</VER>\n");

    // The boot side's rate, set through the line-format object.
    serial.FlushInput();
    ASSERT_NE(serial.DataFormat(), nullptr);
    serial.DataFormat()->SetBaudRate(38400);
    const termios boot = pty.LineSettings();
    EXPECT_EQ(cfgetospeed(&boot), B38400);
    EXPECT_EQ(serial.WriteByte(0x0D), 0);
    EXPECT_EQ(pty.ReceiveAtMaster(1), "\r");
    ASSERT_TRUE(pty.SendFromMaster("\xAA"));
    EXPECT_EQ(serial.ReadByte(2000), 0xAA);
    EXPECT_EQ(serial.ReadByte(0), LINK_ERR_NO_DATA);
}

TEST(SerialOverPty, ClosingReleasesTheDeviceForTheNextOpen) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    const ScopedPortDevice mapping(kPortIndex, pty.SlavePath());

    Serial first;
    ASSERT_TRUE(first.Open(kPortIndex));
    Serial second;
    EXPECT_FALSE(second.Open(kPortIndex));  // held in this process
    first.Close();
    EXPECT_TRUE(second.Open(kPortIndex));
}

}  // namespace
