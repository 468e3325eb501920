#include "app/cli/interrupts.h"

#include <windows.h>

#include <csignal>
#include <cstdlib>
#include <mutex>

namespace cli {
namespace {

// How long the console's close, logoff and shutdown handlers hold the
// process: the system ends it about 5 s after such an event anyway, and the
// window thread needs only moments to print and exit with its own status.
constexpr DWORD kSystemEndingHoldMs = 4000;

// The process has one console control handler; it forwards to the one watch.
std::mutex watchMutex;
std::function<void(StopRequest)>* currentRequestSink = nullptr;

// Ctrl-C is the operator's interrupt. Ctrl-Break is what another program
// sends to stop a console program it started in a process group of its own,
// so it counts as a termination request, as do the system's own events.
StopRequest RequestFor(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
        return {SIGINT, false};
    case CTRL_BREAK_EVENT:
        return {SIGTERM, false};
    default:  // CTRL_CLOSE_EVENT, CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT
        return {SIGTERM, true};
    }
}

// Runs on a thread the system starts for each event. Returning TRUE keeps
// the process alive after Ctrl-C and Ctrl-Break; after the other events the
// system ends it when the handler returns, so the handler waits for the
// window thread to stop the process first.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    const StopRequest request = RequestFor(event);
    {
        std::lock_guard lock(watchMutex);
        if (currentRequestSink != nullptr) (*currentRequestSink)(request);
    }
    if (request.systemEnding) ::Sleep(kSystemEndingHoldMs);
    return TRUE;
}

}  // namespace

struct InterruptWatch::State {
    std::function<void(StopRequest)> onRequest;
};

InterruptWatch::InterruptWatch(std::function<void(StopRequest)> onRequest)
    : state_(std::make_unique<State>(State{std::move(onRequest)})) {
    {
        std::lock_guard lock(watchMutex);
        currentRequestSink = &state_->onRequest;
    }
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

InterruptWatch::~InterruptWatch() {
    // The handler stays installed, so that later requests are ignored rather
    // than ending the process half way through its own ending.
    std::lock_guard lock(watchMutex);
    currentRequestSink = nullptr;
}

// The system releases the port with the process's last handle.
void ReleaseDeviceForOthers(std::intptr_t) {}

// ExitProcess ends the other threads wherever they are and then lets every
// library clean up, which can wait on a lock one of those threads held (the
// worker in a device call, the console's event thread); under Wine such an
// exit now and then ended killed (status 137) instead of with its own status.
// TerminateProcess ends every thread at once, with the status given.
void EndStoppedProcess(int status) {
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(status));
    std::_Exit(status);
}

}  // namespace cli
