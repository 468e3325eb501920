#include "platform/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

bool EnsureStandardStreamsOpen() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free number is `fd` itself, as the lower ones are open.
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened < 0) return false;
        if (opened != fd) {
            const bool moved = ::dup2(opened, fd) == fd;
            ::close(opened);
            if (!moved) return false;
        }
    }
    return true;
}

}  // namespace platform
