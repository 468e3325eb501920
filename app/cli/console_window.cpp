#include "app/cli/console_window.h"

#include <utility>

namespace cli {

ConsoleWindow::ConsoleWindow(Asker asker) : asker_(std::move(asker)) {}

ConsoleWindow::~ConsoleWindow() {
    std::deque<Event> unrun;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        unrun.swap(events_);
    }
    // Tasks are destroyed outside the lock: a destroyed end notification
    // wakes the worker that waits for it.
}

void ConsoleWindow::PostWindowMessage(platform::WindowHandle window, unsigned int message) {
    if (window != kHandle || message != platform::WM_WORKERTEXT) return;
    std::lock_guard lock(mutex_);
    if (closed_) return;
    events_.emplace_back(WorkerText{});
    wake_.notify_one();
}

platform::Answer ConsoleWindow::AskYesNo(platform::WindowHandle /*window*/, const std::string& text,
                                         const std::string& caption) {
    return asker_(text, caption);
}

void ConsoleWindow::RunOnWindowThread(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        if (!closed_) {
            events_.emplace_back(std::move(task));
            wake_.notify_one();
            return;
        }
    }
    task = nullptr;  // the loop is gone: destroyed unrun, outside the lock
}

void ConsoleWindow::RunUntilClosed(const std::function<void()>& onWorkerText) {
    for (;;) {
        Event event;
        {
            std::unique_lock lock(mutex_);
            if (closed_) return;
            wake_.wait(lock, [this] { return !events_.empty(); });
            event = std::move(events_.front());
            events_.pop_front();
        }
        if (std::holds_alternative<WorkerText>(event)) {
            onWorkerText();
        } else {
            std::get<std::function<void()>>(event)();
        }
    }
}

void ConsoleWindow::Close() {
    std::deque<Event> unrun;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        unrun.swap(events_);
    }
}

}  // namespace cli
