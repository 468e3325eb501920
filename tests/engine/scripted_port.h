#pragma once
// ScriptedLine: a hand-driven far end for protocol tests of the engine. The
// test schedules the bytes the "instrument" sends (each arriving at a chosen
// virtual time) and may react to every byte the engine writes; the line logs
// every write, flush and rate change with its virtual time.
//
// ScriptedPort is the QvComLink the engine's Serial opens over a ScriptedLine
// (install it with ScopedPortFactory(line.Factory())). Idle advances the
// current clock by 1 ms; transmitted bytes leave at once unless the line was
// given a drain rate.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comlink/qv_com_link.h"
#include "comlink/serial.h"

namespace engine_test {

struct LineEvent {
    enum Kind { kWrite, kFlushInput, kFlushOutput, kRate } kind;
    std::uint32_t timeMs;
    int value;  // the byte written, or the rate set
};

class ScriptedLine {
public:
    // Schedules `bytes` to arrive `delayMs` after now, behind anything sent
    // before.
    void Send(const std::string& bytes, std::uint32_t delayMs = 0);
    void SendByte(std::uint8_t byte, std::uint32_t delayMs = 0);

    // Called for every byte the engine writes, after it was logged.
    std::function<void(ScriptedLine&, std::uint8_t)> onWrite;
    // Writes from this 1-based write on fail with -805 (0: never).
    int failWritesFrom = 0;
    // Bytes leaving the transmit queue per ms; 0: they leave at once.
    int drainPerMs = 0;

    // Everything the engine wrote, in order, as a string of bytes.
    std::string Written() const;
    std::vector<LineEvent> Events() const { return events_; }
    // Times of events of `kind` (and `value`, when not -1).
    std::vector<std::uint32_t> Times(LineEvent::Kind kind, int value = -1) const;
    int WriteCount() const { return writes_; }
    int CurrentRate() const { return rate_; }
    bool PortOpen() const { return portOpen_; }
    // The largest transmit count seen after a write.
    int PeakTxCount() const { return peakTx_; }

    PortFactory Factory();

private:
    friend class ScriptedPort;
    struct Arrival {
        std::uint32_t atMs;
        std::uint8_t byte;
    };

    void Log(LineEvent::Kind kind, int value);
    int Write(std::uint8_t byte);
    int Read();
    void FlushInput();
    void FlushOutput();
    int TxCount();
    void Drain();

    std::deque<Arrival> arrivals_;
    std::vector<LineEvent> events_;
    int rate_ = 115200;
    bool portOpen_ = false;
    int txQueued_ = 0;
    std::uint32_t lastDrainMs_ = 0;
    int peakTx_ = 0;
    int writes_ = 0;
};

}  // namespace engine_test
