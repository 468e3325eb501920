#pragma once
// What a UART listening at one rate makes of a byte sent at another: the
// sender's frame (start bit, 8 data bits LSB first, stop bit, then idle) is
// sampled at the receiver's rate as a real UART would, hunting for a falling
// edge, checking the start bit at mid-bit and sampling each bit at its middle.

#include <cstdint>
#include <vector>

namespace instrument_sim {

// The bytes the receiver assembles from one isolated frame: exactly the byte
// when the rates are equal, none, one or several bytes of noise otherwise.
// A rate of 0 is taken as 1.
std::vector<std::uint8_t> ReceiveAtRate(std::uint8_t byte, std::uint32_t senderBaud,
                                        std::uint32_t receiverBaud);

}  // namespace instrument_sim
