// The thread object: start, the order of its end, exceptions, the dispatcher
// dropping the notification, and the terminate request.

#include "platform/thread.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// A window's thread: the test's own thread, running dispatched tasks.
class WindowLoop {
public:
    void Post(std::function<void()> task) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return;  // the window is gone: the task is dropped
        tasks_.push_back(std::move(task));
        wake_.notify_one();
    }
    void RunOne() {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return !tasks_.empty(); });
        auto task = std::move(tasks_.front());
        tasks_.pop_front();
        lock.unlock();
        task();
    }
    void Close() {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    platform::Dispatcher Dispatcher() {
        return [this](std::function<void()> task) { Post(std::move(task)); };
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool closed_ = false;
};

// Records, under a lock, which step ran on which thread.
struct Journal {
    std::mutex mutex;
    std::vector<std::pair<std::string, std::thread::id>> steps;
    void Note(const std::string& step) {
        std::lock_guard<std::mutex> lock(mutex);
        steps.emplace_back(step, std::this_thread::get_id());
    }
};

class Recorder : public platform::Thread {
public:
    Recorder(platform::Dispatcher dispatcher, Journal& journal, bool fail)
        : Thread(std::move(dispatcher)), journal_(journal), fail_(fail) {}
    ~Recorder() override { journal_.Note("destroyed"); }

private:
    void Execute() override {
        journal_.Note(TerminateRequested() ? "body (terminate requested)" : "body");
        if (fail_) throw std::runtime_error("body failed");
    }
    Journal& journal_;
    bool fail_;
};

void ExpectOrderedEnd(bool fail) {
    WindowLoop window;
    Journal journal;
    auto thread = std::make_unique<Recorder>(window.Dispatcher(), journal, fail);
    thread->SetEndNotification([&journal] { journal.Note("end notification"); });
    std::shared_future<void> ended = platform::Thread::Start(std::move(thread));
    window.RunOne();
    ended.wait();
    ASSERT_EQ(journal.steps.size(), 3U);
    EXPECT_EQ(journal.steps[0].first, "body");
    EXPECT_EQ(journal.steps[1].first, "end notification");
    EXPECT_EQ(journal.steps[2].first, "destroyed");
    const std::thread::id worker = journal.steps[0].second;
    EXPECT_NE(worker, std::this_thread::get_id());
    EXPECT_EQ(journal.steps[1].second, std::this_thread::get_id());
    EXPECT_EQ(journal.steps[2].second, worker);
}

TEST(ThreadTest, BodyThenNotificationOnTheWindowThreadThenDestructionOnTheWorker) {
    ExpectOrderedEnd(false);
}

TEST(ThreadTest, EscapingExceptionEndsTheBodyInTheSameOrder) { ExpectOrderedEnd(true); }

TEST(ThreadTest, DroppedNotificationStillFreesTheObject) {
    WindowLoop window;
    window.Close();
    Journal journal;
    auto thread = std::make_unique<Recorder>(window.Dispatcher(), journal, false);
    thread->SetEndNotification([&journal] { journal.Note("end notification"); });
    platform::Thread::Start(std::move(thread)).wait();
    ASSERT_EQ(journal.steps.size(), 2U);
    EXPECT_EQ(journal.steps[1].first, "destroyed");
}

TEST(ThreadTest, TerminateRequestIsVisibleToTheBody) {
    WindowLoop window;
    Journal journal;
    auto thread = std::make_unique<Recorder>(window.Dispatcher(), journal, false);
    EXPECT_FALSE(thread->TerminateRequested());
    thread->RequestTerminate();
    platform::Thread::Start(std::move(thread)).wait();  // no notification set
    ASSERT_EQ(journal.steps.size(), 2U);
    EXPECT_EQ(journal.steps[0].first, "body (terminate requested)");
}

}  // namespace
