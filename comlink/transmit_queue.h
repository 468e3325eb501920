#pragma once
// TransmitQueue: a port's own transmit queue, which behaves on every kind of
// device as a serial driver's queue of the configured size does. Both port
// types keep one.
//
// A write takes what fits among the bytes not yet on the wire and returns at
// once; a private thread (started by the constructor, joined by the
// destructor) hands the queued bytes to the device while the caller sleeps or
// waits elsewhere. The device is fed no faster than the line carries the
// bytes, plus a short lead, so that neither a deep kernel buffer (a pty takes
// about 19 KB) nor a shallow one (a UART wakes its writer below 256 bytes)
// changes what the count reports or what a discard drops.
//
// The count is the queue plus the device's share: the larger of what the
// device reports holding (TIOCOUTQ) and what the line time of the bytes
// handed to it says is still to go. The device's report is asked for again
// after each hand-off and otherwise at most once a millisecond, so that a
// caller polling the count byte by byte costs no system call a byte. A
// device that fails or goes away ends the queue: its bytes are dropped, the
// count reads 0 and writes take nothing, so that a caller waiting for room
// never hangs.
//
// All members may be called from one caller thread; the lock inside is the
// queue's own and is held only for short, non-blocking steps.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "comlink/transmit_device.h"

// What a port's status query waits for when the queue is nearly full: less
// room than a UART's FIFO holds; it then sleeps until the line has carried
// this much line time of it, or the longest wait has passed, so that a caller
// polling the count wakes about twenty times a second instead of once a byte.
inline constexpr std::size_t kNearlyFullRoom = 16;
inline constexpr std::chrono::milliseconds kRoomLineTime{50};
inline constexpr std::chrono::milliseconds kFullQueueLongestWait{100};

class TransmitQueue {
public:
    // `device` must outlive the queue.
    TransmitQueue(TransmitDevice& device, std::size_t capacity);
    // Drops what is queued and joins the thread.
    ~TransmitQueue();
    TransmitQueue(const TransmitQueue&) = delete;
    TransmitQueue& operator=(const TransmitQueue&) = delete;

    // Queues up to `size` bytes, as many as fit; returns the count taken.
    // On an idle line the first bytes go to the device at once.
    std::size_t Write(const std::uint8_t* data, std::size_t size);
    // Hands `byte` to the device ahead of the queue. True when it took it.
    bool SendAhead(std::uint8_t byte);
    // Bytes accepted and not yet sent (at most the capacity); 0 once failed.
    std::size_t Count();
    // What a status query reports: the count, and whether a modem line holds
    // transmission.
    struct Status {
        std::size_t count = 0;
        bool heldByLines = false;
    };
    // With fewer than `nearlyFull` bytes free, sleeps until as much room is
    // free as the line carries in `roomLineTime` (at least `nearlyFull`), the
    // queue is discarded or fails, or `longest` has passed; then reports.
    Status AwaitRoom(std::size_t nearlyFull, std::chrono::nanoseconds roomLineTime,
                     std::chrono::milliseconds longest);
    // Drops the queue and what the device holds.
    void Discard();

    void SetCapacity(std::size_t capacity);
    // Line time of one character (start, data, parity and stop bits).
    void SetCharTime(std::chrono::nanoseconds charTime);
    // Transmission waits while any modem line of `mask` (0x10 CTS, 0x20 DSR)
    // is off; 0 sends freely.
    void SetHoldLines(int mask);
    // True while transmission waits for a modem line.
    bool HeldByLines();
    // True once the device failed.
    bool Failed();

private:
    using Clock = std::chrono::steady_clock;

    void Pump();
    // With mutex_ held.
    std::size_t DeviceShare(Clock::time_point now);
    long DeviceReport(Clock::time_point now);
    std::size_t CountAt(Clock::time_point now);
    std::size_t LeadBytes() const;
    void NoteHanded(std::size_t count, Clock::time_point now);
    bool LinesHoldTransmission();
    void Fail();

    TransmitDevice& device_;
    std::mutex mutex_;
    std::condition_variable wake_;   // the pump: bytes queued, settings changed, stop
    std::condition_variable room_;   // a waiting writer: bytes left the queue
    std::deque<std::uint8_t> queue_;
    std::size_t capacity_;
    std::chrono::nanoseconds charTime_;
    Clock::time_point lineFreeAt_;   // when the bytes handed so far are through the line
    long deviceReport_ = -1;         // the device's last report of what it holds
    Clock::time_point reportedAt_;   // when it was asked
    std::size_t handedSinceReport_ = 0;
    bool reportStale_ = true;        // the device dropped what it held since
    bool pumpAwaitsBytes_ = false;   // the pump sleeps until bytes are queued
    int holdLines_ = 0;
    bool heldByLines_ = false;
    bool failed_ = false;
    bool stopping_ = false;
    std::thread pump_;               // last: starts once everything above is set
};
