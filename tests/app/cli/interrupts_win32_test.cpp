// The console control handler of updater-cli: each event the system (or
// another program) sends reaches the watch as a request, and the process
// goes on after Ctrl-C and Ctrl-Break.

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <optional>

#include "app/cli/interrupts.h"

namespace {
using namespace std::chrono_literals;

// Generous: the event comes on a thread the system starts.
constexpr auto kEventLimit = 20s;

class RequestRecorder {
public:
    void Record(cli::StopRequest request) {
        std::lock_guard lock(mutex_);
        request_ = request;
        arrived_.notify_all();
    }
    std::optional<cli::StopRequest> Wait() {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, kEventLimit, [this] { return request_.has_value(); });
        return std::exchange(request_, std::nullopt);
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::optional<cli::StopRequest> request_;
};

TEST(InterruptWatch, ConsoleEventsBecomeRequests) {
    struct Case {
        DWORD event;
        int signalNumber;
    };
    // A test run from a pipe has no console of its own: events need one.
    ::AllocConsole();
    RequestRecorder recorder;
    const cli::InterruptWatch watch([&](cli::StopRequest request) { recorder.Record(request); });
    for (const Case c : {Case{CTRL_C_EVENT, SIGINT}, Case{CTRL_BREAK_EVENT, SIGTERM}}) {
        if (!::GenerateConsoleCtrlEvent(c.event, 0)) {
            // Wine refuses events sent by a program; its SIGINT does reach
            // the handler (the end-to-end stop scenarios show that).
            GTEST_SKIP() << "no console events here (error " << ::GetLastError() << ")";
        }
        const std::optional<cli::StopRequest> request = recorder.Wait();
        ASSERT_TRUE(request.has_value()) << "event " << c.event;
        EXPECT_EQ(request->signalNumber, c.signalNumber);
        EXPECT_FALSE(request->systemEnding);
    }
}

}  // namespace
