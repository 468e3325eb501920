#include "comlink/qv_com_win32.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <new>
#include <string>

#include "comlink/port_devices.h"
#include "comlink/transmit_queue.h"
#include "comlink/win32/win32_comm_api.h"
#include "comlink/win32/win32_dcb.h"
#include "comlink/win32/win32_device_name.h"
#include "comlink/win32/win32_first_byte_wait.h"
#include "comlink/win32/win32_transmit_device.h"

struct QvComWin32::Records {
    DCB dcb{};                // the device's control block, as last read or sent
    OVERLAPPED readOverlap{};
    COMMTIMEOUTS timeouts{};  // the device's time-outs as set at open
    OVERLAPPED eventOverlap{};  // with its own event, for WaitCommEvent
};

namespace {

constexpr DWORD kModemStatusBits = 0xFF;

// The system timer runs at kTimerPeriodMs while a device is open so that the
// short waits for input last what they ask.
constexpr UINT kTimerPeriodMs = 1;
// Where a device cannot wait for received bytes (a wait that fails at once or
// ends in an error, as under Wine), the wait for input sleeps instead after
// this many failed waits in a row.
constexpr int kEventWaitFailuresBeforeSleeping = 3;
// Longest sleep of a wait for input that can wait neither for an event nor
// for a byte: input that arrives meanwhile is seen within this time.
constexpr DWORD kInputSleepSliceMs = 1;

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

}  // namespace

QvComWin32::QvComWin32(int index, int rxSize, int txSize)
    : QvComPort("MS Win32"), records_(new (std::nothrow) Records{}), comm_(ActiveWin32CommApi()) {
    if (!records_) {
        lastError = LINK_ERR_NO_MEMORY;
        return;
    }
    records_->dcb.DCBlength = sizeof(DCB);
    Start(index, rxSize, txSize);
}

QvComWin32::~QvComWin32() {
    // A device this object opened is released even when its index was never
    // counted (OpenDevice called on its own); the records go only after it,
    // since a pending transfer refers to them. The base gives the count back.
    if (handle != nullptr) CloseDevice();
}

int QvComWin32::SetUpDevice() {
    comm_.SetupComm(handle, static_cast<DWORD>(rxQueueSize), static_cast<DWORD>(txQueueSize));
    comm_.SetCommMask(handle, 0);
    eventMask_ = 0;

    DCB& dcb = records_->dcb;
    comm_.GetCommState(handle, &dcb);
    settings = SettingsFromDcb(dcb);
    SetOpenSettings();
    CopyToDcb(settings, dcb);

    // A read returns at once with what has arrived; a write has no time-out.
    COMMTIMEOUTS& timeouts = records_->timeouts;
    comm_.GetCommTimeouts(handle, &timeouts);
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    comm_.SetCommTimeouts(handle, &timeouts);

    if (!comm_.SetCommState(handle, &dcb)) {
        const DWORD systemError = comm_.GetLastError();
        openFailure = DeviceOpenFailure{portIndex, PortDevicePath(portIndex), DeviceOpenFailure::Step::kSettings,
                                        static_cast<int>(systemError)};
        lastError = MapSystemErrorValue(static_cast<std::int32_t>(systemError));
        return lastError;
    }
    PaceTransmitQueue();
    return LINK_OK;
}

int QvComWin32::OpenDevice() {
    if (handle != nullptr) return LINK_OK;  // already open
    if (!records_) {
        lastError = LINK_ERR_NO_MEMORY;
        return lastError;
    }
    const std::string path = PortDevicePath(portIndex);
    const std::string name = Win32DeviceName(path);
    HANDLE opened = comm_.CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED);
    if (opened == INVALID_HANDLE_VALUE || opened == nullptr) {
        const DWORD systemError = comm_.GetLastError();
        openFailure = DeviceOpenFailure{portIndex, path, DeviceOpenFailure::Step::kOpen, static_cast<int>(systemError)};
        lastError = MapSystemErrorValue(static_cast<std::int32_t>(systemError));
        return lastError;
    }
    handle = opened;
    auto device = std::make_unique<Win32TransmitDevice>(comm_, handle);
    win32Transmit_ = device.get();
    SetTransmitDevice(std::move(device));
    firstByte_ = std::make_unique<Win32FirstByteWait>(comm_);
    inputReported = false;
    eventWaitUsable_ = true;
    eventWaitFailures_ = 0;
    comm_.timeBeginPeriod(kTimerPeriodMs);
    timerPeriodRaised_ = true;
    return LINK_OK;
}

int QvComWin32::CloseDevice() {
    if (handle == nullptr) return LINK_OK;  // nothing held: nothing to release
    FlushBothQueues();
    comm_.EscapeCommFunction(handle, CLRDTR);
    comm_.EscapeCommFunction(handle, CLRRTS);
    EndPendingTransfers();
    OVERLAPPED& events = records_->eventOverlap;
    if (events.hEvent != nullptr) {
        comm_.CloseHandle(events.hEvent);
        events.hEvent = nullptr;
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
    SetTransmitDevice(nullptr);  // joins the queue's thread, ends the write in flight
    win32Transmit_ = nullptr;
    firstByte_.reset();          // never leaves a read pending; drops a byte it held
    if (!eventWaitPending_) return;
    comm_.CancelIoEx(handle, &records_->eventOverlap);
    DWORD transferred = 0;
    comm_.GetOverlappedResult(handle, &records_->eventOverlap, &transferred, TRUE);
    eventWaitPending_ = false;
}

int QvComWin32::ApplySettings() {
    if (!records_) return LINK_ERR_GENERAL;
    CopyToDcb(settings, records_->dcb);
    if (!comm_.SetCommState(handle, &records_->dcb)) {
        lastError = MapSystemError();
        return lastError;
    }
    PaceTransmitQueue();
    return LINK_OK;
}

bool QvComWin32::SetDeviceBreak(bool on) {
    return (on ? comm_.SetCommBreak(handle) : comm_.ClearCommBreak(handle)) != FALSE;
}

void QvComWin32::SetDeviceLine(int lineId, bool raise) {
    const DWORD function = lineId == LINE_DTR ? (raise ? SETDTR : CLRDTR) : (raise ? SETRTS : CLRRTS);
    comm_.EscapeCommFunction(handle, function);
}

std::uint8_t QvComWin32::ReadModemLines() {
    DWORD lines = 0;
    comm_.GetCommModemStatus(handle, &lines);
    return static_cast<std::uint8_t>(lines & kModemStatusBits);
}

void QvComWin32::PurgeDevice(int direction) {
    if (direction != kFlushReceive) {
        comm_.PurgeComm(handle, PURGE_TXCLEAR);
        return;
    }
    comm_.PurgeComm(handle, PURGE_RXCLEAR);
    if (firstByte_) firstByte_->Drop();
}

void QvComWin32::ReadDeviceQueues(int detail, std::int32_t& received, std::uint16_t& holdFlags) {
    // The transmit count alone is the port's own: a caller asking for it once
    // a byte costs no system call a byte.
    if (detail == kQueueDetailTransmitCount) return;
    std::uint32_t count = 0;
    ReadQueues(count, &holdFlags);
    received = static_cast<std::int32_t>(count);
}

void QvComWin32::ResizeDeviceQueues() {
    comm_.SetupComm(handle, static_cast<DWORD>(rxQueueSize), static_cast<DWORD>(txQueueSize));
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
    if (holdFlags != nullptr) *holdFlags = 0;
    if (win32Transmit_) lineErrors |= win32Transmit_->TakeLineErrors();
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

int QvComWin32::AwaitInput(int waitMs) {
    const auto wait = static_cast<DWORD>(std::max(waitMs, 1));
    if (handle == nullptr || !records_) {
        comm_.Sleep(wait);
        return 0;
    }
    std::uint32_t received = 0;
    ReadQueues(received);
    // Input already reported and not read since does not end the wait again,
    // or a loop that leaves it unread would spin.
    if (received > 0 && !inputReported) {
        inputReported = true;
        return 0;
    }
    if (WaitForReceiveEvent(static_cast<int>(wait))) return 0;
    if (received == 0 && firstByte_ && firstByte_->Wait(handle, records_->timeouts, wait)) return 0;
    comm_.Sleep(std::min(wait, kInputSleepSliceMs));
    return 0;
}

bool QvComWin32::EnsureEventRecord() {
    if (records_->eventOverlap.hEvent == nullptr) records_->eventOverlap.hEvent = comm_.CreateEventA();
    return records_->eventOverlap.hEvent != nullptr;
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
        if (comm_.WaitCommEvent(handle, &eventsSeen_, &records_->eventOverlap)) {
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
    if (comm_.WaitForSingleObject(records_->eventOverlap.hEvent, static_cast<DWORD>(waitMs)) != WAIT_OBJECT_0) {
        return true;  // nothing yet; the wait stays pending for the next one
    }
    eventWaitPending_ = false;
    DWORD unused = 0;
    NoteEventWait(comm_.GetOverlappedResult(handle, &records_->eventOverlap, &unused, FALSE) != FALSE);
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

int QvComWin32::TransmitImmediate(std::uint8_t byte) {
    return comm_.TransmitCommChar(handle, static_cast<char>(byte)) ? LINK_OK : LINK_ERR_GENERAL;
}

int QvComWin32::Read(void* buffer, int length) {
    inputReported = false;
    if (buffer == nullptr || length <= 0 || !records_) return 0;
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
    records_->readOverlap = OVERLAPPED{};
    bool goingOn = comm_.ReadFile(handle, bytes + delivered, wanted, &count, &records_->readOverlap) != FALSE;
    if (!goingOn) {
        goingOn = comm_.GetLastError() == ERROR_IO_PENDING;
        if (!goingOn) ReadQueues(received);
    }
    // A read that failed outright has nothing to wait for.
    if (goingOn && count < wanted) {
        DWORD finalCount = 0;
        if (comm_.GetOverlappedResult(handle, &records_->readOverlap, &finalCount, TRUE)) count = finalCount;
    }
    return delivered + static_cast<int>(count);
}

int QvComWin32::SetEventChar(char eventChar) {
    if (!records_) return 0;
    comm_.GetCommState(handle, &records_->dcb);
    settings = SettingsFromDcb(records_->dcb);  // the device's record replaces the one in memory
    settings.evtChar = eventChar;
    CopyToDcb(settings, records_->dcb);
    return comm_.SetCommState(handle, &records_->dcb);
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
    // a wait for input left pending is the one waited for.
    if (!records_ || !EnsureEventRecord()) return LINK_ERR_GENERAL;
    if (!eventWaitPending_) {
        eventsSeen_ = 0;
        if (comm_.WaitCommEvent(handle, &eventsSeen_, &records_->eventOverlap)) {
            mask = eventsSeen_;
            return 0;
        }
        if (comm_.GetLastError() != ERROR_IO_PENDING) return MapSystemError();
        eventWaitPending_ = true;
    }
    DWORD unused = 0;
    const BOOL done = comm_.GetOverlappedResult(handle, &records_->eventOverlap, &unused, TRUE);
    eventWaitPending_ = false;
    if (!done) return MapSystemError();
    mask = eventsSeen_;
    return 0;
}
