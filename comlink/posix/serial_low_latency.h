#pragma once
// A serial driver's low-latency mode, held while the port is open. USB
// adapters otherwise keep received bytes up to their latency timer (16 ms on
// FTDI adapters) before they hand them on, and every echoed byte of a
// byte-by-byte exchange then waits that long; in low-latency mode FTDI's
// driver sets the timer to 1 ms. Other devices (a pty, a UART that ignores
// the mode) are left as they are: a device without the mode, or one that
// refuses it, is no error.
//
// The mode belongs to the device, not to the descriptor, and outlives the
// process: whoever turns it on must turn it off. The descriptors on which
// this process turned it on are remembered (a few at a time), so that a
// process stopped without closing its port can still give the mode back.
// Both calls may come from any thread.

// Turns the driver's low-latency mode on for `fd` when it is off, and
// remembers that this process did.
void EnterLowLatency(int fd);

// Turns the mode off again when it was EnterLowLatency that turned it on for
// `fd`, and forgets `fd`; otherwise does nothing.
void LeaveLowLatency(int fd);
