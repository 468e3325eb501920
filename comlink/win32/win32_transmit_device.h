#pragma once
// Win32TransmitDevice: the Win32 port's device as its transmit queue
// (transmit_queue.h) sees it. The device is given at most one write at a
// time: several overlapped writes outstanding on one handle are not kept in
// order by every system (Wine's serial driver on a pseudo-terminal lets a
// later write pass an earlier one still pending). The queue feeds the device
// at line rate in blocks, so a write normally finishes at once and no more
// than one system call goes to the device for a block of bytes.
//
// Send, Held and Discard are called with the queue's lock held; WaitForRoom
// only by the queue's pump, and touches nothing but the write's event. Only
// Win32 sources include this header.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "comlink/transmit_device.h"

class Win32CommApi;

class Win32TransmitDevice final : public TransmitDevice {
public:
    // `device` is the open handle, which this object does not own.
    Win32TransmitDevice(Win32CommApi& comm, HANDLE device);
    // Cancels a write still in flight and waits until the device has let go
    // of its bytes, before the record and the bytes go.
    ~Win32TransmitDevice() override;
    Win32TransmitDevice(const Win32TransmitDevice&) = delete;
    Win32TransmitDevice& operator=(const Win32TransmitDevice&) = delete;

    // 0 while the write before is in flight; -1 once a write failed.
    long Send(const std::uint8_t* data, std::size_t size) override;
    // The device's own count (ClearCommError). One that counts nothing while
    // a write of ours is unfinished (Wine on a pty) still holds that write.
    long Held() override;
    // Waits for the write in flight to finish, at most `waitMs`.
    void WaitForRoom(int waitMs) override;
    // The driver holds transmission for the modem lines itself.
    int ModemLines() override { return -1; }
    // The port purges the driver's queue itself; the write in flight
    // finishes, as a UART sends the bytes already in its FIFO.
    void Discard() override {}

    // The line-error bits Held's ClearCommError took from the device since
    // the last call, for the port to gather with its own.
    std::uint32_t TakeLineErrors() { return lineErrors_.exchange(0); }

private:
    // Forgets the write in flight once it has finished. False while it has not.
    bool Reap();

    Win32CommApi& comm_;
    HANDLE device_;
    HANDLE event_;  // manual-reset, for the write in flight
    // The write in flight: the system reads its bytes and writes its record
    // until it finishes, so both live here; one record serves every write.
    OVERLAPPED overlap_{};
    std::vector<std::uint8_t> bytes_;
    bool inFlight_ = false;
    bool failed_ = false;
    std::atomic<std::uint32_t> lineErrors_{0};
};
