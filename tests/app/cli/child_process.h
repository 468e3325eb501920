#pragma once
// Test helper: runs a program as a child process with its standard input from
// /dev/null, standard output through a pipe read line by line with the time
// each line arrived, and standard error into a file.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace cli_test {

using Clock = std::chrono::steady_clock;

struct TimedLine {
    std::string text;
    Clock::time_point arrived;
};

// A started child. Destruction kills and reaps it if it still runs.
class ChildProcess {
public:
    // Starts `program` with `arguments`. With `captureOutput` its standard
    // output comes through a pipe (see ReadAllOutput), else it goes to
    // `outFile`, or is closed when `outFile` is empty; standard error always
    // goes to `errFile`.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& outFile, const std::string& errFile, bool captureOutput) {
        int pipeFds[2] = {-1, -1};
        if (captureOutput && ::pipe2(pipeFds, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        if (captureOutput) {
            posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        } else if (outFile.empty()) {
            posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        if (captureOutput) {
            ::close(pipeFds[1]);
            outPipe_ = pipeFds[0];
        }
    }
    ~ChildProcess() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            int ignored = 0;
            ::waitpid(pid_, &ignored, 0);
        }
        if (outPipe_ >= 0) ::close(outPipe_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }

    // Reads the captured output until the child closes it or `limit` passes.
    // Returns the lines (without their line ends) and when each arrived; a
    // last line without a line end is returned too. Lines already read by
    // WaitForLine come first.
    std::vector<TimedLine> ReadAllOutput(std::chrono::milliseconds limit) {
        const Clock::time_point deadline = Clock::now() + limit;
        while (ReadSome(deadline)) {
        }
        if (!pending_.empty()) lines_.push_back({pending_, Clock::now()});
        pending_.clear();
        return lines_;
    }

    // Reads the captured output until a line equal to `text` has come, the
    // child closes it, or `limit` passes. True when the line came.
    bool WaitForLine(const std::string& text, std::chrono::milliseconds limit) {
        const Clock::time_point deadline = Clock::now() + limit;
        for (std::size_t seen = 0;; ) {
            for (; seen < lines_.size(); ++seen) {
                if (lines_[seen].text == text) return true;
            }
            if (!ReadSome(deadline)) return false;
        }
    }

    void Signal(int number) const {
        if (pid_ > 0 && !status_) ::kill(pid_, number);
    }

    // Sends `number` to the child's descendant whose command line starts
    // with a program named ...`programSuffix` (a Windows program that a
    // wrapper script started under Wine). False when there is none.
    bool SignalDescendant(const std::string& programSuffix, int number) const {
        if (pid_ <= 0 || status_) return false;
        std::vector<pid_t> family{pid_};
        bool grew = true;
        while (grew) {  // the tree below the child, one generation per pass
            grew = false;
            for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
                const pid_t pid = static_cast<pid_t>(std::atoi(entry.path().filename().c_str()));
                if (pid <= 0 || std::find(family.begin(), family.end(), pid) != family.end()) continue;
                std::ifstream stat(entry.path() / "stat");
                std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
                const std::size_t close = text.rfind(')');
                if (close == std::string::npos) continue;
                std::istringstream rest(text.substr(close + 2));
                char state = 0;
                pid_t parent = 0;
                rest >> state >> parent;
                if (std::find(family.begin(), family.end(), parent) == family.end()) continue;
                family.push_back(pid);
                grew = true;
                std::ifstream cmdline(entry.path() / "cmdline");
                std::string program;
                std::getline(cmdline, program, '\0');
                if (program.ends_with(programSuffix)) return ::kill(pid, number) == 0;
            }
        }
        return false;
    }

    // Waits up to `limit` for the child to end. Returns its exit status
    // (128 + the signal when a signal ended it), or nothing on time-out.
    std::optional<int> Wait(std::chrono::milliseconds limit) {
        const Clock::time_point deadline = Clock::now() + limit;
        while (!status_) {
            int raw = 0;
            const pid_t done = ::waitpid(pid_, &raw, WNOHANG);
            if (done == pid_) {
                endedAt_ = Clock::now();
                status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
                break;
            }
            if (done < 0 || Clock::now() >= deadline) break;
            ::usleep(10'000);
        }
        return status_;
    }

    // Asks the child to end.
    void Terminate() {
        if (pid_ > 0 && !status_) ::kill(pid_, SIGTERM);
    }

    Clock::time_point EndedAt() const { return endedAt_; }

private:
    // Reads what the pipe holds into the lines; false once it is closed or
    // `deadline` has passed.
    bool ReadSome(Clock::time_point deadline) {
        if (outPipe_ < 0 || Clock::now() >= deadline) return false;
        pollfd fd{outPipe_, POLLIN, 0};
        if (::poll(&fd, 1, 100) <= 0) return true;
        char buffer[4096];
        const ssize_t count = ::read(outPipe_, buffer, sizeof buffer);
        if (count <= 0) return false;
        const Clock::time_point now = Clock::now();
        for (ssize_t i = 0; i < count; ++i) {
            if (buffer[i] == '\n') {
                lines_.push_back({pending_, now});
                pending_.clear();
            } else {
                pending_ += buffer[i];
            }
        }
        return true;
    }

    pid_t pid_ = -1;
    std::vector<TimedLine> lines_;
    std::string pending_;
    int outPipe_ = -1;
    std::optional<int> status_;
    Clock::time_point endedAt_{};
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace cli_test
