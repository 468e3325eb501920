#pragma once
// Conversion of the POSIX port's settings record to a terminal's termios
// settings, and the check that a device kept what it was given.

#include <termios.h>

#include <chrono>
#include <cstdint>

#include "comlink/port_settings.h"

// Turns `t` (the device's settings as found at open) into the settings for
// `settings`: raw mode, the receiver on, modem control lines ignored, reads
// that never wait. A rate without a speed code that divides 115200 (14400,
// 28800, 7200, ...) gets a placeholder code and comes back in
// `arbitraryRate`, to be set in baud (line_rate.h); otherwise that is 0.
// Returns false, with errno EINVAL and `t` partly changed, for a setting that
// termios cannot express: 4 data bits, the DTR receive handshake, the RTS
// receive handshake without the CTS transmit handshake, any other rate
// without a speed code, mark or space parity where the system has no CMSPAR.
// The CTS transmit handshake on its own and the DSR transmit handshake are
// the transmit queue's to keep (the line flags stay off for them).
bool BuildTermios(const QvPortSettings& settings, termios& t, std::uint32_t& arbitraryRate);

// True when the RTS receive and the CTS transmit handshakes are both on: the
// terminal's one hardware handshake flag (CRTSCTS) serves them.
bool RtsCtsHandshake(const QvPortSettings& settings);

// True when `taken` (read back from the device after setting `wanted`) has
// the line format of `wanted`, and its speed codes too when
// `compareSpeedCodes` (a rate set in baud is compared by the caller). A
// terminal accepts a call that changed any part of the settings, so a dropped
// rate or format shows only here.
bool DeviceKeptSettings(const termios& wanted, const termios& taken, bool compareSpeedCodes);
