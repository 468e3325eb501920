#include "comlink/posix/terminal_transmit_device.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "comlink/posix/device_file.h"

long TerminalTransmitDevice::Send(const std::uint8_t* data, std::size_t size) {
    const ssize_t written = RetryOnInterrupt([&] { return ::write(fd_, data, size); });
    if (written >= 0) return static_cast<long>(written);
    return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
}

long TerminalTransmitDevice::Held() {
    int count = 0;
    if (::ioctl(fd_, TIOCOUTQ, &count) != 0) return -1;
    return count;
}

void TerminalTransmitDevice::WaitForRoom(int waitMs) {
    const short events = PollFor(fd_, POLLOUT, waitMs);
    // A hung-up device reports at once and stays so: wait anyway, the next
    // Send tells whether it failed.
    if ((events & POLLOUT) == 0 && (events & (POLLHUP | POLLERR | POLLNVAL)) != 0) PollSleep(waitMs);
}

int TerminalTransmitDevice::ModemLines() { return ModemLineBits(fd_); }

void TerminalTransmitDevice::Discard() { ::tcflush(fd_, TCOFLUSH); }
