#pragma once
// Line rates that the terminal's speed codes (B9600, ...) do not name, such
// as 14400 or 28800, set and read in baud through the system's arbitrary-rate
// interface (termios2 with BOTHER on Linux). Where the system has none, both
// calls fail and such a rate is refused.

#include <cstdint>

// Sets `rate` for both directions on `fd`, keeping every other setting the
// device has. False, with errno set, when the system or the device refused.
bool SetArbitraryRate(int fd, std::uint32_t rate);

// Reads the device's output and input rates in baud. False when the system
// cannot tell.
bool ReadLineRates(int fd, std::uint32_t& output, std::uint32_t& input);
