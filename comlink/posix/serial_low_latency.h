#pragma once
// A serial driver's low-latency mode, held while the port is open. USB
// adapters otherwise keep received bytes up to their latency timer (16 ms on
// FTDI adapters) before they hand them on, and every echoed byte of a
// byte-by-byte exchange then waits that long; in low-latency mode FTDI's
// driver sets the timer to 1 ms. Other devices (a pty, a UART that ignores
// the mode) are left as they are: a device without the mode, or one that
// refuses it, is no error.

// Turns the driver's low-latency mode on for `fd` when it is off. True when
// this call turned it on, so that LeaveLowLatency must turn it off again;
// false when it was on already, or the device has no such mode or refused.
bool EnterLowLatency(int fd);

// Turns the mode off again when `entered` (EnterLowLatency's answer) says
// that it was this port that turned it on.
void LeaveLowLatency(int fd, bool entered);
