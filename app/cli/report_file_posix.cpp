#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/cli/report_file.h"

namespace cli {
namespace {

constexpr mode_t kReportFileMode = 0644;

// Closes the descriptor (and so drops its lock) on every path.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

std::string Failure(const std::string& path, const char* what) {
    return path + ": " + what + ": " + std::strerror(errno);
}

}  // namespace

std::string CheckReportFile(const std::string& path) {
    const Descriptor file(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kReportFileMode));
    return file.Get() < 0 ? Failure(path, "cannot open the report file") : std::string{};
}

std::string AppendReportLine(const std::string& path, const std::string& line) {
    const Descriptor file(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kReportFileMode));
    if (file.Get() < 0) return Failure(path, "cannot open the report file");
    int locked = 0;
    do {
        locked = ::flock(file.Get(), LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) return Failure(path, "cannot lock the report file");

    const std::string record = line + "\n";
    std::size_t done = 0;
    // One write takes the whole record on a local file; the loop only
    // finishes a write that a signal cut short.
    while (done < record.size()) {
        const ssize_t wrote = ::write(file.Get(), record.data() + done, record.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return Failure(path, "cannot write the report file");
        done += static_cast<std::size_t>(wrote);
    }
    return {};
}

}  // namespace cli
