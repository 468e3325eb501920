// Baud-rate synchronisation with the instrument's boot side at 38400 baud.

#include "comlink/qv_data_format.h"
#include "engine/data_exchange.h"
#include "platform/clock.h"

namespace {

constexpr std::int32_t kBootBaudRate = 38400;
constexpr std::uint32_t kRateSettleMs = 1000;
constexpr std::uint8_t kSyncProbe = 0x0D;
constexpr int kSyncAnswer = 0xAA;
constexpr int kSyncAnswerTimeoutMs = 50;
constexpr int kSyncProbeCount = 1000;

}  // namespace

bool DataExchange::SynchBaudRates() {
    // The port may refuse the rate; the probing below runs either way.
    if (QvDataFormat* format = serial.DataFormat()) {
        format->SetBaudRate(kBootBaudRate);
    }
    platform::SleepMs(kRateSettleMs);
    serial.FlushInput();
    serial.FlushOutput();
    for (int probe = 0; probe < kSyncProbeCount; ++probe) {
        if (const int code = serial.WriteByte(kSyncProbe); code != 0) {
            return FailOnWrite(code);
        }
        serial.FlushOutput();
        if (serial.ReadByte(kSyncAnswerTimeoutMs) == kSyncAnswer) {
            return true;
        }
    }
    failure.expected = kSyncAnswer;
    failure.count = kSyncProbeCount;
    failure.timeoutMs = kSyncAnswerTimeoutMs;
    return FailWith(engine::FailureReason::kNoAnswer);
}
