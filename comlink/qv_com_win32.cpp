#include "comlink/qv_com_win32.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "comlink/character_time.h"
#include "comlink/port_devices.h"
#include "comlink/transmit_queue.h"
#include "comlink/win32/win32_comm_api.h"
#include "comlink/win32/win32_device_name.h"
#include "comlink/win32/win32_first_byte_wait.h"
#include "comlink/win32/win32_transmit_device.h"

namespace {

// Settings applied at open: 115200 baud, 8N1, no flow control.
constexpr DWORD kOpenBaudRate = 115200;
constexpr BYTE kOpenByteSize = 8;
constexpr WORD kOpenXoffLimit = 128;
constexpr char kXonChar = 0x11;
constexpr char kXoffChar = 0x13;
constexpr int kXonLimitDivisor = 4;  // XON limit is a quarter of the receive queue

// Queue sizes are 16-bit values.
constexpr int kMaxQueueSize = 0xFFFF;

// DCB codes.
constexpr BYTE kParityCodeNone = 0;
constexpr BYTE kStopBitsOne = 0;         // ONESTOPBIT
constexpr BYTE kStopBitsOneAndHalf = 1;  // ONE5STOPBITS
constexpr BYTE kStopBitsTwo = 2;         // TWOSTOPBITS
constexpr DWORD kControlDisable = 0;
constexpr DWORD kControlEnable = 1;
constexpr DWORD kControlHandshake = 2;
constexpr int kFiveDataBits = 5;

// Line-error bits gathered in lineErrors (the system's CE bits).
constexpr std::uint32_t kErrRxOverflow = 0x01;
constexpr std::uint32_t kErrOverrun = 0x02;
constexpr std::uint32_t kErrParity = 0x04;
constexpr std::uint32_t kErrFraming = 0x08;
constexpr std::uint32_t kErrBreak = 0x10;

// Modem-line bits of ModemLine's mask and of modemStatus.
constexpr std::uint8_t kMaskDtr = 0x01;
constexpr std::uint8_t kMaskRts = 0x02;
constexpr std::uint8_t kModemCts = 0x10;
constexpr std::uint8_t kModemDsr = 0x20;
constexpr std::uint8_t kModemRi = 0x40;
constexpr std::uint8_t kModemCd = 0x80;
constexpr DWORD kModemStatusBits = 0xFF;

// Flush directions and the limit that empties a whole queue.
constexpr int kFlushReceive = 0;
constexpr int kFlushTransmit = 1;
constexpr int kFlushWholeQueue = 0;

// Waiting without keeping a core busy: Idle waits at most this long for a
// received byte. The system timer runs at kTimerPeriodMs while a device is
// open so that the short waits last about 1 ms.
constexpr DWORD kIdleWaitMs = 1;
constexpr UINT kTimerPeriodMs = 1;
// Where a device cannot wait for received bytes (a wait that fails at once or
// ends in an error, as under Wine), Idle sleeps instead after this many
// failed waits in a row.
constexpr int kEventWaitFailuresBeforeSleeping = 3;

// The legacy communication errors and their library codes.
struct LegacyErrorCode {
    std::int32_t systemValue;
    int code;
};
constexpr std::array<LegacyErrorCode, 8> kLegacyErrorCodes = {{
    {-1, LINK_ERR_PORT},          // IE_BADID
    {-2, LINK_ERR_IN_USE},        // IE_OPEN
    {-3, LINK_ERR_PORT},          // IE_NOPEN
    {-4, LINK_ERR_NO_MEMORY},     // IE_MEMORY
    {-5, LINK_ERR_TX_HANDSHAKE},  // IE_DEFAULT
    {-10, LINK_ERR_PORT},         // IE_HARDWARE
    {-11, LINK_ERR_DATA_BITS},    // IE_BYTESIZE
    {-12, LINK_ERR_BAUD},         // IE_BAUDRATE
}};

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

template <typename T>
std::unique_ptr<T> NewZeroed() {
    return std::unique_ptr<T>(new (std::nothrow) T{});
}

}  // namespace

QvComWin32::QvComWin32(int index, int rxSize, int txSize)
    : settings(NewZeroed<DCB>()),
      readOverlap(NewZeroed<OVERLAPPED>()),
      timeouts_(NewZeroed<COMMTIMEOUTS>()),
      comm_(ActiveWin32CommApi()),
      eventOverlap_(NewZeroed<OVERLAPPED>()) {
    if (!HasRecords()) {
        settings.reset();
        readOverlap.reset();
        timeouts_.reset();
        eventOverlap_.reset();
        lastError = LINK_ERR_NO_MEMORY;
        return;
    }
    settings->DCBlength = sizeof(DCB);
    lastError = LINK_OK;
    rxQueueSize = ClampQueueSize(rxSize);
    txQueueSize = ClampQueueSize(txSize);
    portIndex = index;
    Open(index);
    Signal(LINE_DTR, 1);
    Signal(LINE_RTS, 1);
}

QvComWin32::~QvComWin32() {
    // A device this object opened is released even when its index was never
    // counted (OpenDevice called on its own); the records go only after it,
    // since a pending transfer refers to them. The base gives the count back.
    if (handle != nullptr) CloseDevice();
}

bool QvComWin32::HasRecords() const {
    return settings && readOverlap && timeouts_ && eventOverlap_;
}

int QvComWin32::Open(int) {
    openFailure_.reset();
    if (!HasRecords()) {
        lastError = LINK_ERR_NO_MEMORY;
        return lastError;
    }
    const int indexCheck = CheckPortIndex();
    if (indexCheck != LINK_OK) {
        lastError = indexCheck;
        return indexCheck;
    }
    const int opened = OpenDevice();
    if (opened != LINK_OK) return opened;
    TakePortIndex();

    comm_.SetupComm(handle, static_cast<DWORD>(rxQueueSize), static_cast<DWORD>(txQueueSize));
    comm_.SetCommMask(handle, 0);
    eventMask_ = 0;

    DCB& s = *settings;
    comm_.GetCommState(handle, &s);
    s.BaudRate = kOpenBaudRate;
    s.ByteSize = kOpenByteSize;
    s.Parity = kParityCodeNone;
    s.StopBits = kStopBitsOne;
    s.fBinary = 1;
    s.fOutxCtsFlow = 0;
    s.fOutxDsrFlow = 0;
    s.fDtrControl = kControlEnable;
    s.fRtsControl = kControlDisable;
    s.fNull = 0;
    s.fAbortOnError = 0;
    s.XonChar = kXonChar;
    s.XoffChar = kXoffChar;
    s.EofChar = 0;
    s.EvtChar = 0;
    s.XonLim = static_cast<WORD>(rxQueueSize / kXonLimitDivisor);
    s.XoffLim = kOpenXoffLimit;

    // A read returns at once with what has arrived; a write has no time-out.
    comm_.GetCommTimeouts(handle, timeouts_.get());
    timeouts_->ReadIntervalTimeout = MAXDWORD;
    timeouts_->ReadTotalTimeoutMultiplier = 0;
    timeouts_->ReadTotalTimeoutConstant = 0;
    timeouts_->WriteTotalTimeoutMultiplier = 0;
    timeouts_->WriteTotalTimeoutConstant = 0;
    comm_.SetCommTimeouts(handle, timeouts_.get());

    if (!comm_.SetCommState(handle, &s)) {
        const DWORD systemError = comm_.GetLastError();
        openFailure_ = DeviceOpenFailure{portIndex, PortDevicePath(portIndex), DeviceOpenFailure::Step::kSettings,
                                         static_cast<int>(systemError)};
        lastError = MapSystemErrorValue(static_cast<std::int32_t>(systemError));
        return lastError;
    }
    PaceTransmitQueue();
    return LINK_OK;
}

int QvComWin32::OpenDevice() {
    if (handle != nullptr) return LINK_OK;  // already open
    const std::string path = PortDevicePath(portIndex);
    const std::string name = Win32DeviceName(path);
    HANDLE opened = comm_.CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED);
    if (opened == INVALID_HANDLE_VALUE || opened == nullptr) {
        const DWORD systemError = comm_.GetLastError();
        openFailure_ = DeviceOpenFailure{portIndex, path, DeviceOpenFailure::Step::kOpen, static_cast<int>(systemError)};
        lastError = MapSystemErrorValue(static_cast<std::int32_t>(systemError));
        return lastError;
    }
    handle = opened;
    transmitDevice_ = std::make_unique<Win32TransmitDevice>(comm_, handle);
    transmit_ = std::make_unique<TransmitQueue>(*transmitDevice_, static_cast<std::size_t>(txQueueSize));
    firstByte_ = std::make_unique<Win32FirstByteWait>(comm_);
    inputReported_ = false;
    eventWaitUsable_ = true;
    eventWaitFailures_ = 0;
    comm_.timeBeginPeriod(kTimerPeriodMs);
    timerPeriodRaised_ = true;
    return LINK_OK;
}

int QvComWin32::CloseDevice() {
    if (handle == nullptr) return LINK_OK;  // nothing held: nothing to release
    Flush(kFlushReceive, kFlushWholeQueue);
    Flush(kFlushTransmit, kFlushWholeQueue);
    comm_.EscapeCommFunction(handle, CLRDTR);
    comm_.EscapeCommFunction(handle, CLRRTS);
    EndPendingTransfers();
    if (eventOverlap_->hEvent != nullptr) {
        comm_.CloseHandle(eventOverlap_->hEvent);
        eventOverlap_->hEvent = nullptr;
    }
    if (timerPeriodRaised_) {
        comm_.timeEndPeriod(kTimerPeriodMs);
        timerPeriodRaised_ = false;
    }
    const BOOL closed = comm_.CloseHandle(handle);
    handle = nullptr;  // released or not, this object no longer holds it
    if (!closed) {
        lastError = LINK_ERR_CLOSE;
        return LINK_ERR_CLOSE;
    }
    return LINK_OK;
}

void QvComWin32::EndPendingTransfers() {
    transmit_.reset();  // joins its thread
    transmitDevice_.reset();  // ends the write in flight
    firstByte_.reset();       // never leaves a read pending; drops a byte it held
    if (!eventWaitPending_) return;
    comm_.CancelIoEx(handle, eventOverlap_.get());
    DWORD transferred = 0;
    comm_.GetOverlappedResult(handle, eventOverlap_.get(), &transferred, TRUE);
    eventWaitPending_ = false;
}

int QvComWin32::SendSettings() {
    if (!comm_.SetCommState(handle, settings.get())) {
        lastError = MapSystemError();
        return lastError;
    }
    PaceTransmitQueue();
    return LINK_OK;
}

void QvComWin32::PaceTransmitQueue() {
    if (!transmit_) return;
    const DCB& s = *settings;
    transmit_->SetCharTime(CharacterTime(s.BaudRate, s.ByteSize, s.Parity != kParityCodeNone, s.StopBits));
}

int QvComWin32::MapSystemError() { return MapSystemErrorValue(static_cast<std::int32_t>(comm_.GetLastError())); }

int QvComWin32::MapSystemErrorValue(std::int32_t systemError) {
    for (const LegacyErrorCode& entry : kLegacyErrorCodes) {
        if (entry.systemValue == systemError) return entry.code;
    }
    return LINK_ERR_GENERAL;
}

void QvComWin32::ReadQueues(std::uint32_t& received, std::uint16_t* holdFlags) {
    DWORD errors = 0;
    COMSTAT stat{};
    received = 0;
    if (holdFlags != nullptr) *holdFlags = 0;
    if (transmitDevice_) lineErrors |= transmitDevice_->TakeLineErrors();
    const std::uint32_t held = firstByte_ && firstByte_->HasByte() ? 1 : 0;
    received = held;
    if (!comm_.ClearCommError(handle, &errors, &stat)) return;
    lineErrors |= errors;
    received = stat.cbInQue + held;
    if (holdFlags != nullptr) {
        if (stat.fCtsHold || stat.fDsrHold || stat.fXoffHold) *holdFlags |= kHoldTxHeld;
        if (stat.fXoffSent) *holdFlags |= kHoldXoffSent;
    }
}

int QvComWin32::Idle() {
    if (handle == nullptr || !HasRecords()) {
        comm_.Sleep(kIdleWaitMs);
        return 0;
    }
    std::uint32_t received = 0;
    ReadQueues(received);
    // Input already reported and not read since does not end the wait again,
    // or a loop that leaves it unread would spin.
    if (received > 0 && !inputReported_) {
        inputReported_ = true;
        return 0;
    }
    if (WaitForReceiveEvent(kIdleWaitMs)) return 0;
    if (received == 0 && firstByte_ && firstByte_->Wait(handle, *timeouts_, kIdleWaitMs)) return 0;
    comm_.Sleep(kIdleWaitMs);
    return 0;
}

bool QvComWin32::EnsureEventRecord() {
    if (eventOverlap_->hEvent == nullptr) eventOverlap_->hEvent = comm_.CreateEventA();
    return eventOverlap_->hEvent != nullptr;
}

bool QvComWin32::WaitForReceiveEvent(int waitMs) {
    if (!eventWaitUsable_) return false;
    if ((eventMask_ & EV_RXCHAR) == 0) {
        if (eventMaskByCaller_) return false;  // the caller's events are not ours to change
        if (!comm_.SetCommMask(handle, EV_RXCHAR)) {
            eventWaitUsable_ = false;
            return false;
        }
        eventMask_ = EV_RXCHAR;
    }
    if (!EnsureEventRecord()) {
        eventWaitUsable_ = false;
        return false;
    }
    if (!eventWaitPending_) {
        eventsSeen_ = 0;
        if (comm_.WaitCommEvent(handle, &eventsSeen_, eventOverlap_.get())) {
            // An event was already there; without one nothing was waited for.
            if (eventsSeen_ != 0) NoteEventWait(true);
            return eventsSeen_ != 0;
        }
        if (comm_.GetLastError() != ERROR_IO_PENDING) {
            NoteEventWait(false);
            return false;
        }
        eventWaitPending_ = true;
    }
    if (comm_.WaitForSingleObject(eventOverlap_->hEvent, static_cast<DWORD>(waitMs)) != WAIT_OBJECT_0) {
        return true;  // nothing yet; the wait stays pending for the next Idle
    }
    eventWaitPending_ = false;
    DWORD unused = 0;
    NoteEventWait(comm_.GetOverlappedResult(handle, eventOverlap_.get(), &unused, FALSE) != FALSE);
    return true;
}

void QvComWin32::NoteEventWait(bool worked) {
    if (worked) {
        eventWaitFailures_ = 0;
    } else if (++eventWaitFailures_ >= kEventWaitFailuresBeforeSleeping) {
        eventWaitUsable_ = false;
    }
}

int QvComWin32::PollStatus() {
    std::uint32_t received = 0;
    ReadQueues(received);
    DWORD lines = 0;
    const BOOL ok = comm_.GetCommModemStatus(handle, &lines);
    modemStatus = static_cast<std::uint8_t>(lines & kModemStatusBits);
    return ok;
}

int QvComWin32::QueueStatus(QvQueueStatus& status, int detail) {
    std::uint32_t received = 0;
    std::uint16_t holdFlags = 0;
    // The transmit count alone is the port's own: a caller asking for it once
    // a byte costs no system call a byte.
    if (detail != kQueueDetailTransmitCount) ReadQueues(received, &holdFlags);
    std::size_t transmitCount = 0;
    if (transmit_) transmitCount = transmit_->AwaitRoom(kNearlyFullRoom, kRoomLineTime, kFullQueueLongestWait).count;
    status.rxTag = 1;
    status.rxCount = static_cast<std::int32_t>(received);
    status.rxSize = rxQueueSize;
    status.txTag = 1;
    status.txCount = static_cast<std::int32_t>(transmitCount);
    status.txSize = txQueueSize;
    status.holdFlags = holdFlags;
    return 0;
}

int QvComWin32::SetBufferSizes(int rxSize, int xoffLimit, int txSize) {
    if (!HasRecords()) return LINK_ERR_GENERAL;
    Flush(kFlushReceive, kFlushWholeQueue);
    Flush(kFlushTransmit, kFlushWholeQueue);
    if (rxSize != 0) rxQueueSize = ClampQueueSize(rxSize);
    if (txSize != 0) txQueueSize = ClampQueueSize(txSize);
    if (transmit_) transmit_->SetCapacity(static_cast<std::size_t>(txQueueSize));
    settings->XonLim = static_cast<WORD>(rxQueueSize / kXonLimitDivisor);
    if (xoffLimit != 0) settings->XoffLim = static_cast<WORD>(ClampQueueSize(xoffLimit));
    comm_.SetupComm(handle, static_cast<DWORD>(rxQueueSize), static_cast<DWORD>(txQueueSize));
    Flush(kFlushReceive, kFlushWholeQueue);
    Flush(kFlushTransmit, kFlushWholeQueue);
    return SendSettings();
}

int QvComWin32::SetHandshake(int rxMode, int txMode) {
    if (!HasRecords()) return LINK_ERR_GENERAL;
    DCB& s = *settings;
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
    const int sent = SendSettings();
    if (sent != LINK_OK) return sent;
    rxHandshakeMode = rxMode;
    txHandshakeMode = txMode;
    return LINK_OK;
}

int QvComWin32::GetHandshake(int& rxMode, int& txMode) {
    rxMode = rxHandshakeMode;
    txMode = txHandshakeMode;
    return 0;
}

int QvComWin32::Break(int state) {
    if (state < 0) return breakState;
    const BOOL done = state == 1 ? comm_.SetCommBreak(handle) : comm_.ClearCommBreak(handle);
    if (!done) {
        lastError = LINK_ERR_BREAK;
        return lastError;
    }
    breakState = static_cast<std::uint16_t>(state);
    return breakState;
}

int QvComWin32::ModemLine(std::uint8_t mask) {
    if (mask == kMaskDtr) return dtrState;
    if (mask == kMaskRts) return rtsState;
    DWORD lines = 0;
    comm_.GetCommModemStatus(handle, &lines);
    return (lines & mask) != 0 ? 1 : 0;
}

int QvComWin32::Signal(int lineId, int value) {
    if (lineId == LINE_BREAK) return Break(value);
    if ((lineId == LINE_DTR || lineId == LINE_RTS) && value != -1) {
        const bool raise = value != 0;
        const std::int32_t state = raise ? 1 : 0;
        const DWORD control = raise ? kControlEnable : kControlDisable;
        if (lineId == LINE_DTR) {
            dtrState = state;
            if (settings) settings->fDtrControl = control;
            comm_.EscapeCommFunction(handle, raise ? SETDTR : CLRDTR);
        } else {
            rtsState = state;
            if (settings) settings->fRtsControl = control;
            comm_.EscapeCommFunction(handle, raise ? SETRTS : CLRRTS);
        }
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

int QvComWin32::SetFormat(std::int32_t baud, char parity, int dataBits, int stopBits) {
    if (!HasRecords()) return LINK_ERR_GENERAL;
    DCB& s = *settings;
    const int parityCode = ParityCode(parity);
    if (parityCode < 0) {
        lastError = LINK_ERR_PARITY;
        return lastError;
    }
    s.Parity = static_cast<BYTE>(parityCode);
    s.BaudRate = static_cast<DWORD>(baud);  // the device judges the rate
    if (!ValidDataBits(dataBits)) {
        lastError = LINK_ERR_DATA_BITS;
        return lastError;
    }
    s.ByteSize = static_cast<BYTE>(dataBits);
    if (!ValidStopBits(stopBits)) {
        lastError = LINK_ERR_STOP_BITS;
        return lastError;
    }
    s.StopBits = stopBits == 1 ? kStopBitsOne : kStopBitsTwo;
    if (dataBits == kFiveDataBits) s.StopBits = kStopBitsOneAndHalf;
    return SendSettings();
}

void QvComWin32::GetFormat(std::int32_t& baud, char& parity, int& dataBits, int& stopBits) {
    if (!HasRecords()) {
        baud = 0;
        parity = '?';
        dataBits = 0;
        stopBits = 0;
        return;
    }
    const DCB& s = *settings;
    baud = static_cast<std::int32_t>(s.BaudRate);
    dataBits = s.ByteSize;
    stopBits = s.StopBits == kStopBitsTwo ? 2 : 1;
    parity = s.Parity < kParityLetters.size() ? kParityLetters[s.Parity] : '?';
}

void QvComWin32::ReadLineStatus(QvLineRecord& record) {
    PollStatus();
    for (const int lineId : kLineRecordOrder) record.SetField(lineId, Signal(lineId, -1));
    lineErrors = 0;
    modemStatus = 0;
}

int QvComWin32::WriteByte(std::uint8_t byte) { return Write(&byte, 1) == 1 ? LINK_OK : lastError; }

int QvComWin32::WriteString(const char* text) {
    if (text == nullptr) return 0;
    return Write(text, static_cast<int>(std::strlen(text)));
}

int QvComWin32::Write(const void* buffer, int length) {
    if (buffer == nullptr || length <= 0) return 0;
    std::size_t accepted = 0;
    if (transmit_) {
        accepted = transmit_->Write(static_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(length));
    }
    const int written = static_cast<int>(accepted);
    if (written < length) lastError = LINK_ERR_WRITE_SHORT;
    return written;
}

int QvComWin32::TransmitImmediate(std::uint8_t byte) {
    return comm_.TransmitCommChar(handle, static_cast<char>(byte)) ? LINK_OK : LINK_ERR_GENERAL;
}

int QvComWin32::ReadByte() {
    std::uint8_t byte = 0;
    return Read(&byte, 1) == 1 ? byte : LINK_ERR_NO_DATA;
}

int QvComWin32::Read(void* buffer, int length) {
    inputReported_ = false;
    if (buffer == nullptr || length <= 0 || !HasRecords()) return 0;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    int delivered = 0;
    if (firstByte_ && firstByte_->HasByte()) {
        bytes[delivered++] = firstByte_->TakeByte();
        if (delivered == length) return delivered;
    }
    std::uint32_t received = 0;
    ReadQueues(received);
    if (received == 0) return delivered;
    const DWORD wanted = std::min<DWORD>(received, static_cast<DWORD>(length - delivered));
    DWORD count = 0;
    *readOverlap = OVERLAPPED{};
    bool goingOn = comm_.ReadFile(handle, bytes + delivered, wanted, &count, readOverlap.get()) != FALSE;
    if (!goingOn) {
        goingOn = comm_.GetLastError() == ERROR_IO_PENDING;
        if (!goingOn) ReadQueues(received);
    }
    // A read that failed outright has nothing to wait for.
    if (goingOn && count < wanted) {
        DWORD finalCount = 0;
        if (comm_.GetOverlappedResult(handle, readOverlap.get(), &finalCount, TRUE)) count = finalCount;
    }
    return delivered + static_cast<int>(count);
}

int QvComWin32::Flush(int direction, int limit) {
    if (direction != kFlushReceive) {
        comm_.PurgeComm(handle, PURGE_TXCLEAR);
        if (transmit_) transmit_->Discard();
        return LINK_OK;
    }
    if (limit <= kFlushWholeQueue) {
        comm_.PurgeComm(handle, PURGE_RXCLEAR);
        if (firstByte_) firstByte_->Drop();
        inputReported_ = false;
        return LINK_OK;
    }
    for (int dropped = 0; dropped < limit; ++dropped) {
        if (ReadByte() == LINK_ERR_NO_DATA) return LINK_OK;
    }
    lastError = LINK_ERR_GENERAL;  // the data kept coming
    return lastError;
}

void QvComWin32::Dump(const QvDumpSink& sink) {
    if (!HasRecords()) return;
    const DCB& s = *settings;
    sink(Format("Port type: MS Win32  BaudRate: %-6u  ByteSize: %1d  Parity: %1d",
                static_cast<unsigned>(s.BaudRate), s.ByteSize, s.Parity).c_str());
    sink(Format("StopBits: %1d  fBinary: %1d  fRtsControl: %1d", s.StopBits, static_cast<int>(s.fBinary),
                static_cast<int>(s.fRtsControl))
             .c_str());
    sink(Format("Parity: %1d  OutCtsFlow: %1d  OutDsrFlow: %1d  DtrControl: %1d  OutX: %1d  InX: %1d",
                static_cast<int>(s.fParity), static_cast<int>(s.fOutxCtsFlow), static_cast<int>(s.fOutxDsrFlow),
                static_cast<int>(s.fDtrControl), static_cast<int>(s.fOutX), static_cast<int>(s.fInX))
             .c_str());
    sink(Format("Null: %1d  XonChar: %02x  XoffChar: %02x", static_cast<int>(s.fNull), DumpChar(s.XonChar),
                DumpChar(s.XoffChar))
             .c_str());
    sink(Format("XonLim: %-5u XoffLim: %-5u EofChr: %02x  EvtChr: %02x", static_cast<unsigned>(s.XonLim),
                static_cast<unsigned>(s.XoffLim), DumpChar(s.EofChar), DumpChar(s.EvtChar))
             .c_str());
    QvQueueStatus status;
    QueueStatus(status, kQueueDetailAll);
    sink(Format("RX sz/ct: %5d/%-5d  TX sz/ct: %5d/%-5d  BLOCK SENT:%d  BLOCK RECEIVED:%d", status.rxSize,
                status.rxCount, status.txSize, status.txCount, (status.holdFlags & kHoldXoffSent) != 0 ? 1 : 0,
                (status.holdFlags & kHoldTxHeld) != 0 ? 1 : 0)
             .c_str());
}

int QvComWin32::SetEventChar(char eventChar) {
    if (!HasRecords()) return 0;
    comm_.GetCommState(handle, settings.get());
    settings->EvtChar = eventChar;
    return comm_.SetCommState(handle, settings.get());
}

int QvComWin32::GetEventMask(std::uint32_t& mask) {
    DWORD deviceMask = 0;
    if (!comm_.GetCommMask(handle, &deviceMask)) return MapSystemError();
    mask = deviceMask;
    return 0;
}

int QvComWin32::SetEventMask(std::uint32_t mask) {
    if (!comm_.SetCommMask(handle, mask)) return MapSystemError();
    eventMask_ = mask;
    eventMaskByCaller_ = true;
    return 0;
}

int QvComWin32::WaitEvent(std::uint32_t& mask) {
    // The device is open for overlapped I/O, so the wait has its own record;
    // a wait that Idle left pending is the one waited for.
    if (!HasRecords() || !EnsureEventRecord()) return LINK_ERR_GENERAL;
    if (!eventWaitPending_) {
        eventsSeen_ = 0;
        if (comm_.WaitCommEvent(handle, &eventsSeen_, eventOverlap_.get())) {
            mask = eventsSeen_;
            return 0;
        }
        if (comm_.GetLastError() != ERROR_IO_PENDING) return MapSystemError();
        eventWaitPending_ = true;
    }
    DWORD unused = 0;
    const BOOL done = comm_.GetOverlappedResult(handle, eventOverlap_.get(), &unused, TRUE);
    eventWaitPending_ = false;
    if (!done) return MapSystemError();
    mask = eventsSeen_;
    return 0;
}
