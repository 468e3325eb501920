#pragma once
// ChildProcess: a program the benchmark runs and watches: started with its
// standard output on a pipe, its CPU time readable while it runs (all its
// threads, to the nanosecond) and its resource use once it has ended.

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bench {

// Nanoseconds on the steady clock.
std::uint64_t SteadyNowNs();

struct ChildUsage {
    int exitStatus = -1;         // the exit status, or -1 when killed
    std::uint64_t cpuNs = 0;     // user + system over its whole life
    std::uint64_t userNs = 0;
    std::uint64_t systemNs = 0;
    long peakRssKiB = 0;
};

class ChildProcess {
public:
    // Starts `argv` (argv[0] is looked up in PATH) with its standard output
    // on a pipe and its standard error sent to `errPath` (empty: /dev/null).
    ChildProcess(const std::vector<std::string>& argv, const std::string& errPath = {});
    // Kills a child still running and reaps it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }

    // The next line of its output without its line feed, or nothing at the
    // end of the output.
    std::optional<std::string> ReadLine();
    // Everything left of its output.
    std::string ReadAll();
    // CPU time of all its threads so far (from /proc), 0 once it has ended.
    std::uint64_t CpuNsNow() const;
    // Waits for its end and returns what it used.
    ChildUsage Wait();
    // Asks it to end (SIGTERM).
    void Terminate() const;

private:
    bool FillBuffer();

    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
    bool reaped_ = false;
};

}  // namespace bench
