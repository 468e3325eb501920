#include "wiretrace/tracing_port.h"

#include <algorithm>
#include <cstring>
#include <utility>

TracingPort::TracingPort(std::unique_ptr<QvComLink> inner, std::shared_ptr<TraceSink> sink)
    : inner_(std::move(inner)), sink_(std::move(sink)) {
    Passed(0);
    // A port whose open failed is not asked anything more.
    if (lastError == LINK_OK) LearnRate();
}

int TracingPort::Passed(int result) {
    if (const int error = inner_->TakeLastError(); error != LINK_OK) lastError = error;
    return result;
}

void TracingPort::Record(TraceDirection direction, const void* bytes, int count) {
    if (count <= 0) return;
    sink_->Bytes(direction, static_cast<const std::uint8_t*>(bytes), static_cast<std::size_t>(count), baud_);
}

void TracingPort::LearnRate() {
    std::int32_t baud = 0;
    char parity = 'N';
    int dataBits = 0;
    int stopBits = 0;
    inner_->GetFormat(baud, parity, dataBits, stopBits);
    Passed(0);
    baud_ = baud;
}

int TracingPort::Idle() { return Passed(inner_->Idle()); }
int TracingPort::PollStatus() { return Passed(inner_->PollStatus()); }
int TracingPort::Open(int index) {
    const int result = Passed(inner_->Open(index));
    if (lastError == LINK_OK) LearnRate();
    return result;
}
int TracingPort::OpenDevice() { return Passed(inner_->OpenDevice()); }
int TracingPort::CloseDevice() { return Passed(inner_->CloseDevice()); }
int TracingPort::QueueStatus(QvQueueStatus& status, int detail) { return Passed(inner_->QueueStatus(status, detail)); }
int TracingPort::SetBufferSizes(int rxSize, int xoffLimit, int txSize) {
    return Passed(inner_->SetBufferSizes(rxSize, xoffLimit, txSize));
}
int TracingPort::SetHandshake(int rxMode, int txMode) { return Passed(inner_->SetHandshake(rxMode, txMode)); }
int TracingPort::GetHandshake(int& rxMode, int& txMode) { return Passed(inner_->GetHandshake(rxMode, txMode)); }
int TracingPort::Break(int state) { return Passed(inner_->Break(state)); }
int TracingPort::Signal(int lineId, int value) { return Passed(inner_->Signal(lineId, value)); }
int TracingPort::SetFormat(std::int32_t baud, char parity, int dataBits, int stopBits) {
    const int result = Passed(inner_->SetFormat(baud, parity, dataBits, stopBits));
    LearnRate();
    return result;
}
void TracingPort::GetFormat(std::int32_t& baud, char& parity, int& dataBits, int& stopBits) {
    inner_->GetFormat(baud, parity, dataBits, stopBits);
    Passed(0);
}
void TracingPort::ReadLineStatus(QvLineRecord& record) {
    inner_->ReadLineStatus(record);
    Passed(0);
}
int TracingPort::WriteByte(std::uint8_t byte) {
    const int result = Passed(inner_->WriteByte(byte));
    if (result == LINK_OK) Record(TraceDirection::kSent, &byte, 1);
    return result;
}
int TracingPort::WriteString(const char* text) {
    const int result = Passed(inner_->WriteString(text));
    if (text != nullptr) Record(TraceDirection::kSent, text, std::min<int>(result, static_cast<int>(std::strlen(text))));
    return result;
}
int TracingPort::Write(const void* buffer, int length) {
    const int result = Passed(inner_->Write(buffer, length));
    if (buffer != nullptr) Record(TraceDirection::kSent, buffer, std::min(result, length));
    return result;
}
int TracingPort::TransmitImmediate(std::uint8_t byte) {
    const int result = Passed(inner_->TransmitImmediate(byte));
    if (result == LINK_OK) Record(TraceDirection::kSent, &byte, 1);
    return result;
}
int TracingPort::ReadByte() {
    const int result = Passed(inner_->ReadByte());
    if (result >= 0 && result <= 0xFF) {
        const auto byte = static_cast<std::uint8_t>(result);
        Record(TraceDirection::kReceived, &byte, 1);
    }
    return result;
}
int TracingPort::Read(void* buffer, int length) {
    const int result = Passed(inner_->Read(buffer, length));
    if (buffer != nullptr) Record(TraceDirection::kReceived, buffer, std::min(result, length));
    return result;
}
int TracingPort::Flush(int direction, int limit) { return Passed(inner_->Flush(direction, limit)); }
void TracingPort::Dump(const QvDumpSink& sink) {
    inner_->Dump(sink);
    Passed(0);
}
int TracingPort::Reserved1() { return Passed(inner_->Reserved1()); }
int TracingPort::Reserved2() { return Passed(inner_->Reserved2()); }
