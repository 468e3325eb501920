#pragma once
// The Win32 calls of the Win32 port type, behind an interface of our own so
// that tests can script what the system answers (a full transmit queue, a
// refused setting, a pending write, a short read, a failing close, line
// errors). Each operation has the signature and meaning of the Win32 function
// of the same name; the default implementation calls that function.
//
// A port takes the interface that is active when it is built and keeps it for
// its whole life. Only Win32 sources include this header.

#include <windows.h>

class Win32CommApi {
public:
    Win32CommApi() = default;
    Win32CommApi(const Win32CommApi&) = delete;
    Win32CommApi& operator=(const Win32CommApi&) = delete;
    virtual ~Win32CommApi() = default;

    virtual HANDLE CreateFileA(const char* name, DWORD access, DWORD shareMode, DWORD creation,
                               DWORD flags) = 0;
    virtual BOOL CloseHandle(HANDLE object) = 0;
    virtual DWORD GetLastError() = 0;

    virtual BOOL SetupComm(HANDLE device, DWORD inQueue, DWORD outQueue) = 0;
    virtual BOOL GetCommState(HANDLE device, DCB* settings) = 0;
    virtual BOOL SetCommState(HANDLE device, DCB* settings) = 0;
    virtual BOOL GetCommTimeouts(HANDLE device, COMMTIMEOUTS* timeouts) = 0;
    virtual BOOL SetCommTimeouts(HANDLE device, COMMTIMEOUTS* timeouts) = 0;
    virtual BOOL GetCommMask(HANDLE device, DWORD* mask) = 0;
    virtual BOOL SetCommMask(HANDLE device, DWORD mask) = 0;
    virtual BOOL WaitCommEvent(HANDLE device, DWORD* events, OVERLAPPED* overlapped) = 0;
    virtual BOOL ClearCommError(HANDLE device, DWORD* errors, COMSTAT* status) = 0;
    virtual BOOL GetCommModemStatus(HANDLE device, DWORD* modemStatus) = 0;
    virtual BOOL EscapeCommFunction(HANDLE device, DWORD function) = 0;
    virtual BOOL SetCommBreak(HANDLE device) = 0;
    virtual BOOL ClearCommBreak(HANDLE device) = 0;
    virtual BOOL TransmitCommChar(HANDLE device, char byte) = 0;
    virtual BOOL PurgeComm(HANDLE device, DWORD flags) = 0;

    virtual BOOL ReadFile(HANDLE device, void* buffer, DWORD length, DWORD* transferred,
                          OVERLAPPED* overlapped) = 0;
    virtual BOOL WriteFile(HANDLE device, const void* buffer, DWORD length, DWORD* transferred,
                           OVERLAPPED* overlapped) = 0;
    virtual BOOL GetOverlappedResult(HANDLE device, OVERLAPPED* overlapped, DWORD* transferred,
                                     BOOL wait) = 0;
    virtual BOOL CancelIoEx(HANDLE device, OVERLAPPED* overlapped) = 0;

    // A manual-reset event, not signalled, for the port's device-event wait.
    virtual HANDLE CreateEventA() = 0;
    virtual DWORD WaitForSingleObject(HANDLE object, DWORD waitMs) = 0;
    virtual void Sleep(DWORD ms) = 0;
    // The system timer's resolution while a port is open (timeBeginPeriod and
    // timeEndPeriod), so that a wait of 1 ms lasts about 1 ms.
    virtual void timeBeginPeriod(UINT ms) = 0;
    virtual void timeEndPeriod(UINT ms) = 0;
};

// The interface ports built now take: the real calls unless a
// ScopedWin32CommApi is in force.
Win32CommApi& ActiveWin32CommApi();

// Makes `api` the active interface for its own lifetime (tests); the one
// active before comes back at its end. Ports built meanwhile keep `api`, so it
// must outlive them.
class ScopedWin32CommApi {
public:
    explicit ScopedWin32CommApi(Win32CommApi& api);
    ~ScopedWin32CommApi();
    ScopedWin32CommApi(const ScopedWin32CommApi&) = delete;
    ScopedWin32CommApi& operator=(const ScopedWin32CommApi&) = delete;

private:
    Win32CommApi* previous_;
};
