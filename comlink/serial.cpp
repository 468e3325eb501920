#include "comlink/serial.h"

#include <utility>

#include "comlink/link_errors.h"
#include "comlink/links.h"
#include "comlink/qv_data_format.h"
#include "comlink/qv_line_status.h"
#include "comlink/serial_impl.h"

namespace {

// Every accepted baud rate divides the line's highest rate.
constexpr unsigned int kHighestBaud = 115200;

// Longest wait of AwaitTxRoom before the caller looks at the count again.
constexpr int kLongestTxRoomWaitMs = 100;

std::unique_ptr<QvComLink> MakeLinks(int portIndex, int rxQueueSize, int txQueueSize) {
    return std::make_unique<Links>(portIndex, rxQueueSize, txQueueSize);
}

PortFactory& CurrentPortFactory() {
    static PortFactory factory = MakeLinks;
    return factory;
}

}  // namespace

ScopedPortFactory::ScopedPortFactory(PortFactory factory)
    : previous_(std::exchange(CurrentPortFactory(),
                              factory ? std::move(factory) : PortFactory(MakeLinks))) {}

ScopedPortFactory::~ScopedPortFactory() { CurrentPortFactory() = std::move(previous_); }

std::unique_ptr<QvComLink> MakePort(int portIndex, int rxQueueSize, int txQueueSize) {
    return CurrentPortFactory()(portIndex, rxQueueSize, txQueueSize);
}

PortFactory InstalledPortFactory() { return CurrentPortFactory(); }

Serial::Serial() = default;

Serial::~Serial() { Close(); }

bool Serial::Open(int portIndex) {
    // An open link stays as it is; the caller closes it first.
    if (impl_) return false;
    openFailure_.reset();
    auto port = MakePort(portIndex, kLinkQueueSize, kLinkQueueSize);
    if (!port) return false;
    impl_ = std::make_unique<SerialImpl>(std::move(port));

    std::uint16_t lineErrors = 0;
    if (impl_->link.CheckStatus(lineErrors) != LINK_OK) {
        openFailure_ = impl_->port->OpenFailure();
        Close();
        return false;
    }
    QvLineStatus* lineStatus = impl_->link.Status();
    if (lineStatus == nullptr || lineStatus->SetHandshake(rxHandshake_, txHandshake_) != LINK_OK) {
        Close();
        return false;
    }
    return true;
}

void Serial::Close() { impl_.reset(); }

bool Serial::SetBaudRate(unsigned int rate) {
    if (!impl_) return false;
    if (rate == 0 || kHighestBaud % rate != 0) return false;
    QvDataFormat* linkFormat = impl_->link.Format();
    if (linkFormat == nullptr) return false;
    const int applied = linkFormat->SetBaudRate(static_cast<std::int32_t>(rate));
    std::uint16_t lineErrors = 0;
    if (impl_->link.CheckStatus(lineErrors) != LINK_OK) return false;
    return applied != LINK_ERR_GENERAL;
}

int Serial::WriteText(const char* text, int terminator) {
    return impl_ ? impl_->link.WriteText(text, terminator) : 0;
}

int Serial::ReadText(char* buffer, unsigned int maxCount, int terminator, int timeoutMs) {
    return impl_ ? impl_->link.ReadText(buffer, maxCount, terminator, timeoutMs) : 0;
}

int Serial::WriteByte(std::uint8_t byte) { return impl_ ? impl_->link.Write(byte) : 0; }

int Serial::ReadByte(int timeoutMs) { return impl_ ? impl_->link.Read(timeoutMs) : 0; }

int Serial::FlushInput() { return impl_ ? impl_->link.FlushInput(kFlushWholeQueue) : 0; }

int Serial::FlushOutput() { return impl_ ? impl_->link.FlushOutput() : 0; }

int Serial::TxQueueCount() { return impl_ ? impl_->link.TxQueueCount() : 0; }

void Serial::AwaitTxRoom(int level) {
    if (impl_) impl_->port->AwaitTransmitRoom(level, kLongestTxRoomWaitMs);
}

QvLineStatus* Serial::LineStatus() { return impl_ ? impl_->link.Status() : nullptr; }

QvDataFormat* Serial::DataFormat() { return impl_ ? &impl_->format : nullptr; }

std::intptr_t Serial::Handle() const { return impl_ ? impl_->port->NativeHandle() : 0; }
