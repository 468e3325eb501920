// The worker-to-window channel: queue order, empty takes, the terminate
// request, and two real threads posting and taking at full speed.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "scripted_fixture.h"

namespace engine_test {
namespace {

TEST(MessageQueueTest, OldestFirstAndNullWhenEmpty) {
    MessageQueue queue;
    EXPECT_EQ(queue.TakeOldest(), nullptr);
    queue.Append(std::make_unique<DataMessage>(DataMessage{"one"}));
    queue.Append(std::make_unique<DataMessage>(DataMessage{""}));
    queue.Append(std::make_unique<DataMessage>(DataMessage{"three"}));
    EXPECT_EQ(queue.TakeOldest()->text, "one");
    EXPECT_EQ(queue.TakeOldest()->text, "");
    EXPECT_EQ(queue.TakeOldest()->text, "three");
    EXPECT_EQ(queue.TakeOldest(), nullptr);
    queue.Append(std::make_unique<DataMessage>(DataMessage{"left behind"}));
}  // a line still waiting is released with the queue

// Over a scripted line: the channel needs an open link but no instrument.
class ChannelTest : public ScriptedTest {};

TEST_F(ChannelTest, PostQueuesThenNotifiesAndTakeNeverInventsALine) {
    DataExchange& w = OpenWorker();
    EXPECT_EQ(w.TakeText(), std::nullopt);
    w.PostText("Contacting instrument.");
    w.PostProgress(4294967294U, 4294967294U);
    w.PostText("");
    EXPECT_EQ(Posted(), (std::vector<std::string>{"Contacting instrument.", "DATA:4294967294:4294967294", ""}));
    EXPECT_EQ(w.TakeText(), std::nullopt);
    EXPECT_EQ(window.EmptyTakes(), 0);
    EXPECT_EQ(window.StrayPosts(), 0);
}

TEST_F(ChannelTest, NothingIsPostedOnceTerminationWasRequested) {
    DataExchange& w = OpenWorker();
    w.PostText("before");
    w.RequestTerminate();
    w.PostText("after");
    w.PostProgress(1, 1);
    EXPECT_EQ(Posted(), std::vector<std::string>{"before"});
}

// Counts notifications and lets the taking thread wait for them.
class CountingWindow : public platform::WindowServices {
public:
    void PostWindowMessage(platform::WindowHandle, unsigned int) override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++pending_;
        wake_.notify_one();
    }
    platform::Answer AskYesNo(platform::WindowHandle, const std::string&, const std::string&) override {
        return platform::Answer::Yes;
    }
    void RunOnWindowThread(std::function<void()>) override {}
    void AwaitNotification() {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return pending_ > 0; });
        --pending_;
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    int pending_ = 0;
};

TEST(ChannelStressTest, TwoThreadsKeepOrderLoseNothingAndTakeNothingTwice) {
    constexpr int kLines = 50000;
    CountingWindow window;
    update_info info;
    DataExchange worker(window, 1, info);
    std::thread poster([&worker] {
        for (int i = 0; i < kLines; ++i) worker.PostText(std::to_string(i));
    });
    int emptyTakes = 0;
    int outOfOrder = 0;
    for (int i = 0; i < kLines; ++i) {
        window.AwaitNotification();
        const std::optional<std::string> line = worker.TakeText();
        if (!line) {
            ++emptyTakes;
        } else if (*line != std::to_string(i)) {
            ++outOfOrder;
        }
    }
    poster.join();
    EXPECT_EQ(emptyTakes, 0);
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_EQ(worker.TakeText(), std::nullopt);
}

}  // namespace
}  // namespace engine_test
