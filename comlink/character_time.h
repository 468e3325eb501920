#pragma once
// The line time of one character: start bit, data bits, parity bit and stop
// bits at the given rate. Stop bits in the settings record's codes.

#include <chrono>
#include <cstdint>

inline constexpr int kCharStopBitsOne = 0;
inline constexpr int kCharStopBitsOneAndHalf = 1;
inline constexpr int kCharStopBitsTwo = 2;

// Zero for a rate of 0.
constexpr std::chrono::nanoseconds CharacterTime(std::uint32_t baudRate, int dataBits, bool parityBit,
                                                 int stopBitsCode) {
    if (baudRate == 0) return std::chrono::nanoseconds::zero();
    int halfBits = 2 + 2 * dataBits + (parityBit ? 2 : 0);
    halfBits += stopBitsCode == kCharStopBitsOne ? 2 : stopBitsCode == kCharStopBitsOneAndHalf ? 3 : 4;
    constexpr long long kHalfBitNsAtOneBaud = 500'000'000;
    return std::chrono::nanoseconds(halfBits * kHalfBitNsAtOneBaud / baudRate);
}
