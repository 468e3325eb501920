#pragma once
// QvComWin32: the serial port type over the Win32 communications functions
// (the shared part is QvComPort). The object opens its device in the
// constructor (outcome in LastError()), keeps the settings record in memory
// and sends it, as the device's control block, after each change. Reads take
// only what the device has received, writes queue only what fits in the
// transmit queue, and nothing blocks the caller on the line.
//
// The device for a port index comes from PortDevicePath (port_devices.h,
// "\\.\COM<index + 1>" by default); the system's cause of a failed open is
// kept in the object (OpenFailure). The Win32 calls go through Win32CommApi
// (win32/win32_comm_api.h), so this header needs no system header.

#include <cstdint>
#include <memory>

#include "comlink/qv_com_port.h"

class Win32CommApi;
class Win32FirstByteWait;
class Win32TransmitDevice;

class QvComWin32 : public QvComPort {
public:
    // Opens the device of `portIndex` with queues of the given sizes (each
    // kept to 16 bits), then raises DTR and RTS. LastError() is 0 when the
    // device is open and set up, else the code of the failure: -836 out of
    // memory, -838 device held by another object, -801 the device could not
    // be opened or refused the settings.
    QvComWin32(int portIndex, int rxQueueSize, int txQueueSize);
    // Releases the device (CloseDevice) whenever this object holds it; the
    // base then gives back the use count this object took.
    ~QvComWin32() override;

    // Returns at once when received bytes wait that no wait has reported
    // yet; otherwise waits at most `waitMs` for the device to receive a
    // byte: a device event; where the system cannot wait for one, a one-byte
    // read with that time-out (win32/win32_first_byte_wait.h); where it
    // cannot wait that way either, a plain sleep. Always 0.
    int AwaitInput(int waitMs) override;
    // Gathers line errors and the modem lines. The modem-status call's
    // success flag.
    int PollStatus() override;
    // Opens the device exclusively for overlapped I/O. 0 or the mapped code.
    int OpenDevice() override;
    // Empties both queues, drops DTR and RTS, ends any transfer still
    // pending, releases the device. 0, or -829 when the release failed.
    int CloseDevice() override;
    // Sends one byte ahead of the queue. 0 or -801 (not left in lastError).
    int TransmitImmediate(std::uint8_t byte) override;
    // Reads what the device reports received, at most `length` bytes; 0
    // when nothing has arrived (no read is then made).
    int Read(void* buffer, int length) override;

    // The device handle while open, else 0.
    std::intptr_t NativeHandle() const override { return reinterpret_cast<std::intptr_t>(handle); }

    // Sets the event character in the device's record (read back from the
    // device first). Non-zero on success.
    int SetEventChar(char eventChar);
    // The device's event mask. 0 or the mapped code (not left in lastError).
    int GetEventMask(std::uint32_t& mask);
    int SetEventMask(std::uint32_t mask);
    // Waits for an event of the device's mask and reports it. 0 or the
    // mapped code (not left in lastError).
    int WaitEvent(std::uint32_t& mask);
    // The library code for the system's last error.
    int MapSystemError();

    // The library code for a system error value: the legacy communication
    // errors (-1 to -12) have codes of their own, every other value -801.
    static int MapSystemErrorValue(std::int32_t systemError);

protected:
    int SetUpDevice() override;
    int ApplySettings() override;
    bool SetDeviceBreak(bool on) override;
    void SetDeviceLine(int lineId, bool raise) override;
    std::uint8_t ReadModemLines() override;
    void PurgeDevice(int direction) override;
    // With kQueueDetailTransmitCount the device is not asked: the receive
    // count and the hold flags read 0, and line errors wait for the next query.
    void ReadDeviceQueues(int detail, std::int32_t& received, std::uint16_t& holdFlags) override;
    void ResizeDeviceQueues() override;

private:
    struct Records;  // the device's control block, time-outs and overlapped records

    // ClearCommError: ORs the device's error bits into lineErrors (with those
    // the transmit side took from it) and gives the bytes received (0 when it
    // fails).
    void ReadQueues(std::uint32_t& received, std::uint16_t* holdFlags = nullptr);
    // Stops the transmit queue and ends every transfer still pending on the
    // device before it is released.
    void EndPendingTransfers();
    // Waits at most `waitMs` for a device event; false when the device cannot
    // wait for one (the caller then sleeps instead).
    bool WaitForReceiveEvent(int waitMs);
    void NoteEventWait(bool worked);
    // Gives the device-event record its event. False when none could be made.
    bool EnsureEventRecord();

    std::unique_ptr<Records> records_;  // null when memory ran out
    void* handle = nullptr;
    Win32CommApi& comm_;
    Win32TransmitDevice* win32Transmit_ = nullptr;  // transmitDevice while open
    std::unique_ptr<Win32FirstByteWait> firstByte_;  // while open
    unsigned long eventsSeen_ = 0;    // written by a pending WaitCommEvent
    std::uint32_t eventMask_ = 0;     // the mask last set on the device
    bool eventMaskByCaller_ = false;  // SetEventMask chose it, not a wait for input
    bool eventWaitPending_ = false;
    bool eventWaitUsable_ = true;
    int eventWaitFailures_ = 0;
    bool timerPeriodRaised_ = false;
};
