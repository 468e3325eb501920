// Linux: termios2 with BOTHER carries the rate in baud. This file includes
// the kernel's terminal header instead of <termios.h>, whose termios record
// has the same name.

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "comlink/posix/line_rate.h"

bool SetArbitraryRate(int fd, std::uint32_t rate) {
    termios2 settings{};
    if (::ioctl(fd, TCGETS2, &settings) != 0) return false;
    settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ospeed = rate;
    settings.c_ispeed = rate;
    return ::ioctl(fd, TCSETS2, &settings) == 0;
}

bool ReadLineRates(int fd, std::uint32_t& output, std::uint32_t& input) {
    termios2 settings{};
    if (::ioctl(fd, TCGETS2, &settings) != 0) return false;
    output = settings.c_ospeed;
    input = settings.c_ispeed;
    return true;
}
