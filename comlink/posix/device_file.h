#pragma once
// The POSIX port's dealings with its device file: opening it exclusively,
// releasing it with its settings restored, and waiting for it with poll().

#include <termios.h>

#include <cerrno>
#include <string>

#include "comlink/port_devices.h"

// Repeats a system call interrupted by a signal; returns the call's result.
template <typename Call>
auto RetryOnInterrupt(Call call) {
    for (;;) {
        const auto result = call();
        if (result >= 0 || errno != EINTR) return result;
    }
}

// Waits up to `waitMs` (0: not at all) for `events` on `fd`. Returns the
// events that came, hang-up and error included; 0 after the time-out.
short PollFor(int fd, short events, int waitMs);

// The modem lines of `fd` in the library's bits (0x10 CTS, 0x20 DSR, 0x40 RI,
// 0x80 CD), or -1 when the device has none to read (a pty).
int ModemLineBits(int fd);

// Sleeps about `waitMs` through poll() without a descriptor.
void PollSleep(int waitMs);

// Outcome of OpenDeviceExclusive.
struct OpenedDevice {
    int fd = -1;         // the open device, or -1
    termios saved{};     // its settings as found, when open
    DeviceOpenFailure::Step failedStep = DeviceOpenFailure::Step::kOpen;
    int systemError = 0; // errno of the failed step, when not open
};

// Opens `path` for reading and writing, non-blocking, without making it the
// controlling terminal, locked against every other opener (flock, which holds
// against root too, plus the terminal's exclusive mode where offered), and
// reads its settings. On failure nothing stays open.
OpenedDevice OpenDeviceExclusive(const std::string& path);

// Puts `saved` back on `fd`, lifts the locks and closes it. Returns 0, or the
// errno of a failed close (the descriptor is released either way).
int ReleaseDevice(int fd, const termios& saved);
