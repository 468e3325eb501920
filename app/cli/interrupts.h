#pragma once
// Ctrl-C and termination requests for updater-cli, turned into calls instead
// of ending the process at once, and the release of a device that a stopped
// process leaves behind.

#include <cstdint>
#include <functional>
#include <memory>

namespace cli {

// One request to stop, as the watch hands it on.
struct StopRequest {
    int signalNumber = 0;  // SIGINT or SIGTERM (also for SIGHUP): a stop exits with 128 plus it
    // The system ends the process within a few seconds whatever is done
    // (Windows: the console is closed, the user logs off, the system shuts
    // down), so there is no time to wait for a second request.
    bool systemEnding = false;
};

class InterruptWatch {
public:
    // Create it before any other thread starts (later threads then leave the
    // requests to it). From then on each Ctrl-C (SIGINT) or termination
    // request (SIGTERM; on Windows Ctrl-Break, and the console's close,
    // logoff and shutdown events; SIGHUP as SIGTERM) calls `onRequest`, on a thread that is not
    // the caller's and never inside a signal handler, instead of ending the
    // process.
    explicit InterruptWatch(std::function<void(StopRequest)> onRequest);
    // Stops watching; requests arriving later are held (POSIX) or ignored
    // (Windows) until the process ends.
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Makes the open device behind `handle` (the link's handle, as
// DataExchange::LinkHandle gives it) openable
// by other processes once this one has ended without closing it: the link
// claims it for exclusive use, and that claim outlives the process. The
// driver's low-latency mode, which the link asked for, is given back too.
void ReleaseDeviceForOthers(std::intptr_t handle);

// Ends the process at once with `status`, running no exit handlers and no
// clean-up of the libraries it uses: what it printed must already be flushed.
[[noreturn]] void EndStoppedProcess(int status);

}  // namespace cli
