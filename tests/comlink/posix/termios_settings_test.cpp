// The settings record as termios: what a terminal can express, and the check
// that a device kept the rate and the line format.

#include <gtest/gtest.h>

#include <cerrno>
#include <utility>

#include "comlink/posix/termios_settings.h"

namespace {

QvPortSettings Raw8N1(std::uint32_t rate) {
    QvPortSettings settings;
    settings.baudRate = rate;
    settings.byteSize = 8;
    settings.parity = kParityNone;
    settings.stopBits = kStopBitsOne;
    settings.fDtrControl = kControlEnable;
    settings.xonChar = 0x11;
    settings.xoffChar = 0x13;
    return settings;
}

TEST(TermiosSettings, ExpressesTheRecord) {
    struct Case {
        const char* what;
        void (*edit)(QvPortSettings&);
        tcflag_t cflagsSet;
        tcflag_t iflagsSet;
    };
    const Case cases[] = {
        {"8N1", [](QvPortSettings&) {}, CS8, 0},
        {"7E2", [](QvPortSettings& s) { s.byteSize = 7; s.parity = kParityEven; s.stopBits = kStopBitsTwo; },
         CS7 | PARENB | CSTOPB, 0},
        {"5O1.5", [](QvPortSettings& s) { s.byteSize = 5; s.parity = kParityOdd; s.stopBits = kStopBitsOneAndHalf; },
         CS5 | PARENB | PARODD | CSTOPB, 0},
        {"RTS with CTS", [](QvPortSettings& s) { s.fRtsControl = kControlHandshake; s.fOutxCtsFlow = 1; },
         CS8 | CRTSCTS, 0},
        // Held by the transmit queue, not by the line flags.
        {"CTS alone", [](QvPortSettings& s) { s.fOutxCtsFlow = 1; }, CS8, 0},
        {"DSR", [](QvPortSettings& s) { s.fOutxDsrFlow = 1; }, CS8, 0},
        {"XON/XOFF", [](QvPortSettings& s) { s.fOutX = 1; s.fInX = 1; }, CS8, IXON | IXOFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QvPortSettings settings = Raw8N1(9600);
        c.edit(settings);
        termios t{};
        t.c_iflag = ICRNL | ISTRIP;
        t.c_lflag = ICANON | ECHO;
        t.c_oflag = OPOST;
        std::uint32_t arbitraryRate = 1;
        ASSERT_TRUE(BuildTermios(settings, t, arbitraryRate));
        EXPECT_EQ(arbitraryRate, 0u);
        EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS), c.cflagsSet);
        EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(t.c_iflag, c.iflagsSet);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(cfgetospeed(&t), B9600);
        EXPECT_EQ(t.c_cc[VSTART], 0x11);
        EXPECT_EQ(t.c_cc[VSTOP], 0x13);
    }
}

TEST(TermiosSettings, RefusesWhatATerminalCannotDo) {
    const std::pair<const char*, void (*)(QvPortSettings&)> cases[] = {
        {"4 data bits", [](QvPortSettings& s) { s.byteSize = 4; }},
        {"rate without a code that does not divide 115200", [](QvPortSettings& s) { s.baudRate = 12345; }},
        {"rate 0", [](QvPortSettings& s) { s.baudRate = 0; }},
        {"DTR handshake", [](QvPortSettings& s) { s.fDtrControl = kControlHandshake; }},
        {"RTS handshake without CTS", [](QvPortSettings& s) { s.fRtsControl = kControlHandshake; }},
        {"parity code outside the table", [](QvPortSettings& s) { s.parity = 5; }},
    };
    for (const auto& [what, edit] : cases) {
        SCOPED_TRACE(what);
        QvPortSettings settings = Raw8N1(9600);
        edit(settings);
        termios t{};
        errno = 0;
        std::uint32_t arbitraryRate = 0;
        EXPECT_FALSE(BuildTermios(settings, t, arbitraryRate));
        EXPECT_EQ(errno, EINVAL);
    }
}

TEST(TermiosSettings, RatesWithoutACodeThatDivide115200AreSetInBaud) {
    for (const std::uint32_t rate : {7200u, 14400u, 28800u}) {
        SCOPED_TRACE(rate);
        termios t{};
        std::uint32_t arbitraryRate = 0;
        ASSERT_TRUE(BuildTermios(Raw8N1(rate), t, arbitraryRate));
        EXPECT_EQ(arbitraryRate, rate);
    }
}

TEST(TermiosSettings, DeviceKeptSettingsComparesRateAndFormatOnly) {
    termios wanted{};
    std::uint32_t arbitraryRate = 0;
    ASSERT_TRUE(BuildTermios(Raw8N1(38400), wanted, arbitraryRate));
    termios taken = wanted;
    taken.c_iflag |= IXANY;  // not part of the rate or the format
    EXPECT_TRUE(DeviceKeptSettings(wanted, taken, true));
    cfsetospeed(&taken, B9600);
    EXPECT_FALSE(DeviceKeptSettings(wanted, taken, true));
    EXPECT_TRUE(DeviceKeptSettings(wanted, taken, false));  // a rate in baud is checked apart
    taken = wanted;
    taken.c_cflag |= PARENB;
    EXPECT_FALSE(DeviceKeptSettings(wanted, taken, false));
}

TEST(TermiosSettings, CharacterTimeCountsEveryBitOfTheFrame) {
    QvPortSettings settings = Raw8N1(38400);
    EXPECT_EQ(CharacterTime(settings).count(), 260'416);  // 10 bits
    settings.parity = kParityEven;
    settings.stopBits = kStopBitsTwo;
    EXPECT_EQ(CharacterTime(settings).count(), 312'500);  // 12 bits
    settings.byteSize = 5;
    settings.parity = kParityNone;
    settings.stopBits = kStopBitsOneAndHalf;
    EXPECT_EQ(CharacterTime(settings).count(), 195'312);  // 7.5 bits
}

}  // namespace
