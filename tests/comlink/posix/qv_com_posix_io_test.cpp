// Reading, writing, flushing and idling on the POSIX port over a pty: the
// port never waits on the line, writes only what fits, and Idle waits
// briefly instead of spinning.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "comlink/links.h"
#include "pty_pair.h"

using pty_test::PtyPair;
using pty_test::ScopedPortDevice;

namespace {

constexpr int kQueueSize = 8192;
constexpr int kPortIndex = 22;

class QvComPosixIo : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Ok());
        ASSERT_EQ(port.LastError(), LINK_OK);
    }

    // Reads from the port until `count` bytes came (or the time-out ran out).
    std::string ReceiveAtPort(std::size_t count) {
        std::string received;
        pty_test::IdleUntil(port, [&] {
            char buffer[256];
            const int got = port.Read(buffer, sizeof buffer);
            if (got > 0) received.append(buffer, static_cast<std::size_t>(got));
            return received.size() >= count;
        });
        return received;
    }

    // Fills the device until it takes nothing, even after the kernel has
    // moved what it could towards the reader (a pty frees room in steps).
    void FillTransmitQueue() {
        const std::vector<char> block(kQueueSize, 'x');
        int refusals = 0;
        for (int attempt = 0; attempt < 256 && refusals < 2; ++attempt) {
            if (port.Write(block.data(), kQueueSize) > 0) {
                refusals = 0;
                continue;
            }
            ++refusals;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_EQ(refusals, 2) << "the device never filled up";
    }

    PtyPair pty;
    ScopedPortDevice mapping{kPortIndex, pty.SlavePath()};
    Links port{kPortIndex, kQueueSize, kQueueSize};
};

TEST_F(QvComPosixIo, ReadsWhatArrivedAndNeverWaitsOnAnEmptyQueue) {
    char buffer[16];
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
    EXPECT_EQ(port.ReadByte(), LINK_ERR_NO_DATA);

    ASSERT_TRUE(pty.SendFromMaster(std::string("\xAAhello", 6)));
    ASSERT_TRUE(pty_test::WaitForReceived(port, 6));
    QvQueueStatus transmitOnly;
    port.QueueStatus(transmitOnly, kQueueDetailTransmitCount);
    EXPECT_EQ(transmitOnly.rxCount, 0);  // the receive count is not asked for
    EXPECT_EQ(port.ReadByte(), 0xAA);  // bytes above 0x7F come back unsigned
    EXPECT_EQ(ReceiveAtPort(5), "hello");
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
    EXPECT_EQ(port.LastError(), LINK_OK);
}

TEST_F(QvComPosixIo, WritesReachTheOtherSide) {
    EXPECT_EQ(port.WriteByte('<'), LINK_OK);
    EXPECT_EQ(port.Write("abc", 3), 3);
    EXPECT_EQ(port.WriteString("de>"), 3);
    EXPECT_EQ(port.TransmitImmediate('!'), LINK_OK);
    EXPECT_EQ(pty.ReceiveAtMaster(8), "<abcde>!");
    EXPECT_EQ(port.LastError(), LINK_OK);
}

TEST_F(QvComPosixIo, FullDeviceShortensWritesAndReportsAFullQueue) {
    FillTransmitQueue();
    EXPECT_EQ(port.TakeLastError(), LINK_ERR_WRITE_SHORT);

    QvQueueStatus status;
    port.QueueStatus(status, 2);
    EXPECT_EQ(status.txSize, kQueueSize);
    EXPECT_EQ(status.txCount, kQueueSize);
    EXPECT_EQ(port.Write("abcd", 4), 0);
    EXPECT_EQ(port.WriteByte('z'), LINK_ERR_WRITE_SHORT);

    // Once the other side reads, there is room again.
    pty.DrainAtMaster();
    ASSERT_TRUE(pty_test::IdleUntil(port, [&] { return port.WriteByte('y') == LINK_OK; }));
}

TEST_F(QvComPosixIo, InputFlushDropsWhatArrived) {
    ASSERT_TRUE(pty.SendFromMaster("0123456789"));
    ASSERT_TRUE(pty_test::WaitForReceived(port, 10));
    EXPECT_EQ(port.Flush(0, 0), LINK_OK);
    char buffer[16];
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
    EXPECT_EQ(port.Flush(1, 0), LINK_OK);
}

TEST_F(QvComPosixIo, DrainingFlushFailsWhenTheLimitIsReachedFirst) {
    ASSERT_TRUE(pty.SendFromMaster("12345"));
    ASSERT_TRUE(pty_test::WaitForReceived(port, 5));
    EXPECT_EQ(port.Flush(0, 3), LINK_ERR_GENERAL);
    EXPECT_EQ(port.TakeLastError(), LINK_ERR_GENERAL);
    // Two bytes were left: they go and the flush succeeds.
    EXPECT_EQ(port.Flush(0, 3), LINK_OK);
    EXPECT_EQ(port.ReadByte(), LINK_ERR_NO_DATA);
}

TEST_F(QvComPosixIo, IdleReturnsAtOnceForNewDataAndOtherwiseWaitsWithoutSpinning) {
    using Clock = std::chrono::steady_clock;
    constexpr int kCalls = 20;
    // Medians of single calls: a loaded machine stalls a few calls, never
    // shortens a wait.
    const auto median = [](std::vector<Clock::duration> times) {
        std::nth_element(times.begin(), times.begin() + kCalls / 2, times.end());
        return times[kCalls / 2];
    };
    const auto timeIdles = [&] {
        std::vector<Clock::duration> times;
        for (int i = 0; i < kCalls; ++i) {
            const auto start = Clock::now();
            EXPECT_EQ(port.Idle(), 0);
            times.push_back(Clock::now() - start);
        }
        return median(times);
    };
    constexpr auto kShortestWait = std::chrono::microseconds(500);
    constexpr auto kLongestWait = std::chrono::milliseconds(50);

    const auto quiet = timeIdles();
    EXPECT_GE(quiet, kShortestWait);
    EXPECT_LT(quiet, kLongestWait);

    std::vector<Clock::duration> ready;
    for (int i = 0; i < kCalls; ++i) {
        ASSERT_TRUE(pty.SendFromMaster("x"));
        // Waits without Idle, which would take the news of the byte.
        QvQueueStatus status;
        const auto deadline = Clock::now() + pty_test::kArrivalTimeout;
        do {
            port.QueueStatus(status, kQueueDetailCounts);
        } while (status.rxCount == 0 && Clock::now() < deadline);
        const auto start = Clock::now();
        port.Idle();
        ready.push_back(Clock::now() - start);
        EXPECT_EQ(port.ReadByte(), 'x');
    }
    EXPECT_LT(median(ready), quiet / 2);

    // Data left unread makes a waiting loop wait, not spin.
    ASSERT_TRUE(pty.SendFromMaster("y"));
    ASSERT_TRUE(pty_test::WaitForReceived(port, 1));
    EXPECT_GE(timeIdles(), kShortestWait);
    EXPECT_EQ(port.ReadByte(), 'y');
}

}  // namespace
