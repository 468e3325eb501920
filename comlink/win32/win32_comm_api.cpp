#include "comlink/win32/win32_comm_api.h"

#include <mmsystem.h>

namespace {

// Every call goes straight to the system.
class SystemCommApi final : public Win32CommApi {
public:
    HANDLE CreateFileA(const char* name, DWORD access, DWORD shareMode, DWORD creation,
                       DWORD flags) override {
        return ::CreateFileA(name, access, shareMode, nullptr, creation, flags, nullptr);
    }
    BOOL CloseHandle(HANDLE object) override { return ::CloseHandle(object); }
    DWORD GetLastError() override { return ::GetLastError(); }

    BOOL SetupComm(HANDLE device, DWORD inQueue, DWORD outQueue) override {
        return ::SetupComm(device, inQueue, outQueue);
    }
    BOOL GetCommState(HANDLE device, DCB* settings) override { return ::GetCommState(device, settings); }
    BOOL SetCommState(HANDLE device, DCB* settings) override { return ::SetCommState(device, settings); }
    BOOL GetCommTimeouts(HANDLE device, COMMTIMEOUTS* timeouts) override {
        return ::GetCommTimeouts(device, timeouts);
    }
    BOOL SetCommTimeouts(HANDLE device, COMMTIMEOUTS* timeouts) override {
        return ::SetCommTimeouts(device, timeouts);
    }
    BOOL GetCommMask(HANDLE device, DWORD* mask) override { return ::GetCommMask(device, mask); }
    BOOL SetCommMask(HANDLE device, DWORD mask) override { return ::SetCommMask(device, mask); }
    BOOL WaitCommEvent(HANDLE device, DWORD* events, OVERLAPPED* overlapped) override {
        return ::WaitCommEvent(device, events, overlapped);
    }
    BOOL ClearCommError(HANDLE device, DWORD* errors, COMSTAT* status) override {
        return ::ClearCommError(device, errors, status);
    }
    BOOL GetCommModemStatus(HANDLE device, DWORD* modemStatus) override {
        return ::GetCommModemStatus(device, modemStatus);
    }
    BOOL EscapeCommFunction(HANDLE device, DWORD function) override {
        return ::EscapeCommFunction(device, function);
    }
    BOOL SetCommBreak(HANDLE device) override { return ::SetCommBreak(device); }
    BOOL ClearCommBreak(HANDLE device) override { return ::ClearCommBreak(device); }
    BOOL TransmitCommChar(HANDLE device, char byte) override { return ::TransmitCommChar(device, byte); }
    BOOL PurgeComm(HANDLE device, DWORD flags) override { return ::PurgeComm(device, flags); }

    BOOL ReadFile(HANDLE device, void* buffer, DWORD length, DWORD* transferred,
                  OVERLAPPED* overlapped) override {
        return ::ReadFile(device, buffer, length, transferred, overlapped);
    }
    BOOL WriteFile(HANDLE device, const void* buffer, DWORD length, DWORD* transferred,
                   OVERLAPPED* overlapped) override {
        return ::WriteFile(device, buffer, length, transferred, overlapped);
    }
    BOOL GetOverlappedResult(HANDLE device, OVERLAPPED* overlapped, DWORD* transferred,
                             BOOL wait) override {
        return ::GetOverlappedResult(device, overlapped, transferred, wait);
    }
    BOOL CancelIoEx(HANDLE device, OVERLAPPED* overlapped) override { return ::CancelIoEx(device, overlapped); }

    HANDLE CreateEventA() override { return ::CreateEventA(nullptr, TRUE, FALSE, nullptr); }
    DWORD WaitForSingleObject(HANDLE object, DWORD waitMs) override {
        return ::WaitForSingleObject(object, waitMs);
    }
    void Sleep(DWORD ms) override { ::Sleep(ms); }
    void timeBeginPeriod(UINT ms) override { ::timeBeginPeriod(ms); }
    void timeEndPeriod(UINT ms) override { ::timeEndPeriod(ms); }
};

SystemCommApi systemCommApi;
Win32CommApi* activeCommApi = &systemCommApi;

}  // namespace

Win32CommApi& ActiveWin32CommApi() { return *activeCommApi; }

ScopedWin32CommApi::ScopedWin32CommApi(Win32CommApi& api) : previous_(activeCommApi) { activeCommApi = &api; }

ScopedWin32CommApi::~ScopedWin32CommApi() { activeCommApi = previous_; }
