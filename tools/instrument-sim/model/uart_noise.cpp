#include "tools/instrument-sim/model/uart_noise.h"

#include <algorithm>

namespace instrument_sim {
namespace {

constexpr int kFrameBits = 10;  // start, 8 data, stop

// The sender's line level at time t, in units where one sender bit lasts
// `senderBit`: idle (1) before the frame, the start bit (0), the data bits,
// then the stop bit and idle (1).
int LevelAt(std::uint8_t byte, std::int64_t senderBit, std::int64_t t) {
    if (t < 0) return 1;
    const std::int64_t bit = t / senderBit;
    if (bit == 0) return 0;
    if (bit <= 8) return (byte >> (bit - 1)) & 1;
    return 1;
}

}  // namespace

std::vector<std::uint8_t> ReceiveAtRate(std::uint8_t byte, std::uint32_t senderBaud,
                                        std::uint32_t receiverBaud) {
    // Time unit: 1 / (2 * senderBaud * receiverBaud) s, so that a sender bit
    // (2 * receiverBaud units) and half a receiver bit (senderBaud units)
    // are both whole numbers.
    const std::int64_t sender = std::max<std::uint32_t>(senderBaud, 1);
    const std::int64_t receiver = std::max<std::uint32_t>(receiverBaud, 1);
    const std::int64_t senderBit = 2 * receiver;
    const std::int64_t halfReceiverBit = sender;

    std::vector<std::uint8_t> received;
    std::int64_t huntFrom = 0;
    for (int boundary = 0; boundary < kFrameBits; ++boundary) {
        const std::int64_t edge = boundary * senderBit;
        if (edge < huntFrom) continue;
        if (!(LevelAt(byte, senderBit, edge - 1) == 1 && LevelAt(byte, senderBit, edge) == 0)) {
            continue;
        }
        if (LevelAt(byte, senderBit, edge + halfReceiverBit) != 0) {
            huntFrom = edge + halfReceiverBit;  // a glitch, not a start bit
            continue;
        }
        std::uint8_t assembled = 0;
        for (int k = 1; k <= 8; ++k) {
            const std::int64_t sample = edge + (2 * k + 1) * halfReceiverBit;
            if (LevelAt(byte, senderBit, sample) != 0) {
                assembled = static_cast<std::uint8_t>(assembled | (1u << (k - 1)));
            }
        }
        received.push_back(assembled);
        huntFrom = edge + (2 * (kFrameBits - 1) + 1) * halfReceiverBit;  // stop bit's middle
    }
    return received;
}

}  // namespace instrument_sim
