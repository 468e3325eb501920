#include "comlink/win32/win32_first_byte_wait.h"

#include "comlink/win32/win32_comm_api.h"

namespace {

// The read's own time-out. Wine does not end such a read when it passes (its
// server adds the multiplier, MAXDWORD, times the count), so every wait is
// also bounded here, by the wait on the read's event and a cancel; on
// Windows a wait longer than this ends with no byte and is simply waited again.
constexpr DWORD kDeviceReadWaitMs = 100;
constexpr int kFailuresBeforeGivingUp = 3;

}  // namespace

Win32FirstByteWait::~Win32FirstByteWait() {
    if (event_ != nullptr) comm_.CloseHandle(event_);
}

bool Win32FirstByteWait::SetReadTimeouts(HANDLE device, const COMMTIMEOUTS& timeouts) {
    if (timeoutsSet_) return true;
    COMMTIMEOUTS firstByte = timeouts;
    firstByte.ReadIntervalTimeout = MAXDWORD;
    firstByte.ReadTotalTimeoutMultiplier = MAXDWORD;
    firstByte.ReadTotalTimeoutConstant = kDeviceReadWaitMs;
    timeoutsSet_ = comm_.SetCommTimeouts(device, &firstByte) != FALSE;
    return timeoutsSet_;
}

void Win32FirstByteWait::NoteAttempt(bool waited) {
    if (waited) {
        failures_ = 0;
    } else if (++failures_ >= kFailuresBeforeGivingUp) {
        usable_ = false;
    }
}

bool Win32FirstByteWait::Wait(HANDLE device, const COMMTIMEOUTS& timeouts, DWORD waitMs) {
    if (!usable_ || held_) return false;
    if (event_ == nullptr) event_ = comm_.CreateEventA();
    if (event_ == nullptr || !SetReadTimeouts(device, timeouts)) {
        usable_ = false;
        return false;
    }
    overlap_ = OVERLAPPED{};
    overlap_.hEvent = event_;
    DWORD count = 0;
    if (comm_.ReadFile(device, &byte_, 1, &count, &overlap_)) {
        // Done at once: a byte that was there, or a device that does not wait.
        held_ = count == 1;
        NoteAttempt(held_);
        return held_;
    }
    if (comm_.GetLastError() != ERROR_IO_PENDING) {
        NoteAttempt(false);
        return false;
    }
    // The read is pending: the device waits. Whether a byte ended it, its own
    // time-out did, or the cancel does once the wait is over, it has waited.
    if (comm_.WaitForSingleObject(event_, waitMs) != WAIT_OBJECT_0) comm_.CancelIoEx(device, &overlap_);
    count = 0;
    held_ = comm_.GetOverlappedResult(device, &overlap_, &count, TRUE) != FALSE && count == 1;
    NoteAttempt(true);
    return true;
}
