// The digest the summary prints and the UART noise the line produces.
#include <gtest/gtest.h>

#include <string>

#include "tools/instrument-sim/model/sha256.h"
#include "tools/instrument-sim/model/uart_noise.h"
#include "tools/instrument-sim/model/wire.h"

namespace instrument_sim {
namespace {

std::string HexOf(const std::string& text) {
    return Sha256Hex(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(Sha256, KnownDigests) {
    struct Case {
        std::string message;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 56 bytes: the padding spills into a second block.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000, 'a'),
         "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3"},
    };
    for (const Case& c : cases) EXPECT_EQ(HexOf(c.message), c.digest) << c.message.size();
}

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
