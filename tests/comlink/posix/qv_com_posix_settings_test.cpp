// Line format, lines and the dump of the POSIX port over a pty.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "comlink/links.h"
#include "comlink/posix/line_rate.h"
#include "port_core_cases.h"
#include "pty_pair.h"

using pty_test::PtyPair;
using pty_test::ScopedPortDevice;

namespace {

constexpr int kQueueSize = 8192;
constexpr int kPortIndex = 23;

class QvComPosixSettings : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Ok());
        ASSERT_EQ(port.LastError(), LINK_OK);
    }

    std::vector<std::string> DumpLines() {
        std::vector<std::string> lines;
        port.Dump([&](const char* line) { lines.emplace_back(line); });
        return lines;
    }

    PtyPair pty;
    ScopedPortDevice mapping{kPortIndex, pty.SlavePath()};
    Links port{kPortIndex, kQueueSize, kQueueSize};
};

TEST_F(QvComPosixSettings, SetFormatReachesTheDevice) {
    ASSERT_EQ(port.SetFormat(9600, 'N', 8, 1), LINK_OK);
    termios line = pty.LineSettings();
    EXPECT_EQ(cfgetospeed(&line), B9600);
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB), 0u);

    ASSERT_EQ(port.SetFormat(38400, 'N', 8, 2), LINK_OK);
    line = pty.LineSettings();
    EXPECT_EQ(cfgetospeed(&line), B38400);
    EXPECT_NE(line.c_cflag & CSTOPB, 0u);
    // A pty carries no parity: it refuses, and the record keeps the letter.
    port.SetFormat(38400, 'M', 8, 2);

    std::int32_t baud = 0;
    char parity = 0;
    int dataBits = 0;
    int stopBits = 0;
    port.GetFormat(baud, parity, dataBits, stopBits);
    EXPECT_EQ(baud, 38400);
    EXPECT_EQ(parity, 'M');
    EXPECT_EQ(dataBits, 8);
    EXPECT_EQ(stopBits, 2);
}

TEST_F(QvComPosixSettings, FormatAndHandshakeRefusalsNeverReachTheDevice) {
    port_core_cases::ExpectRefusedBeforeTheDevice(port);
    const termios line = pty.LineSettings();
    EXPECT_EQ(cfgetospeed(&line), B115200);  // the rate of open
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(line.c_cflag & CRTSCTS, 0u);
}

TEST_F(QvComPosixSettings, FiveDataBitsGiveOneAndAHalfStopBits) {
    port.SetFormat(9600, 'N', 5, 2);  // a pty keeps 8 data bits and refuses
    EXPECT_EQ(port.Settings().stopBits, 1);
    EXPECT_EQ(port.Settings().byteSize, 5);
}

TEST_F(QvComPosixSettings, RefusedRateStaysInTheRecordButNotOnTheLine) {
    ASSERT_EQ(port.SetFormat(9600, 'N', 8, 1), LINK_OK);
    EXPECT_EQ(port.SetFormat(12345, 'N', 8, 1), LINK_ERR_GENERAL);
    EXPECT_EQ(port.SetFormat(9600, 'N', 4, 1), LINK_ERR_GENERAL);  // no device has 4 data bits

    std::int32_t baud = 0;
    char parity = 0;
    int dataBits = 0;
    int stopBits = 0;
    port.GetFormat(baud, parity, dataBits, stopBits);
    EXPECT_EQ(baud, 9600);
    EXPECT_EQ(dataBits, 4);
    const termios line = pty.LineSettings();
    EXPECT_EQ(cfgetospeed(&line), B9600);
}

TEST_F(QvComPosixSettings, SignalAnswersByLineId) {
    EXPECT_EQ(port.Signal(5, -1), 2);
    EXPECT_EQ(port.Signal(LINE_UNUSED_17, -1), 0);
    EXPECT_EQ(port.Signal(LINE_DTR, -1), 1);  // raised at open
    EXPECT_EQ(port.Signal(LINE_RTS, -1), 1);
    EXPECT_EQ(port.Signal(LINE_DTR, 0), 0);
    EXPECT_EQ(port.Signal(LINE_DTR, -1), 0);
    EXPECT_EQ(port.Signal(LINE_CTS, -1), 0);  // a pty has no modem lines
    EXPECT_EQ(port.Signal(LINE_BREAK, -1), 0);
    EXPECT_EQ(port.Signal(LINE_BREAK, 1), 1);
    EXPECT_EQ(port.Break(-1), 1);
    // Any state but 1 ends the break and is kept as given (16 bits).
    EXPECT_EQ(port.Signal(LINE_BREAK, 2), 2);
    EXPECT_EQ(port.Break(-1), 2);
    EXPECT_EQ(port.Break(0x10003), 3);

    QvLineRecord record;
    port.ReadLineStatus(record);
    EXPECT_EQ(record.Field(LINE_BREAK), 3);
    EXPECT_EQ(port.Signal(LINE_BREAK, 0), 0);
    EXPECT_EQ(record.Field(LINE_DTR), 0);
    EXPECT_EQ(record.Field(LINE_RTS), 1);
    EXPECT_EQ(record.Field(LINE_OVERRUN), 0);
}

TEST_F(QvComPosixSettings, HandshakeModes) {
    ASSERT_EQ(port.SetHandshake(HANDSHAKE_XONXOFF, HANDSHAKE_XONXOFF), LINK_OK);
    termios line = pty.LineSettings();
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(line.c_cflag & CRTSCTS, 0u);

    ASSERT_EQ(port.SetHandshake(HANDSHAKE_RTS, HANDSHAKE_CTS), LINK_OK);
    line = pty.LineSettings();
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_NE(line.c_cflag & CRTSCTS, 0u);
    int rxMode = -1;
    int txMode = -1;
    EXPECT_EQ(port.GetHandshake(rxMode, txMode), 0);
    EXPECT_EQ(rxMode, HANDSHAKE_RTS);
    EXPECT_EQ(txMode, HANDSHAKE_CTS);

    // What the line cannot carry is refused, and the modes stay.
    for (const auto& [rx, tx] : {std::pair{HANDSHAKE_DTR, HANDSHAKE_NONE}, std::pair{HANDSHAKE_RTS, HANDSHAKE_NONE},
                                 std::pair{HANDSHAKE_RTS, HANDSHAKE_XONXOFF}}) {
        EXPECT_EQ(port.SetHandshake(rx, tx), LINK_ERR_GENERAL);
        EXPECT_EQ(port.GetHandshake(rxMode, txMode), 0);
        EXPECT_EQ(txMode, HANDSHAKE_CTS);
    }

    ASSERT_EQ(port.SetHandshake(HANDSHAKE_NONE, HANDSHAKE_NONE), LINK_OK);
    line = pty.LineSettings();
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(line.c_cflag & CRTSCTS, 0u);
}

TEST_F(QvComPosixSettings, CtsOrDsrAloneHoldTheTransmitQueueWhileTheLineIsOff) {
    for (const int txMode : {HANDSHAKE_CTS, HANDSHAKE_DSR}) {
        SCOPED_TRACE(txMode);
        ASSERT_EQ(port.SetHandshake(HANDSHAKE_NONE, txMode), LINK_OK);
        EXPECT_EQ(pty.LineSettings().c_cflag & CRTSCTS, 0u);  // RTS stays the port's to drive
        // A pty has no modem lines: the line counts as off and nothing goes.
        EXPECT_EQ(port.Write("held", 4), 4);
        QvQueueStatus status;
        ASSERT_TRUE(pty_test::IdleUntil(port, [&] {
            port.QueueStatus(status, 2);
            return (status.holdFlags & kHoldTxHeld) != 0;
        }));
        EXPECT_EQ(status.txCount, 4);
        EXPECT_EQ(pty.ReceiveAtMaster(1, std::chrono::milliseconds(50)), "");
        ASSERT_EQ(port.Flush(1, 0), LINK_OK);
    }
    ASSERT_EQ(port.SetHandshake(HANDSHAKE_NONE, HANDSHAKE_NONE), LINK_OK);
    EXPECT_EQ(port.Write("free", 4), 4);
    EXPECT_EQ(pty.ReceiveAtMaster(4), "free");
}

TEST_F(QvComPosixSettings, RatesWithoutASpeedCodeReachTheDeviceInBaud) {
    for (const std::int32_t rate : {14400, 28800, 57600, 7200}) {
        SCOPED_TRACE(rate);
        ASSERT_EQ(port.SetFormat(rate, 'N', 8, 1), LINK_OK);
        std::uint32_t output = 0;
        std::uint32_t input = 0;
        ASSERT_TRUE(ReadLineRates(pty.Master(), output, input));  // what the far end sees
        EXPECT_EQ(output, static_cast<std::uint32_t>(rate));
        EXPECT_EQ(input, static_cast<std::uint32_t>(rate));
    }
    // Back to a rate with a speed code, which tcgetattr reads as usual.
    ASSERT_EQ(port.SetFormat(38400, 'N', 8, 1), LINK_OK);
    const termios line = pty.LineSettings();
    EXPECT_EQ(cfgetospeed(&line), B38400);
}

TEST_F(QvComPosixSettings, DumpShowsTheRecordAndTheQueues) {
    ASSERT_TRUE(pty.SendFromMaster("abc"));
    ASSERT_TRUE(pty_test::WaitForReceived(port, 3));
    const std::vector<std::string> expected = {
        "Port type: POSIX  BaudRate: 115200  ByteSize: 8  Parity: 0",
        "StopBits: 0  fBinary: 1  fRtsControl: 1",
        "Parity: 0  OutCtsFlow: 0  OutDsrFlow: 0  DtrControl: 1  OutX: 0  InX: 0",
        "Null: 0  XonChar: 11  XoffChar: 13",
        "XonLim: 2048  XoffLim: 128   EofChr: 00  EvtChr: 00",
        "RX sz/ct:  8192/3      TX sz/ct:  8192/0      BLOCK SENT:0  BLOCK RECEIVED:0",
    };
    EXPECT_EQ(DumpLines(), expected);
}

}  // namespace
