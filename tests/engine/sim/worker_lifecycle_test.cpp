// The worker on its own thread: the window takes every line, the end
// notification follows the last one, and destruction releases the port.

#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace engine_test {
namespace {

class WorkerLifecycleTest : public SimTest {
protected:
    void SetUp() override {
        WriteImages(120, 130);
        StartInstrument();
    }
    // Runs `started` on a worker thread with the window pumping on this one;
    // returns once the thread has ended completely.
    void RunOnThread(std::unique_ptr<DataExchange> started) {
        window.Attach(started.get());
        started->SetEndNotification(window.EndNotification());
        std::shared_future<void> ended = platform::Thread::Start(std::move(started));
        window.Pump(true);
        ended.wait();
    }
    // True when port index 0 can be opened again, i.e. no worker holds it.
    static bool PortIsFree() {
        Serial probe;
        return probe.Open(0);
    }
};

TEST_F(WorkerLifecycleTest, LinesThenEndNotificationThenThePortIsReleased) {
    auto started = std::make_unique<DataExchange>(window, TestWindow::kHandle, info);
    ASSERT_TRUE(started->OpenLink(1));
    EXPECT_FALSE(PortIsFree());
    RunOnThread(std::move(started));
    ASSERT_FALSE(window.Texts().empty());
    EXPECT_EQ(window.Texts().back(), "Update successful.");
    EXPECT_EQ(window.Texts().size(), 17U);
    EXPECT_EQ(window.EmptyTakes(), 0);
    EXPECT_EQ(window.EndedAtMs() - window.Lines().back().postedAtMs, 3000U);
    EXPECT_TRUE(PortIsFree());
}

TEST_F(WorkerLifecycleTest, EscapingExceptionEndsWithoutAFinalText) {
    window.throwOnQuestion = true;
    auto started = std::make_unique<DataExchange>(window, TestWindow::kHandle, info);
    ASSERT_TRUE(started->OpenLink(1));
    RunOnThread(std::move(started));
    EXPECT_EQ(window.Texts(), (std::vector<std::string>{"DATA:250:250", "Contacting instrument."}));
    EXPECT_TRUE(window.Ended());
    EXPECT_TRUE(PortIsFree());
}

TEST_F(WorkerLifecycleTest, FailedOpenLeavesNothingOpenAndIsReleasedByItsOwner) {
    Serial holder;
    ASSERT_TRUE(holder.Open(0));
    auto refused = std::make_unique<DataExchange>(window, TestWindow::kHandle, info);
    EXPECT_FALSE(refused->OpenLink(1));
    refused.reset();
    holder.Close();
    EXPECT_TRUE(PortIsFree());
    EXPECT_EQ(Posted().size(), 0U);
    EXPECT_FALSE(OpenWorker().OpenLink(0));  // ports count from 1
}

TEST_F(WorkerLifecycleTest, PortNumbersPastTheWindowsRangeOpen) {
    // Devices named on the command line take the numbers 1 to N, for any N.
    DataExchange sixtyFourth(window, TestWindow::kHandle, info);
    EXPECT_TRUE(sixtyFourth.OpenLink(64));
}

}  // namespace
}  // namespace engine_test
