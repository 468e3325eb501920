#pragma once
// A scripted stand-in for the Win32 communications calls: one device, whose
// answers a test sets (a refused setting, a full or pending transmit queue, a
// short or pending read, line errors, a failing close) and whose calls it
// reads back. Writes left pending take their bytes only when the test
// completes them, so a port that does not keep its bytes alive is caught.

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
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
    DWORD outQueue = 0;             // cbOutQue
    DWORD errorsToReport = 0;       // CE bits, reported once by ClearCommError
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
    std::vector<std::uint8_t> sent;  // bytes the device took, in order
    std::size_t mostWritesPending = 0;  // the most writes left pending at one time
    int readCalls = 0;
    int closes = 0;
    int cancels = 0;
    int sleeps = 0;
    int eventWaits = 0;
    int timerPeriods = 0;  // raised minus ended

    // Completes the pending writes: the device takes their bytes now.
    void CompleteWrites() {
        for (const PendingWrite& write : pendingWrites_) {
            const auto* bytes = static_cast<const std::uint8_t*>(write.buffer);
            sent.insert(sent.end(), bytes, bytes + write.length);
            write.overlapped->Internal = 0;
            write.overlapped->InternalHigh = write.length;
        }
        pendingWrites_.clear();
    }
    bool WritesPending() const { return !pendingWrites_.empty(); }

    HANDLE CreateFileA(const char* name, DWORD access, DWORD shareMode, DWORD creation, DWORD flags) override {
        opens.push_back({name, access, shareMode, creation, flags});
        if (openError == 0) return device;
        Fail(openError);
        return INVALID_HANDLE_VALUE;
    }
    BOOL CloseHandle(HANDLE object) override {
        if (object != device) return TRUE;  // the event
        ++closes;
        return closeFails ? Fail(ERROR_INVALID_HANDLE) : TRUE;
    }
    DWORD GetLastError() override { return lastError_; }

    BOOL SetupComm(HANDLE h, DWORD in, DWORD out) override {
        queueSizes = {in, out};
        return Ok(h);
    }
    BOOL GetCommState(HANDLE h, DCB* settings) override {
        if (!Ok(h)) return FALSE;
        *settings = deviceSettings;
        return TRUE;
    }
    BOOL SetCommState(HANDLE h, DCB* settings) override {
        if (!Ok(h)) return FALSE;
        settingsSent.push_back(*settings);
        if (refuseSettings) return Fail(ERROR_INVALID_PARAMETER);
        deviceSettings = *settings;
        return TRUE;
    }
    BOOL GetCommTimeouts(HANDLE h, COMMTIMEOUTS* timeouts) override {
        *timeouts = COMMTIMEOUTS{1, 2, 3, 4, 5};
        return Ok(h);
    }
    BOOL SetCommTimeouts(HANDLE h, COMMTIMEOUTS* timeouts) override {
        timeoutsSet = *timeouts;
        return Ok(h);
    }
    BOOL GetCommMask(HANDLE h, DWORD* mask) override {
        *mask = masksSet.empty() ? 0 : masksSet.back();
        return Ok(h);
    }
    BOOL SetCommMask(HANDLE h, DWORD mask) override {
        masksSet.push_back(mask);
        return Ok(h);
    }
    BOOL WaitCommEvent(HANDLE h, DWORD*, OVERLAPPED*) override {
        ++eventWaits;
        if (!Ok(h)) return FALSE;
        if (eventWaitAnswer == Answer::kFail) return Fail(eventWaitError);
        return Fail(ERROR_IO_PENDING);
    }
    BOOL ClearCommError(HANDLE h, DWORD* errors, COMSTAT* status) override {
        if (!Ok(h)) return FALSE;
        *errors = errorsToReport;
        errorsToReport = 0;
        *status = COMSTAT{};
        status->cbInQue = static_cast<DWORD>(received.size());
        status->cbOutQue = outQueue;
        return TRUE;
    }
    BOOL GetCommModemStatus(HANDLE h, DWORD* lines) override {
        *lines = modemLines;
        return Ok(h);
    }
    BOOL EscapeCommFunction(HANDLE h, DWORD function) override {
        escapes.push_back(function);
        return Ok(h);
    }
    BOOL SetCommBreak(HANDLE h) override { return Ok(h); }
    BOOL ClearCommBreak(HANDLE h) override { return Ok(h); }
    BOOL TransmitCommChar(HANDLE h, char byte) override {
        sent.push_back(static_cast<std::uint8_t>(byte));
        return Ok(h);
    }
    BOOL PurgeComm(HANDLE h, DWORD flags) override {
        purges.push_back(flags);
        if ((flags & PURGE_RXCLEAR) != 0) received.clear();
        return Ok(h);
    }

    BOOL ReadFile(HANDLE h, void* buffer, DWORD length, DWORD* transferred, OVERLAPPED* overlapped) override {
        ++readCalls;
        if (!Ok(h)) return FALSE;
        if (readAnswer == Answer::kFail) return Fail(ERROR_GEN_FAILURE);
        auto* bytes = static_cast<std::uint8_t*>(buffer);
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
        if (!Ok(h)) return FALSE;
        if (writeAnswer == Answer::kFail) return Fail(ERROR_GEN_FAILURE);
        if (writeAnswer == Answer::kPending) {
            overlapped->Internal = STATUS_PENDING;
            pendingWrites_.push_back({buffer, length, overlapped});
            mostWritesPending = std::max(mostWritesPending, pendingWrites_.size());
            return Fail(ERROR_IO_PENDING);
        }
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        sent.insert(sent.end(), bytes, bytes + length);
        *transferred = length;
        return TRUE;
    }
    BOOL GetOverlappedResult(HANDLE h, OVERLAPPED* overlapped, DWORD* transferred, BOOL) override {
        if (!Ok(h)) return FALSE;
        if (overlapped->Internal == STATUS_PENDING) return Fail(ERROR_IO_INCOMPLETE);
        *transferred = static_cast<DWORD>(overlapped->InternalHigh);
        return TRUE;
    }
    BOOL CancelIoEx(HANDLE h, OVERLAPPED*) override {
        ++cancels;
        for (const PendingWrite& write : pendingWrites_) write.overlapped->Internal = 0;
        pendingWrites_.clear();
        return Ok(h);
    }

    HANDLE CreateEventA() override { return reinterpret_cast<HANDLE>(0xE7E7); }
    DWORD WaitForSingleObject(HANDLE, DWORD) override { return WAIT_TIMEOUT; }
    void Sleep(DWORD) override { ++sleeps; }
    void timeBeginPeriod(UINT) override { ++timerPeriods; }
    void timeEndPeriod(UINT) override { --timerPeriods; }

private:
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

    DWORD lastError_ = 0;
    std::vector<PendingWrite> pendingWrites_;
};

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
