// The boot-loader's one-byte commands: command, echo, transfer, status.

#include "engine/data_exchange.h"

namespace {

constexpr int kEchoTimeoutMs = 5000;
constexpr int kStatusTimeoutMs = 15000;
constexpr int kStatusSuccess = 0x00;

}  // namespace

bool DataExchange::SendBootCommand(BootCommand command) {
    serial.FlushInput();
    serial.FlushOutput();
    queuedForLine.store(0, std::memory_order_relaxed);
    if (serial.WriteByte(command) != 0) {
        return false;
    }
    if (serial.ReadByte(kEchoTimeoutMs) != command) {
        return false;
    }
    if (command == bcSendUpdate && !SendImageStreamed(info->update_file)) {
        return false;
    }
    // The new code starts after the echo; it sends no status.
    if (command != bcStartNewCode && serial.ReadByte(kStatusTimeoutMs) != kStatusSuccess) {
        return false;
    }
    return true;
}
