#pragma once
// What the ports' shared core refuses before any device is asked, the same for
// every port type: the POSIX port's tests run it over a pty, the Win32 port's
// over its scripted system calls (under Wine), each then checking that its
// device saw nothing.

#include <gtest/gtest.h>

#include "comlink/qv_com_link.h"

namespace port_core_cases {

// The line format is checked in this order: parity letter, data bits, stop bits.
struct FormatRefusal {
    char parity;
    int dataBits;
    int stopBits;
    int result;
};
inline constexpr FormatRefusal kFormatRefusals[] = {
    {'X', 9, 3, LINK_ERR_PARITY},
    {'N', 9, 3, LINK_ERR_DATA_BITS},
    {'N', 3, 1, LINK_ERR_DATA_BITS},
    {'E', 8, 3, LINK_ERR_STOP_BITS},
};

struct HandshakeRefusal {
    int rx;
    int tx;
    int result;
};
inline constexpr HandshakeRefusal kHandshakeRefusals[] = {
    {HANDSHAKE_DSR, HANDSHAKE_NONE, LINK_ERR_NOT_SUPPORTED},
    {2, HANDSHAKE_NONE, LINK_ERR_RX_HANDSHAKE},
    {HANDSHAKE_NONE, HANDSHAKE_CD, LINK_ERR_NOT_SUPPORTED},
    {HANDSHAKE_NONE, 2, LINK_ERR_TX_HANDSHAKE},
};

// Runs both tables against `port`; each refusal is also its last error.
inline void ExpectRefusedBeforeTheDevice(QvComLink& port) {
    for (const FormatRefusal& c : kFormatRefusals) {
        EXPECT_EQ(port.SetFormat(9600, c.parity, c.dataBits, c.stopBits), c.result) << c.parity << c.dataBits
                                                                                    << c.stopBits;
        EXPECT_EQ(port.TakeLastError(), c.result);
    }
    for (const HandshakeRefusal& c : kHandshakeRefusals) {
        EXPECT_EQ(port.SetHandshake(c.rx, c.tx), c.result) << c.rx << "/" << c.tx;
        EXPECT_EQ(port.TakeLastError(), c.result);
    }
}

}  // namespace port_core_cases
