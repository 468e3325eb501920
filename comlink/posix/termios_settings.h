#pragma once
// Conversion of the POSIX port's settings record to a terminal's termios
// settings, and the check that a device kept what it was given.

#include <termios.h>

#include "comlink/posix/posix_settings.h"

// Turns `t` (the device's settings as found at open) into the settings for
// `settings`: raw mode, the receiver on, modem control lines ignored, reads
// that never wait. Returns false, with errno EINVAL and `t` partly changed,
// for a setting that termios cannot express (4 data bits, DSR or DTR
// handshake, a rate without a speed code, mark or space parity where the
// system has no CMSPAR).
bool BuildTermios(const QvPosixSettings& settings, termios& t);

// True when `taken` (read back from the device after setting `wanted`) has
// the rate and line format of `wanted`. A terminal accepts a call that changed
// any part of the settings, so a dropped rate or format shows only here.
bool DeviceKeptSettings(const termios& wanted, const termios& taken);
