#pragma once
// QvComPosix: the serial port type over a POSIX terminal device (termios).
// Same operations and observable behaviour as the Win32 port type: the object
// opens its device in the constructor (outcome in LastError()), reads take
// only what has arrived, writes queue only what fits, nothing blocks the
// caller on the line, and destruction restores the settings it found.
//
// The device for a port index comes from PortDevicePath (port_devices.h); the
// system's cause of a failed open is kept in the object (OpenFailure).
//
// Transmission goes through the port's own queue of the transmit size
// (TransmitQueue), whose private thread runs from OpenDevice to CloseDevice.

#include <cstdint>
#include <memory>
#include <optional>

#include "comlink/posix/posix_settings.h"
#include "comlink/posix/terminal_transmit_device.h"
#include "comlink/qv_com_link.h"

class TransmitQueue;

class QvComPosix : public QvComLink {
public:
    // Opens the device of `portIndex` with queues of the given sizes (each
    // kept to 16 bits), then raises DTR and RTS. LastError() is 0 when the
    // device is open and set up, else the code of the failure.
    QvComPosix(int portIndex, int rxQueueSize, int txQueueSize);
    // The same, with the transmit side of the device built by
    // `makeTransmitDevice` instead of the terminal itself (device doubles).
    QvComPosix(int portIndex, int rxQueueSize, int txQueueSize, TransmitDeviceMaker makeTransmitDevice);
    // Closes the device (CloseDevice) whenever this object holds it open.
    ~QvComPosix() override;

    // Waits at most about 1 ms for received data; returns at once when it
    // comes. Data that an earlier Idle reported and nobody has read since
    // does not count, so a loop that only waits never spins. Always 0.
    int Idle() override;
    // Gathers line errors and the modem lines. 1 when the modem lines could
    // be read, else 0.
    int PollStatus() override;
    // Opens and sets up the device of portIndex (the argument is not used).
    // 0 or the code, which is also left in lastError.
    int Open(int portIndex) override;
    // Opens the device exclusively, saves its settings and starts the
    // transmit queue. 0 or -801.
    int OpenDevice() override;
    // Flushes both queues (the transmit queue's bytes are dropped), stops
    // the transmit queue, drops DTR and RTS, restores the saved settings,
    // releases the device. 0 or -829.
    int CloseDevice() override;
    // Fills `status`; the transmit count is the bytes accepted and not yet
    // sent. A nearly full transmit queue (less than 16 bytes free) is
    // reported once the line has carried 50 ms of it, after at most 100 ms,
    // so that a caller polling the count does not spin a core. With detail
    // kQueueDetailTransmitCount the receive count is not read (0). Hold flag
    // 0x02 while a modem line holds transmission. Always 0.
    int QueueStatus(QvQueueStatus& status, int detail) override;
    // 0 keeps a value. Flushes both queues. 0 or -801.
    int SetBufferSizes(int rxSize, int xoffLimit, int txSize) override;
    // 0, -803, -830, -832, or -801 when the line cannot carry the mode
    // (DTR receive handshake; RTS receive handshake without CTS transmit
    // handshake) or the device refuses it. RTS with CTS is the terminal's
    // hardware handshake; CTS alone and DSR hold the transmit queue while
    // the line is off.
    int SetHandshake(int rxMode, int txMode) override;
    int GetHandshake(int& rxMode, int& txMode) override;
    // Negative reads; 1 starts, other values end a break. Returns the state
    // as given and stored (16 bits), or -827.
    int Break(int state) override;
    // 0 or 1, 2 for an id without meaning, or the result of Break.
    int Signal(int lineId, int value) override;
    // 0, -840, -842, -841, or -801 when the device refuses the format. A
    // refused format stays in the settings record.
    int SetFormat(std::int32_t baud, char parity, int dataBits, int stopBits) override;
    // From the settings record, not from the device.
    void GetFormat(std::int32_t& baud, char& parity, int& dataBits, int& stopBits) override;
    void ReadLineStatus(QvLineRecord& record) override;
    int WriteByte(std::uint8_t byte) override;
    int WriteString(const char* text) override;
    // Queues what fits in the transmit queue without waiting; fewer bytes
    // than asked records -805 (so does a device that failed). Returns the
    // count accepted.
    int Write(const void* buffer, int length) override;
    // Hands one byte to the device at once, ahead of the transmit queue and
    // behind what the device already holds. 0 or -801 (not left in lastError).
    int TransmitImmediate(std::uint8_t byte) override;
    int ReadByte() override;
    // Takes what has arrived, at most `length` bytes; 0 when nothing has.
    // A failure of the device leaves -801 in lastError and returns 0.
    int Read(void* buffer, int length) override;
    // Direction != 0 discards the transmit queue (the port's and the
    // device's), direction 0 with limit 0
    // the receive queue: 0. Direction 0 with a limit drops received bytes one
    // by one: 0 when the queue ran empty, -801 when `limit` were dropped first.
    int Flush(int direction, int limit) override;
    // Six lines: settings record and queue status.
    void Dump(const QvDumpSink& sink) override;

    // Device file descriptor + 1 while open, else 0.
    std::intptr_t NativeHandle() const override { return fd_ >= 0 ? fd_ + 1 : 0; }
    // Why the last Open could not open or set up the device.
    std::optional<DeviceOpenFailure> OpenFailure() const override { return openFailure_; }

    // Mask 1: DTR as last set; 2: RTS as last set; otherwise 1 when a modem
    // line of the mask (0x10 CTS, 0x20 DSR, 0x40 RI, 0x80 CD) is on, else 0.
    int ModemLine(std::uint8_t mask);
    // The library code for a system error number: -801.
    static int MapSystemError(int systemError);

    const QvPosixSettings& Settings() const { return settings_; }

private:
    struct DeviceState;           // saved terminal settings, defined in the .cpp
    struct LineErrorCounts {      // the device's error counters last seen
        std::uint32_t overrun = 0;
        std::uint32_t bufferOverrun = 0;
        std::uint32_t parity = 0;
        std::uint32_t frame = 0;
        std::uint32_t breaks = 0;
    };

    // Sends the whole settings record to the device. 0, or -801 in lastError;
    // a refused record leaves the device with the last one it took.
    int ApplySettings();
    // Sets `settings` on the device and checks what it kept. False, with
    // errno set, when it refused.
    bool SendToDevice(const QvPosixSettings& settings);
    // Sets the rate in baud and checks that the device kept it exactly.
    bool ApplyArbitraryRate(std::uint32_t rate);
    void GatherLineErrors();
    std::uint8_t ReadModemStatus(bool* ok = nullptr) const;
    void SetModemLine(int lineBit, bool raise) const;
    std::int32_t ReceiveCount() const;

    std::unique_ptr<DeviceState> device_;
    TransmitDeviceMaker makeTransmitDevice_;
    std::unique_ptr<TransmitDevice> transmitDevice_;  // while open
    std::unique_ptr<TransmitQueue> transmit_;         // while open; uses transmitDevice_
    std::optional<DeviceOpenFailure> openFailure_;
    std::optional<QvPosixSettings> applied_;          // the record the device took last
    QvPosixSettings settings_;
    int fd_ = -1;
    std::int32_t rxHandshakeMode_ = 0;
    std::int32_t txHandshakeMode_ = 0;
    std::int32_t rtsState_ = 1;
    std::int32_t dtrState_ = 1;
    std::uint16_t breakState_ = 0;
    std::uint32_t lineErrors_ = 0;    // 0x01 rx overflow, 0x02 overrun, 0x04 parity, 0x08 framing, 0x10 break
    std::uint8_t modemStatus_ = 0;    // 0x10 CTS, 0x20 DSR, 0x40 RI, 0x80 CD
    std::int32_t txQueueSize_ = 0;
    std::int32_t rxQueueSize_ = 0;
    LineErrorCounts errorCounts_;
    bool inputReported_ = false;      // Idle saw input that is not read yet
    bool noLineCounters_ = false;     // the open device answered it keeps no error counters
};
