#pragma once
// The POSIX port's transmit device: a terminal's file descriptor. Every call
// returns at once except WaitForRoom.

#include <functional>
#include <memory>

#include "comlink/transmit_device.h"

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
