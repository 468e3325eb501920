#include "tools/instrument-sim/port/simulated_port.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/clock.h"

namespace instrument_sim {
namespace {

// What NativeHandle reports while open: any non-zero value will do, the
// simulated line has no system handle.
constexpr std::intptr_t kSimulatedHandle = 0x51A;
constexpr std::int32_t kOpeningBaud = 115200;
constexpr std::uint32_t kIdleStepMs = 1;

}  // namespace

SimulatedPort::SimulatedPort(std::shared_ptr<InstrumentModel> model, int portIndex,
                             int rxQueueSize, int txQueueSize)
    : model_(std::move(model)), rxQueueSize_(rxQueueSize), txQueueSize_(txQueueSize) {
    this->portIndex = portIndex;
    Open(portIndex);
    if (open_) {
        Signal(LINE_DTR, 1);
        Signal(LINE_RTS, 1);
    }
}

SimulatedPort::~SimulatedPort() {
    if (open_) CloseDevice();
}

void SimulatedPort::Sync() {
    if (!model_) return;
    model_->AdvanceToClock(platform::NowMs());
    for (const std::uint8_t byte : model_->HostRead()) {
        if (static_cast<int>(received_.size()) >= rxQueueSize_) {
            rxOverflow_ = true;
            continue;
        }
        received_.push_back(byte);
    }
}

void SimulatedPort::NoteOperation(bool isQueueStatus) { lastWasQueueStatus_ = isQueueStatus; }

int SimulatedPort::Idle() {
    NoteOperation(false);
    platform::SleepMs(kIdleStepMs);
    Sync();
    return 0;
}

int SimulatedPort::PollStatus() {
    NoteOperation(false);
    Sync();
    return 1;
}

int SimulatedPort::Open(int) {
    const int check = CheckPortIndex();
    if (check != LINK_OK) {
        lastError = check;
        return check;
    }
    const int opened = OpenDevice();
    if (opened != LINK_OK) return opened;
    TakePortIndex();
    return LINK_OK;
}

int SimulatedPort::OpenDevice() {
    if (!model_) {
        lastError = LINK_ERR_GENERAL;
        return LINK_ERR_GENERAL;
    }
    open_ = true;
    baud_ = kOpeningBaud;
    Sync();
    model_->SetHostRate(static_cast<std::uint32_t>(baud_));
    return LINK_OK;
}

int SimulatedPort::CloseDevice() {
    Flush(0, 0);
    Flush(1, 0);
    dtr_ = 0;
    rts_ = 0;
    open_ = false;
    return LINK_OK;
}

int SimulatedPort::QueueStatus(QvQueueStatus& status, int) {
    if (lastWasQueueStatus_) platform::SleepMs(kIdleStepMs);
    NoteOperation(true);
    if (!open_) return LINK_ERR_GENERAL;
    Sync();
    status = {};
    status.rxTag = 1;
    status.rxCount = static_cast<std::int32_t>(received_.size());
    status.rxSize = rxQueueSize_;
    status.txTag = 1;
    status.txCount = static_cast<std::int32_t>(model_->HostTxPending());
    status.txSize = txQueueSize_;
    return LINK_OK;
}

int SimulatedPort::SetBufferSizes(int rxSize, int, int txSize) {
    NoteOperation(false);
    Flush(0, 0);
    Flush(1, 0);
    if (rxSize != 0) rxQueueSize_ = rxSize;
    if (txSize != 0) txQueueSize_ = txSize;
    return LINK_OK;
}

int SimulatedPort::SetHandshake(int rxMode, int txMode) {
    NoteOperation(false);
    if (rxMode != HANDSHAKE_NONE || txMode != HANDSHAKE_NONE) {
        lastError = LINK_ERR_NOT_SUPPORTED;
        return LINK_ERR_NOT_SUPPORTED;
    }
    return LINK_OK;
}

int SimulatedPort::GetHandshake(int& rxMode, int& txMode) {
    NoteOperation(false);
    rxMode = HANDSHAKE_NONE;
    txMode = HANDSHAKE_NONE;
    return LINK_OK;
}

int SimulatedPort::Break(int state) {
    NoteOperation(false);
    if (state < 0) return break_;
    break_ = state == 1 ? 1 : 0;
    return break_;
}

int SimulatedPort::Signal(int lineId, int value) {
    NoteOperation(false);
    switch (lineId) {
        case LINE_BREAK: return Break(value);
        case LINE_DTR:
            if (value != -1) dtr_ = value == 0 ? 0 : 1;
            return dtr_;
        case LINE_RTS:
            if (value != -1) rts_ = value == 0 ? 0 : 1;
            return rts_;
        case LINE_CTS:
        case LINE_DSR:
        case LINE_CD: return open_ && !model_->HungUp() ? 1 : 0;
        case LINE_RI:
        case LINE_UNUSED_17:
        case LINE_UNUSED_18:
        case LINE_UNUSED_19:
        case LINE_UNUSED_20:
        case LINE_OVERRUN:
        case LINE_PARITY_ERROR:
        case LINE_FRAMING_ERROR:
        case LINE_BREAK_RECEIVED: return 0;
        case LINE_RX_OVERFLOW: return rxOverflow_ ? 1 : 0;
        default: return 2;
    }
}

int SimulatedPort::SetFormat(std::int32_t baud, char parity, int dataBits, int stopBits) {
    NoteOperation(false);
    if (ParityCode(parity) < 0) {
        lastError = LINK_ERR_PARITY;
        return LINK_ERR_PARITY;
    }
    parity_ = parity;
    baud_ = baud;
    if (!ValidDataBits(dataBits)) {
        lastError = LINK_ERR_DATA_BITS;
        return LINK_ERR_DATA_BITS;
    }
    dataBits_ = dataBits;
    if (!ValidStopBits(stopBits)) {
        lastError = LINK_ERR_STOP_BITS;
        return LINK_ERR_STOP_BITS;
    }
    stopBits_ = stopBits;
    if (open_) {
        Sync();
        model_->SetHostRate(static_cast<std::uint32_t>(baud_));
    }
    return LINK_OK;
}

void SimulatedPort::GetFormat(std::int32_t& baud, char& parity, int& dataBits, int& stopBits) {
    NoteOperation(false);
    baud = baud_;
    parity = parity_;
    dataBits = dataBits_;
    stopBits = stopBits_;
}

void SimulatedPort::ReadLineStatus(QvLineRecord& record) {
    PollStatus();
    for (const int lineId : kLineRecordOrder) record.SetField(lineId, Signal(lineId, -1) & 3);
    rxOverflow_ = false;
}

int SimulatedPort::WriteByte(std::uint8_t byte) {
    return Write(&byte, 1) == 1 ? LINK_OK : lastError;
}

int SimulatedPort::WriteString(const char* text) {
    return Write(text, static_cast<int>(std::strlen(text)));
}

int SimulatedPort::Write(const void* buffer, int length) {
    NoteOperation(false);
    if (length <= 0) return 0;
    int taken = 0;
    if (open_) {
        Sync();
        const int room = txQueueSize_ - static_cast<int>(model_->HostTxPending());
        const int count = std::clamp(length, 0, std::max(room, 0));
        taken = static_cast<int>(
            model_->HostWrite(static_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(count)));
    }
    if (taken < length) lastError = LINK_ERR_WRITE_SHORT;
    return taken;
}

int SimulatedPort::TransmitImmediate(std::uint8_t byte) {
    NoteOperation(false);
    if (!open_) return LINK_ERR_GENERAL;
    Sync();
    return model_->HostWrite(&byte, 1) == 1 ? LINK_OK : LINK_ERR_GENERAL;
}

int SimulatedPort::ReadByte() {
    std::uint8_t byte = 0;
    return Read(&byte, 1) == 1 ? byte : LINK_ERR_NO_DATA;
}

int SimulatedPort::Read(void* buffer, int length) {
    NoteOperation(false);
    if (!open_ || length <= 0) return 0;
    Sync();
    if (model_->HungUp()) received_.clear();
    const int count = std::min(length, static_cast<int>(received_.size()));
    auto* out = static_cast<std::uint8_t*>(buffer);
    for (int i = 0; i < count; ++i) {
        out[i] = received_.front();
        received_.pop_front();
    }
    return count;
}

int SimulatedPort::Flush(int direction, int limit) {
    NoteOperation(false);
    if (!open_) return LINK_OK;
    Sync();
    if (direction != 0) {
        model_->HostFlushTx();
        return LINK_OK;
    }
    if (limit <= 0) {
        received_.clear();
        return LINK_OK;
    }
    for (int dropped = 0; dropped < limit; ++dropped) {
        if (received_.empty()) return LINK_OK;
        received_.pop_front();
    }
    return received_.empty() ? LINK_OK : LINK_ERR_GENERAL;
}

void SimulatedPort::Dump(const QvDumpSink& sink) {
    char line[128];
    std::snprintf(line, sizeof line, "Port type: simulated  BaudRate: %-6d  ByteSize: %1d  Parity: %c",
                  static_cast<int>(baud_), dataBits_, parity_);
    sink(line);
    QvQueueStatus status;
    QueueStatus(status, kQueueDetailAll);
    std::snprintf(line, sizeof line, "RX sz/ct: %5d/%-5d  TX sz/ct: %5d/%-5d",
                  static_cast<int>(status.rxSize), static_cast<int>(status.rxCount),
                  static_cast<int>(status.txSize), static_cast<int>(status.txCount));
    sink(line);
}

std::intptr_t SimulatedPort::NativeHandle() const { return open_ ? kSimulatedHandle : 0; }

PortFactory SimulatedPortFactory(std::shared_ptr<InstrumentModel> model, std::optional<int> onlyIndex) {
    return [model = std::move(model), onlyIndex](int portIndex, int rxQueueSize,
                                                 int txQueueSize) -> std::unique_ptr<QvComLink> {
        const bool present = !onlyIndex || *onlyIndex == portIndex;
        return std::make_unique<SimulatedPort>(present ? model : nullptr, portIndex, rxQueueSize,
                                               txQueueSize);
    };
}

}  // namespace instrument_sim
