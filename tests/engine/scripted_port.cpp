#include "scripted_port.h"

#include <algorithm>
#include <cstring>

#include "platform/clock.h"

namespace engine_test {
namespace {

constexpr int kTxQueueSize = 8192;

}  // namespace

class ScriptedPort final : public QvComLink {
public:
    explicit ScriptedPort(ScriptedLine& line) : line_(line) { line_.portOpen_ = true; }
    ~ScriptedPort() override { line_.portOpen_ = false; }

    int Idle() override {
        platform::SleepMs(1);
        return 0;
    }
    int PollStatus() override { return 0; }
    int Open(int) override { return 0; }
    int OpenDevice() override { return 0; }
    int CloseDevice() override { return 0; }
    int QueueStatus(QvQueueStatus& status, int) override {
        status = {};
        status.txCount = line_.TxCount();
        status.txSize = kTxQueueSize;
        return 0;
    }
    int SetBufferSizes(int, int, int) override { return 0; }
    int SetHandshake(int, int) override { return 0; }
    int GetHandshake(int& rx, int& tx) override {
        rx = tx = 0;
        return 0;
    }
    int Break(int) override { return 0; }
    int Signal(int, int) override { return 0; }
    int SetFormat(std::int32_t baud, char, int, int) override {
        line_.rate_ = baud;
        line_.Log(LineEvent::kRate, baud);
        return 0;
    }
    void GetFormat(std::int32_t& baud, char& parity, int& dataBits, int& stopBits) override {
        baud = line_.rate_;
        parity = 'N';
        dataBits = 8;
        stopBits = 1;
    }
    void ReadLineStatus(QvLineRecord& record) override { record = {}; }
    int WriteByte(std::uint8_t byte) override { return line_.Write(byte); }
    int WriteString(const char* text) override { return Write(text, static_cast<int>(std::strlen(text))); }
    int Write(const void* buffer, int length) override {
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        for (int i = 0; i < length; ++i) {
            if (line_.Write(bytes[i]) != 0) {
                return i;
            }
        }
        return length;
    }
    int TransmitImmediate(std::uint8_t byte) override { return line_.Write(byte); }
    int ReadByte() override { return line_.Read(); }
    int Read(void* buffer, int length) override {
        int count = 0;
        for (int byte = 0; count < length && (byte = line_.Read()) >= 0; ++count) {
            static_cast<std::uint8_t*>(buffer)[count] = static_cast<std::uint8_t>(byte);
        }
        return count;
    }
    int Flush(int direction, int) override {
        if (direction == 0) {
            line_.FlushInput();
        } else {
            line_.FlushOutput();
        }
        return 0;
    }
    void Dump(const QvDumpSink&) override {}
    std::intptr_t NativeHandle() const override { return 1; }

private:
    ScriptedLine& line_;
};

void ScriptedLine::Send(const std::string& bytes, std::uint32_t delayMs) {
    for (char c : bytes) {
        SendByte(static_cast<std::uint8_t>(c), delayMs);
    }
}

void ScriptedLine::SendByte(std::uint8_t byte, std::uint32_t delayMs) {
    std::uint32_t at = platform::NowMs() + delayMs;
    if (!arrivals_.empty() && !platform::Reached(at, arrivals_.back().atMs)) {
        at = arrivals_.back().atMs;
    }
    arrivals_.push_back({at, byte});
}

std::string ScriptedLine::Written() const {
    std::string written;
    for (const LineEvent& event : events_) {
        if (event.kind == LineEvent::kWrite) {
            written.push_back(static_cast<char>(event.value));
        }
    }
    return written;
}

std::vector<std::uint32_t> ScriptedLine::Times(LineEvent::Kind kind, int value) const {
    std::vector<std::uint32_t> times;
    for (const LineEvent& event : events_) {
        if (event.kind == kind && (value == -1 || event.value == value)) {
            times.push_back(event.timeMs);
        }
    }
    return times;
}

PortFactory ScriptedLine::Factory() {
    return [this](int, int, int) -> std::unique_ptr<QvComLink> {
        return std::make_unique<ScriptedPort>(*this);
    };
}

void ScriptedLine::Log(LineEvent::Kind kind, int value) {
    events_.push_back({kind, platform::NowMs(), value});
}

int ScriptedLine::Write(std::uint8_t byte) {
    Drain();
    const int attempt = WriteCount() + 1;
    if ((failWritesFrom != 0 && attempt >= failWritesFrom) || txQueued_ >= kTxQueueSize) {
        return LINK_ERR_WRITE_SHORT;
    }
    Log(LineEvent::kWrite, byte);
    ++writes_;
    if (drainPerMs != 0) {
        ++txQueued_;
        peakTx_ = std::max(peakTx_, txQueued_);
    }
    if (onWrite) {
        onWrite(*this, byte);
    }
    return 0;
}

int ScriptedLine::Read() {
    if (arrivals_.empty() || !platform::Reached(platform::NowMs(), arrivals_.front().atMs)) {
        return LINK_ERR_NO_DATA;
    }
    const std::uint8_t byte = arrivals_.front().byte;
    arrivals_.pop_front();
    return byte;
}

void ScriptedLine::FlushInput() {
    Log(LineEvent::kFlushInput, 0);
    const std::uint32_t now = platform::NowMs();
    while (!arrivals_.empty() && platform::Reached(now, arrivals_.front().atMs)) {
        arrivals_.pop_front();
    }
}

void ScriptedLine::FlushOutput() {
    Log(LineEvent::kFlushOutput, 0);
    txQueued_ = 0;
}

int ScriptedLine::TxCount() {
    Drain();
    return txQueued_;
}

void ScriptedLine::Drain() {
    const std::uint32_t now = platform::NowMs();
    const auto elapsed = static_cast<int>(now - lastDrainMs_);
    lastDrainMs_ = now;
    txQueued_ = std::max(0, txQueued_ - elapsed * drainPerMs);
}

}  // namespace engine_test
