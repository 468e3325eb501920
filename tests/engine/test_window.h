#pragma once
// TestWindow: the window side of the worker in tests. It queues every posted
// WM_WORKERTEXT (with the virtual time of the post) and every task for the
// window's thread; Pump, run on the test's thread, handles them in order the
// way a window does: one TakeText per notification, the end notification
// drains the queue and detaches from the worker. Questions are answered with
// `answer` and recorded.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "engine/data_exchange.h"
#include "platform/clock.h"
#include "platform/window_services.h"

namespace engine_test {

struct ShownLine {
    std::uint32_t postedAtMs;
    std::string text;
};

class TestWindow : public platform::WindowServices {
public:
    static constexpr platform::WindowHandle kHandle = 0x5150;

    platform::Answer answer = platform::Answer::Yes;
    bool throwOnQuestion = false;
    // Virtual time each post takes, to tell pauses counted from a moment
    // apart from sleeps after posting.
    std::uint32_t postCostMs = 0;

    void PostWindowMessage(platform::WindowHandle window, unsigned int message) override {
        if (postCostMs != 0) platform::SleepMs(postCostMs);
        std::lock_guard<std::mutex> lock(mutex_);
        if (window == kHandle && message == platform::WM_WORKERTEXT) {
            events_.emplace_back(platform::NowMs());
        } else {
            ++strayPosts_;
        }
        wake_.notify_one();
    }

    platform::Answer AskYesNo(platform::WindowHandle window, const std::string& text,
                              const std::string& caption) override {
        std::lock_guard<std::mutex> lock(mutex_);
        questions_.push_back({window == kHandle ? caption : "wrong owner", text});
        if (throwOnQuestion) {
            throw std::runtime_error("question failed");
        }
        return answer;
    }

    void RunOnWindowThread(std::function<void()> task) override {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.emplace_back(std::move(task));
        wake_.notify_one();
    }

    // The worker whose lines the window takes; cleared by the end notification
    // built with EndNotification().
    void Attach(DataExchange* worker) { worker_ = worker; }

    // An end notification that drains what is left and detaches, as a window
    // does; records the moment it ran.
    std::function<void()> EndNotification() {
        return [this] {
            while (worker_ != nullptr) {
                std::optional<std::string> line = worker_->TakeText();
                if (!line) break;
                lines_.push_back({platform::NowMs(), *line});
            }
            worker_ = nullptr;
            endedAtMs_ = platform::NowMs();
            ended_ = true;
        };
    }

    // Handles queued events on the calling thread: until the end notification
    // has run when `untilEnded`, else until none is left.
    void Pump(bool untilEnded) {
        for (;;) {
            std::unique_lock<std::mutex> lock(mutex_);
            if (untilEnded) {
                wake_.wait(lock, [this] { return !events_.empty(); });
            } else if (events_.empty()) {
                return;
            }
            Event event = std::move(events_.front());
            events_.pop_front();
            lock.unlock();
            if (auto* postedAt = std::get_if<std::uint32_t>(&event)) {
                TakeOne(*postedAt);
            } else {
                std::get<std::function<void()>>(event)();
            }
            if (untilEnded && ended_) return;
        }
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const ShownLine& line : lines_) texts.push_back(line.text);
        return texts;
    }
    const std::vector<ShownLine>& Lines() const { return lines_; }
    // Notifications that found no worker or no line.
    int EmptyTakes() const { return emptyTakes_; }
    int StrayPosts() const { return strayPosts_; }
    bool Ended() const { return ended_; }
    std::uint32_t EndedAtMs() const { return endedAtMs_; }
    struct Question {
        std::string caption;
        std::string text;
    };
    std::vector<Question> Questions() {
        std::lock_guard<std::mutex> lock(mutex_);
        return questions_;
    }

private:
    using Event = std::variant<std::uint32_t, std::function<void()>>;

    void TakeOne(std::uint32_t postedAtMs) {
        std::optional<std::string> line = worker_ ? worker_->TakeText() : std::nullopt;
        if (line) {
            lines_.push_back({postedAtMs, *line});
        } else {
            ++emptyTakes_;
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Event> events_;
    std::vector<Question> questions_;
    int strayPosts_ = 0;

    // Touched on the pumping thread only.
    DataExchange* worker_ = nullptr;
    std::vector<ShownLine> lines_;
    int emptyTakes_ = 0;
    bool ended_ = false;
    std::uint32_t endedAtMs_ = 0;
};

}  // namespace engine_test
