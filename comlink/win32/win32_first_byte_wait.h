#pragma once
// Win32FirstByteWait: waiting for received bytes where the device cannot wait
// for a device event (Wine on a pseudo-terminal fails WaitCommEvent). The
// device's read time-outs are set once to "return the bytes there, or wait
// for the first one", and a one-byte read then ends as soon as a byte
// arrives, or is cancelled when the wait is over, where a plain sleep would
// hold every echo for up to a timer period. The byte read is held until the
// port's next read. Only Win32 sources include this header.

#include <windows.h>

#include <cstdint>

class Win32CommApi;

class Win32FirstByteWait {
public:
    explicit Win32FirstByteWait(Win32CommApi& comm) : comm_(comm) {}
    ~Win32FirstByteWait();
    Win32FirstByteWait(const Win32FirstByteWait&) = delete;
    Win32FirstByteWait& operator=(const Win32FirstByteWait&) = delete;

    // Waits at most about `waitMs` for a byte. False, at once, where the
    // device cannot wait this way (the caller then sleeps); a device whose
    // read ends without waiting three times in a row is taken as one.
    // `timeouts` are the device's present time-outs, of which only the read
    // ones are changed.
    bool Wait(HANDLE device, const COMMTIMEOUTS& timeouts, DWORD waitMs);

    bool HasByte() const { return held_; }
    // The byte held, which is then no longer held.
    std::uint8_t TakeByte() {
        held_ = false;
        return byte_;
    }
    // Drops the byte held (a receive flush, the release of the device).
    void Drop() { held_ = false; }

private:
    bool SetReadTimeouts(HANDLE device, const COMMTIMEOUTS& timeouts);
    void NoteAttempt(bool waited);

    Win32CommApi& comm_;
    HANDLE event_ = nullptr;
    OVERLAPPED overlap_{};
    std::uint8_t byte_ = 0;
    bool held_ = false;
    bool timeoutsSet_ = false;
    bool usable_ = true;
    int failures_ = 0;
};
