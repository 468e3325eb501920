#pragma once
// QvComWin32: the serial port type over the Win32 communications functions.
// The object opens its device in the constructor (outcome in LastError()),
// keeps the device's settings record (DCB) in memory, edits it field by field
// and sends the whole record after each change. Reads take only what the
// device has received, writes queue only what fits in the transmit queue, and
// nothing blocks the caller on the line.
//
// The device for a port index comes from PortDevicePath (port_devices.h,
// "\\.\COM<index + 1>" by default); the system's cause of a failed open is
// kept in the object (OpenFailure). The Win32 calls go through Win32CommApi
// (win32/win32_comm_api.h), so this header needs no system header.

#include <cstdint>
#include <memory>
#include <optional>

#include "comlink/qv_com_link.h"

struct _DCB;
struct _OVERLAPPED;
struct _COMMTIMEOUTS;
class TransmitQueue;
class Win32CommApi;
class Win32FirstByteWait;
class Win32TransmitDevice;

class QvComWin32 : public QvComLink {
public:
    // Opens the device of `portIndex` with queues of the given sizes (each
    // kept to 16 bits), then raises DTR and RTS. LastError() is 0 when the
    // device is open and set up, else the code of the failure: -836 out of
    // memory, -838 index held by another object, -801 the device could not
    // be opened or refused the settings.
    QvComWin32(int portIndex, int rxQueueSize, int txQueueSize);
    // Releases the device (CloseDevice) whenever this object holds it; the
    // base then gives back the use count this object took.
    ~QvComWin32() override;

    // Returns at once when received bytes wait that no Idle has reported
    // yet; otherwise waits at most about 1 ms for the device to receive a
    // byte: a device event; where the system cannot wait for one, a one-byte
    // read with a 1 ms time-out (win32/win32_first_byte_wait.h); where it
    // cannot wait that way either, a plain 1 ms sleep. Always 0.
    int Idle() override;
    // Gathers line errors and the modem lines. The modem-status call's
    // success flag.
    int PollStatus() override;
    // Opens and sets up the device of portIndex (the argument is not used).
    // Outcome in lastError, also returned.
    int Open(int portIndex) override;
    // Opens the device exclusively for overlapped I/O. 0 or the mapped code.
    int OpenDevice() override;
    // Empties both queues, drops DTR and RTS, ends any transfer still
    // pending, releases the device. 0, or -829 when the release failed.
    int CloseDevice() override;
    // Fills `status`; the transmit count is the bytes accepted and not yet
    // sent. A nearly full transmit queue (less than 16 bytes free) is
    // reported once the line has carried 50 ms of it (at most 100 ms later),
    // so that a caller polling the count does not keep a core busy. With
    // kQueueDetailTransmitCount the device is not asked: the receive count
    // and the hold flags read 0, and line errors wait for the next query.
    // Always 0.
    int QueueStatus(QvQueueStatus& status, int detail) override;
    // 0 keeps a value. Empties both queues. 0 or the mapped code.
    int SetBufferSizes(int rxSize, int xoffLimit, int txSize) override;
    // 0, -803, -830, -832, or the mapped code when the device refuses.
    int SetHandshake(int rxMode, int txMode) override;
    int GetHandshake(int& rxMode, int& txMode) override;
    // Negative reads; 1 starts, other values end a break. The state as
    // given (16 bits), or -827.
    int Break(int state) override;
    // 0 or 1, 2 for an id without meaning, or the result of Break.
    int Signal(int lineId, int value) override;
    // 0, -840, -842, -841, or the mapped code when the device refuses. A
    // refused format stays in the settings record.
    int SetFormat(std::int32_t baud, char parity, int dataBits, int stopBits) override;
    // From the settings record, not from the device.
    void GetFormat(std::int32_t& baud, char& parity, int& dataBits, int& stopBits) override;
    void ReadLineStatus(QvLineRecord& record) override;
    int WriteByte(std::uint8_t byte) override;
    int WriteString(const char* text) override;
    // Queues what fits in the transmit queue without waiting; fewer bytes
    // than asked records -805. Returns the count queued. The port's own queue
    // (TransmitQueue, whose thread runs from OpenDevice to CloseDevice) feeds
    // the device at line rate, one write at a time
    // (win32/win32_transmit_device.h).
    int Write(const void* buffer, int length) override;
    // Sends one byte ahead of the queue. 0 or -801 (not left in lastError).
    int TransmitImmediate(std::uint8_t byte) override;
    int ReadByte() override;
    // Reads what the device reports received, at most `length` bytes; 0
    // when nothing has arrived (no read is then made).
    int Read(void* buffer, int length) override;
    // Direction != 0 discards the transmit queue, direction 0 with limit 0
    // the receive queue: 0. Direction 0 with a limit drops received bytes one
    // by one: 0 when the queue ran empty, -801 when `limit` were dropped first.
    int Flush(int direction, int limit) override;
    // Six lines: the settings record and the queue status.
    void Dump(const QvDumpSink& sink) override;

    // The device handle while open, else 0.
    std::intptr_t NativeHandle() const override { return reinterpret_cast<std::intptr_t>(handle); }
    std::optional<DeviceOpenFailure> OpenFailure() const override { return openFailure_; }

    // Sets the event character in the device's record (read back from the
    // device first). Non-zero on success.
    virtual int SetEventChar(char eventChar);
    // The device's event mask. 0 or the mapped code (not left in lastError).
    virtual int GetEventMask(std::uint32_t& mask);
    virtual int SetEventMask(std::uint32_t mask);
    // Waits for an event of the device's mask and reports it. 0 or the
    // mapped code (not left in lastError).
    virtual int WaitEvent(std::uint32_t& mask);
    // Mask 1: DTR as last set; 2: RTS as last set; otherwise 1 when a modem
    // line of the mask (0x10 CTS, 0x20 DSR, 0x40 RI, 0x80 CD) is on, else 0.
    virtual int ModemLine(std::uint8_t mask);
    // The library code for the system's last error.
    virtual int MapSystemError();

    // The library code for a system error value: the legacy communication
    // errors (-1 to -12) have codes of their own, every other value -801.
    static int MapSystemErrorValue(std::int32_t systemError);

private:
    std::optional<DeviceOpenFailure> openFailure_;  // why the last Open failed, when the system said

    // The records came from construction (false only when memory ran out).
    bool HasRecords() const;
    // Sends the whole settings record. 0, or the mapped code in lastError.
    int SendSettings();
    // ClearCommError: ORs the device's error bits into lineErrors (with those
    // the transmit side took from it) and gives the bytes received (0 when it
    // fails).
    void ReadQueues(std::uint32_t& received, std::uint16_t* holdFlags = nullptr);
    // Gives the transmit queue the line time of a character as the settings
    // record has it.
    void PaceTransmitQueue();
    // Stops the transmit queue and ends every transfer still pending on the
    // device before it is released.
    void EndPendingTransfers();
    // Waits at most `waitMs` for a device event; false when the device cannot
    // wait for one (the caller then sleeps instead).
    bool WaitForReceiveEvent(int waitMs);
    void NoteEventWait(bool worked);
    // Gives the device-event record its event. False when none could be made.
    bool EnsureEventRecord();

    // Fields of the port, in the order of the library's record.
    std::unique_ptr<_DCB> settings;
    std::unique_ptr<_OVERLAPPED> readOverlap;
    void* handle = nullptr;
    std::int32_t rxHandshakeMode = 0;
    std::int32_t txHandshakeMode = 0;
    std::int32_t rtsState = 1;
    std::int32_t dtrState = 1;
    std::uint16_t breakState = 0;
    std::uint32_t lineErrors = 0;   // 0x01 rx overflow, 0x02 overrun, 0x04 parity, 0x08 framing, 0x10 break
    std::uint8_t modemStatus = 0;   // 0x10 CTS, 0x20 DSR, 0x40 RI, 0x80 CD
    std::int32_t txQueueSize = 0;
    std::int32_t rxQueueSize = 0;

    // Beyond the record: the device's time-outs as read at open, the calls
    // to the system, the transmit side while open, and the state of the wait
    // for received bytes.
    std::unique_ptr<_COMMTIMEOUTS> timeouts_;
    Win32CommApi& comm_;
    std::unique_ptr<Win32TransmitDevice> transmitDevice_;
    std::unique_ptr<TransmitQueue> transmit_;  // uses transmitDevice_
    std::unique_ptr<Win32FirstByteWait> firstByte_;  // while open
    std::unique_ptr<_OVERLAPPED> eventOverlap_;  // with its own event, for WaitCommEvent
    unsigned long eventsSeen_ = 0;               // written by a pending WaitCommEvent
    std::uint32_t eventMask_ = 0;                // the mask last set on the device
    bool eventMaskByCaller_ = false;             // SetEventMask chose it, not Idle
    bool eventWaitPending_ = false;
    bool eventWaitUsable_ = true;
    int eventWaitFailures_ = 0;
    bool inputReported_ = false;                 // Idle saw input that is not read yet
    bool timerPeriodRaised_ = false;
};
