#include "comlink/win32/win32_first_byte_wait.h"

#include "comlink/win32/win32_comm_api.h"

namespace {

// How long past its own time-out a one-byte read may take before it is
// cancelled (a device that ignores the time-out would otherwise hold it).
constexpr DWORD kReadGraceMs = 20;
constexpr int kFailuresBeforeGivingUp = 3;

}  // namespace

Win32FirstByteWait::~Win32FirstByteWait() {
    if (event_ != nullptr) comm_.CloseHandle(event_);
}

bool Win32FirstByteWait::SetReadTimeouts(HANDLE device, const COMMTIMEOUTS& timeouts, DWORD waitMs) {
    if (timeoutsSet_ && timeoutsWaitMs_ == waitMs) return true;
    COMMTIMEOUTS firstByte = timeouts;
    firstByte.ReadIntervalTimeout = MAXDWORD;
    firstByte.ReadTotalTimeoutMultiplier = MAXDWORD;
    firstByte.ReadTotalTimeoutConstant = waitMs;
    timeoutsSet_ = comm_.SetCommTimeouts(device, &firstByte) != FALSE;
    timeoutsWaitMs_ = waitMs;
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
    if (event_ == nullptr || !SetReadTimeouts(device, timeouts, waitMs)) {
        usable_ = false;
        return false;
    }
    overlap_ = OVERLAPPED{};
    overlap_.hEvent = event_;
    DWORD count = 0;
    if (comm_.ReadFile(device, &byte_, 1, &count, &overlap_)) {
        // Done at once: a byte that was there, or no wait at all.
        held_ = count == 1;
        NoteAttempt(held_);
        return held_;
    }
    if (comm_.GetLastError() != ERROR_IO_PENDING) {
        NoteAttempt(false);
        return false;
    }
    const bool endedInTime = comm_.WaitForSingleObject(event_, waitMs + kReadGraceMs) == WAIT_OBJECT_0;
    if (!endedInTime) comm_.CancelIoEx(device, &overlap_);
    count = 0;
    held_ = comm_.GetOverlappedResult(device, &overlap_, &count, TRUE) != FALSE && count == 1;
    NoteAttempt(endedInTime || held_);
    return true;
}
