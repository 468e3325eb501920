#include "comlink/transmit_queue.h"

#include <algorithm>
#include <vector>

#include "comlink/pump_thread.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;

// Line time of one character at 115200 baud, 8N1, until the port sets its own.
constexpr nanoseconds kDefaultCharTime{86'806};
// How far ahead of the line the device is fed: this much line time, and no
// fewer bytes than a UART's wake-up mark. The pump refills once half of it
// has gone, so a late wake-up of up to half the lead leaves no gap.
constexpr nanoseconds kLeadTime = milliseconds(100);
constexpr std::size_t kMinLeadBytes = 256;
// Longest sleep of the pump before it looks at the device again: the line
// time of the lead, as the pump sleeps for the line time of what it fed.
constexpr nanoseconds kLongestPumpSleep = kLeadTime;
// How long the device's report of what it holds is used before it is asked
// again. Bytes handed meanwhile are added to it, so that the count may read
// at most this much line time high, never low.
constexpr nanoseconds kDeviceReportMaxAge = milliseconds(1);
// Wait for room when the device took nothing, and between looks at the
// modem lines while they hold transmission.
constexpr int kDeviceRoomWaitMs = 2;
constexpr milliseconds kHoldLookInterval{5};

}  // namespace

TransmitQueue::TransmitQueue(TransmitDevice& device, std::size_t capacity)
    : device_(device),
      capacity_(capacity),
      charTime_(kDefaultCharTime),
      lineFreeAt_(Clock::now()),
      pump_(StartPumpThread([this] { Pump(); })) {}

TransmitQueue::~TransmitQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    pump_.join();
}

std::size_t TransmitQueue::LeadBytes() const {
    return std::max(kMinLeadBytes, static_cast<std::size_t>(kLeadTime / charTime_));
}

long TransmitQueue::DeviceReport(Clock::time_point now) {
    if (reportStale_ || now - reportedAt_ >= kDeviceReportMaxAge) {
        deviceReport_ = device_.Held();
        reportedAt_ = now;
        handedSinceReport_ = 0;
        reportStale_ = false;
    }
    if (deviceReport_ < 0) return -1;
    return deviceReport_ + static_cast<long>(handedSinceReport_);
}

std::size_t TransmitQueue::DeviceShare(Clock::time_point now) {
    std::size_t onLine = 0;
    if (lineFreeAt_ > now) {
        const nanoseconds left = lineFreeAt_ - now;
        onLine = static_cast<std::size_t>((left + charTime_ - nanoseconds(1)) / charTime_);
    }
    const long reported = DeviceReport(now);
    return std::max(onLine, reported > 0 ? static_cast<std::size_t>(reported) : std::size_t{0});
}

std::size_t TransmitQueue::CountAt(Clock::time_point now) {
    if (failed_) return 0;
    return std::min(capacity_, queue_.size() + DeviceShare(now));
}

void TransmitQueue::NoteHanded(std::size_t count, Clock::time_point now) {
    lineFreeAt_ = std::max(lineFreeAt_, now) + charTime_ * static_cast<long long>(count);
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
    const Clock::time_point now = Clock::now();
    const std::size_t share = DeviceShare(now);
    const std::size_t count = queue_.size() + share;
    if (count >= capacity_) return 0;
    const std::size_t accepted = std::min(size, capacity_ - count);

    std::size_t direct = 0;
    const std::size_t lead = LeadBytes();
    if (queue_.empty() && share < lead && !LinesHoldTransmission()) {
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
    NoteHanded(1, Clock::now());
    return true;
}

std::size_t TransmitQueue::Count() {
    std::lock_guard lock(mutex_);
    return CountAt(Clock::now());
}

TransmitQueue::Status TransmitQueue::AwaitRoom(std::size_t nearlyFull, nanoseconds roomLineTime,
                                               milliseconds longest) {
    std::unique_lock lock(mutex_);
    Clock::time_point now = Clock::now();
    std::size_t count = CountAt(now);
    if (failed_ || count + nearlyFull <= capacity_) return Status{count, heldByLines_};

    const Clock::time_point until = now + longest;
    const auto lineBytes = static_cast<std::size_t>(roomLineTime / charTime_);
    const std::size_t room = std::min(std::max(nearlyFull, lineBytes), capacity_);
    // The count falls as the line carries the bytes, whether they wait in
    // the queue or in the device: sleep for the line time of the missing
    // room, and look again (a held line or a slow device carries less).
    while (!failed_ && count + room > capacity_ && now < until) {
        const std::size_t missing = count + room - capacity_;
        const Clock::time_point carried =
            now + std::chrono::duration_cast<Clock::duration>(charTime_ * static_cast<long long>(missing));
        room_.wait_until(lock, std::min(until, carried));
        now = Clock::now();
        count = CountAt(now);
    }
    return Status{count, heldByLines_};
}

void TransmitQueue::Discard() {
    std::lock_guard lock(mutex_);
    queue_.clear();
    // The character on the line when the discard comes is sent, as a UART
    // sends what it has begun, and no longer counts; only a device holding
    // more is flushed (a pty may otherwise drop a byte it has just been given).
    const Clock::time_point now = Clock::now();
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
        if (charTime > nanoseconds::zero()) charTime_ = charTime;
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

bool TransmitQueue::HeldByLines() {
    std::lock_guard lock(mutex_);
    return heldByLines_;
}

bool TransmitQueue::Failed() {
    std::lock_guard lock(mutex_);
    return failed_;
}

void TransmitQueue::Pump() {
    std::vector<std::uint8_t> chunk;
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (queue_.empty() || failed_) {
            heldByLines_ = false;
            pumpAwaitsBytes_ = true;
            wake_.wait(lock);
            pumpAwaitsBytes_ = false;
            continue;
        }
        heldByLines_ = LinesHoldTransmission();
        if (heldByLines_) {
            wake_.wait_for(lock, kHoldLookInterval);
            continue;
        }
        const Clock::time_point now = Clock::now();
        const std::size_t share = DeviceShare(now);
        const std::size_t lead = LeadBytes();
        if (share > lead / 2) {
            // Sleep until half the lead has gone through the line.
            const nanoseconds untilRefill = charTime_ * static_cast<long long>(share - lead / 2);
            wake_.wait_for(lock, std::min<nanoseconds>(untilRefill, kLongestPumpSleep));
            continue;
        }
        const std::size_t size = std::min(queue_.size(), lead - share);
        chunk.assign(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(size));
        const long taken = device_.Send(chunk.data(), size);
        if (taken < 0) {
            Fail();
            continue;
        }
        if (taken == 0) {
            lock.unlock();
            device_.WaitForRoom(kDeviceRoomWaitMs);
            lock.lock();
            continue;
        }
        queue_.erase(queue_.begin(), queue_.begin() + taken);
        NoteHanded(static_cast<std::size_t>(taken), now);
    }
}
