#pragma once
// A scripted stand-in for the Win32 communications calls: one device, whose
// answers a test sets (a refused setting, a full or pending transmit queue, a
// short or pending read, line errors, a failing close) and whose calls it
// reads back. Writes left pending take their bytes only when the test
// completes them, so a port that does not keep its bytes alive is caught.
// The port's transmit thread calls in too: every call takes the fake's lock,
// and what the test reads or scripts while that thread runs goes through
// the locked members below (Sent, CompleteWrites, PendingWriteBytes) or is
// atomic.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "comlink/win32/win32_comm_api.h"

namespace scripted {

enum class Answer { kAtOnce, kPending, kFail };

struct OpenCall {
    std::string name;
    DWORD access = 0;
    DWORD shareMode = 0;
    DWORD creation = 0;
    DWORD flags = 0;
};

class ScriptedComm final : public Win32CommApi {
public:
    const HANDLE device = reinterpret_cast<HANDLE>(0x5150);

    // Script.
    DWORD openError = 0;            // CreateFileA fails with it when non-zero
    bool refuseSettings = false;    // SetCommState fails (ERROR_INVALID_PARAMETER)
    bool closeFails = false;
    DCB deviceSettings{};           // what GetCommState reports; updated by SetCommState
    std::deque<std::uint8_t> received;
    std::deque<std::uint8_t> arriving;  // taken by a read that finds nothing received
    std::atomic<DWORD> outQueue{0};        // cbOutQue
    std::atomic<DWORD> errorsToReport{0};  // CE bits, reported once by ClearCommError
    DWORD modemLines = 0;
    Answer readAnswer = Answer::kAtOnce;
    DWORD shortReadBy = 0;          // a read reports this many bytes fewer at first
    Answer writeAnswer = Answer::kAtOnce;
    Answer eventWaitAnswer = Answer::kPending;
    DWORD eventWaitError = ERROR_OPERATION_ABORTED;

    // Observed.
    std::vector<OpenCall> opens;
    std::vector<DCB> settingsSent;
    COMMTIMEOUTS timeoutsSet{};
    std::vector<DWORD> queueSizes;  // SetupComm: in, out
    std::vector<DWORD> masksSet;
    std::vector<DWORD> escapes;
    std::vector<DWORD> purges;
    std::atomic<std::size_t> mostWritesPending{0};  // the most writes left pending at one time
    std::atomic<int> writes{0};
    std::atomic<int> statusQueries{0};  // ClearCommError
    int readCalls = 0;
    int closes = 0;
    int cancels = 0;
    int sleeps = 0;
    int eventWaits = 0;
    int timerPeriods = 0;  // raised minus ended

    // Bytes the device took, in order.
    std::vector<std::uint8_t> Sent() {
        const Lock lock(mutex_);
        return sent_;
    }
    std::string SentText() {
        const std::vector<std::uint8_t> bytes = Sent();
        return {bytes.begin(), bytes.end()};
    }
    // The bytes of the writes left pending.
    std::size_t PendingWriteBytes() {
        const Lock lock(mutex_);
        std::size_t count = 0;
        for (const PendingWrite& write : pendingWrites_) count += write.length;
        return count;
    }
    // Completes the pending writes: the device takes their bytes now.
    void CompleteWrites() {
        const Lock lock(mutex_);
        for (const PendingWrite& write : pendingWrites_) {
            const auto* bytes = static_cast<const std::uint8_t*>(write.buffer);
            sent_.insert(sent_.end(), bytes, bytes + write.length);
            write.overlapped->Internal = 0;
            write.overlapped->InternalHigh = write.length;
        }
        pendingWrites_.clear();
    }
    bool WritesPending() {
        const Lock lock(mutex_);
        return !pendingWrites_.empty();
    }

    HANDLE CreateFileA(const char* name, DWORD access, DWORD shareMode, DWORD creation, DWORD flags) override {
        const Lock lock(mutex_);
        opens.push_back({name, access, shareMode, creation, flags});
        if (openError == 0) return device;
        Fail(openError);
        return INVALID_HANDLE_VALUE;
    }
    BOOL CloseHandle(HANDLE object) override {
        const Lock lock(mutex_);
        if (object != device) return TRUE;  // the event
        ++closes;
        return closeFails ? Fail(ERROR_INVALID_HANDLE) : TRUE;
    }
    DWORD GetLastError() override { return lastError_; }

    BOOL SetupComm(HANDLE h, DWORD in, DWORD out) override {
        const Lock lock(mutex_);
        queueSizes = {in, out};
        return Ok(h);
    }
    BOOL GetCommState(HANDLE h, DCB* settings) override {
        const Lock lock(mutex_);
        if (!Ok(h)) return FALSE;
        *settings = deviceSettings;
        return TRUE;
    }
    BOOL SetCommState(HANDLE h, DCB* settings) override {
        const Lock lock(mutex_);
        if (!Ok(h)) return FALSE;
        settingsSent.push_back(*settings);
        if (refuseSettings) return Fail(ERROR_INVALID_PARAMETER);
        deviceSettings = *settings;
        return TRUE;
    }
    BOOL GetCommTimeouts(HANDLE h, COMMTIMEOUTS* timeouts) override {
        const Lock lock(mutex_);
        *timeouts = COMMTIMEOUTS{1, 2, 3, 4, 5};
        return Ok(h);
    }
    BOOL SetCommTimeouts(HANDLE h, COMMTIMEOUTS* timeouts) override {
        const Lock lock(mutex_);
        timeoutsSet = *timeouts;
        return Ok(h);
    }
    BOOL GetCommMask(HANDLE h, DWORD* mask) override {
        const Lock lock(mutex_);
        *mask = masksSet.empty() ? 0 : masksSet.back();
        return Ok(h);
    }
    BOOL SetCommMask(HANDLE h, DWORD mask) override {
        const Lock lock(mutex_);
        masksSet.push_back(mask);
        return Ok(h);
    }
    BOOL WaitCommEvent(HANDLE h, DWORD*, OVERLAPPED*) override {
        const Lock lock(mutex_);
        ++eventWaits;
        if (!Ok(h)) return FALSE;
        if (eventWaitAnswer == Answer::kFail) return Fail(eventWaitError);
        return Fail(ERROR_IO_PENDING);
    }
    BOOL ClearCommError(HANDLE h, DWORD* errors, COMSTAT* status) override {
        const Lock lock(mutex_);
        if (!Ok(h)) return FALSE;
        ++statusQueries;
        *errors = errorsToReport.exchange(0);
        *status = COMSTAT{};
        status->cbInQue = static_cast<DWORD>(received.size());
        status->cbOutQue = outQueue;
        return TRUE;
    }
    BOOL GetCommModemStatus(HANDLE h, DWORD* lines) override {
        const Lock lock(mutex_);
        *lines = modemLines;
        return Ok(h);
    }
    BOOL EscapeCommFunction(HANDLE h, DWORD function) override {
        const Lock lock(mutex_);
        escapes.push_back(function);
        return Ok(h);
    }
    BOOL SetCommBreak(HANDLE h) override { return Ok(h); }
    BOOL ClearCommBreak(HANDLE h) override { return Ok(h); }
    BOOL TransmitCommChar(HANDLE h, char byte) override {
        const Lock lock(mutex_);
        sent_.push_back(static_cast<std::uint8_t>(byte));
        return Ok(h);
    }
    BOOL PurgeComm(HANDLE h, DWORD flags) override {
        const Lock lock(mutex_);
        purges.push_back(flags);
        if ((flags & PURGE_RXCLEAR) != 0) received.clear();
        return Ok(h);
    }

    BOOL ReadFile(HANDLE h, void* buffer, DWORD length, DWORD* transferred, OVERLAPPED* overlapped) override {
        const Lock lock(mutex_);
        ++readCalls;
        if (!Ok(h)) return FALSE;
        if (readAnswer == Answer::kFail) return Fail(ERROR_GEN_FAILURE);
        auto* bytes = static_cast<std::uint8_t*>(buffer);
        if (received.empty()) received.swap(arriving);
        DWORD count = 0;
        for (; count < length && !received.empty(); ++count) {
            bytes[count] = received.front();
            received.pop_front();
        }
        overlapped->InternalHigh = count;
        *transferred = count - std::min(count, shortReadBy);
        return readAnswer == Answer::kPending ? Fail(ERROR_IO_PENDING) : TRUE;
    }
    BOOL WriteFile(HANDLE h, const void* buffer, DWORD length, DWORD* transferred, OVERLAPPED* overlapped) override {
        const Lock lock(mutex_);
        if (!Ok(h)) return FALSE;
        ++writes;
        if (writeAnswer == Answer::kFail) return Fail(ERROR_GEN_FAILURE);
        if (writeAnswer == Answer::kPending) {
            overlapped->Internal = STATUS_PENDING;
            pendingWrites_.push_back({buffer, length, overlapped});
            mostWritesPending = std::max(mostWritesPending.load(), pendingWrites_.size());
            return Fail(ERROR_IO_PENDING);
        }
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        sent_.insert(sent_.end(), bytes, bytes + length);
        *transferred = length;
        return TRUE;
    }
    BOOL GetOverlappedResult(HANDLE h, OVERLAPPED* overlapped, DWORD* transferred, BOOL) override {
        const Lock lock(mutex_);
        if (!Ok(h)) return FALSE;
        if (overlapped->Internal == STATUS_PENDING) return Fail(ERROR_IO_INCOMPLETE);
        *transferred = static_cast<DWORD>(overlapped->InternalHigh);
        return TRUE;
    }
    BOOL CancelIoEx(HANDLE h, OVERLAPPED*) override {
        const Lock lock(mutex_);
        ++cancels;
        for (const PendingWrite& write : pendingWrites_) write.overlapped->Internal = 0;
        pendingWrites_.clear();
        return Ok(h);
    }

    HANDLE CreateEventA() override { return reinterpret_cast<HANDLE>(0xE7E7); }
    // Nothing is ever signalled: the wait lasts as long as asked, unlocked.
    DWORD WaitForSingleObject(HANDLE, DWORD waitMs) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        return WAIT_TIMEOUT;
    }
    void Sleep(DWORD) override { ++sleeps; }
    void timeBeginPeriod(UINT) override { ++timerPeriods; }
    void timeEndPeriod(UINT) override { --timerPeriods; }

private:
    using Lock = std::lock_guard<std::recursive_mutex>;

    struct PendingWrite {
        const void* buffer;
        DWORD length;
        OVERLAPPED* overlapped;
    };

    BOOL Fail(DWORD error) {
        lastError_ = error;
        return FALSE;
    }
    BOOL Ok(HANDLE h) { return h == device ? TRUE : Fail(ERROR_INVALID_HANDLE); }

    // The last error belongs to the thread that made the call, as the
    // system's does.
    static inline thread_local DWORD lastError_ = 0;
    std::recursive_mutex mutex_;
    std::vector<std::uint8_t> sent_;
    std::vector<PendingWrite> pendingWrites_;
};

// True once `done` holds, false after 10 s: what the port's transmit thread
// does comes in its own time.
template <typename Done>
bool Eventually(Done done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace scripted

// A test of the Win32 port over the scripted calls: every port built in the
// test takes `comm`.
class Win32PortTest : public ::testing::Test {
protected:
    static constexpr int kQueueSize = 8192;
    static constexpr int kPortIndex = 4;

    scripted::ScriptedComm comm;
    ScopedWin32CommApi useComm{comm};
};
