#include "comlink/transmit_queue.h"

#include <algorithm>

#include "comlink/pump_thread.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;

constexpr std::int64_t kNsPerMs = 1'000'000;

// Line time of one character at 115200 baud, 8N1, until the port sets its own.
constexpr std::int64_t kDefaultCharTimeNs = 86'806;
// How far ahead of the line the device is fed: this much line time, and no
// fewer bytes than a UART's wake-up mark. The pump refills once half of it
// has gone, so a late wake-up of up to half the lead leaves no gap.
constexpr std::int64_t kLeadTimeNs = 100 * kNsPerMs;
constexpr std::size_t kMinLeadBytes = 256;
// Below half a millisecond of line time held by the device, and never below
// two bytes, a write still goes to the device at once (GatherBytes).
constexpr std::int64_t kGatherTimeNs = kNsPerMs / 2;
constexpr std::size_t kMinGatherBytes = 2;
// Longest sleep of the pump before it looks at the device again: the line
// time of the lead, as the pump sleeps for the line time of what it fed.
constexpr std::int64_t kLongestPumpSleepNs = kLeadTimeNs;
// How long the device's report of what it holds is used before it is asked
// again. Bytes handed meanwhile are added to it, so that the count may read
// at most this much line time high, never low.
constexpr std::int64_t kDeviceReportMaxAgeNs = kNsPerMs;
// Wait for room when the device took nothing, and between looks at the
// modem lines while they hold transmission.
constexpr int kDeviceRoomWaitMs = 2;
constexpr nanoseconds kHoldLookInterval = milliseconds(5);

constexpr std::uint32_t CeilMs(std::int64_t ns) {
    return static_cast<std::uint32_t>((std::max<std::int64_t>(ns, 0) + kNsPerMs - 1) / kNsPerMs);
}

}  // namespace

TransmitQueue::TransmitQueue(TransmitDevice& device, std::size_t capacity, platform::Clock& clock,
                             Pumping pumping)
    : device_(device),
      clock_(clock),
      originMs_(clock.NowMs()),
      pumping_(pumping),
      capacity_(capacity),
      charTimeNs_(kDefaultCharTimeNs) {
    if (pumping_ == Pumping::kOwnThread) pump_ = StartPumpThread([this] { RunPump(); });
}

TransmitQueue::~TransmitQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    if (pump_.joinable()) pump_.join();
}

std::int64_t TransmitQueue::NowNs() const {
    // The difference of two readings survives the wrap of the counter.
    return static_cast<std::int64_t>(clock_.NowMs() - originMs_) * kNsPerMs;
}

std::size_t TransmitQueue::LeadBytes() const {
    return std::max(kMinLeadBytes, static_cast<std::size_t>(kLeadTimeNs / charTimeNs_));
}

std::size_t TransmitQueue::GatherBytes() const {
    return std::max(kMinGatherBytes, static_cast<std::size_t>((kGatherTimeNs + charTimeNs_ - 1) / charTimeNs_));
}

long TransmitQueue::DeviceReport(std::int64_t now) {
    if (reportStale_ || now - reportedAt_ >= kDeviceReportMaxAgeNs) {
        deviceReport_ = device_.Held();
        reportedAt_ = now;
        handedSinceReport_ = 0;
        reportStale_ = false;
    }
    if (deviceReport_ < 0) return -1;
    return deviceReport_ + static_cast<long>(handedSinceReport_);
}

std::size_t TransmitQueue::DeviceShare(std::int64_t now) {
    std::size_t onLine = 0;
    if (lineFreeAt_ > now) onLine = static_cast<std::size_t>((lineFreeAt_ - now + charTimeNs_ - 1) / charTimeNs_);
    const long reported = DeviceReport(now);
    return std::max(onLine, reported > 0 ? static_cast<std::size_t>(reported) : std::size_t{0});
}

std::size_t TransmitQueue::CountAt(std::int64_t now) {
    if (failed_) return 0;
    return std::min(capacity_, queue_.size() + DeviceShare(now));
}

void TransmitQueue::NoteHanded(std::size_t count, std::int64_t now) {
    lineFreeAt_ = std::max(lineFreeAt_, now) + charTimeNs_ * static_cast<std::int64_t>(count);
    handedSinceReport_ += count;
}

bool TransmitQueue::LinesHoldTransmission() {
    if (holdLines_ == 0) return false;
    const int lines = device_.ModemLines();  // lines that cannot be read count as off
    return lines < 0 || (lines & holdLines_) != holdLines_;
}

void TransmitQueue::Fail() {
    failed_ = true;
    queue_.clear();
    room_.notify_all();
}

std::size_t TransmitQueue::Write(const std::uint8_t* data, std::size_t size) {
    std::lock_guard lock(mutex_);
    if (failed_ || size == 0) return 0;
    const std::int64_t now = NowNs();
    const std::size_t share = DeviceShare(now);
    const std::size_t count = queue_.size() + share;
    if (count >= capacity_) return 0;
    const std::size_t accepted = std::min(size, capacity_ - count);

    std::size_t direct = 0;
    const std::size_t lead = LeadBytes();
    if (queue_.empty() && share < GatherBytes() && !LinesHoldTransmission()) {
        const long taken = device_.Send(data, std::min(accepted, lead - share));
        if (taken < 0) {
            Fail();
            return 0;
        }
        direct = static_cast<std::size_t>(taken);
        NoteHanded(direct, now);
    }
    if (accepted > direct) {
        queue_.insert(queue_.end(), data + direct, data + accepted);
        // A pump that sleeps for the line time of what it fed needs no
        // wake-up for every byte queued behind it.
        if (pumpAwaitsBytes_) wake_.notify_one();
    }
    return accepted;
}

bool TransmitQueue::SendAhead(std::uint8_t byte) {
    std::lock_guard lock(mutex_);
    if (failed_) return false;
    const long taken = device_.Send(&byte, 1);
    if (taken < 0) Fail();
    if (taken != 1) return false;
    NoteHanded(1, NowNs());
    return true;
}

TransmitQueue::Status TransmitQueue::Report() {
    std::lock_guard lock(mutex_);
    return Status{CountAt(NowNs()), heldByLines_};
}

std::size_t TransmitQueue::AwaitCountAtMost(std::size_t level, std::uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    std::size_t count = CountAt(NowNs());
    if (failed_ || count <= level) return count;

    const std::uint32_t deadline = clock_.NowMs() + timeoutMs;
    const auto refillBytes = static_cast<std::size_t>(kRefillLineTime / nanoseconds(charTimeNs_));
    const std::size_t target = level - std::min(level, refillBytes);
    // The count falls as the line carries the bytes, whether they wait in
    // the queue or in the device: wait for the line time of the excess, and
    // look again (a held line or a slow device carries less). Every wait
    // lasts at least a millisecond, so a clock that does not move (a
    // virtual one nobody advances) still ends the loop after `timeoutMs`.
    for (std::uint32_t waits = 0; !failed_ && count > target && waits <= timeoutMs; ++waits) {
        const std::uint32_t nowMs = clock_.NowMs();
        if (platform::Reached(nowMs, deadline)) break;
        const std::uint32_t carried = std::max<std::uint32_t>(
            CeilMs(charTimeNs_ * static_cast<std::int64_t>(count - target)), 1);
        const std::uint32_t waitMs = std::min(carried, deadline - nowMs);
        if (pumping_ == Pumping::kByCaller) {
            lock.unlock();
            PumpOnce();
            clock_.SleepMs(waitMs);
            lock.lock();
        } else {
            room_.wait_for(lock, milliseconds(waitMs));
        }
        count = CountAt(NowNs());
    }
    return count;
}

void TransmitQueue::Discard() {
    std::lock_guard lock(mutex_);
    queue_.clear();
    // The character on the line when the discard comes is sent, as a UART
    // sends what it has begun, and no longer counts; only a device holding
    // more is flushed (a pty may otherwise drop a byte it has just been given).
    const std::int64_t now = NowNs();
    if (DeviceShare(now) > 1) device_.Discard();
    lineFreeAt_ = now;
    reportStale_ = true;
    room_.notify_all();
    wake_.notify_all();  // the pump plans its next hand-off afresh
}

void TransmitQueue::SetCapacity(std::size_t capacity) {
    {
        std::lock_guard lock(mutex_);
        capacity_ = capacity;
    }
    room_.notify_all();
}

void TransmitQueue::SetCharTime(nanoseconds charTime) {
    {
        std::lock_guard lock(mutex_);
        if (charTime > nanoseconds::zero()) charTimeNs_ = charTime.count();
    }
    wake_.notify_all();
}

void TransmitQueue::SetHoldLines(int mask) {
    {
        std::lock_guard lock(mutex_);
        holdLines_ = mask;
        heldByLines_ = false;
    }
    wake_.notify_all();
}

TransmitQueue::PumpPlan TransmitQueue::PumpOnce() {
    std::lock_guard lock(mutex_);
    return PumpStep();
}

TransmitQueue::PumpPlan TransmitQueue::PumpStep() {
    using Next = PumpPlan::Next;
    if (queue_.empty() || failed_ || stopping_) {
        heldByLines_ = false;
        return PumpPlan{Next::kAwaitBytes, nanoseconds::zero()};
    }
    heldByLines_ = LinesHoldTransmission();
    if (heldByLines_) return PumpPlan{Next::kLookAgain, kHoldLookInterval};

    const std::int64_t now = NowNs();
    const std::size_t share = DeviceShare(now);
    const std::size_t lead = LeadBytes();
    if (share > lead / 2) {
        // Sleep until half the lead has gone through the line.
        const std::int64_t untilRefill = charTimeNs_ * static_cast<std::int64_t>(share - lead / 2);
        return PumpPlan{Next::kLookAgain, nanoseconds(std::min(untilRefill, kLongestPumpSleepNs))};
    }
    if (share >= GatherBytes() && queue_.size() < GatherBytes()) {
        // A few bytes written while the device is busy wait for more to join
        // them until half of what it holds has gone, so that a caller writing
        // one byte at a time does not cost one device write a byte.
        return PumpPlan{Next::kLookAgain, nanoseconds(charTimeNs_ * static_cast<std::int64_t>(share - share / 2))};
    }
    const std::size_t size = std::min(queue_.size(), lead - share);
    // The queue is not contiguous: the block is copied into a buffer that
    // keeps its capacity from one hand-off to the next.
    chunk_.assign(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(size));
    const long taken = device_.Send(chunk_.data(), size);
    if (taken < 0) {
        Fail();
        return PumpPlan{Next::kAwaitBytes, nanoseconds::zero()};
    }
    if (taken == 0) return PumpPlan{Next::kAwaitDevice, milliseconds(kDeviceRoomWaitMs)};
    queue_.erase(queue_.begin(), queue_.begin() + taken);
    NoteHanded(static_cast<std::size_t>(taken), now);
    return PumpPlan{Next::kLookAgain, nanoseconds::zero()};
}

void TransmitQueue::RunPump() {
    using Next = PumpPlan::Next;
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const PumpPlan plan = PumpStep();
        switch (plan.next) {
        case Next::kAwaitBytes:
            if (stopping_) break;
            pumpAwaitsBytes_ = true;
            wake_.wait(lock);
            pumpAwaitsBytes_ = false;
            break;
        case Next::kAwaitDevice:
            lock.unlock();
            device_.WaitForRoom(kDeviceRoomWaitMs);
            lock.lock();
            break;
        case Next::kLookAgain:
            if (plan.wait > nanoseconds::zero()) wake_.wait_for(lock, plan.wait);
            break;
        }
    }
}
