#pragma once
// TracingPort: a port that wraps any other port object and passes every
// operation through unchanged, reporting to a TraceSink each byte that was
// accepted for sending or handed over as received, with the line rate set at
// that moment. Installed through the port factory, it sits below the link
// layer and sees exactly what the port saw.

#include <memory>

#include "comlink/qv_com_link.h"
#include "wiretrace/trace_sink.h"

class TracingPort final : public QvComLink {
public:
    // `inner` must not be null; its pending error becomes this port's.
    TracingPort(std::unique_ptr<QvComLink> inner, std::shared_ptr<TraceSink> sink);
    ~TracingPort() override = default;

    int Idle() override;
    int PollStatus() override;
    int Open(int index) override;
    int OpenDevice() override;
    int CloseDevice() override;
    int QueueStatus(QvQueueStatus& status, int detail) override;
    int SetBufferSizes(int rxSize, int xoffLimit, int txSize) override;
    int SetHandshake(int rxMode, int txMode) override;
    int GetHandshake(int& rxMode, int& txMode) override;
    int Break(int state) override;
    int Signal(int lineId, int value) override;
    int SetFormat(std::int32_t baud, char parity, int dataBits, int stopBits) override;
    void GetFormat(std::int32_t& baud, char& parity, int& dataBits, int& stopBits) override;
    void ReadLineStatus(QvLineRecord& record) override;
    int WriteByte(std::uint8_t byte) override;
    int WriteString(const char* text) override;
    int Write(const void* buffer, int length) override;
    int TransmitImmediate(std::uint8_t byte) override;
    int ReadByte() override;
    int Read(void* buffer, int length) override;
    int Flush(int direction, int limit) override;
    void Dump(const QvDumpSink& sink) override;
    int Reserved1() override;
    int Reserved2() override;
    std::intptr_t NativeHandle() const override { return inner_->NativeHandle(); }
    std::optional<DeviceOpenFailure> OpenFailure() const override { return inner_->OpenFailure(); }

private:
    // Moves the inner port's pending error here, where the link reads it.
    int Passed(int result);
    void Record(TraceDirection direction, const void* bytes, int count);
    void LearnRate();

    std::unique_ptr<QvComLink> inner_;
    std::shared_ptr<TraceSink> sink_;
    std::int32_t baud_ = 0;
};
