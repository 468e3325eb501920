// Linux: the ASYNC_LOW_LATENCY flag of the driver's serial_struct
// (TIOCGSERIAL/TIOCSSERIAL), which an unprivileged process may change.

#include <linux/serial.h>
#include <sys/ioctl.h>

#include "comlink/posix/serial_low_latency.h"

namespace {

// Sets or clears the flag; false when the device has no serial_struct (a
// pty) or the driver refused.
bool SetLowLatency(int fd, bool on, bool& wasOn) {
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return false;
    wasOn = (serial.flags & ASYNC_LOW_LATENCY) != 0;
    if (wasOn == on) return true;
    if (on) {
        serial.flags |= ASYNC_LOW_LATENCY;
    } else {
        serial.flags &= ~ASYNC_LOW_LATENCY;
    }
    return ::ioctl(fd, TIOCSSERIAL, &serial) == 0;
}

}  // namespace

bool EnterLowLatency(int fd) {
    bool wasOn = false;
    return SetLowLatency(fd, true, wasOn) && !wasOn;
}

void LeaveLowLatency(int fd, bool entered) {
    bool wasOn = false;
    if (entered) SetLowLatency(fd, false, wasOn);
}
