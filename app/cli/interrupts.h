#pragma once
// Ctrl-C and termination requests for updater-cli, turned into calls instead
// of ending the process at once, and the release of a device that a stopped
// process leaves behind.

#include <cstdint>
#include <functional>
#include <memory>

namespace cli {

class InterruptWatch {
public:
    // Create it before any other thread starts (later threads then leave the
    // requests to it). From then on each Ctrl-C (SIGINT) or termination
    // request (SIGTERM) calls `onRequest` with the signal's number, on the
    // watch's own thread, instead of ending the process.
    explicit InterruptWatch(std::function<void(int)> onRequest);
    // Stops watching; requests arriving later are held until the process ends.
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
// claims it for exclusive use, and that claim outlives the process.
void ReleaseDeviceForOthers(std::intptr_t handle);

}  // namespace cli
