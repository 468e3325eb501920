#pragma once
// What the POSIX port's transmit queue needs of its device, and the device
// over a terminal's file descriptor. Every call returns at once except
// WaitForRoom.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

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

// Builds the transmit device for an open terminal descriptor. The port's
// default makes a TerminalTransmitDevice; tests pass device doubles.
using TransmitDeviceMaker = std::function<std::unique_ptr<TransmitDevice>(int fd)>;

// The device behind a non-blocking terminal descriptor, which it does not own.
class TerminalTransmitDevice final : public TransmitDevice {
public:
    explicit TerminalTransmitDevice(int fd) : fd_(fd) {}
    long Send(const std::uint8_t* data, std::size_t size) override;
    long Held() override;  // TIOCOUTQ; always 0 on a pty
    void WaitForRoom(int waitMs) override;
    int ModemLines() override;
    void Discard() override;

private:
    int fd_;
};
