#pragma once
// Win32TransmitQueue: the Win32 port's own transmit queue. The device is given
// at most one write at a time; bytes accepted meanwhile wait here, in order,
// and go to the device as one write when the one before has finished. Several
// overlapped writes outstanding on one handle are not kept in order by every
// system (Wine's serial driver on a pseudo-terminal lets a later write pass
// an earlier one that is still pending), and one write per byte would cost a
// system call per byte besides.
//
// The queue moves on whenever it is asked (Write, Count, WaitForProgress);
// nothing runs between calls except the device's own work on the write it
// holds. Only Win32 sources include this header.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

class Win32CommApi;

class Win32TransmitQueue {
public:
    explicit Win32TransmitQueue(Win32CommApi& comm);
    // The write in flight must have been ended (End) before.
    ~Win32TransmitQueue();
    Win32TransmitQueue(const Win32TransmitQueue&) = delete;
    Win32TransmitQueue& operator=(const Win32TransmitQueue&) = delete;

    // Takes the caller's `size` bytes behind those already queued and hands
    // the device what it can. Returns the count taken: all of them, less
    // those of this call that the device refused outright.
    std::size_t Write(HANDLE device, const std::uint8_t* data, std::size_t size);
    // Bytes taken and not yet finished by the device: those waiting here
    // plus the write in flight.
    std::size_t Count(HANDLE device);
    // True while the device holds a write that has not finished.
    bool WriteInFlight() const { return inFlight_; }
    // Waits at most `waitMs` for the write in flight to finish (its event);
    // without one, returns at once.
    void WaitForProgress(HANDLE device, DWORD waitMs);
    // Drops the bytes not yet handed to the device; the write in flight
    // goes on, as bytes already in a driver's buffer do.
    void DropWaiting();
    // Cancels the write in flight and waits until the device has let go of
    // its bytes; drops everything queued. For the release of the device.
    void End(HANDLE device);

private:
    // The write in flight. The system reads its bytes and writes its record
    // until it finishes, so both live here until then, whatever the caller
    // does; the one record serves every write in turn.
    struct Transfer {
        OVERLAPPED overlap{};
        std::vector<std::uint8_t> bytes;
    };

    // Forgets the write in flight once finished; a short one gives its unsent
    // bytes back to the front of the queue.
    void Reap(HANDLE device);
    // Hands the waiting bytes to the device as one write when none is in
    // flight. The count of bytes the device refused outright (dropped).
    std::size_t Start(HANDLE device);
    void GiveBack(DWORD sent);

    Win32CommApi& comm_;
    std::deque<std::uint8_t> waiting_;
    Transfer transfer_;
    bool inFlight_ = false;
    HANDLE event_ = nullptr;  // manual-reset, for the write in flight
};
