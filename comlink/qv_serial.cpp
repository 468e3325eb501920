#include "comlink/qv_serial.h"

#include <algorithm>
#include <cstring>

#include "comlink/link_errors.h"
#include "comlink/qv_data_format.h"
#include "comlink/qv_line_status.h"
#include "platform/clock.h"

namespace {

// The link's own line format, set right after the port opens.
constexpr std::int32_t kLinkBaud = 9600;
constexpr char kLinkParity = 'N';
constexpr int kLinkDataBits = 8;
constexpr int kLinkStopBits = 1;

// Shortest wait for a received byte: what counts as "without a gap".
constexpr std::uint32_t kShortestInputWaitMs = 1;

constexpr std::uint8_t kLineFeed = 0x0A;
constexpr std::uint8_t kCarriageReturn = 0x0D;
constexpr int kLastByteTerminator = 255;

}  // namespace

QvSerial::QvSerial(QvComLink& linkPort) : port(&linkPort) {
    if (port->LastError() != LINK_OK) return;
    portReady = true;
    format = std::make_unique<QvDataFormat>(*this);
    format->Set(kLinkBaud, kLinkParity, kLinkDataBits, kLinkStopBits);
    status = std::make_unique<QvLineStatus>(*this);
    port->SetHandshake(HANDSHAKE_NONE, HANDSHAKE_NONE);
}

QvSerial::~QvSerial() {
    // The handshake modes go back before the format does.
    status.reset();
    format.reset();
}

int QvSerial::Read(int timeoutMs) {
    const platform::Deadline deadline(timeoutMs);
    for (;;) {
        const int byte = port->ReadByte();
        if (byte >= 0) return byte;
        if (deadline.Expired()) return LINK_ERR_NO_DATA;
        const int idle = AwaitInput(deadline);
        if (idle < 0) return idle;
    }
}

int QvSerial::AwaitInput(const platform::Deadline& deadline) {
    // Past the deadline a byte that follows without a gap is still waited for.
    return port->AwaitInput(static_cast<int>(std::max<std::uint32_t>(deadline.RemainingMs(), kShortestInputWaitMs)));
}

int QvSerial::Write(std::uint8_t byte) { return port->WriteByte(byte); }

int QvSerial::Reserved() { return LINK_ERR_NOT_SUPPORTED; }

int QvSerial::ReadText(char* buffer, unsigned int maxCount, int terminator, int timeoutMs) {
    if (buffer == nullptr) return 0;
    unsigned int count = 0;
    // With no room for a byte the read is over before it starts; taking one
    // would write past the buffer.
    if (maxCount != 0) {
        const platform::Deadline deadline(timeoutMs);
        for (;;) {
            const int c = Read(0);
            if (c >= 0) {
                buffer[count++] = static_cast<char>(c);
                if (terminator != kTerminatorNone && c == terminator) break;
                if (count >= maxCount) break;
            } else if (deadline.Expired()) {
                break;
            }
            const int idle = AwaitInput(deadline);
            if (idle < 0) return idle;
        }
    }
    buffer[count] = '\0';
    return static_cast<int>(count);
}

int QvSerial::WriteText(const char* text, int terminator) {
    if (terminator < kTerminatorCrLf || terminator > kLastByteTerminator) return 0;
    if (text == nullptr) return 0;
    int written = port->WriteString(text);
    if (static_cast<std::size_t>(written) != std::strlen(text)) return written;
    switch (terminator) {
    case kTerminatorNone:
        break;
    case kTerminatorLf:
        if (Write(kLineFeed) == LINK_OK) ++written;
        break;
    case kTerminatorCrLf:
        if (Write(kCarriageReturn) == LINK_OK) {
            ++written;
            if (Write(kLineFeed) == LINK_OK) ++written;
        }
        break;
    default:
        if (Write(static_cast<std::uint8_t>(terminator)) == LINK_OK) ++written;
        break;
    }
    return written;
}

int QvSerial::CheckStatus(std::uint16_t& lineErrors) {
    const int pending = port->TakeLastError();
    lineErrors = 0;
    if (pending != LINK_OK) return pending;
    if (status == nullptr) return LINK_OK;
    status->Refresh();
    if (status->ParityError() != 0) lineErrors |= kLineErrParity;
    if (status->FramingError() != 0) lineErrors |= kLineErrFraming;
    if (status->RxOverflow() != 0) lineErrors |= kLineErrRxOverflow;
    if (status->Overrun() != 0) lineErrors |= kLineErrOverrun;
    if (status->BreakDetected() != 0) lineErrors |= kLineErrBreak;
    return LINK_OK;
}

int QvSerial::FlushInput(int limit) { return port->Flush(kFlushReceive, limit); }

int QvSerial::FlushOutput() { return port->Flush(kFlushTransmit, 0); }

int QvSerial::TxQueueCount() {
    QvQueueStatus queues;
    port->QueueStatus(queues, kQueueDetailTransmitCount);
    return queues.txCount;
}
