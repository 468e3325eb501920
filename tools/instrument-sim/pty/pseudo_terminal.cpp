#include "tools/instrument-sim/pty/pseudo_terminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace instrument_sim {
namespace {

struct RateEntry {
    speed_t code;
    std::uint32_t baud;
};

constexpr RateEntry kRates[] = {
    {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},
    {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},
    {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
    {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
};

constexpr std::uint64_t kNsPerSecond = 1'000'000'000;

std::string SystemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

PseudoTerminal::PseudoTerminal(const std::string& linkPath) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0) {
        error_ = SystemError("posix_openpt");
        return;
    }
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error_ = SystemError("grantpt/unlockpt");
        Close();
        return;
    }
    char name[128] = {};
    if (ptsname_r(master_, name, sizeof name) != 0) {
        error_ = SystemError("ptsname_r");
        Close();
        return;
    }
    slavePath_ = name;
    slave_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slave_ < 0) {
        error_ = SystemError("open slave");
        Close();
        return;
    }
    if (!linkPath.empty()) {
        struct stat existing {};
        if (lstat(linkPath.c_str(), &existing) == 0) {
            if (!S_ISLNK(existing.st_mode)) {
                error_ = linkPath + " exists and is not a symbolic link";
                Close();
                return;
            }
            unlink(linkPath.c_str());
        }
        if (symlink(slavePath_.c_str(), linkPath.c_str()) != 0) {
            error_ = SystemError(("symlink " + linkPath).c_str());
            Close();
            return;
        }
        linkPath_ = linkPath;
    }
}

PseudoTerminal::~PseudoTerminal() { Close(); }

void PseudoTerminal::Close() {
    if (!linkPath_.empty()) {
        unlink(linkPath_.c_str());
        linkPath_.clear();
    }
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
    slave_ = -1;
    master_ = -1;
}

std::uint32_t PseudoTerminal::HostRate() const {
    termios settings{};
    if (master_ < 0 || tcgetattr(master_, &settings) != 0) return 0;
    const speed_t code = cfgetospeed(&settings);
    for (const RateEntry& entry : kRates) {
        if (entry.code == code) return entry.baud;
    }
    return 0;
}

long PseudoTerminal::Read(std::uint8_t* buffer, std::size_t max) {
    if (master_ < 0) return -1;
    const ssize_t count = read(master_, buffer, max);
    if (count >= 0) return count;
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
}

long PseudoTerminal::Write(const std::uint8_t* data, std::size_t count) {
    if (master_ < 0) return -1;
    if (count == 0) return 0;
    const ssize_t written = write(master_, data, count);
    if (written >= 0) return written;
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
}

PseudoTerminal::Ready PseudoTerminal::Wait(std::uint64_t timeoutNs, bool forInput,
                                            bool forOutput) const {
    const timespec timeout{static_cast<time_t>(timeoutNs / kNsPerSecond),
                           static_cast<long>(timeoutNs % kNsPerSecond)};
    const short events = static_cast<short>((forInput ? POLLIN : 0) | (forOutput ? POLLOUT : 0));
    pollfd entry{master_, events, 0};
    const bool watch = master_ >= 0 && events != 0;
    Ready ready;
    if (ppoll(watch ? &entry : nullptr, watch ? 1 : 0, &timeout, nullptr) <= 0) return ready;
    ready.readable = (entry.revents & POLLIN) != 0;
    ready.writable = (entry.revents & POLLOUT) != 0;
    return ready;
}

}  // namespace instrument_sim
