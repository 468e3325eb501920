#pragma once
// QvComPort: what both serial port types share. The settings record shaped
// like the system's device control block, the handshake modes, the signals,
// the line format, the dump, the transmit queue and the receive flush are
// kept here; each system supplies only its device operations (open, close,
// read, settings sent to the device, modem lines, break, purge, queue counts,
// the wait for input) in its own file. No system header is needed here.

#include <cstdint>
#include <memory>
#include <optional>

#include "comlink/port_settings.h"
#include "comlink/qv_com_link.h"

class TransmitDevice;
class TransmitQueue;

// Line-error bits gathered in a port's lineErrors.
inline constexpr std::uint32_t kErrRxOverflow = 0x01;
inline constexpr std::uint32_t kErrOverrun = 0x02;
inline constexpr std::uint32_t kErrParity = 0x04;
inline constexpr std::uint32_t kErrFraming = 0x08;
inline constexpr std::uint32_t kErrBreak = 0x10;

// Modem-line bits of the library (modemStatus, ModemLine's mask).
inline constexpr std::uint8_t kModemCts = 0x10;
inline constexpr std::uint8_t kModemDsr = 0x20;
inline constexpr std::uint8_t kModemRi = 0x40;
inline constexpr std::uint8_t kModemCd = 0x80;

class QvComPort : public QvComLink {
public:
    ~QvComPort() override;

    // AwaitInput for about 1 ms. Always 0.
    int Idle() override;
    // Takes the device of portIndex (the argument is not used), refused
    // while another object of this process holds it, opens it and sets it
    // up (SetUpDevice). 0 or the code, which is also left in lastError.
    int Open(int portIndex) override;
    // Fills `status` at once; the transmit count is the bytes accepted and
    // not yet sent. With kQueueDetailTransmitCount the port may leave the
    // receive count at 0 without asking the device. Always 0.
    int QueueStatus(QvQueueStatus& status, int detail) override;
    // Waits on the transmit queue's condition until the line has made room.
    void AwaitTransmitRoom(int level, int timeoutMs) override;
    // 0 keeps a value. Empties both queues. 0 or the code of the refusal.
    int SetBufferSizes(int rxSize, int xoffLimit, int txSize) override;
    // 0, -803, -830, -832, or the code when the device refuses the modes.
    // A refusal leaves its edits in the settings record.
    int SetHandshake(int rxMode, int txMode) override;
    int GetHandshake(int& rxMode, int& txMode) override;
    // Negative reads; 1 starts, other values end a break. The state as
    // given and stored (16 bits), or -827.
    int Break(int state) override;
    // 0 or 1, 2 for an id without meaning, or the result of Break.
    int Signal(int lineId, int value) override;
    // 0, -840, -842, -841, or the code when the device refuses the format.
    // A refused format stays in the settings record.
    int SetFormat(std::int32_t baud, char parity, int dataBits, int stopBits) override;
    // From the settings record, not from the device.
    void GetFormat(std::int32_t& baud, char& parity, int& dataBits, int& stopBits) override;
    void ReadLineStatus(QvLineRecord& record) override;
    int WriteByte(std::uint8_t byte) override;
    int WriteString(const char* text) override;
    // Queues what fits in the transmit queue without waiting; fewer bytes
    // than asked records -805 (so does a device that failed). Returns the
    // count queued.
    int Write(const void* buffer, int length) override;
    int ReadByte() override;
    // Direction != 0 discards the transmit queue (the port's and the
    // device's), direction 0 with limit 0 the receive queue: 0. Direction 0
    // with a limit drops received bytes one by one: 0 when the queue ran
    // empty, -801 when `limit` were dropped first.
    int Flush(int direction, int limit) override;
    // Six lines: the settings record and the queue status.
    void Dump(const QvDumpSink& sink) override;
    std::optional<DeviceOpenFailure> OpenFailure() const override { return openFailure; }

    // Mask 1: DTR as last set; 2: RTS as last set; otherwise 1 when a modem
    // line of the mask (0x10 CTS, 0x20 DSR, 0x40 RI, 0x80 CD) is on, else 0.
    int ModemLine(std::uint8_t mask);
    const QvPortSettings& Settings() const { return settings; }

protected:
    // `portTypeName` names the port type in the dump's first line.
    explicit QvComPort(const char* portTypeName);
    // Construction: the queue sizes (16 bits each), Open, then DTR and RTS
    // raised. Called by the system's constructor, whose Open it runs.
    void Start(int portIndex, int rxSize, int txSize);
    // The settings record as Open leaves it: 115200 baud, 8N1, no hardware
    // flow control, DTR enabled, RTS disabled; the other fields (parity
    // checking, XON/XOFF) keep what the system's open left in them.
    void SetOpenSettings();
    // Starts the transmit queue over `device`, or stops it (null).
    void SetTransmitDevice(std::unique_ptr<TransmitDevice> device);
    // Gives the transmit queue the line time of a character of the record.
    void PaceTransmitQueue();

    // The device operations of each system.
    // Sets up the device that OpenDevice opened: the settings record as Open
    // leaves it, sent. 0 or the code; the cause is kept in openFailure.
    virtual int SetUpDevice() = 0;
    // Sends the whole settings record. 0, or the code, also in lastError.
    virtual int ApplySettings() = 0;
    virtual bool SetDeviceBreak(bool on) = 0;
    // Raises or drops DTR (LINE_DTR) or RTS (LINE_RTS).
    virtual void SetDeviceLine(int lineId, bool raise) = 0;
    // The modem lines in the library's bits; 0 when they cannot be read.
    virtual std::uint8_t ReadModemLines() = 0;
    // Empties the device's side of a queue before the port's own is.
    virtual void PurgeDevice(int direction) = 0;
    // The bytes received and the hold flags, as far as `detail` asks.
    virtual void ReadDeviceQueues(int detail, std::int32_t& received, std::uint16_t& holdFlags) = 0;
    // Tells the device of new queue sizes.
    virtual void ResizeDeviceQueues() {}
    // Empties the receive queue, then the transmit queue.
    void FlushBothQueues() {
        Flush(kFlushReceive, kFlushWholeQueue);
        Flush(kFlushTransmit, kFlushWholeQueue);
    }

    // Fields of the port, in the order of the library's record.
    QvPortSettings settings;
    std::int32_t rxHandshakeMode = 0;
    std::int32_t txHandshakeMode = 0;
    std::int32_t rtsState = 1;
    std::int32_t dtrState = 1;
    std::uint16_t breakState = 0;
    std::uint32_t lineErrors = 0;   // 0x01 rx overflow, 0x02 overrun, 0x04 parity, 0x08 framing, 0x10 break
    std::uint8_t modemStatus = 0;   // 0x10 CTS, 0x20 DSR, 0x40 RI, 0x80 CD
    std::int32_t txQueueSize = 0;
    std::int32_t rxQueueSize = 0;

    // Beyond the record: why the last Open failed, when the system said;
    // the transmit side while open; whether a wait reported input not read.
    std::optional<DeviceOpenFailure> openFailure;
    std::unique_ptr<TransmitDevice> transmitDevice;
    std::unique_ptr<TransmitQueue> transmit;  // uses transmitDevice
    bool inputReported = false;

private:
    const char* portTypeName_;
};
