#include "comlink/win32/win32_transmit_queue.h"

#include <algorithm>
#include <new>

#include "comlink/win32/win32_comm_api.h"

// The write in flight. The system reads its bytes and writes its record until
// it finishes, so both live here until then, whatever the caller does.
struct Win32TransmitQueue::Transfer {
    OVERLAPPED overlap{};
    std::vector<std::uint8_t> bytes;
};

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
    return waiting_.size() + (inFlight_ ? inFlight_->bytes.size() : 0);
}

void Win32TransmitQueue::WaitForProgress(HANDLE device, DWORD waitMs) {
    Reap(device);
    if (!inFlight_ || inFlight_->overlap.hEvent == nullptr) return;
    comm_.WaitForSingleObject(inFlight_->overlap.hEvent, waitMs);
    Reap(device);
    Start(device);
}

void Win32TransmitQueue::DropWaiting() { waiting_.clear(); }

void Win32TransmitQueue::End(HANDLE device) {
    waiting_.clear();
    if (!inFlight_) return;
    comm_.CancelIoEx(device, &inFlight_->overlap);
    DWORD sent = 0;
    comm_.GetOverlappedResult(device, &inFlight_->overlap, &sent, TRUE);
    inFlight_.reset();
}

void Win32TransmitQueue::Reap(HANDLE device) {
    if (!inFlight_) return;
    DWORD sent = 0;
    if (comm_.GetOverlappedResult(device, &inFlight_->overlap, &sent, FALSE)) {
        GiveBack(*inFlight_, sent);
    } else if (comm_.GetLastError() == ERROR_IO_INCOMPLETE) {
        return;  // still on its way
    }
    // A write that ended in an error (cancelled, device gone) took its bytes
    // with it: sending them again could send some twice.
    inFlight_.reset();
}

void Win32TransmitQueue::GiveBack(const Transfer& transfer, DWORD sent) {
    if (sent >= transfer.bytes.size()) return;
    waiting_.insert(waiting_.begin(), transfer.bytes.begin() + sent, transfer.bytes.end());
}

std::size_t Win32TransmitQueue::Start(HANDLE device) {
    if (inFlight_ || waiting_.empty()) return 0;
    auto transfer = std::unique_ptr<Transfer>(new (std::nothrow) Transfer);
    if (!transfer) return 0;  // no memory now: the bytes wait for a later call
    transfer->bytes.assign(waiting_.begin(), waiting_.end());
    waiting_.clear();
    transfer->overlap.hEvent = event_;
    const auto length = static_cast<DWORD>(transfer->bytes.size());
    DWORD sent = 0;
    if (comm_.WriteFile(device, transfer->bytes.data(), length, &sent, &transfer->overlap)) {
        GiveBack(*transfer, sent);
        return 0;
    }
    if (comm_.GetLastError() == ERROR_IO_PENDING) {
        inFlight_ = std::move(transfer);
        return 0;
    }
    return length;  // refused outright: the device has none of them
}
