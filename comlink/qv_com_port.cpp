#include "comlink/qv_com_port.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "comlink/character_time.h"
#include "comlink/transmit_queue.h"
#include "platform/clock.h"

namespace {

// Settings applied at open: 115200 baud, 8N1, no flow control.
constexpr std::uint32_t kOpenBaudRate = 115200;
constexpr std::uint8_t kOpenByteSize = 8;
constexpr std::uint16_t kOpenXoffLimit = 128;
constexpr char kXonChar = 0x11;
constexpr char kXoffChar = 0x13;
constexpr int kXonLimitDivisor = 4;  // XON limit is a quarter of the receive queue

// Queue sizes are 16-bit values.
constexpr int kMaxQueueSize = 0xFFFF;

// Longest wait of Idle.
constexpr int kIdleWaitMs = 1;

// ModemLine's masks for the output lines as last set.
constexpr std::uint8_t kMaskDtr = 0x01;
constexpr std::uint8_t kMaskRts = 0x02;

constexpr int kFiveDataBits = 5;

std::int32_t ClampQueueSize(int size) { return std::clamp(size, 0, kMaxQueueSize); }

std::string Format(const char* format, auto... values) {
    const int length = std::snprintf(nullptr, 0, format, values...);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, format, values...);
    return text;
}

// A character of the record as the dump shows it: signed 8 bits widened.
unsigned DumpChar(char c) { return static_cast<unsigned>(static_cast<int>(static_cast<signed char>(c))); }

}  // namespace

std::chrono::nanoseconds CharacterTime(const QvPortSettings& settings) {
    return CharacterTime(settings.baudRate, settings.byteSize, settings.parity != kParityNone, settings.stopBits);
}

QvComPort::QvComPort(const char* portTypeName) : portTypeName_(portTypeName) {}

QvComPort::~QvComPort() = default;

void QvComPort::Start(int index, int rxSize, int txSize) {
    lastError = LINK_OK;
    rxQueueSize = ClampQueueSize(rxSize);
    txQueueSize = ClampQueueSize(txSize);
    portIndex = index;
    Open(index);
    Signal(LINE_DTR, 1);
    Signal(LINE_RTS, 1);
}

void QvComPort::SetOpenSettings() {
    QvPortSettings& s = settings;
    s.baudRate = kOpenBaudRate;
    s.byteSize = kOpenByteSize;
    s.parity = kParityNone;
    s.stopBits = kStopBitsOne;
    s.fBinary = 1;
    s.fOutxCtsFlow = 0;
    s.fOutxDsrFlow = 0;
    s.fDtrControl = kControlEnable;
    s.fRtsControl = kControlDisable;
    s.fNull = 0;
    s.fAbortOnError = 0;
    s.xonChar = kXonChar;
    s.xoffChar = kXoffChar;
    s.eofChar = 0;
    s.evtChar = 0;
    s.xonLim = static_cast<std::uint16_t>(rxQueueSize / kXonLimitDivisor);
    s.xoffLim = kOpenXoffLimit;
}

void QvComPort::SetTransmitDevice(std::unique_ptr<TransmitDevice> device) {
    transmit.reset();  // joins its thread before its device goes
    transmitDevice = std::move(device);
    if (transmitDevice) {
        transmit = std::make_unique<TransmitQueue>(*transmitDevice, static_cast<std::size_t>(txQueueSize),
                                                   platform::CurrentClock());
    }
}

void QvComPort::PaceTransmitQueue() {
    if (transmit) transmit->SetCharTime(CharacterTime(settings));
}

int QvComPort::Idle() { return AwaitInput(kIdleWaitMs); }

int QvComPort::Open(int) {
    openFailure.reset();
    const int indexCheck = CheckPortIndex();
    if (indexCheck != LINK_OK) {
        lastError = indexCheck;
        return indexCheck;
    }
    const int opened = OpenDevice();
    if (opened != LINK_OK) return opened;
    TakePortIndex();
    return SetUpDevice();
}

int QvComPort::QueueStatus(QvQueueStatus& status, int detail) {
    std::int32_t received = 0;
    std::uint16_t holdFlags = 0;
    ReadDeviceQueues(detail, received, holdFlags);
    std::size_t transmitCount = 0;
    if (transmit) {
        const TransmitQueue::Status queued = transmit->Report();
        transmitCount = queued.count;
        if (queued.heldByLines) holdFlags |= kHoldTxHeld;
    }
    status.rxTag = 1;
    status.rxCount = received;
    status.rxSize = rxQueueSize;
    status.txTag = 1;
    status.txCount = static_cast<std::int32_t>(transmitCount);
    status.txSize = txQueueSize;
    status.holdFlags = holdFlags;
    return 0;
}

void QvComPort::AwaitTransmitRoom(int level, int timeoutMs) {
    if (transmit) {
        transmit->AwaitCountAtMost(static_cast<std::size_t>(std::max(level, 0)),
                                   static_cast<std::uint32_t>(std::max(timeoutMs, 0)));
    }
}

int QvComPort::SetBufferSizes(int rxSize, int xoffLimit, int txSize) {
    FlushBothQueues();
    if (rxSize != 0) rxQueueSize = ClampQueueSize(rxSize);
    if (txSize != 0) txQueueSize = ClampQueueSize(txSize);
    if (transmit) transmit->SetCapacity(static_cast<std::size_t>(txQueueSize));
    settings.xonLim = static_cast<std::uint16_t>(rxQueueSize / kXonLimitDivisor);
    if (xoffLimit != 0) settings.xoffLim = static_cast<std::uint16_t>(ClampQueueSize(xoffLimit));
    ResizeDeviceQueues();
    FlushBothQueues();
    return ApplySettings();
}

int QvComPort::SetHandshake(int rxMode, int txMode) {
    QvPortSettings& s = settings;
    s.fInX = 0;
    s.fOutX = 0;
    if (s.fRtsControl == kControlHandshake) s.fRtsControl = kControlEnable;
    if (s.fDtrControl == kControlHandshake) s.fDtrControl = kControlEnable;
    s.fOutxCtsFlow = 0;
    s.fOutxDsrFlow = 0;

    switch (rxMode) {
    case HANDSHAKE_NONE: break;
    case HANDSHAKE_XONXOFF: s.fInX = 1; break;
    case HANDSHAKE_DTR: s.fDtrControl = kControlHandshake; break;
    case HANDSHAKE_RTS: s.fRtsControl = kControlHandshake; break;
    case HANDSHAKE_DSR: lastError = LINK_ERR_NOT_SUPPORTED; return lastError;
    default: lastError = LINK_ERR_RX_HANDSHAKE; return lastError;
    }
    switch (txMode) {
    case HANDSHAKE_NONE: break;
    case HANDSHAKE_XONXOFF: s.fOutX = 1; break;
    case HANDSHAKE_CTS: s.fOutxCtsFlow = 1; break;
    case HANDSHAKE_DSR: s.fOutxDsrFlow = 1; break;
    case HANDSHAKE_CD: lastError = LINK_ERR_NOT_SUPPORTED; return lastError;
    default: lastError = LINK_ERR_TX_HANDSHAKE; return lastError;
    }
    const int applied = ApplySettings();
    if (applied != LINK_OK) return applied;
    rxHandshakeMode = rxMode;
    txHandshakeMode = txMode;
    return LINK_OK;
}

int QvComPort::GetHandshake(int& rxMode, int& txMode) {
    rxMode = rxHandshakeMode;
    txMode = txHandshakeMode;
    return 0;
}

int QvComPort::Break(int state) {
    if (state < 0) return breakState;
    if (!SetDeviceBreak(state == 1)) {
        lastError = LINK_ERR_BREAK;
        return lastError;
    }
    breakState = static_cast<std::uint16_t>(state);  // kept as given, whichever way it went
    return breakState;
}

int QvComPort::ModemLine(std::uint8_t mask) {
    if (mask == kMaskDtr) return dtrState;
    if (mask == kMaskRts) return rtsState;
    return (ReadModemLines() & mask) != 0 ? 1 : 0;
}

int QvComPort::Signal(int lineId, int value) {
    if (lineId == LINE_BREAK) return Break(value);
    if ((lineId == LINE_DTR || lineId == LINE_RTS) && value != -1) {
        const bool raise = value != 0;
        const std::int32_t state = raise ? 1 : 0;
        const std::uint8_t control = raise ? kControlEnable : kControlDisable;
        if (lineId == LINE_DTR) {
            dtrState = state;
            settings.fDtrControl = control;
        } else {
            rtsState = state;
            settings.fRtsControl = control;
        }
        SetDeviceLine(lineId, raise);
    }
    const auto seen = [this](std::uint32_t bit) { return (lineErrors & bit) != 0 ? 1 : 0; };
    switch (lineId) {
    case LINE_DTR: return ModemLine(kMaskDtr);
    case LINE_RTS: return ModemLine(kMaskRts);
    case LINE_CTS: return ModemLine(kModemCts);
    case LINE_DSR: return ModemLine(kModemDsr);
    case LINE_RI: return ModemLine(kModemRi);
    case LINE_CD: return ModemLine(kModemCd);
    case LINE_UNUSED_17:
    case LINE_UNUSED_18:
    case LINE_UNUSED_19:
    case LINE_UNUSED_20: return 0;
    case LINE_OVERRUN: return seen(kErrOverrun);
    case LINE_PARITY_ERROR: return seen(kErrParity);
    case LINE_FRAMING_ERROR: return seen(kErrFraming);
    case LINE_BREAK_RECEIVED: return seen(kErrBreak);
    case LINE_RX_OVERFLOW: return seen(kErrRxOverflow);
    default: return 2;
    }
}

int QvComPort::SetFormat(std::int32_t baud, char parity, int dataBits, int stopBits) {
    const int parityCode = ParityCode(parity);
    if (parityCode < 0) {
        lastError = LINK_ERR_PARITY;
        return lastError;
    }
    settings.parity = static_cast<std::uint8_t>(parityCode);
    settings.baudRate = static_cast<std::uint32_t>(baud);  // the device judges the rate
    if (!ValidDataBits(dataBits)) {
        lastError = LINK_ERR_DATA_BITS;
        return lastError;
    }
    settings.byteSize = static_cast<std::uint8_t>(dataBits);
    if (!ValidStopBits(stopBits)) {
        lastError = LINK_ERR_STOP_BITS;
        return lastError;
    }
    settings.stopBits = stopBits == 1 ? kStopBitsOne : kStopBitsTwo;
    if (dataBits == kFiveDataBits) settings.stopBits = kStopBitsOneAndHalf;
    return ApplySettings();
}

void QvComPort::GetFormat(std::int32_t& baud, char& parity, int& dataBits, int& stopBits) {
    baud = static_cast<std::int32_t>(settings.baudRate);
    dataBits = settings.byteSize;
    stopBits = settings.stopBits == kStopBitsTwo ? 2 : 1;
    parity = settings.parity < kParityLetters.size() ? kParityLetters[settings.parity] : '?';
}

void QvComPort::ReadLineStatus(QvLineRecord& record) {
    PollStatus();
    for (const int lineId : kLineRecordOrder) record.SetField(lineId, Signal(lineId, -1));
    lineErrors = 0;
    modemStatus = 0;
}

int QvComPort::WriteByte(std::uint8_t byte) { return Write(&byte, 1) == 1 ? LINK_OK : lastError; }

int QvComPort::WriteString(const char* text) {
    if (text == nullptr) return 0;
    return Write(text, static_cast<int>(std::strlen(text)));
}

int QvComPort::Write(const void* buffer, int length) {
    if (length <= 0) return 0;
    std::size_t accepted = 0;
    if (buffer != nullptr && transmit) {
        accepted = transmit->Write(static_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(length));
    }
    const int written = static_cast<int>(accepted);
    if (written < length) lastError = LINK_ERR_WRITE_SHORT;
    return written;
}

int QvComPort::ReadByte() {
    std::uint8_t byte = 0;
    return Read(&byte, 1) == 1 ? byte : LINK_ERR_NO_DATA;
}

int QvComPort::Flush(int direction, int limit) {
    if (direction != kFlushReceive) {
        PurgeDevice(kFlushTransmit);
        if (transmit) transmit->Discard();
        return LINK_OK;
    }
    if (limit <= kFlushWholeQueue) {
        PurgeDevice(kFlushReceive);
        inputReported = false;
        return LINK_OK;
    }
    for (int dropped = 0; dropped < limit; ++dropped) {
        if (ReadByte() == LINK_ERR_NO_DATA) return LINK_OK;
    }
    lastError = LINK_ERR_GENERAL;  // the data kept coming
    return lastError;
}

void QvComPort::Dump(const QvDumpSink& sink) {
    const QvPortSettings& s = settings;
    sink(Format("Port type: %s  BaudRate: %-6u  ByteSize: %1d  Parity: %1d", portTypeName_,
                static_cast<unsigned>(s.baudRate), s.byteSize, s.parity)
             .c_str());
    sink(Format("StopBits: %1d  fBinary: %1d  fRtsControl: %1d", s.stopBits, s.fBinary, s.fRtsControl).c_str());
    sink(Format("Parity: %1d  OutCtsFlow: %1d  OutDsrFlow: %1d  DtrControl: %1d  OutX: %1d  InX: %1d", s.fParity,
                s.fOutxCtsFlow, s.fOutxDsrFlow, s.fDtrControl, s.fOutX, s.fInX)
             .c_str());
    sink(Format("Null: %1d  XonChar: %02x  XoffChar: %02x", s.fNull, DumpChar(s.xonChar), DumpChar(s.xoffChar))
             .c_str());
    sink(Format("XonLim: %-5u XoffLim: %-5u EofChr: %02x  EvtChr: %02x", static_cast<unsigned>(s.xonLim),
                static_cast<unsigned>(s.xoffLim), DumpChar(s.eofChar), DumpChar(s.evtChar))
             .c_str());
    QvQueueStatus status;
    QueueStatus(status, kQueueDetailAll);
    sink(Format("RX sz/ct: %5d/%-5d  TX sz/ct: %5d/%-5d  BLOCK SENT:%d  BLOCK RECEIVED:%d", status.rxSize,
                status.rxCount, status.txSize, status.txCount, (status.holdFlags & kHoldXoffSent) != 0 ? 1 : 0,
                (status.holdFlags & kHoldTxHeld) != 0 ? 1 : 0)
             .c_str());
}
