#pragma once
// A scripted port for the link-layer tests, running in virtual time: its Idle
// advances a platform::VirtualClock, incoming bytes arrive at given virtual
// times, the transmit queue has a set room, and every call that changes the
// device (format, handshake, control lines, flushes, open and release) is
// written to an event log that the tests compare.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "comlink/qv_com_link.h"
#include "platform/clock.h"

namespace fake {

// What a test scripts and observes; shared with the ports it builds, so it
// outlives them and records their release too.
struct FakeLine {
    explicit FakeLine(platform::VirtualClock& virtualClock) : clock(virtualClock) {}

    // Bytes that become readable at virtual time `atMs` (default: now).
    void Receive(std::string_view bytes) { Receive(bytes, clock.NowMs()); }
    void Receive(std::string_view bytes, std::uint32_t atMs) {
        for (char c : bytes) incoming.push_back({atMs, static_cast<std::uint8_t>(c)});
    }
    // One byte every `stepMs`, the first at `firstMs`.
    void ReceiveSpaced(std::string_view bytes, std::uint32_t firstMs, std::uint32_t stepMs) {
        for (char c : bytes) {
            incoming.push_back({firstMs, static_cast<std::uint8_t>(c)});
            firstMs += stepMs;
        }
    }
    // Events whose text starts with one of `prefixes`.
    std::vector<std::string> EventsOf(std::initializer_list<std::string_view> prefixes) const {
        std::vector<std::string> selected;
        for (const auto& event : events) {
            for (auto prefix : prefixes) {
                if (event.starts_with(prefix)) {
                    selected.push_back(event);
                    break;
                }
            }
        }
        return selected;
    }
    std::vector<std::string> FormatHistory() const { return EventsOf({"format", "handshake"}); }

    struct Arrival {
        std::uint32_t atMs;
        std::uint8_t byte;
    };

    platform::VirtualClock& clock;
    std::deque<Arrival> incoming;
    std::string sent;                  // every byte the port accepted, in order
    std::vector<std::string> events;   // "format 9600 N 8 1", "handshake 0 0", ...
    int errorAtOpen = 0;               // lastError a new port reports instead of opening
    int txRoom = 1 << 20;              // bytes the transmit queue still takes
    int txPending = 0;                 // what QueueStatus reports as not yet sent
    std::set<std::int32_t> refusedBauds;
    QvLineRecord pendingLineErrors;    // reported and cleared by the next ReadLineStatus
    std::uint32_t idleStepMs = 1;
    int idleCalls = 0;
    int stopIdleAtCall = 0;            // when > 0, that Idle call returns idleStopCode
    int idleStopCode = -1;
    int initialRxMode = 0;
    int initialTxMode = 0;
};

class FakePort : public QvComLink {
public:
    FakePort(std::shared_ptr<FakeLine> line, int index) : line_(std::move(line)) {
        portIndex = index;
        rxMode_ = line_->initialRxMode;
        txMode_ = line_->initialTxMode;
        if (line_->errorAtOpen != 0) {
            lastError = line_->errorAtOpen;
            return;
        }
        lastError = CheckPortIndex();
        if (lastError != 0) return;
        TakePortIndex();
        open_ = true;
        Log("open " + std::to_string(portIndex));
        Log(FormatEvent());
        Signal(LINE_DTR, 1);
        Signal(LINE_RTS, 1);
    }

    ~FakePort() override {
        if (!open_) return;
        Flush(0, 0);
        Flush(1, 0);
        Signal(LINE_DTR, 0);
        Signal(LINE_RTS, 0);
        Log("release " + std::to_string(portIndex));
    }

    int Idle() override {
        ++line_->idleCalls;
        if (line_->stopIdleAtCall > 0 && line_->idleCalls >= line_->stopIdleAtCall) {
            return line_->idleStopCode;
        }
        line_->clock.Advance(line_->idleStepMs);
        return 0;
    }
    int PollStatus() override { return 1; }
    int Open(int) override { return 0; }
    int OpenDevice() override { return 0; }
    int CloseDevice() override { return 0; }
    int QueueStatus(QvQueueStatus& status, int) override {
        status = QvQueueStatus{};
        status.rxCount = static_cast<std::int32_t>(Arrived());
        status.txCount = line_->txPending;
        return 0;
    }
    int SetBufferSizes(int, int, int) override { return 0; }
    int SetHandshake(int rxMode, int txMode) override {
        Log("handshake " + std::to_string(rxMode) + " " + std::to_string(txMode));
        rxMode_ = rxMode;
        txMode_ = txMode;
        return 0;
    }
    int GetHandshake(int& rxMode, int& txMode) override {
        rxMode = rxMode_;
        txMode = txMode_;
        return 0;
    }
    int Break(int state) override { return state < 0 ? 0 : state; }
    int Signal(int lineId, int value) override {
        if (value != -1) Log("signal " + std::to_string(lineId) + " " + std::to_string(value));
        return line_->pendingLineErrors.Field(lineId);
    }
    int SetFormat(std::int32_t baud, char parity, int dataBits, int stopBits) override {
        if (line_->refusedBauds.count(baud) != 0) {
            Log("refused " + std::to_string(baud));
            lastError = -801;
            return lastError;
        }
        baud_ = baud;
        parity_ = parity;
        dataBits_ = dataBits;
        stopBits_ = stopBits;
        Log(FormatEvent());
        return 0;
    }
    void GetFormat(std::int32_t& baud, char& parity, int& dataBits, int& stopBits) override {
        baud = baud_;
        parity = parity_;
        dataBits = dataBits_;
        stopBits = stopBits_;
    }
    void ReadLineStatus(QvLineRecord& record) override {
        record = line_->pendingLineErrors;
        line_->pendingLineErrors = QvLineRecord{};
    }
    int WriteByte(std::uint8_t byte) override { return Write(&byte, 1) == 1 ? 0 : lastError; }
    int WriteString(const char* text) override {
        return Write(text, static_cast<int>(std::strlen(text)));
    }
    int Write(const void* buffer, int length) override {
        const int room = line_->txRoom > 0 ? line_->txRoom : 0;
        const int wanted = length > 0 ? length : 0;
        const int taken = wanted < room ? wanted : room;
        line_->sent.append(static_cast<const char*>(buffer), static_cast<std::size_t>(taken));
        line_->txRoom -= taken;
        if (taken < length) lastError = -805;
        return taken;
    }
    int TransmitImmediate(std::uint8_t byte) override { return WriteByte(byte); }
    int ReadByte() override {
        if (Arrived() == 0) return -802;
        const std::uint8_t byte = line_->incoming.front().byte;
        line_->incoming.pop_front();
        return byte;
    }
    int Read(void* buffer, int length) override {
        int count = 0;
        auto* bytes = static_cast<std::uint8_t*>(buffer);
        while (count < length && Arrived() != 0) bytes[count++] = static_cast<std::uint8_t>(ReadByte());
        return count;
    }
    int Flush(int direction, int limit) override {
        Log("flush " + std::to_string(direction) + " " + std::to_string(limit));
        if (direction != 0) return 0;
        while (Arrived() != 0) line_->incoming.pop_front();
        return 0;
    }
    void Dump(const QvDumpSink& sink) override { sink(FormatEvent().c_str()); }
    std::intptr_t NativeHandle() const override { return open_ ? 1000 + portIndex : 0; }

    // Lets a test leave an error pending, as a failed port operation does.
    void SetPendingError(int code) { lastError = code; }

private:
    // Bytes at the front of the script whose time has come.
    std::size_t Arrived() const {
        std::size_t n = 0;
        const std::uint32_t now = line_->clock.NowMs();
        for (const auto& arrival : line_->incoming) {
            if (!platform::Reached(now, arrival.atMs)) break;
            ++n;
        }
        return n;
    }
    std::string FormatEvent() const {
        char text[64];
        std::snprintf(text, sizeof text, "format %d %c %d %d", static_cast<int>(baud_), parity_,
                      dataBits_, stopBits_);
        return text;
    }
    void Log(std::string event) { line_->events.push_back(std::move(event)); }

    std::shared_ptr<FakeLine> line_;
    bool open_ = false;
    std::int32_t baud_ = 115200;  // the format a port has right after opening
    char parity_ = 'N';
    int dataBits_ = 8;
    int stopBits_ = 1;
    int rxMode_ = 0;
    int txMode_ = 0;
};

// A virtual clock installed for the test, and a line scripted on it.
class FakeLineTest : public ::testing::Test {
protected:
    explicit FakeLineTest(std::uint32_t startMs = 1000) : clock(startMs) {}

    platform::VirtualClock clock;
    platform::ScopedClock useClock{clock};
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>(clock);
};

}  // namespace fake
