#pragma once
// What a port's transmit queue (transmit_queue.h) needs of its device: the
// POSIX port's terminal descriptor, the Win32 port's overlapped handle, or a
// test's double. Every call returns at once except WaitForRoom.

#include <cstddef>
#include <cstdint>

class TransmitDevice {
public:
    virtual ~TransmitDevice() = default;
    // Hands up to `size` bytes to the device: the count it took (0 when it
    // has no room now), or -1 when the device failed or went away.
    virtual long Send(const std::uint8_t* data, std::size_t size) = 0;
    // Bytes the device holds and has not sent yet, or -1 when it does not tell.
    virtual long Held() = 0;
    // Waits up to `waitMs` for the device to take more.
    virtual void WaitForRoom(int waitMs) = 0;
    // The modem lines in the library's bits (0x10 CTS, 0x20 DSR, 0x40 RI,
    // 0x80 CD), or -1 when the device has none to read.
    virtual int ModemLines() = 0;
    // Drops what the device holds and has not sent.
    virtual void Discard() = 0;
};
