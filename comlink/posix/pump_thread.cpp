#include "comlink/pump_thread.h"

#include <signal.h>

#include <utility>

namespace {

// Blocks every signal on the calling thread for its own lifetime, so that a
// thread started meanwhile inherits the full mask.
class AllSignalsBlocked {
public:
    AllSignalsBlocked() {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &previous_);
    }
    ~AllSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    AllSignalsBlocked(const AllSignalsBlocked&) = delete;
    AllSignalsBlocked& operator=(const AllSignalsBlocked&) = delete;

private:
    sigset_t previous_;
};

}  // namespace

std::thread StartPumpThread(std::function<void()> body) {
    const AllSignalsBlocked blocked;
    return std::thread(std::move(body));
}
