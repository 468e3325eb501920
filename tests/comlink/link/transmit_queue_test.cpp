// The transmit queue in virtual time, pumped by the test: pacing at every
// rate on a UART, a USB adapter and a pty, one-byte writes (echoed ones at
// once, streamed ones in blocks), the count as the line carries the bytes,
// the room a writer is given, a discard, and a device that vanishes.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <cstdint>
#include <vector>

#include "comlink/character_time.h"
#include "comlink/transmit_queue.h"
#include "platform/clock.h"

namespace {

using namespace std::chrono_literals;
using Next = TransmitQueue::PumpPlan::Next;

constexpr std::size_t kQueueSize = 8192;

enum class Driver { kUart, kUsbAdapter, kPty };

// A line that carries what its driver took, one character time each, on the
// virtual clock. A UART holds up to 256 bytes and reports them; a USB adapter
// takes a block of up to 4096 only when empty and reports nothing; a pty
// takes about 19 KB and reports 0.
class VirtualLine final : public TransmitDevice {
public:
    VirtualLine(platform::VirtualClock& clock, Driver driver, std::int64_t charTimeNs)
        : clock_(clock), originMs_(clock.NowMs()), driver_(driver), charTimeNs_(charTimeNs) {}

    long Send(const std::uint8_t*, std::size_t size) override {
        if (vanished) return -1;
        const std::size_t held = HeldNow();
        std::size_t taken = 0;
        switch (driver_) {
        case Driver::kUart: taken = std::min(size, 256 - std::min<std::size_t>(held, 256)); break;
        case Driver::kUsbAdapter: taken = held == 0 ? std::min<std::size_t>(size, 4096) : 0; break;
        case Driver::kPty: taken = std::min(size, 19'000 - std::min<std::size_t>(held, 19'000)); break;
        }
        mostHeld = std::max(mostHeld, held + taken);
        if (taken > 0 && handed > 0) idleNs += std::max<std::int64_t>(0, NowNs() - busyUntilNs_);
        if (taken > 0) ++handOffs;
        busyUntilNs_ = std::max(busyUntilNs_, NowNs()) + charTimeNs_ * static_cast<std::int64_t>(taken);
        handed += taken;
        return static_cast<long>(taken);
    }
    long Held() override {
        if (driver_ == Driver::kUart) return static_cast<long>(HeldNow());
        return driver_ == Driver::kPty ? 0 : -1;
    }
    void WaitForRoom(int waitMs) override { clock_.Advance(static_cast<std::uint32_t>(waitMs)); }
    int ModemLines() override { return lines; }
    void Discard() override {
        busyUntilNs_ = NowNs();
        ++discards;
    }
    std::size_t Carried() const { return handed - HeldNow(); }
    std::size_t HeldNow() const {
        const std::int64_t left = busyUntilNs_ - NowNs();
        return left > 0 ? static_cast<std::size_t>((left + charTimeNs_ - 1) / charTimeNs_) : 0;
    }

    bool vanished = false;
    int lines = -1;
    int discards = 0;
    std::int64_t idleNs = 0;  // the line ran dry before it was fed again
    int handOffs = 0;
    std::size_t handed = 0;
    std::size_t mostHeld = 0;

private:
    std::int64_t NowNs() const { return static_cast<std::int64_t>(clock_.NowMs() - originMs_) * 1'000'000; }

    platform::VirtualClock& clock_;
    std::uint32_t originMs_;
    Driver driver_;
    std::int64_t charTimeNs_;
    std::int64_t busyUntilNs_ = 0;
};

std::chrono::nanoseconds CharTime(std::uint32_t rate) { return CharacterTime(rate, 8, false, kCharStopBitsOne); }

class TransmitQueueTest : public ::testing::Test {
protected:
    void Build(Driver driver, std::uint32_t rate) {
        charTime = CharTime(rate);
        line.emplace(clock, driver, charTime.count());
        queue.emplace(*line, kQueueSize, clock, TransmitQueue::Pumping::kByCaller);
        queue->SetCharTime(charTime);
    }
    std::size_t Fill(std::size_t size = kQueueSize) {
        const std::vector<std::uint8_t> bytes(size, 0x55);
        return queue->Write(bytes.data(), bytes.size());
    }
    // Runs the pump for `ms` of virtual time, as its thread would.
    void PumpFor(std::uint32_t ms) {
        const std::uint32_t until = clock.NowMs() + ms;
        while (!platform::Reached(clock.NowMs(), until)) {
            const TransmitQueue::PumpPlan plan = queue->PumpOnce();
            if (plan.next == Next::kLookAgain && plan.wait == 0ns) continue;
            const auto waitMs = static_cast<std::uint32_t>(std::chrono::ceil<std::chrono::milliseconds>(plan.wait).count());
            clock.Advance(std::clamp<std::uint32_t>(waitMs, 1, until - clock.NowMs()));
        }
    }
    std::size_t Count() { return queue->Report().count; }

    platform::VirtualClock clock{0xFFFF'FF00u};  // the counter wraps during the tests
    std::chrono::nanoseconds charTime{};
    std::optional<VirtualLine> line;
    std::optional<TransmitQueue> queue;
};

class Pacing : public TransmitQueueTest, public ::testing::WithParamInterface<Driver> {};

TEST_P(Pacing, KeepsTheLineBusyAndTheDeviceShallowAtEveryRate) {
    for (const std::uint32_t rate : {1200u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u}) {
        SCOPED_TRACE(rate);
        Build(GetParam(), rate);
        ASSERT_EQ(Fill(kQueueSize + 10), kQueueSize);
        const auto lineTime = std::chrono::ceil<std::chrono::milliseconds>(charTime * kQueueSize);
        const std::size_t lead = std::max<std::size_t>(256, static_cast<std::size_t>(100ms / charTime));
        const std::uint32_t start = clock.NowMs();
        while (Count() > 0 && clock.NowMs() - start < 2 * lineTime.count()) {
            // The count is what the line has not carried yet, to within a
            // millisecond of line time.
            const std::size_t left = kQueueSize - line->Carried();
            EXPECT_GE(Count() + 1, left);
            EXPECT_LE(Count(), left + static_cast<std::size_t>(1ms / charTime) + 2);
            PumpFor(static_cast<std::uint32_t>(lineTime.count() / 16 + 1));
        }
        EXPECT_EQ(Count(), 0u);
        EXPECT_EQ(line->handed, kQueueSize);
        EXPECT_LE(line->mostHeld, lead);
        // A USB adapter takes the next block only once empty, and the pump
        // looks again every 2 ms; the other drivers never run dry.
        EXPECT_LE(line->idleNs, GetParam() == Driver::kUsbAdapter ? 2'000'000LL * line->handOffs : 0LL);
    }
}

INSTANTIATE_TEST_SUITE_P(Drivers, Pacing, ::testing::Values(Driver::kUart, Driver::kUsbAdapter, Driver::kPty));

TEST_F(TransmitQueueTest, AWriterAwaitingEachEchoHasItsBytesSentAtOnce) {
    for (const std::uint32_t rate : {1200u, 9600u, 38400u, 57600u, 115200u}) {
        SCOPED_TRACE(rate);
        Build(Driver::kUart, rate);
        // As many one-byte exchanges as fit in a millisecond (each takes the
        // byte's and its echo's line time), then the clock moves on past them.
        const std::chrono::nanoseconds exchange = 2 * charTime;
        const auto perTick = static_cast<std::size_t>((1ms + exchange - 1ns) / exchange);
        const auto pause = static_cast<std::uint32_t>(std::chrono::ceil<std::chrono::milliseconds>(exchange * perTick).count());
        for (int tick = 0; tick < 50; ++tick) {
            for (std::size_t i = 0; i < perTick; ++i) {
                const std::size_t before = line->handed;
                ASSERT_EQ(Fill(1), 1u);
                ASSERT_EQ(line->handed, before + 1);
            }
            PumpFor(pause);
        }
    }
}

TEST_F(TransmitQueueTest, BytesWrittenOneByOneWhileTheLineIsBusyGoToTheDeviceInBlocks) {
    for (const std::uint32_t rate : {9600u, 38400u, 115200u}) {
        SCOPED_TRACE(rate);
        Build(Driver::kPty, rate);
        // A writer twice as fast as the line, one byte a call.
        const auto perMs = 2 * static_cast<std::size_t>(1ms / charTime) + 2;
        for (int ms = 0; ms < 2000; ++ms) {
            for (std::size_t i = 0; i < perMs; ++i) Fill(1);
            PumpFor(1);
        }
        EXPECT_LE(line->handOffs * 12, static_cast<int>(line->handed));
        EXPECT_EQ(line->idleNs, 0);
    }
}

TEST_F(TransmitQueueTest, WritesTakeOnlyTheRoomTheLineHasMade) {
    Build(Driver::kUart, 38400);
    EXPECT_EQ(Fill(), kQueueSize);
    EXPECT_EQ(Fill(1), 0u);
    PumpFor(100);
    const std::size_t carried = static_cast<std::size_t>(100ms / charTime);
    EXPECT_NEAR(static_cast<double>(Fill()), static_cast<double>(carried), 2.0);
}

TEST_F(TransmitQueueTest, AWriterWaitingForRoomGetsALineTimeOfItAtOnce) {
    Build(Driver::kUart, 38400);
    Fill();
    const std::uint32_t start = clock.NowMs();
    const std::size_t count = queue->AwaitCountAtMost(kQueueSize - 2, 100);
    const std::uint32_t waited = clock.NowMs() - start;
    EXPECT_LE(count, kQueueSize - 2 - static_cast<std::size_t>(TransmitQueue::kRefillLineTime / charTime));
    EXPECT_GE(waited, 50u);
    EXPECT_LE(waited, 60u);
    EXPECT_EQ(queue->AwaitCountAtMost(kQueueSize, 100), count);  // room enough: no wait
    EXPECT_EQ(clock.NowMs() - start, waited);
}

TEST_F(TransmitQueueTest, AHeldLineKeepsTheWriterWaitingUntilItsTimeOut) {
    Build(Driver::kUart, 38400);
    queue->SetHoldLines(0x10);
    line->lines = 0;  // CTS off
    Fill();
    const std::uint32_t start = clock.NowMs();
    EXPECT_EQ(queue->AwaitCountAtMost(kQueueSize - 2, 100), kQueueSize);
    EXPECT_EQ(clock.NowMs() - start, 100u);
    EXPECT_TRUE(queue->Report().heldByLines);
    EXPECT_EQ(line->handed, 0u);
}

TEST_F(TransmitQueueTest, DiscardDropsTheQueueAndWhatTheDeviceHolds) {
    Build(Driver::kUart, 9600);
    Fill();
    PumpFor(10);
    queue->Discard();
    EXPECT_EQ(Count(), 0u);
    EXPECT_EQ(line->discards, 1);
    PumpFor(1000);
    EXPECT_LE(line->handed, 256u);
    EXPECT_EQ(Fill(), kQueueSize);  // the queue goes on
}

TEST_F(TransmitQueueTest, AVanishedDeviceEndsTheQueue) {
    Build(Driver::kUsbAdapter, 115200);
    Fill();
    line->vanished = true;
    PumpFor(100);
    EXPECT_EQ(Count(), 0u);
    EXPECT_EQ(Fill(), 0u);
    const std::uint32_t start = clock.NowMs();
    EXPECT_EQ(queue->AwaitCountAtMost(0, 100), 0u);
    EXPECT_EQ(clock.NowMs(), start);
    EXPECT_FALSE(queue->SendAhead(0x0D));
}

}  // namespace
