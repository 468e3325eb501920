// The UART noise the line produces.
#include <gtest/gtest.h>

#include "tools/instrument-sim/model/uart_noise.h"
#include "tools/instrument-sim/model/wire.h"

namespace instrument_sim {
namespace {

TEST(UartNoise, EqualRatesDeliverEveryByteUnchanged) {
    for (int value = 0; value < 256; ++value) {
        const auto byte = static_cast<std::uint8_t>(value);
        EXPECT_EQ(ReceiveAtRate(byte, 38400, 38400), std::vector<std::uint8_t>{byte});
        EXPECT_EQ(ReceiveAtRate(byte, 9600, 9600), std::vector<std::uint8_t>{byte});
    }
}

TEST(UartNoise, SlowByteSeenByFastReceiverIsGarbled) {
    // A carriage return at 9600 sampled at 38400: the long start bit reads as
    // three zero bits, then each slow bit is sampled four times.
    EXPECT_EQ(ReceiveAtRate(0x0D, 9600, 38400), (std::vector<std::uint8_t>{0x78, 0x00}));
    // No byte sent at 9600 can look like a probe to a receiver at 38400.
    for (int value = 0; value < 256; ++value) {
        for (const std::uint8_t heard : ReceiveAtRate(static_cast<std::uint8_t>(value), 9600, 38400)) {
            EXPECT_NE(heard, 0x0D) << value;
        }
    }
}

TEST(UartNoise, FastByteSeenBySlowReceiverIsGarbled) {
    EXPECT_EQ(ReceiveAtRate(0x0D, 38400, 9600), std::vector<std::uint8_t>{0xFE});
    // A start bit that is high again at mid-bit is a glitch, not a byte.
    EXPECT_TRUE(ReceiveAtRate(0xFF, 38400, 9600).empty());
}

TEST(Wire, BytesQueueBehindEachOtherAtLineRate) {
    Wire wire(true);
    const std::uint64_t byteNs = ByteTimeNs(38400);  // 260416 ns
    wire.Send(1, 38400, 0);
    wire.Send(2, 38400, 0);
    EXPECT_TRUE(wire.TakeArrived(byteNs - 1).empty());
    EXPECT_EQ(wire.TakeArrived(byteNs).size(), 1u);
    // The second byte is on the wire: a flush keeps it; a third not yet started goes.
    wire.Send(3, 38400, byteNs);
    wire.DropNotStarted(byteNs + 1);
    EXPECT_EQ(wire.Pending(), 1u);
    EXPECT_EQ(wire.TakeArrived(2 * byteNs).at(0).byte, 2);
}

}  // namespace
}  // namespace instrument_sim
