#pragma once
// ConsoleWindow: the window's part for a worker run from the command line. The
// main thread runs a small event loop; the worker posts WM_WORKERTEXT and its
// end notification into it from its own thread, and its question is answered
// by a function given at construction (on the worker's thread).

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <variant>

#include "platform/window_services.h"

namespace cli {

class ConsoleWindow : public platform::WindowServices {
public:
    // The handle the worker is given; posts to any other handle are ignored.
    static constexpr platform::WindowHandle kHandle = 1;

    using Asker = std::function<platform::Answer(const std::string& text, const std::string& caption)>;

    explicit ConsoleWindow(Asker asker);
    // Destroys, unrun, every task still waiting.
    ~ConsoleWindow() override;
    ConsoleWindow(const ConsoleWindow&) = delete;
    ConsoleWindow& operator=(const ConsoleWindow&) = delete;

    // Any thread: queues one WM_WORKERTEXT for the loop. Other messages and
    // handles are dropped.
    void PostWindowMessage(platform::WindowHandle window, unsigned int message) override;
    // Worker's thread: returns the asker's answer.
    platform::Answer AskYesNo(platform::WindowHandle window, const std::string& text,
                              const std::string& caption) override;
    // Any thread: queues `task` for the loop; once the loop is closed the task
    // is destroyed unrun at once.
    void RunOnWindowThread(std::function<void()> task) override;

    // Main thread: handles the queued events in posting order, calling
    // `onWorkerText` once per WM_WORKERTEXT and running each task, until a
    // handled event called Close. Returns then.
    void RunUntilClosed(const std::function<void()>& onWorkerText);
    // Called from a handled event: the loop returns after it; later tasks
    // are destroyed unrun.
    void Close();

private:
    struct WorkerText {};
    using Event = std::variant<WorkerText, std::function<void()>>;

    Asker asker_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Event> events_;
    bool closed_ = false;
};

}  // namespace cli
