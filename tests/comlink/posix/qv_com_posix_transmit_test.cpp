// The POSIX port's transmit queue on three kinds of device: a pty whose far
// end reads at line rate, and doubles of a UART driver (256 bytes held) and
// of a USB adapter (blocks of 4096). On each, a streamed image keeps 8190
// bytes queued, more than the 1000 ms hold-back before its last two bytes
// takes to carry, the count falls as the line carries the bytes, a transmit
// flush and the close drop what was queued, and a device that goes away ends
// the transfer with an error.

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "comlink/qv_com_posix.h"
#include "line_double.h"
#include "pty_pair.h"

using pty_test::DriverKind;
using pty_test::LineDouble;
using pty_test::PtyPair;
using pty_test::ScopedPortDevice;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kQueueSize = 8192;
constexpr int kPortIndex = 24;
// Fast enough for short tests, slow enough that a full queue outlasts the
// hold-back (8190 bytes take 1.4 s).
constexpr std::int32_t kRate = 57600;
constexpr std::chrono::nanoseconds kCharTime{10'000'000'000LL / kRate};  // 8N1: 10 bits
// The streamed transfer's rule: wait while more than this is queued.
constexpr int kHighWater = 8190;
constexpr auto kHoldBack = 1000ms;
// The line time of the hold-back: a queue holding less when it begins
// runs dry before it ends, and the line falls idle.
constexpr int kHoldBackLineBytes = static_cast<int>(kHoldBack / kCharTime);
// A writer that a loaded machine (or a sanitizer) holds up finds the queue
// lower than the high-water mark; a queue only as deep as a UART's wake-up
// mark stays near 256.
constexpr int kLowestQueuedWhileStreaming = kQueueSize / 8;
constexpr auto kPatience = 10s;
// More than the port feeds a device ahead of the line (about 100 ms, 576
// bytes at this rate) plus what a pty reader held up on a loaded machine
// leaves unread, far less than a queue's worth.
constexpr std::size_t kAtMostHeldByTheDevice = kQueueSize / 4;
// The 3808 bytes streamed after the queue first filled take 660 ms of line
// time: a writer woken every millisecond to find the queue still full would
// poll about 660 times.
constexpr int kMostFullPolls = 100;

enum class Device { kPty, kUart, kUsbAdapter };

std::string DeviceName(const ::testing::TestParamInfo<Device>& info) {
    switch (info.param) {
    case Device::kPty: return "Pty";
    case Device::kUart: return "Uart";
    case Device::kUsbAdapter: return "UsbAdapter";
    }
    return "Unknown";
}

// Hands the port's transmit side to a double that the test keeps.
class BorrowedDevice final : public TransmitDevice {
public:
    explicit BorrowedDevice(LineDouble& line) : line_(line) {}
    long Send(const std::uint8_t* data, std::size_t size) override { return line_.Send(data, size); }
    long Held() override { return line_.Held(); }
    void WaitForRoom(int waitMs) override { line_.WaitForRoom(waitMs); }
    int ModemLines() override { return line_.ModemLines(); }
    void Discard() override { line_.Discard(); }

private:
    LineDouble& line_;
};

// The far end of the pty: reads no faster than the line carries bytes and
// notes the longest time without data once data has begun.
class LineRateReader {
public:
    explicit LineRateReader(int master) : thread_([this, master] { Run(master); }) {}
    ~LineRateReader() {
        stop_ = true;
        thread_.join();
    }
    std::size_t Received() {
        std::lock_guard lock(mutex_);
        return received_.size();
    }
    std::string Bytes() {
        std::lock_guard lock(mutex_);
        return received_;
    }

private:
    void Run(int master) {
        const Clock::time_point start = Clock::now();
        char buffer[4096];
        while (!stop_) {
            const auto allowed = static_cast<std::size_t>((Clock::now() - start) / kCharTime) + 1;
            const std::size_t taken = Received();
            if (taken >= allowed) {
                std::this_thread::sleep_for(1ms);
                continue;
            }
            pollfd entry{master, POLLIN, 0};
            if (::poll(&entry, 1, 2) <= 0) continue;
            const ssize_t got = ::read(master, buffer, std::min(sizeof buffer, allowed - taken));
            if (got <= 0) continue;
            std::lock_guard lock(mutex_);
            received_.append(buffer, static_cast<std::size_t>(got));
        }
    }

    std::mutex mutex_;
    std::string received_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

int TransmitCount(QvComLink& port) {
    QvQueueStatus status;
    port.QueueStatus(status, 2);
    return status.txCount;
}

std::string Image(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 256);
    return bytes;
}

struct StreamOutcome {
    bool ok = false;
    bool gaveUp = false;  // the wait for room outlasted the patience
    int lowestQueued = kQueueSize;
    int fullPolls = 0;    // counts that still said "full"
    int queuedAtHoldBack = 0;
};

// The streamed transfer's rules, byte by byte: wait for room while more
// than 8190 bytes are queued, write, and hold the last two bytes back for 1000 ms.
// `beforeByte` runs before each byte with its index.
StreamOutcome StreamImage(QvComLink& port, const std::string& image,
                          const std::function<void(std::size_t)>& beforeByte = {}) {
    StreamOutcome outcome;
    const std::size_t body = image.size() - 2;
    for (std::size_t i = 0; i < image.size(); ++i) {
        if (beforeByte) beforeByte(i);
        if (i == body) {
            outcome.queuedAtHoldBack = TransmitCount(port);
            std::this_thread::sleep_for(kHoldBack);
        }
        if (i < body) {
            const Clock::time_point deadline = Clock::now() + kPatience;
            int queued = 0;
            while ((queued = TransmitCount(port)) > kHighWater) {
                ++outcome.fullPolls;
                if (Clock::now() > deadline) {
                    outcome.gaveUp = true;
                    return outcome;
                }
                port.AwaitTransmitRoom(kHighWater, 100);
            }
            if (i >= static_cast<std::size_t>(kQueueSize)) {
                outcome.lowestQueued = std::min(outcome.lowestQueued, queued);
            }
        }
        if (port.WriteByte(static_cast<std::uint8_t>(image[i])) != LINK_OK) return outcome;
    }
    outcome.ok = true;
    return outcome;
}

class QvComPosixTransmit : public ::testing::TestWithParam<Device> {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Ok());
        OpenPort();
    }

    void OpenPort() {
        if (GetParam() == Device::kPty) {
            port = std::make_unique<QvComPosix>(kPortIndex, kQueueSize, kQueueSize);
        } else {
            port = std::make_unique<QvComPosix>(kPortIndex, kQueueSize, kQueueSize,
                                                [this](int) { return std::make_unique<BorrowedDevice>(line); });
        }
        ASSERT_EQ(port->LastError(), LINK_OK);
        ASSERT_EQ(port->SetFormat(kRate, 'N', 8, 1), LINK_OK);
        if (GetParam() == Device::kPty && !reader) reader = std::make_unique<LineRateReader>(pty.Master());
    }

    // Bytes the far end has had so far.
    std::size_t Carried() { return GetParam() == Device::kPty ? reader->Received() : line.Carried(); }
    void WaitForTheLineToFinish(std::size_t total) {
        const Clock::time_point deadline = Clock::now() + kPatience;
        while (Clock::now() < deadline && (Carried() < total || (GetParam() != Device::kPty && !line.LineIdle()))) {
            std::this_thread::sleep_for(10ms);
        }
    }

    PtyPair pty;
    ScopedPortDevice mapping{kPortIndex, pty.SlavePath()};
    LineDouble line{GetParam() == Device::kUsbAdapter ? DriverKind::kUsbAdapter : DriverKind::kUart, kCharTime};
    std::unique_ptr<LineRateReader> reader;  // the pty's far end
    std::unique_ptr<QvComPosix> port;
};

TEST_P(QvComPosixTransmit, StreamedImageKeepsTheQueueFullAndTheLineBusyThroughTheHoldBack) {
    const std::string image = Image(12000);
    const StreamOutcome outcome = StreamImage(*port, image);
    ASSERT_TRUE(outcome.ok);
    EXPECT_GE(outcome.lowestQueued, kLowestQueuedWhileStreaming);
    // A writer waiting for room is woken once the line has made room for a
    // burst of bytes (50 ms of line time), not to find the queue still full.
    EXPECT_LT(outcome.fullPolls, kMostFullPolls);

    // Checked by the count, not by timing the far end on a loaded machine.
    EXPECT_GT(outcome.queuedAtHoldBack, kHoldBackLineBytes);

    WaitForTheLineToFinish(image.size());
    ASSERT_EQ(Carried(), image.size());
    if (GetParam() == Device::kPty) {
        EXPECT_EQ(reader->Bytes(), image);  // in order, none lost
    }
    // The count falls to 0 once the line time of the last bytes has passed
    // (the pty's reader may have taken them sooner, after a stall).
    const Clock::time_point deadline = Clock::now() + kPatience;
    while (TransmitCount(*port) != 0 && Clock::now() < deadline) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(TransmitCount(*port), 0);
}

TEST_P(QvComPosixTransmit, CountFallsAtLineRateAndFlushAndCloseDropTheQueue) {
    const std::string block = Image(kQueueSize);
    ASSERT_EQ(port->Write(block.data(), kQueueSize), kQueueSize);
    // Full: only what the line carried meanwhile fits.
    EXPECT_LT(port->Write(block.data(), kQueueSize), 256);
    EXPECT_EQ(port->TakeLastError(), LINK_ERR_WRITE_SHORT);

    const Clock::time_point start = Clock::now();
    std::this_thread::sleep_for(300ms);
    const int queued = TransmitCount(*port);
    const auto elapsed = Clock::now() - start;
    const auto sent = static_cast<int>(elapsed / kCharTime);
    EXPECT_LT(queued, kQueueSize - sent / 2);
    EXPECT_GT(queued, kQueueSize - sent * 2);

    // After a flush or the close, the far end gets at most what the device
    // already held (a pty keeps what its reader has not read: the port's
    // lead of about 100 ms), never the thousands of bytes dropped.
    const std::size_t atFlush = Carried();
    ASSERT_EQ(port->Flush(1, 0), LINK_OK);
    EXPECT_EQ(TransmitCount(*port), 0);
    std::this_thread::sleep_for(400ms);
    const std::size_t afterFlush = Carried();
    EXPECT_LT(afterFlush - atFlush, kAtMostHeldByTheDevice);

    ASSERT_EQ(port->Write(block.data(), kQueueSize), kQueueSize);
    std::this_thread::sleep_for(100ms);
    port.reset();  // close
    const std::size_t atClose = Carried();
    std::this_thread::sleep_for(400ms);
    EXPECT_LT(Carried() - atClose, kAtMostHeldByTheDevice);
    EXPECT_LT(Carried(), afterFlush + kQueueSize / 2);
}

TEST_P(QvComPosixTransmit, DeviceThatGoesAwayEndsTheTransferWithAnError) {
    const std::string image = Image(12000);
    const StreamOutcome outcome = StreamImage(*port, image, [this](std::size_t i) {
        if (i != static_cast<std::size_t>(kQueueSize + 500)) return;
        if (GetParam() == Device::kPty) {
            reader.reset();
            pty.CloseSlave();
            pty.CloseMaster();  // hung up, as an adapter pulled out
        } else {
            line.Vanish();
        }
    });
    EXPECT_FALSE(outcome.ok);
    EXPECT_FALSE(outcome.gaveUp);
    EXPECT_EQ(port->TakeLastError(), LINK_ERR_WRITE_SHORT);
    EXPECT_EQ(TransmitCount(*port), 0);
}

INSTANTIATE_TEST_SUITE_P(Devices, QvComPosixTransmit,
                         ::testing::Values(Device::kPty, Device::kUart, Device::kUsbAdapter), DeviceName);

}  // namespace
