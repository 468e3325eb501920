#include "bench/child_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>

namespace bench {
namespace {

constexpr std::size_t kReadChunk = 4096;
constexpr std::uint64_t kNsPerUs = 1000;
constexpr std::uint64_t kUsPerSecond = 1'000'000;

std::uint64_t TimevalNs(const timeval& value) {
    return (static_cast<std::uint64_t>(value.tv_sec) * kUsPerSecond + static_cast<std::uint64_t>(value.tv_usec)) *
           kNsPerUs;
}

}  // namespace

std::uint64_t SteadyNowNs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count());
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& errPath) {
    if (argv.empty()) return;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const std::string errFile = errPath.empty() ? "/dev/null" : errPath;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (err >= 0) dup2(err, STDERR_FILENO);
        const int in = open("/dev/null", O_RDONLY);
        if (in >= 0) dup2(in, STDIN_FILENO);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    if (pid_ < 0) {
        close(pipeFds[0]);
        return;
    }
    out_ = pipeFds[0];
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !reaped_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
}

bool ChildProcess::FillBuffer() {
    if (out_ < 0) return false;
    char chunk[kReadChunk];
    for (;;) {
        const ssize_t got = read(out_, chunk, sizeof chunk);
        if (got > 0) {
            buffer_.append(chunk, static_cast<std::size_t>(got));
            return true;
        }
        if (got < 0 && errno == EINTR) continue;
        return false;
    }
}

std::optional<std::string> ChildProcess::ReadLine() {
    for (;;) {
        const std::size_t end = buffer_.find('\n');
        if (end != std::string::npos) {
            std::string line = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            return line;
        }
        if (!FillBuffer()) {
            if (buffer_.empty()) return std::nullopt;
            std::string line;
            line.swap(buffer_);
            return line;
        }
    }
}

std::string ChildProcess::ReadAll() {
    while (FillBuffer()) {
    }
    std::string all;
    all.swap(buffer_);
    return all;
}

std::uint64_t ChildProcess::CpuNsNow() const {
    if (pid_ <= 0 || reaped_) return 0;
    const std::string taskDir = "/proc/" + std::to_string(pid_) + "/task";
    DIR* dir = opendir(taskDir.c_str());
    if (dir == nullptr) return 0;
    std::uint64_t total = 0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        // The first field of schedstat is the time spent on a CPU, in ns.
        std::ifstream stat(taskDir + "/" + entry->d_name + "/schedstat");
        std::uint64_t onCpu = 0;
        if (stat >> onCpu) total += onCpu;
    }
    closedir(dir);
    return total;
}

ChildUsage ChildProcess::Wait() {
    ChildUsage usage;
    if (pid_ <= 0 || reaped_) return usage;
    int status = 0;
    rusage used{};
    while (wait4(pid_, &status, 0, &used) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    usage.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    usage.userNs = TimevalNs(used.ru_utime);
    usage.systemNs = TimevalNs(used.ru_stime);
    usage.cpuNs = usage.userNs + usage.systemNs;
    usage.peakRssKiB = used.ru_maxrss;
    return usage;
}

void ChildProcess::Terminate() const {
    if (pid_ > 0 && !reaped_) kill(pid_, SIGTERM);
}

}  // namespace bench
