#include "comlink/posix/device_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "comlink/qv_com_port.h"

short PollFor(int fd, short events, int waitMs) {
    pollfd entry{fd, events, 0};
    const int ready = ::poll(&entry, 1, waitMs);
    return ready > 0 ? entry.revents : 0;
}

void PollSleep(int waitMs) { ::poll(nullptr, 0, waitMs); }

int ModemLineBits(int fd) {
    int lines = 0;
    if (fd < 0 || ::ioctl(fd, TIOCMGET, &lines) != 0) return -1;
    int bits = 0;
    if ((lines & TIOCM_CTS) != 0) bits |= kModemCts;
    if ((lines & TIOCM_DSR) != 0) bits |= kModemDsr;
    if ((lines & TIOCM_RI) != 0) bits |= kModemRi;
    if ((lines & TIOCM_CD) != 0) bits |= kModemCd;
    return bits;
}

OpenedDevice OpenDeviceExclusive(const std::string& path) {
    OpenedDevice device;
    const auto fail = [&device](DeviceOpenFailure::Step step, int systemError, int fd) {
        if (fd >= 0) ::close(fd);
        device.fd = -1;
        device.failedStep = step;
        device.systemError = systemError;
        return device;
    };

    const int fd = RetryOnInterrupt(
        [&] { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0) return fail(DeviceOpenFailure::Step::kOpen, errno, -1);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(DeviceOpenFailure::Step::kLock, errno, fd);
    if (::tcgetattr(fd, &device.saved) != 0) return fail(DeviceOpenFailure::Step::kSettings, errno, fd);
    ::ioctl(fd, TIOCEXCL);  // best effort: not every device offers it
    device.fd = fd;
    return device;
}

int ReleaseDevice(int fd, const termios& saved) {
    ::tcsetattr(fd, TCSANOW, &saved);
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    // After EINTR the descriptor is released anyway: no retry.
    return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
}
