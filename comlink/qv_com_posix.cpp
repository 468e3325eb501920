#include "comlink/qv_com_posix.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

QvComPosix::QvComPosix(int index, int rxQueueSize, int txQueueSize)
    : QvComPosix(index, rxQueueSize, txQueueSize, nullptr) {}

QvComPosix::QvComPosix(int index, int rxQueueSize, int txQueueSize, TransmitDeviceMaker makeTransmitDevice)
    : QvComPort("POSIX"), device_(new (std::nothrow) DeviceState), makeTransmitDevice_(std::move(makeTransmitDevice)) {
    if (!device_) {
        lastError = LINK_ERR_NO_MEMORY;
        return;
    }
    Start(index, rxQueueSize, txQueueSize);
}

QvComPosix::~QvComPosix() {
    // A device this object opened is released even when its index was never
    // counted (OpenDevice called on its own); the base gives the count back.
    if (fd_ >= 0) CloseDevice();
}

int QvComPosix::SetUpDevice() {
    SetOpenSettings();
    settings.fParity = (device_->saved.c_iflag & INPCK) != 0 ? 1 : 0;  // as the device had it
    settings.fOutX = 0;
    settings.fInX = 0;

    const int applied = ApplySettings();
    if (applied != LINK_OK) {
        const int error = errno;
        openFailure = DeviceOpenFailure{portIndex, PortDevicePath(portIndex),
                                         DeviceOpenFailure::Step::kSettings, error};
    }
    return applied;
}

int QvComPosix::OpenDevice() {
    if (fd_ >= 0) return LINK_OK;  // already open
    const std::string path = PortDevicePath(portIndex);
    const OpenedDevice opened = OpenDeviceExclusive(path);
    if (opened.fd < 0) {
        openFailure = DeviceOpenFailure{portIndex, path, opened.failedStep, opened.systemError};
        lastError = MapSystemError(opened.systemError);
        return lastError;
    }
    fd_ = opened.fd;
    device_->saved = opened.saved;
    EnterLowLatency(opened.fd);
    SetTransmitDevice(makeTransmitDevice_ ? makeTransmitDevice_(opened.fd)
                                          : std::make_unique<TerminalTransmitDevice>(opened.fd));
    errorCounts_ = {};
    noLineCounters_ = false;
    GatherLineErrors();  // start counting from the device's present counters
    lineErrors = 0;
    return LINK_OK;
}

int QvComPosix::CloseDevice() {
    if (fd_ < 0) return LINK_OK;
    FlushBothQueues();
    SetTransmitDevice(nullptr);  // joins the queue's thread
    SetDeviceLine(LINE_DTR, false);
    SetDeviceLine(LINE_RTS, false);
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
    if (!SendToDevice(settings)) {
        // As a refused settings record on Windows, a refused one leaves the
        // device as it was (a rate set in baud passes a placeholder code).
        const int error = errno;
        if (applied_) SendToDevice(*applied_);
        errno = error;
        lastError = MapSystemError(error);
        return lastError;
    }
    applied_ = settings;
    PaceTransmitQueue();
    // Transmit handshakes the line flags do not carry are the queue's.
    int holdLines = 0;
    if (settings.fOutxCtsFlow != 0 && !RtsCtsHandshake(settings)) holdLines |= kModemCts;
    if (settings.fOutxDsrFlow != 0) holdLines |= kModemDsr;
    if (transmit) transmit->SetHoldLines(holdLines);
    return LINK_OK;
}

bool QvComPosix::SendToDevice(const QvPortSettings& record) {
    termios wanted = device_->saved;
    termios taken{};
    std::uint32_t arbitraryRate = 0;
    if (!BuildTermios(record, wanted, arbitraryRate) || ::tcsetattr(fd_, TCSANOW, &wanted) != 0 ||
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

int QvComPosix::AwaitInput(int waitMs) {
    if (fd_ < 0) {
        PollSleep(waitMs);
        return 0;
    }
    // Input already reported and not read since does not count as ready
    // again, or a wait loop that leaves it unread would spin.
    const short wanted = inputReported ? 0 : POLLIN;
    const short events = PollFor(fd_, wanted, waitMs);
    if ((events & POLLIN) != 0) inputReported = true;
    // A hung-up device is always "ready": wait anyway rather than spin.
    if ((events & (POLLHUP | POLLERR | POLLNVAL)) != 0) PollSleep(waitMs);
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
    if (grew(errorCounts_.bufferOverrun, counts.buf_overrun)) lineErrors |= kErrRxOverflow;
    if (grew(errorCounts_.overrun, counts.overrun)) lineErrors |= kErrOverrun;
    if (grew(errorCounts_.parity, counts.parity)) lineErrors |= kErrParity;
    if (grew(errorCounts_.frame, counts.frame)) lineErrors |= kErrFraming;
    if (grew(errorCounts_.breaks, counts.brk)) lineErrors |= kErrBreak;
#endif
}

std::uint8_t QvComPosix::ReadModemLines() {
    const int bits = ModemLineBits(fd_);  // none on a pty
    return bits < 0 ? 0 : static_cast<std::uint8_t>(bits);
}

void QvComPosix::SetDeviceLine(int lineId, bool raise) {
    if (fd_ < 0) return;
    // A pty has no modem lines (ENOTTY): nothing to change there.
    int lineBit = lineId == LINE_DTR ? TIOCM_DTR : TIOCM_RTS;
    ::ioctl(fd_, raise ? TIOCMBIS : TIOCMBIC, &lineBit);
}

bool QvComPosix::SetDeviceBreak(bool on) { return fd_ >= 0 && ::ioctl(fd_, on ? TIOCSBRK : TIOCCBRK) == 0; }

int QvComPosix::PollStatus() {
    GatherLineErrors();
    const int bits = ModemLineBits(fd_);
    modemStatus = bits < 0 ? 0 : static_cast<std::uint8_t>(bits);
    return bits < 0 ? 0 : 1;
}

void QvComPosix::ReadDeviceQueues(int detail, std::int32_t& received, std::uint16_t&) {
    GatherLineErrors();
    int count = 0;
    if (detail != kQueueDetailTransmitCount && fd_ >= 0 && ::ioctl(fd_, FIONREAD, &count) == 0) {
        received = std::max(count, 0);
    }
}

void QvComPosix::PurgeDevice(int direction) {
    // The transmit queue drops what the device holds itself.
    if (direction == kFlushReceive && fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
}

int QvComPosix::TransmitImmediate(std::uint8_t byte) {
    // The byte passes the port's queue; the device sends it behind what it
    // already holds.
    return transmit && transmit->SendAhead(byte) ? LINK_OK : LINK_ERR_GENERAL;
}

int QvComPosix::Read(void* buffer, int length) {
    inputReported = false;
    if (buffer == nullptr || length <= 0 || fd_ < 0) return 0;
    const ssize_t result =
        RetryOnInterrupt([&] { return ::read(fd_, buffer, static_cast<std::size_t>(length)); });
    if (result > 0) return static_cast<int>(result);
    if (result < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        lastError = MapSystemError(errno);  // the device failed or went away
    }
    return 0;
}

