// The instrument-sim program itself: whatever ends it short of a kill, it
// removes the link it made, so a stale name never points at a dead pty.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

extern char** environ;

namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto kStartLimit = 5s;
constexpr auto kEndLimit = 10s;

// instrument-sim started with --link, its standard output on a pipe.
class SimulatorProcess {
public:
    explicit SimulatorProcess(const std::string& link, const char* idleSeconds) {
        int fds[2] = {-1, -1};
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const char* argv[] = {INSTRUMENT_SIM_PATH, "--link", link.c_str(), "--idle-timeout", idleSeconds, nullptr};
        if (posix_spawn(&pid_, INSTRUMENT_SIM_PATH, &actions, nullptr, const_cast<char**>(argv), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~SimulatorProcess() {
        CloseOutput();
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    // Reads the first line (the device path) and nothing more.
    std::string FirstLine() {
        std::string line;
        char c = 0;
        while (out_ >= 0) {
            pollfd fd{out_, POLLIN, 0};
            if (::poll(&fd, 1, 5000) <= 0 || ::read(out_, &c, 1) != 1 || c == '\n') break;
            line += c;
        }
        return line;
    }
    // The reader goes away: later writes of the tool find no reader.
    void CloseOutput() {
        if (out_ >= 0) ::close(out_);
        out_ = -1;
    }
    void Signal(int number) const { ::kill(pid_, number); }
    // The exit status, 128 + the signal when one ended it, or nothing in time.
    std::optional<int> Wait(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!status_ && std::chrono::steady_clock::now() < deadline) {
            int raw = 0;
            if (::waitpid(pid_, &raw, WNOHANG) == pid_) {
                status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            } else {
                std::this_thread::sleep_for(10ms);
            }
        }
        return status_;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::optional<int> status_;
};

std::string LinkPath(const char* name) {
    return (fs::temp_directory_path() / (std::string(name) + "-" + std::to_string(::getpid()))).string();
}

TEST(InstrumentSimTool, ReaderGoneOrTerminalClosedStillRemovesTheLink) {
    struct Case {
        const char* name;
        int signal;  // 0: the session ends on its own idle time-out
    };
    for (const Case& c : {Case{"sim-reader-gone", 0}, Case{"sim-hangup", SIGHUP}, Case{"sim-term", SIGTERM}}) {
        SCOPED_TRACE(c.name);
        const std::string link = LinkPath(c.name);
        fs::remove(link);
        SimulatorProcess sim(link, "1");
        ASSERT_TRUE(sim.Started());
        EXPECT_EQ(sim.FirstLine().rfind("/dev/pts/", 0), 0u);
        ASSERT_TRUE(fs::is_symlink(link));

        sim.CloseOutput();  // like `instrument-sim | head -n 1`
        if (c.signal != 0) sim.Signal(c.signal);
        const std::optional<int> status = sim.Wait(kEndLimit);
        ASSERT_TRUE(status.has_value());
        EXPECT_LT(*status, 128) << "ended by signal " << *status - 128;
        EXPECT_FALSE(fs::is_symlink(link));
        fs::remove(link);
    }
}

}  // namespace
