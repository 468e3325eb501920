#include "comlink/win32/win32_transmit_queue.h"

#include <algorithm>

#include "comlink/win32/win32_comm_api.h"

Win32TransmitQueue::Win32TransmitQueue(Win32CommApi& comm) : comm_(comm), event_(comm.CreateEventA()) {}

Win32TransmitQueue::~Win32TransmitQueue() {
    if (event_ != nullptr) comm_.CloseHandle(event_);
}

std::size_t Win32TransmitQueue::Write(HANDLE device, const std::uint8_t* data, std::size_t size) {
    Reap(device);
    const std::size_t before = waiting_.size();
    waiting_.insert(waiting_.end(), data, data + size);
    const std::size_t refused = Start(device);
    // What the device refused comes from the oldest bytes first.
    return refused > before ? size - std::min(size, refused - before) : size;
}

std::size_t Win32TransmitQueue::Count(HANDLE device) {
    Reap(device);
    Start(device);
    return waiting_.size() + (inFlight_ ? transfer_.bytes.size() : 0);
}

void Win32TransmitQueue::WaitForProgress(HANDLE device, DWORD waitMs) {
    Reap(device);
    if (!inFlight_ || transfer_.overlap.hEvent == nullptr) return;
    comm_.WaitForSingleObject(transfer_.overlap.hEvent, waitMs);
    Reap(device);
    Start(device);
}

void Win32TransmitQueue::DropWaiting() { waiting_.clear(); }

void Win32TransmitQueue::End(HANDLE device) {
    waiting_.clear();
    if (!inFlight_) return;
    comm_.CancelIoEx(device, &transfer_.overlap);
    DWORD sent = 0;
    comm_.GetOverlappedResult(device, &transfer_.overlap, &sent, TRUE);
    inFlight_ = false;
}

void Win32TransmitQueue::Reap(HANDLE device) {
    if (!inFlight_) return;
    DWORD sent = 0;
    if (comm_.GetOverlappedResult(device, &transfer_.overlap, &sent, FALSE)) {
        GiveBack(sent);
    } else if (comm_.GetLastError() == ERROR_IO_INCOMPLETE) {
        return;  // still on its way
    }
    // A write that ended in an error (cancelled, device gone) took its bytes
    // with it: sending them again could send some twice.
    inFlight_ = false;
}

void Win32TransmitQueue::GiveBack(DWORD sent) {
    if (sent >= transfer_.bytes.size()) return;
    waiting_.insert(waiting_.begin(), transfer_.bytes.begin() + sent, transfer_.bytes.end());
}

std::size_t Win32TransmitQueue::Start(HANDLE device) {
    if (inFlight_ || waiting_.empty()) return 0;
    transfer_.bytes.assign(waiting_.begin(), waiting_.end());
    waiting_.clear();
    transfer_.overlap = OVERLAPPED{};
    transfer_.overlap.hEvent = event_;
    const auto length = static_cast<DWORD>(transfer_.bytes.size());
    DWORD sent = 0;
    if (comm_.WriteFile(device, transfer_.bytes.data(), length, &sent, &transfer_.overlap)) {
        GiveBack(sent);
        return 0;
    }
    if (comm_.GetLastError() == ERROR_IO_PENDING) {
        inFlight_ = true;
        return 0;
    }
    return length;  // refused outright: the device has none of them
}
