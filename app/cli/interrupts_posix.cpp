#include "app/cli/interrupts.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <time.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "comlink/posix/serial_low_latency.h"

namespace cli {
namespace {

// How often the watch looks at its stop flag between requests.
constexpr long kWatchPollNs = 100'000'000;

sigset_t Requests() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

struct InterruptWatch::State {
    std::atomic<bool> stop{false};
    std::thread thread;
};

InterruptWatch::InterruptWatch(std::function<void(StopRequest)> onRequest) : state_(std::make_unique<State>()) {
    // Blocked here, in every thread started from here on, and taken by the
    // watch alone with sigtimedwait: no code runs inside a signal handler.
    const sigset_t requests = Requests();
    pthread_sigmask(SIG_BLOCK, &requests, nullptr);
    state_->thread = std::thread([state = state_.get(), onRequest = std::move(onRequest), requests] {
        const timespec poll{0, kWatchPollNs};
        while (!state->stop.load()) {
            const int number = sigtimedwait(&requests, nullptr, &poll);
            // A closed terminal or a dropped session asks to end, as SIGTERM does.
            if (number > 0) onRequest(StopRequest{number == SIGHUP ? SIGTERM : number, false});
        }
    });
}

InterruptWatch::~InterruptWatch() {
    state_->stop.store(true);
    state_->thread.join();
}

void ReleaseDeviceForOthers(std::intptr_t handle) {
    // The POSIX port's handle is its descriptor + 1, so that 0 means closed.
    if (handle <= 0) return;
    ::ioctl(static_cast<int>(handle - 1), TIOCNXCL);
    LeaveLowLatency(static_cast<int>(handle - 1));
}

void EndStoppedProcess(int status) { std::_Exit(status); }

}  // namespace cli
