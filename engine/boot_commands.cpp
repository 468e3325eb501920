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
    failure.command = command;
    if (const int code = serial.WriteByte(command); code != 0) {
        return FailOnWrite(code);
    }
    if (const int echo = serial.ReadByte(kEchoTimeoutMs); echo != command) {
        return FailOnReply(command, echo, kEchoTimeoutMs, engine::FailureReason::kWrongEcho);
    }
    if (command == bcSendUpdate && !SendImageStreamed(info->update_file)) {
        return false;
    }
    // The new code starts after the echo; it sends no status.
    if (command != bcStartNewCode) {
        if (const int status = serial.ReadByte(kStatusTimeoutMs); status != kStatusSuccess) {
            return FailOnReply(kStatusSuccess, status, kStatusTimeoutMs, engine::FailureReason::kStatusByte);
        }
    }
    return true;
}
