#include "comlink/win32/win32_transmit_device.h"

#include "comlink/win32/win32_comm_api.h"

Win32TransmitDevice::Win32TransmitDevice(Win32CommApi& comm, HANDLE device)
    : comm_(comm), device_(device), event_(comm.CreateEventA()) {}

Win32TransmitDevice::~Win32TransmitDevice() {
    if (inFlight_) {
        comm_.CancelIoEx(device_, &overlap_);
        DWORD sent = 0;
        comm_.GetOverlappedResult(device_, &overlap_, &sent, TRUE);
    }
    if (event_ != nullptr) comm_.CloseHandle(event_);
}

bool Win32TransmitDevice::Reap() {
    if (!inFlight_) return true;
    DWORD sent = 0;
    if (!comm_.GetOverlappedResult(device_, &overlap_, &sent, FALSE)) {
        if (comm_.GetLastError() == ERROR_IO_INCOMPLETE) return false;  // still on its way
        failed_ = true;  // cancelled, or the device went away
    }
    // Without write time-outs a write ends only when all its bytes are out;
    // a short one has lost the rest, and sending them again could send some
    // twice.
    inFlight_ = false;
    return true;
}

long Win32TransmitDevice::Send(const std::uint8_t* data, std::size_t size) {
    if (!Reap()) return 0;
    if (failed_ || event_ == nullptr) return -1;
    if (size == 0) return 0;
    bytes_.assign(data, data + size);
    overlap_ = OVERLAPPED{};
    overlap_.hEvent = event_;
    const auto length = static_cast<DWORD>(bytes_.size());
    DWORD sent = 0;
    if (comm_.WriteFile(device_, bytes_.data(), length, &sent, &overlap_)) return static_cast<long>(sent);
    if (comm_.GetLastError() != ERROR_IO_PENDING) {
        failed_ = true;
        return -1;
    }
    inFlight_ = true;
    return static_cast<long>(length);
}

long Win32TransmitDevice::Held() {
    DWORD errors = 0;
    COMSTAT status{};
    if (!comm_.ClearCommError(device_, &errors, &status)) return -1;
    lineErrors_.fetch_or(errors);
    const bool unfinished = !Reap();
    if (status.cbOutQue == 0 && unfinished) return static_cast<long>(bytes_.size());
    return static_cast<long>(status.cbOutQue);
}

void Win32TransmitDevice::WaitForRoom(int waitMs) {
    if (event_ != nullptr) comm_.WaitForSingleObject(event_, static_cast<DWORD>(waitMs));
}
