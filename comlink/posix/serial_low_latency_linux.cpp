// Linux: the ASYNC_LOW_LATENCY flag of the driver's serial_struct
// (TIOCGSERIAL/TIOCSSERIAL), which an unprivileged process may change.

#include <linux/serial.h>
#include <sys/ioctl.h>

#include <array>
#include <atomic>

#include "comlink/posix/serial_low_latency.h"

namespace {

// The descriptors on which this process turned the mode on, each stored as
// descriptor + 1 so that a zero-filled slot is free: as many as the ports
// one process updates at once, with room to spare.
constexpr int kFreeSlot = 0;
std::array<std::atomic<int>, 64> entered{};

// Sets or clears the flag. False when the device has no serial_struct (a
// pty), the flag is already so, or the driver refused.
bool ChangeLowLatency(int fd, bool on) {
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return false;
    if (((serial.flags & ASYNC_LOW_LATENCY) != 0) == on) return false;
    if (on) {
        serial.flags |= ASYNC_LOW_LATENCY;
    } else {
        serial.flags &= ~ASYNC_LOW_LATENCY;
    }
    return ::ioctl(fd, TIOCSSERIAL, &serial) == 0;
}

}  // namespace

void EnterLowLatency(int fd) {
    if (fd < 0 || !ChangeLowLatency(fd, true)) return;
    for (auto& slot : entered) {
        int free = kFreeSlot;
        if (slot.compare_exchange_strong(free, fd + 1)) return;
    }
    ChangeLowLatency(fd, false);  // no room to remember it: do without the mode
}

void LeaveLowLatency(int fd) {
    if (fd < 0) return;
    for (auto& slot : entered) {
        int expected = fd + 1;
        if (slot.compare_exchange_strong(expected, kFreeSlot)) {
            ChangeLowLatency(fd, false);
            return;
        }
    }
}
