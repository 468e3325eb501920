#pragma once
// QvSerial: the link layer over a port. Turns the port's non-blocking byte
// operations into reads with time-outs and text exchanges; every wait polls
// the port and waits on it for input until the deadline (AwaitInput), with
// deadlines on platform::NowMs().
// Owns a line-format object and a line-status object; sets the port to
// 9600 baud, 'N', 8, 1 without handshaking at construction.

#include <cstdint>
#include <memory>

#include "comlink/qv_com_link.h"
#include "comlink/text_terminators.h"

class QvDataFormat;
class QvLineStatus;
namespace platform {
class Deadline;
}

// Line-error word built by CheckStatus.
inline constexpr std::uint16_t kLineErrParity = 0x01;
inline constexpr std::uint16_t kLineErrFraming = 0x02;
inline constexpr std::uint16_t kLineErrRxOverflow = 0x04;
inline constexpr std::uint16_t kLineErrOverrun = 0x08;
inline constexpr std::uint16_t kLineErrBreak = 0x10;

class QvSerial {
public:
    // Works on `port`, which must outlive this object. When the port reports
    // an error (LastError() non-zero) the link creates no format and no
    // status object and leaves the port alone; the error stays pending.
    explicit QvSerial(QvComLink& port);
    // Destroys the status object (handshake modes back as found), then the
    // format object (the port's format as found).
    virtual ~QvSerial();
    QvSerial(const QvSerial&) = delete;
    QvSerial& operator=(const QvSerial&) = delete;

    // One byte: 0 to 255, LINK_ERR_NO_DATA (-802) when none came within
    // `timeoutMs` (0 or less: a single attempt), or the negative result of the
    // port's Idle, which stops the wait.
    virtual int Read(int timeoutMs);
    // Hands one byte to the port: 0 when queued, else the port's code
    // (LINK_ERR_WRITE_SHORT when the transmit queue is full). Never waits.
    virtual int Write(std::uint8_t byte);
    // Not supported: LINK_ERR_NOT_SUPPORTED.
    virtual int Reserved();

    // Collects bytes into `buffer`, which must hold maxCount + 1 bytes, until
    // the terminator (0..255; -1 none) has been stored, maxCount bytes have
    // been stored, or the deadline `timeoutMs` after the call passes with
    // nothing waiting. Bytes that keep arriving without a gap are taken past
    // the deadline. Ends the bytes with a zero and returns their count; a
    // negative result of the port's Idle is returned at once, without the zero.
    // A null buffer gives 0.
    int ReadText(char* buffer, unsigned int maxCount, int terminator, int timeoutMs);
    // Sends the text's bytes in one port write, then the terminator: -1 none,
    // -2 LF, -3 CR LF (LF only when CR was taken), 0..255 that byte. Returns
    // the bytes accepted, terminator included. 0 for a null text or a
    // terminator outside -3..255; no terminator when the text went short.
    int WriteText(const char* text, int terminator);
    // Takes the port's pending error and, when there is none, refreshes the
    // line status and sets the kLineErr* bits in `lineErrors` (else 0).
    // Returns the pending error, or 0.
    int CheckStatus(std::uint16_t& lineErrors);
    // Empties the receive queue (limit 0), or drops received bytes one by one
    // and gives LINK_ERR_GENERAL when `limit` were dropped first. 0 or a code.
    int FlushInput(int limit);
    // Empties the transmit queue. 0 or a code.
    int FlushOutput();
    // Bytes the port has accepted and not yet sent.
    int TxQueueCount();

    // False when the port reported an error at construction; such a link has
    // no status and no format object and reaches no device.
    bool PortReady() const { return portReady; }
    QvComLink* Port() const { return port; }
    QvLineStatus* Status() const { return status.get(); }
    QvDataFormat* Format() const { return format.get(); }
    int Pacing() const { return pacing; }

private:
    // Waits on the port for a received byte until `deadline`, at least 1 ms.
    int AwaitInput(const platform::Deadline& deadline);

    std::int32_t pacing = 0;  // ms after each written byte; always 0 here
    QvComLink* port;          // not owned
    std::unique_ptr<QvLineStatus> status;
    std::unique_ptr<QvDataFormat> format;
    bool portReady = false;
};
