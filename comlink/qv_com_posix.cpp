#include "comlink/qv_com_posix.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#if defined(__linux__)
#include <linux/serial.h>
#endif

#include "comlink/port_devices.h"
#include "comlink/posix/device_file.h"
#include "comlink/posix/line_rate.h"
#include "comlink/posix/serial_low_latency.h"
#include "comlink/posix/termios_settings.h"
#include "comlink/transmit_queue.h"

struct QvComPosix::DeviceState {
    termios saved{};  // the device's settings when opened, restored at close
};

namespace {

// Settings applied at open: 115200 baud, 8N1, no flow control.
constexpr std::uint32_t kOpenBaudRate = 115200;
constexpr std::uint8_t kOpenByteSize = 8;
constexpr std::uint16_t kOpenXoffLimit = 128;
constexpr char kXonChar = 0x11;
constexpr char kXoffChar = 0x13;
constexpr int kXonLimitDivisor = 4;  // XON limit is a quarter of the receive queue

// Queue sizes are 16-bit values.
constexpr int kMaxQueueSize = 0xFFFF;

// Longest wait of Idle.
constexpr int kIdleWaitMs = 1;

// Line-error bits gathered in lineErrors_.
constexpr std::uint32_t kErrRxOverflow = 0x01;
constexpr std::uint32_t kErrOverrun = 0x02;
constexpr std::uint32_t kErrParity = 0x04;
constexpr std::uint32_t kErrFraming = 0x08;
constexpr std::uint32_t kErrBreak = 0x10;

// Modem-line bits of ModemLine's mask and of modemStatus_.
constexpr std::uint8_t kMaskDtr = 0x01;
constexpr std::uint8_t kMaskRts = 0x02;
constexpr std::uint8_t kModemCts = 0x10;
constexpr std::uint8_t kModemDsr = 0x20;
constexpr std::uint8_t kModemRi = 0x40;
constexpr std::uint8_t kModemCd = 0x80;

constexpr int kFiveDataBits = 5;

// Flush directions and the limit that empties a whole queue.
constexpr int kFlushReceive = 0;
constexpr int kFlushTransmit = 1;
constexpr int kFlushWholeQueue = 0;


std::int32_t ClampQueueSize(int size) { return std::clamp(size, 0, kMaxQueueSize); }

std::string Format(const char* format, auto... values) {
    const int length = std::snprintf(nullptr, 0, format, values...);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, format, values...);
    return text;
}

// A character of the record as the dump shows it: signed 8 bits widened.
unsigned DumpChar(char c) { return static_cast<unsigned>(static_cast<int>(static_cast<signed char>(c))); }

}  // namespace

QvComPosix::QvComPosix(int index, int rxQueueSize, int txQueueSize)
    : QvComPosix(index, rxQueueSize, txQueueSize, nullptr) {}

QvComPosix::QvComPosix(int index, int rxQueueSize, int txQueueSize, TransmitDeviceMaker makeTransmitDevice)
    : device_(new (std::nothrow) DeviceState), makeTransmitDevice_(std::move(makeTransmitDevice)) {
    if (!device_) {
        lastError = LINK_ERR_NO_MEMORY;
        return;
    }
    lastError = LINK_OK;
    rxQueueSize_ = ClampQueueSize(rxQueueSize);
    txQueueSize_ = ClampQueueSize(txQueueSize);
    portIndex = index;
    Open(index);
    Signal(LINE_DTR, 1);
    Signal(LINE_RTS, 1);
}

QvComPosix::~QvComPosix() {
    // A device this object opened is released even when its index was never
    // counted (OpenDevice called on its own); the base gives the count back.
    if (fd_ >= 0) CloseDevice();
}

int QvComPosix::Open(int) {
    openFailure_.reset();
    const int indexCheck = CheckPortIndex();
    if (indexCheck != LINK_OK) {
        lastError = indexCheck;
        return indexCheck;
    }
    const int opened = OpenDevice();
    if (opened != LINK_OK) return opened;
    TakePortIndex();

    settings_.baudRate = kOpenBaudRate;
    settings_.byteSize = kOpenByteSize;
    settings_.parity = kParityNone;
    settings_.stopBits = kStopBitsOne;
    settings_.fBinary = 1;
    settings_.fParity = (device_->saved.c_iflag & INPCK) != 0 ? 1 : 0;  // as the device had it
    settings_.fOutxCtsFlow = 0;
    settings_.fOutxDsrFlow = 0;
    settings_.fDtrControl = kControlEnable;
    settings_.fRtsControl = kControlDisable;
    settings_.fOutX = 0;
    settings_.fInX = 0;
    settings_.fNull = 0;
    settings_.fAbortOnError = 0;
    settings_.xonChar = kXonChar;
    settings_.xoffChar = kXoffChar;
    settings_.eofChar = 0;
    settings_.evtChar = 0;
    settings_.xonLim = static_cast<std::uint16_t>(rxQueueSize_ / kXonLimitDivisor);
    settings_.xoffLim = kOpenXoffLimit;

    const int applied = ApplySettings();
    if (applied != LINK_OK) {
        const int error = errno;
        openFailure_ = DeviceOpenFailure{portIndex, PortDevicePath(portIndex),
                                         DeviceOpenFailure::Step::kSettings, error};
    }
    return applied;
}

int QvComPosix::OpenDevice() {
    if (fd_ >= 0) return LINK_OK;  // already open
    const std::string path = PortDevicePath(portIndex);
    const OpenedDevice opened = OpenDeviceExclusive(path);
    if (opened.fd < 0) {
        openFailure_ = DeviceOpenFailure{portIndex, path, opened.failedStep, opened.systemError};
        lastError = MapSystemError(opened.systemError);
        return lastError;
    }
    std::unique_ptr<TransmitDevice> transmitDevice =
        makeTransmitDevice_ ? makeTransmitDevice_(opened.fd) : std::make_unique<TerminalTransmitDevice>(opened.fd);
    fd_ = opened.fd;
    device_->saved = opened.saved;
    EnterLowLatency(opened.fd);
    transmitDevice_ = std::move(transmitDevice);
    transmit_ = std::make_unique<TransmitQueue>(*transmitDevice_, static_cast<std::size_t>(txQueueSize_));
    errorCounts_ = {};
    noLineCounters_ = false;
    GatherLineErrors();  // start counting from the device's present counters
    lineErrors_ = 0;
    return LINK_OK;
}

int QvComPosix::CloseDevice() {
    if (fd_ < 0) return LINK_OK;
    Flush(kFlushReceive, kFlushWholeQueue);
    Flush(kFlushTransmit, kFlushWholeQueue);
    transmit_.reset();  // joins its thread
    transmitDevice_.reset();
    SetModemLine(TIOCM_DTR, false);
    SetModemLine(TIOCM_RTS, false);
    LeaveLowLatency(fd_);
    const int closeError = ReleaseDevice(fd_, device_->saved);
    fd_ = -1;
    applied_.reset();
    if (closeError != 0) {
        lastError = LINK_ERR_CLOSE;
        return LINK_ERR_CLOSE;
    }
    return LINK_OK;
}

int QvComPosix::ApplySettings() {
    if (fd_ < 0) {
        lastError = MapSystemError(EBADF);
        return lastError;
    }
    if (!SendToDevice(settings_)) {
        // As a refused settings record on Windows, a refused one leaves the
        // device as it was (a rate set in baud passes a placeholder code).
        const int error = errno;
        if (applied_) SendToDevice(*applied_);
        errno = error;
        lastError = MapSystemError(error);
        return lastError;
    }
    applied_ = settings_;
    transmit_->SetCharTime(CharacterTime(settings_));
    // Transmit handshakes the line flags do not carry are the queue's.
    int holdLines = 0;
    if (settings_.fOutxCtsFlow != 0 && !RtsCtsHandshake(settings_)) holdLines |= kModemCts;
    if (settings_.fOutxDsrFlow != 0) holdLines |= kModemDsr;
    transmit_->SetHoldLines(holdLines);
    return LINK_OK;
}

bool QvComPosix::SendToDevice(const QvPosixSettings& settings) {
    termios wanted = device_->saved;
    termios taken{};
    std::uint32_t arbitraryRate = 0;
    if (!BuildTermios(settings, wanted, arbitraryRate) || ::tcsetattr(fd_, TCSANOW, &wanted) != 0 ||
        (arbitraryRate != 0 && !ApplyArbitraryRate(arbitraryRate)) || ::tcgetattr(fd_, &taken) != 0) {
        return false;
    }
    if (!DeviceKeptSettings(wanted, taken, arbitraryRate == 0)) {
        errno = EINVAL;
        return false;
    }
    return true;
}

bool QvComPosix::ApplyArbitraryRate(std::uint32_t rate) {
    std::uint32_t output = 0;
    std::uint32_t input = 0;
    if (!SetArbitraryRate(fd_, rate)) return false;
    if (!ReadLineRates(fd_, output, input) || output != rate || input != rate) {
        errno = EINVAL;  // the device rounded the rate to one it can make
        return false;
    }
    return true;
}

int QvComPosix::MapSystemError(int) { return LINK_ERR_GENERAL; }

int QvComPosix::Idle() {
    if (fd_ < 0) {
        PollSleep(kIdleWaitMs);
        return 0;
    }
    // Input already reported and not read since does not count as ready
    // again, or a wait loop that leaves it unread would spin.
    const short wanted = inputReported_ ? 0 : POLLIN;
    const short events = PollFor(fd_, wanted, kIdleWaitMs);
    if ((events & POLLIN) != 0) inputReported_ = true;
    // A hung-up device is always "ready": wait anyway rather than spin.
    if ((events & (POLLHUP | POLLERR | POLLNVAL)) != 0) PollSleep(kIdleWaitMs);
    return 0;
}

void QvComPosix::GatherLineErrors() {
#if defined(__linux__) && defined(TIOCGICOUNT)
    if (fd_ < 0 || noLineCounters_) return;
    serial_icounter_struct counts{};
    if (::ioctl(fd_, TIOCGICOUNT, &counts) != 0) {
        // A pty and some adapters keep no counters: once the device has said
        // so, stop asking on every status query (one system call a byte saved).
        if (errno == ENOTTY || errno == EINVAL) noLineCounters_ = true;
        return;
    }
    const auto grew = [](std::uint32_t& seen, int now) {
        const auto current = static_cast<std::uint32_t>(now);
        const bool changed = current != seen;
        seen = current;
        return changed;
    };
    if (grew(errorCounts_.bufferOverrun, counts.buf_overrun)) lineErrors_ |= kErrRxOverflow;
    if (grew(errorCounts_.overrun, counts.overrun)) lineErrors_ |= kErrOverrun;
    if (grew(errorCounts_.parity, counts.parity)) lineErrors_ |= kErrParity;
    if (grew(errorCounts_.frame, counts.frame)) lineErrors_ |= kErrFraming;
    if (grew(errorCounts_.breaks, counts.brk)) lineErrors_ |= kErrBreak;
#endif
}

std::uint8_t QvComPosix::ReadModemStatus(bool* ok) const {
    int lines = 0;
    const bool read = fd_ >= 0 && ::ioctl(fd_, TIOCMGET, &lines) == 0;  // fails on a pty
    if (ok != nullptr) *ok = read;
    if (!read) return 0;
    std::uint8_t status = 0;
    if ((lines & TIOCM_CTS) != 0) status |= kModemCts;
    if ((lines & TIOCM_DSR) != 0) status |= kModemDsr;
    if ((lines & TIOCM_RI) != 0) status |= kModemRi;
    if ((lines & TIOCM_CD) != 0) status |= kModemCd;
    return status;
}

void QvComPosix::SetModemLine(int lineBit, bool raise) const {
    if (fd_ < 0) return;
    // A pty has no modem lines (ENOTTY): nothing to change there.
    ::ioctl(fd_, raise ? TIOCMBIS : TIOCMBIC, &lineBit);
}

int QvComPosix::PollStatus() {
    GatherLineErrors();
    bool ok = false;
    modemStatus_ = ReadModemStatus(&ok);
    return ok ? 1 : 0;
}

std::int32_t QvComPosix::ReceiveCount() const {
    int count = 0;
    if (fd_ < 0 || ::ioctl(fd_, FIONREAD, &count) != 0) return 0;
    return std::max(count, 0);
}

int QvComPosix::QueueStatus(QvQueueStatus& status, int detail) {
    GatherLineErrors();
    status.rxTag = 1;
    status.rxCount = detail == kQueueDetailTransmitCount ? 0 : ReceiveCount();
    status.rxSize = rxQueueSize_;
    status.txTag = 1;
    status.txCount = 0;
    status.txSize = txQueueSize_;
    status.holdFlags = 0;  // a terminal does not report XOFF holds
    if (transmit_) {
        const TransmitQueue::Status queued = transmit_->AwaitRoom(kNearlyFullRoom, kRoomLineTime, kFullQueueLongestWait);
        status.txCount = static_cast<std::int32_t>(queued.count);
        if (queued.heldByLines) status.holdFlags |= kHoldTxHeld;
    }
    return 0;
}

int QvComPosix::SetBufferSizes(int rxSize, int xoffLimit, int txSize) {
    Flush(kFlushReceive, kFlushWholeQueue);
    Flush(kFlushTransmit, kFlushWholeQueue);
    if (rxSize > 0) rxQueueSize_ = ClampQueueSize(rxSize);
    if (txSize > 0) txQueueSize_ = ClampQueueSize(txSize);
    if (transmit_) transmit_->SetCapacity(static_cast<std::size_t>(txQueueSize_));
    settings_.xonLim = static_cast<std::uint16_t>(rxQueueSize_ / kXonLimitDivisor);
    if (xoffLimit > 0) settings_.xoffLim = static_cast<std::uint16_t>(ClampQueueSize(xoffLimit));
    // The kernel's receive queue has a fixed size: that size only bounds
    // what this port reports.
    Flush(kFlushReceive, kFlushWholeQueue);
    Flush(kFlushTransmit, kFlushWholeQueue);
    return ApplySettings();
}

int QvComPosix::SetHandshake(int rxMode, int txMode) {
    settings_.fInX = 0;
    settings_.fOutX = 0;
    if (settings_.fRtsControl == kControlHandshake) settings_.fRtsControl = kControlEnable;
    if (settings_.fDtrControl == kControlHandshake) settings_.fDtrControl = kControlEnable;
    settings_.fOutxCtsFlow = 0;
    settings_.fOutxDsrFlow = 0;

    switch (rxMode) {
    case HANDSHAKE_NONE: break;
    case HANDSHAKE_XONXOFF: settings_.fInX = 1; break;
    case HANDSHAKE_DTR: settings_.fDtrControl = kControlHandshake; break;
    case HANDSHAKE_RTS: settings_.fRtsControl = kControlHandshake; break;
    case HANDSHAKE_DSR: lastError = LINK_ERR_NOT_SUPPORTED; return lastError;
    default: lastError = LINK_ERR_RX_HANDSHAKE; return lastError;
    }
    switch (txMode) {
    case HANDSHAKE_NONE: break;
    case HANDSHAKE_XONXOFF: settings_.fOutX = 1; break;
    case HANDSHAKE_CTS: settings_.fOutxCtsFlow = 1; break;
    case HANDSHAKE_DSR: settings_.fOutxDsrFlow = 1; break;
    case HANDSHAKE_CD: lastError = LINK_ERR_NOT_SUPPORTED; return lastError;
    default: lastError = LINK_ERR_TX_HANDSHAKE; return lastError;
    }
    const int applied = ApplySettings();
    if (applied != LINK_OK) return applied;
    rxHandshakeMode_ = rxMode;
    txHandshakeMode_ = txMode;
    return LINK_OK;
}

int QvComPosix::GetHandshake(int& rxMode, int& txMode) {
    rxMode = rxHandshakeMode_;
    txMode = txHandshakeMode_;
    return 0;
}

int QvComPosix::Break(int state) {
    if (state < 0) return breakState_;
    const bool start = state == 1;
    if (fd_ < 0 || ::ioctl(fd_, start ? TIOCSBRK : TIOCCBRK) != 0) {
        lastError = LINK_ERR_BREAK;
        return lastError;
    }
    breakState_ = static_cast<std::uint16_t>(state);  // kept as given, whichever way it went
    return breakState_;
}

int QvComPosix::ModemLine(std::uint8_t mask) {
    if (mask == kMaskDtr) return dtrState_;
    if (mask == kMaskRts) return rtsState_;
    return (ReadModemStatus() & mask) != 0 ? 1 : 0;
}

int QvComPosix::Signal(int lineId, int value) {
    if (lineId == LINE_BREAK) return Break(value);
    if ((lineId == LINE_DTR || lineId == LINE_RTS) && value != -1) {
        const bool raise = value != 0;
        const std::int32_t state = raise ? 1 : 0;
        const std::uint8_t control = raise ? kControlEnable : kControlDisable;
        if (lineId == LINE_DTR) {
            dtrState_ = state;
            settings_.fDtrControl = control;
            SetModemLine(TIOCM_DTR, raise);
        } else {
            rtsState_ = state;
            settings_.fRtsControl = control;
            SetModemLine(TIOCM_RTS, raise);
        }
    }
    const auto seen = [this](std::uint32_t bit) { return (lineErrors_ & bit) != 0 ? 1 : 0; };
    switch (lineId) {
    case LINE_DTR: return ModemLine(kMaskDtr);
    case LINE_RTS: return ModemLine(kMaskRts);
    case LINE_CTS: return ModemLine(kModemCts);
    case LINE_DSR: return ModemLine(kModemDsr);
    case LINE_RI: return ModemLine(kModemRi);
    case LINE_CD: return ModemLine(kModemCd);
    case LINE_UNUSED_17:
    case LINE_UNUSED_18:
    case LINE_UNUSED_19:
    case LINE_UNUSED_20: return 0;
    case LINE_OVERRUN: return seen(kErrOverrun);
    case LINE_PARITY_ERROR: return seen(kErrParity);
    case LINE_FRAMING_ERROR: return seen(kErrFraming);
    case LINE_BREAK_RECEIVED: return seen(kErrBreak);
    case LINE_RX_OVERFLOW: return seen(kErrRxOverflow);
    default: return 2;
    }
}

int QvComPosix::SetFormat(std::int32_t baud, char parity, int dataBits, int stopBits) {
    const int parityCode = ParityCode(parity);
    if (parityCode < 0) {
        lastError = LINK_ERR_PARITY;
        return lastError;
    }
    settings_.parity = static_cast<std::uint8_t>(parityCode);
    settings_.baudRate = static_cast<std::uint32_t>(baud);  // the device judges the rate
    if (!ValidDataBits(dataBits)) {
        lastError = LINK_ERR_DATA_BITS;
        return lastError;
    }
    settings_.byteSize = static_cast<std::uint8_t>(dataBits);
    if (!ValidStopBits(stopBits)) {
        lastError = LINK_ERR_STOP_BITS;
        return lastError;
    }
    settings_.stopBits = stopBits == 1 ? kStopBitsOne : kStopBitsTwo;
    if (dataBits == kFiveDataBits) settings_.stopBits = kStopBitsOneAndHalf;
    return ApplySettings();
}

void QvComPosix::GetFormat(std::int32_t& baud, char& parity, int& dataBits, int& stopBits) {
    baud = static_cast<std::int32_t>(settings_.baudRate);
    dataBits = settings_.byteSize;
    stopBits = settings_.stopBits == kStopBitsTwo ? 2 : 1;
    parity = settings_.parity < kParityLetters.size() ? kParityLetters[settings_.parity] : '?';
}

void QvComPosix::ReadLineStatus(QvLineRecord& record) {
    PollStatus();
    for (const int lineId : kLineRecordOrder) record.SetField(lineId, Signal(lineId, -1));
    lineErrors_ = 0;
    modemStatus_ = 0;
}

int QvComPosix::WriteByte(std::uint8_t byte) {
    return Write(&byte, 1) == 1 ? LINK_OK : lastError;
}

int QvComPosix::WriteString(const char* text) {
    if (text == nullptr) return 0;
    return Write(text, static_cast<int>(std::strlen(text)));
}

int QvComPosix::Write(const void* buffer, int length) {
    if (length <= 0) return 0;
    std::size_t accepted = 0;
    if (buffer != nullptr && transmit_) {
        accepted = transmit_->Write(static_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(length));
    }
    const int written = static_cast<int>(accepted);
    if (written < length) lastError = LINK_ERR_WRITE_SHORT;
    return written;
}

int QvComPosix::TransmitImmediate(std::uint8_t byte) {
    // The byte passes the port's queue; the device sends it behind what it
    // already holds.
    return transmit_ && transmit_->SendAhead(byte) ? LINK_OK : LINK_ERR_GENERAL;
}

int QvComPosix::ReadByte() {
    std::uint8_t byte = 0;
    return Read(&byte, 1) == 1 ? byte : LINK_ERR_NO_DATA;
}

int QvComPosix::Read(void* buffer, int length) {
    inputReported_ = false;
    if (buffer == nullptr || length <= 0 || fd_ < 0) return 0;
    const ssize_t result =
        RetryOnInterrupt([&] { return ::read(fd_, buffer, static_cast<std::size_t>(length)); });
    if (result > 0) return static_cast<int>(result);
    if (result < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        lastError = MapSystemError(errno);  // the device failed or went away
    }
    return 0;
}

int QvComPosix::Flush(int direction, int limit) {
    if (direction != kFlushReceive) {
        if (transmit_) transmit_->Discard();
        return LINK_OK;
    }
    if (limit <= kFlushWholeQueue) {
        if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
        inputReported_ = false;
        return LINK_OK;
    }
    for (int dropped = 0; dropped < limit; ++dropped) {
        if (ReadByte() == LINK_ERR_NO_DATA) return LINK_OK;
    }
    lastError = LINK_ERR_GENERAL;  // the data kept coming
    return lastError;
}

void QvComPosix::Dump(const QvDumpSink& sink) {
    const QvPosixSettings& s = settings_;
    sink(Format("Port type: POSIX  BaudRate: %-6u  ByteSize: %1d  Parity: %1d",
                static_cast<unsigned>(s.baudRate), s.byteSize, s.parity).c_str());
    sink(Format("StopBits: %1d  fBinary: %1d  fRtsControl: %1d", s.stopBits, s.fBinary, s.fRtsControl)
             .c_str());
    sink(Format("Parity: %1d  OutCtsFlow: %1d  OutDsrFlow: %1d  DtrControl: %1d  OutX: %1d  InX: %1d",
                s.fParity, s.fOutxCtsFlow, s.fOutxDsrFlow, s.fDtrControl, s.fOutX, s.fInX)
             .c_str());
    sink(Format("Null: %1d  XonChar: %02x  XoffChar: %02x", s.fNull, DumpChar(s.xonChar),
                DumpChar(s.xoffChar))
             .c_str());
    sink(Format("XonLim: %-5u XoffLim: %-5u EofChr: %02x  EvtChr: %02x", static_cast<unsigned>(s.xonLim),
                static_cast<unsigned>(s.xoffLim), DumpChar(s.eofChar), DumpChar(s.evtChar))
             .c_str());
    QvQueueStatus status;
    QueueStatus(status, kQueueDetailAll);
    sink(Format("RX sz/ct: %5d/%-5d  TX sz/ct: %5d/%-5d  BLOCK SENT:%d  BLOCK RECEIVED:%d", status.rxSize,
                status.rxCount, status.txSize, status.txCount, (status.holdFlags & kHoldXoffSent) != 0 ? 1 : 0,
                (status.holdFlags & kHoldTxHeld) != 0 ? 1 : 0)
             .c_str());
}
