#pragma once
// TransmitQueue: a port's own transmit queue, which behaves on every kind of
// device as a serial driver's queue of the configured size does. Both port
// types keep one.
//
// A write takes what fits among the bytes not yet on the wire and returns at
// once; on a nearly idle line its bytes go to the device at once. The pump
// hands the queued bytes to the device in blocks, no faster than the line
// carries them, plus a short lead, so that neither a deep kernel buffer (a pty
// takes about 19 KB) nor a shallow one (a UART wakes its writer below 256
// bytes) changes what the count reports or what a discard drops.
//
// The count is the queue plus the device's share: the larger of what the
// device reports holding (TIOCOUTQ) and what the line time of the bytes
// handed to it says is still to go. Every time is read from the injected
// millisecond clock, so the pacing and the counts run in virtual time under
// test. A device that fails or goes away ends the queue: its bytes are
// dropped, the count reads 0 and writes take nothing, so that a caller
// waiting for room never hangs.
//
// The pump runs on a private thread (started by the constructor, joined by
// the destructor), or, for a queue built with Pumping::kByCaller, only when
// the caller calls PumpOnce or waits in AwaitCountAtMost. All members may be
// called from one caller thread; the lock inside is the queue's own and is
// held only for short, non-blocking steps.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "comlink/transmit_device.h"
#include "platform/clock.h"

class TransmitQueue {
public:
    enum class Pumping { kOwnThread, kByCaller };

    // `device` and `clock` must outlive the queue.
    TransmitQueue(TransmitDevice& device, std::size_t capacity, platform::Clock& clock,
                  Pumping pumping = Pumping::kOwnThread);
    // Drops what is queued and joins the thread.
    ~TransmitQueue();
    TransmitQueue(const TransmitQueue&) = delete;
    TransmitQueue& operator=(const TransmitQueue&) = delete;

    // Queues up to `size` bytes, as many as fit; returns the count taken.
    // On an idle line the first bytes go to the device at once.
    std::size_t Write(const std::uint8_t* data, std::size_t size);
    // Hands `byte` to the device ahead of the queue. True when it took it.
    bool SendAhead(std::uint8_t byte);

    // What a status query reports: bytes accepted and not yet sent (at most
    // the capacity; 0 once failed), and whether a modem line holds
    // transmission.
    struct Status {
        std::size_t count = 0;
        bool heldByLines = false;
    };
    Status Report();
    // Returns the count at once when it is at most `level`. Otherwise waits
    // until the line has carried the queue down to `level` less the bytes of
    // kRefillLineTime, so that a caller refilling a full queue byte by byte
    // wakes about twenty times a second, not once a byte; a discard or a
    // failure ends the wait, and so does `timeoutMs` on the clock. Returns
    // the count then.
    std::size_t AwaitCountAtMost(std::size_t level, std::uint32_t timeoutMs);

    // Drops the queue and what the device holds.
    void Discard();

    void SetCapacity(std::size_t capacity);
    // Line time of one character (start, data, parity and stop bits).
    void SetCharTime(std::chrono::nanoseconds charTime);
    // Transmission waits while any modem line of `mask` (0x10 CTS, 0x20 DSR)
    // is off; 0 sends freely.
    void SetHoldLines(int mask);

    // What the pump does next: sleep until bytes are queued, wait for the
    // device to take more, or look again after `wait`.
    struct PumpPlan {
        enum class Next { kAwaitBytes, kAwaitDevice, kLookAgain } next = Next::kAwaitBytes;
        std::chrono::nanoseconds wait{0};
    };
    // One step of the pump: feeds the device what the line needs now. Only
    // for a queue pumped by its caller.
    PumpPlan PumpOnce();

    // Line time of the room a waiting writer is given at once.
    static constexpr std::chrono::milliseconds kRefillLineTime{50};

private:
    // Nanoseconds since construction on the injected clock.
    std::int64_t NowNs() const;
    void RunPump();
    // With mutex_ held.
    PumpPlan PumpStep();
    std::size_t DeviceShare(std::int64_t now);
    long DeviceReport(std::int64_t now);
    std::size_t CountAt(std::int64_t now);
    std::size_t LeadBytes() const;
    // Below this many bytes held by the device a write still goes to it at
    // once: half a millisecond of line time, rounded up, and at least two
    // bytes. A caller that awaits the echo of each byte writes at most once
    // in two character times, and the device's share counts the bytes handed
    // within the clock's last millisecond, so it never gets this far and its
    // bytes go out without delay; bytes written one after another while the
    // line is busy are gathered and handed over together by the pump. A
    // device write costs about the same however few bytes it carries; on a
    // slow machine a USB adapter's takes over half a byte's line time at
    // 38400 baud, and byte by byte the line went idle.
    std::size_t GatherBytes() const;
    void NoteHanded(std::size_t count, std::int64_t now);
    bool LinesHoldTransmission();
    void Fail();

    TransmitDevice& device_;
    platform::Clock& clock_;
    const std::uint32_t originMs_;
    const Pumping pumping_;
    std::mutex mutex_;
    std::condition_variable wake_;   // the pump: bytes queued, settings changed, stop
    std::condition_variable room_;   // a waiting writer: the queue was discarded or failed
    std::deque<std::uint8_t> queue_;
    std::vector<std::uint8_t> chunk_;  // the block being handed to the device
    std::size_t capacity_;
    std::int64_t charTimeNs_;
    std::int64_t lineFreeAt_ = 0;    // when the bytes handed so far are through the line
    long deviceReport_ = -1;         // the device's last report of what it holds
    std::int64_t reportedAt_ = 0;    // when it was asked
    std::size_t handedSinceReport_ = 0;
    bool reportStale_ = true;        // the device dropped what it held since
    bool pumpAwaitsBytes_ = false;   // the pump sleeps until bytes are queued
    int holdLines_ = 0;
    bool heldByLines_ = false;
    bool failed_ = false;
    bool stopping_ = false;
    std::thread pump_;               // last: starts once everything above is set
};
