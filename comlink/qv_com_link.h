#pragma once
// QvComLink: the abstract serial port that the link layer is written against,
// and what every port type shares: port index and last error, the process-wide
// port use-count table, line ids, handshake modes, the line and queue-status
// records, and the report shown when a port type leaves an operation out.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "comlink/device_open_failure.h"
#include "comlink/link_errors.h"

// Process-wide use count per device, keyed by the device a port index opens
// (PortDevicePath): a port's Open refuses a device whose count is not 0
// (LINK_ERR_IN_USE), so that two indexes mapped to one device are refused
// too; the object that opened it gives the count back when destroyed.
// Workers on several threads may open and close ports at once.
int PortUseCount(const std::string& device);
// The count of the device that `portIndex` opens.
int PortUseCount(int portIndex);

// Line ids, used by Signal and by the line record.
enum QvLineId : int {
    LINE_DTR = 3,
    LINE_RTS = 4,
    LINE_BREAK = 7,
    LINE_CTS = 12,
    LINE_DSR = 13,
    LINE_RI = 14,
    LINE_CD = 15,
    LINE_UNUSED_17 = 17,
    LINE_UNUSED_18 = 18,
    LINE_UNUSED_19 = 19,
    LINE_UNUSED_20 = 20,
    LINE_OVERRUN = 25,
    LINE_PARITY_ERROR = 26,
    LINE_FRAMING_ERROR = 27,
    LINE_BREAK_RECEIVED = 28,
    LINE_RX_OVERFLOW = 31,
};

// Handshake modes, numbered by the line that carries the handshake.
enum QvHandshake : int {
    HANDSHAKE_NONE = 0,
    HANDSHAKE_XONXOFF = 1,
    HANDSHAKE_DTR = 3,   // receive
    HANDSHAKE_RTS = 4,   // receive
    HANDSHAKE_CTS = 12,  // transmit
    HANDSHAKE_DSR = 13,  // transmit (receive: not supported)
    HANDSHAKE_CD = 15,   // transmit: not supported
};

// The line record: sixteen 2-bit fields, each the low two bits of Signal(id, -1).
// kLineRecordOrder[k] is the line id of field k; field k lives in byte k / 4 at
// bits 2 * (k % 4) and 2 * (k % 4) + 1.
inline constexpr std::array<int, 16> kLineRecordOrder = {
    LINE_DTR, LINE_RTS, LINE_BREAK, LINE_DSR,
    LINE_CTS, LINE_RI, LINE_CD, LINE_UNUSED_20,
    LINE_UNUSED_19, LINE_UNUSED_17, LINE_UNUSED_18, LINE_BREAK_RECEIVED,
    LINE_PARITY_ERROR, LINE_FRAMING_ERROR, LINE_RX_OVERFLOW, LINE_OVERRUN,
};

struct QvLineRecord {
    std::array<std::uint8_t, 4> bytes{};

    // The 2-bit field for `lineId`, or 0 when the id has no field.
    int Field(int lineId) const;
    void SetField(int lineId, int value);
};

// Queue-status record, filled by QueueStatus.
struct QvQueueStatus {
    std::int32_t rxTag = 0;
    std::int32_t rxCount = 0;  // received, not yet read
    std::int32_t rxSize = 0;
    std::int32_t txTag = 0;
    std::int32_t txCount = 0;  // accepted, not yet sent
    std::int32_t txSize = 0;
    std::uint16_t holdFlags = 0;  // kHoldXoffSent | kHoldTxHeld
};
inline constexpr std::uint16_t kHoldXoffSent = 0x01;
inline constexpr std::uint16_t kHoldTxHeld = 0x02;
// What a caller of QueueStatus means to read: the transmit count alone, both
// counts, or the whole record. A port type may leave fields the caller does
// not read at 0 (the POSIX port then skips asking the device for its
// receive count).
inline constexpr int kQueueDetailTransmitCount = 1;
inline constexpr int kQueueDetailCounts = 2;
inline constexpr int kQueueDetailAll = 7;

// Line-format rules that every port type's SetFormat applies, in this order:
// the parity letter (first match in the table; its index is the parity
// code), then the data bits, then the stop bits.
inline constexpr std::array<char, 5> kParityLetters = {'N', 'O', 'E', 'M', 'S'};
inline constexpr int kMinDataBits = 4;
inline constexpr int kMaxDataBits = 8;
// The parity code of `letter`, or -1 when the letter is not in the table.
constexpr int ParityCode(char letter) {
    for (std::size_t code = 0; code < kParityLetters.size(); ++code) {
        if (kParityLetters[code] == letter) return static_cast<int>(code);
    }
    return -1;
}
constexpr bool ValidDataBits(int dataBits) { return dataBits >= kMinDataBits && dataBits <= kMaxDataBits; }
constexpr bool ValidStopBits(int stopBits) { return stopBits == 1 || stopBits == 2; }

// Flush's directions, and its limit that empties the whole queue.
inline constexpr int kFlushReceive = 0;
inline constexpr int kFlushTransmit = 1;
inline constexpr int kFlushWholeQueue = 0;

// Receives one zero-terminated line of Dump.
using QvDumpSink = std::function<void(const char* line)>;

// The failure report of an operation that a port type does not provide: the
// text, formatted exactly, and the box title.
std::string QvFailureReportText(int reportLine);
inline constexpr const char* kLibraryErrorTitle = "Library Error";

// Shows the failure report. The default writes "<title>: <text>" to standard
// error; a windowed program installs a message box. Returns when the operator
// has closed it; the process then exits with status 1. A reporter may also
// end the process itself (status 1) and not return, for instance to end it
// from the window's thread while the reporting thread waits.
using QvFailureReporter = std::function<void(const std::string& text, const std::string& title)>;
void SetFailureReporter(QvFailureReporter reporter);

// Formats and shows the failure report for `reportLine`, then ends the process
// normally (exit handlers run) with status 1.
[[noreturn]] void QvReportMissingOperation(int reportLine);

class QvComLink {
public:
    QvComLink() = default;
    QvComLink(const QvComLink&) = delete;
    QvComLink& operator=(const QvComLink&) = delete;

    // Slot 0. Gives back the use count when this object holds its index.
    virtual ~QvComLink();

    // Slots 1 to 22: the base provides none of them; calling one that a port
    // type does not override shows the failure report and ends the process.

    // 1: the yield point of every polling loop. 0, or negative to stop a wait.
    virtual int Idle();
    // 2: gathers line errors and the modem lines. Result not used.
    virtual int PollStatus();
    // 3: opens the device for `portIndex`; outcome left in lastError.
    virtual int Open(int portIndex);
    // 4, 5: open and release the device itself. 0 or a code.
    virtual int OpenDevice();
    virtual int CloseDevice();
    // 6: fills `status`; `detail` is ignored by the ports of this library.
    virtual int QueueStatus(QvQueueStatus& status, int detail);
    // 7: 0 keeps the current value. 0 or a code.
    virtual int SetBufferSizes(int rxSize, int xoffLimit, int txSize);
    // 8, 9: handshake modes (QvHandshake). 0 or a code.
    virtual int SetHandshake(int rxMode, int txMode);
    virtual int GetHandshake(int& rxMode, int& txMode);
    // 10: a negative state reads, 1 starts a break, other values end it.
    // The state, or a code.
    virtual int Break(int state);
    // 11: value -1 reads; 0 drops, other values raise an output line.
    // 0 or 1, 2 for an id without meaning, or the result of Break.
    virtual int Signal(int lineId, int value);
    // 12, 13: line format. Parity is a letter N, O, E, M or S.
    virtual int SetFormat(std::int32_t baud, char parity, int dataBits, int stopBits);
    virtual void GetFormat(std::int32_t& baud, char& parity, int& dataBits, int& stopBits);
    // 14: fills the line record and clears the gathered line errors.
    virtual void ReadLineStatus(QvLineRecord& record);
    // 15: 0 when the byte was queued, else a code (LINK_ERR_WRITE_SHORT).
    virtual int WriteByte(std::uint8_t byte);
    // 16, 17: bytes accepted; fewer than asked records LINK_ERR_WRITE_SHORT.
    virtual int WriteString(const char* text);
    virtual int Write(const void* buffer, int length);
    // 18: sends one byte ahead of the queue. 0 or LINK_ERR_GENERAL.
    virtual int TransmitImmediate(std::uint8_t byte);
    // 19: the byte 0 to 255, or LINK_ERR_NO_DATA when nothing was received.
    virtual int ReadByte();
    // 20: bytes read, 0 when nothing was received. Never waits.
    virtual int Read(void* buffer, int length);
    // 21: direction 0 receive, other values transmit. 0 or a code.
    virtual int Flush(int direction, int limit);
    // 22: passes the port's settings, line by line, to `sink`.
    virtual void Dump(const QvDumpSink& sink);
    // 23, 24: not supported on any port type: LINK_ERR_NOT_SUPPORTED.
    virtual int Reserved1();
    virtual int Reserved2();

    // Beyond the library's slots: waits on the device up to `waitMs` (at
    // least 1) for a received byte that no wait has reported yet; returns
    // at once when one is there. 0, or negative to stop the caller's wait.
    // The default is Idle, for ports whose bytes arrive as the clock moves.
    virtual int AwaitInput(int waitMs);
    // Returns once at most `level` bytes wait in
    // the transmit queue, or after `timeoutMs`, or earlier; the caller reads
    // the count again. Ports with a queue of their own wait on it; the
    // default yields once, for ports whose count falls as the clock moves.
    virtual void AwaitTransmitRoom(int level, int timeoutMs);
    // The port's system handle, non-zero while its device is open. Lets
    // Serial report the handle through any port type.
    virtual std::intptr_t NativeHandle() const { return 0; }
    // Why this port's device could not be opened or set up, when it could
    // not; nothing when it opened or failed for another reason (index in
    // use, out of memory).
    virtual std::optional<DeviceOpenFailure> OpenFailure() const { return std::nullopt; }

    int LastError() const { return lastError; }
    // Returns the pending error and clears it.
    int TakeLastError() {
        const int error = lastError;
        lastError = 0;
        return error;
    }

protected:
    // Use-count bookkeeping for Open. CheckPortIndex gives 0 when the device
    // of portIndex may be opened, LINK_ERR_IN_USE when another object of
    // this process holds it, LINK_ERR_PORT for a negative index.
    // TakePortIndex counts the device as held by this object once it is open.
    int CheckPortIndex() const;
    void TakePortIndex();
    bool HoldsPortIndex() const { return holdsPortIndex_; }

    std::int32_t portIndex = 0;
    std::int32_t lastError = 0;

private:
    std::string heldDevice_;  // the device this object counts as held, if any
    bool holdsPortIndex_ = false;
};
