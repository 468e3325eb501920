#pragma once
// SimulatedPort: a QvComLink whose far end is an InstrumentModel, in-process
// and in the time of the current platform clock. With a platform::VirtualClock
// installed (platform::ScopedClock) a whole update runs in milliseconds of
// real time while every pause and time-out keeps its virtual length.
//
// Time: every operation first brings the model to platform::NowMs(), so
// bytes arrive and the instrument answers as the clock moves. Idle advances
// the clock by 1 ms (platform::SleepMs(1)). QueueStatus lets 1 ms pass when
// it is called twice in a row with no other operation between, so a caller
// that busy-polls the transmit count without sleeping still sees the queue
// drain; a single call after a write costs no time.
//
// Behaves like the system port: opens in the constructor (outcome in
// LastError()), holds its index in the use-count table (-838 for a second
// open of an index), starts at 115200 8N1 with DTR and RTS raised, refuses
// parity/data bits/stop bits with -840/-842/-841, keeps an 8192-byte (or as
// built) transmit queue that drains at line rate, writes only what fits
// (-805 for a short write), reads only what has arrived.
//
// Hang-up: once the model's line is dead, reads find nothing and writes take
// nothing (-805), like a device that has vanished.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

#include "comlink/qv_com_link.h"
#include "comlink/serial.h"
#include "tools/instrument-sim/model/instrument_model.h"

namespace instrument_sim {

class SimulatedPort : public QvComLink {
public:
    // Opens at once (outcome in LastError()). A null model stands for a port
    // index with no device behind it: the open fails with -801.
    SimulatedPort(std::shared_ptr<InstrumentModel> model, int portIndex, int rxQueueSize,
                  int txQueueSize);
    ~SimulatedPort() override;

    // Advances the clock by 1 ms. 0.
    int Idle() override;
    // 1.
    int PollStatus() override;
    // Takes the port index (-838 when held, -828 outside the table); the
    // code is also left in lastError. 0 when open.
    int Open(int portIndex) override;
    // 0, or -801 without a model.
    int OpenDevice() override;
    // Empties both queues, drops DTR and RTS. 0.
    int CloseDevice() override;
    // rx/tx counts and sizes. 0, or -801 when not open.
    int QueueStatus(QvQueueStatus& status, int detail) override;
    // Empties both queues, 0 keeps a size. 0.
    int SetBufferSizes(int rxSize, int xoffLimit, int txSize) override;
    // Modes 0 only are taken (no handshake lines on the simulated line):
    // 0, or -803 for any other mode.
    int SetHandshake(int rxMode, int txMode) override;
    int GetHandshake(int& rxMode, int& txMode) override;
    // Negative reads, 1 starts, other values end. The state.
    int Break(int state) override;
    // DTR/RTS as set (1 at open); CTS, DSR, CD 1; RI and the error lines 0
    // (overflow 1 after the receive queue overflowed); 2 for unknown ids.
    int Signal(int lineId, int value) override;
    // 0, -840, -842, -841; the rate takes effect on the line at once.
    int SetFormat(std::int32_t baud, char parity, int dataBits, int stopBits) override;
    void GetFormat(std::int32_t& baud, char& parity, int& dataBits, int& stopBits) override;
    void ReadLineStatus(QvLineRecord& record) override;
    // 0, or -805 when the queue is full or the line dead.
    int WriteByte(std::uint8_t byte) override;
    int WriteString(const char* text) override;
    // Bytes taken; fewer than `length` records -805.
    int Write(const void* buffer, int length) override;
    // Hands the byte to the line at once. 0, or -801 when the line is dead.
    int TransmitImmediate(std::uint8_t byte) override;
    // The byte, or -802 when nothing has arrived.
    int ReadByte() override;
    int Read(void* buffer, int length) override;
    // Direction 0 empties the receive queue (limit > 0: drops at most that
    // many bytes, -801 when more were waiting); other directions drop the
    // bytes not yet on the wire. 0.
    int Flush(int direction, int limit) override;
    void Dump(const QvDumpSink& sink) override;
    // A fixed non-zero value while open, 0 otherwise.
    std::intptr_t NativeHandle() const override;

private:
    // Brings the model to the clock's time and moves arrived bytes into the
    // receive queue.
    void Sync();
    void NoteOperation(bool isQueueStatus);

    std::shared_ptr<InstrumentModel> model_;
    bool open_ = false;
    int rxQueueSize_;
    int txQueueSize_;
    std::deque<std::uint8_t> received_;
    bool rxOverflow_ = false;
    bool lastWasQueueStatus_ = false;
    std::int32_t baud_ = 115200;
    char parity_ = 'N';
    int dataBits_ = 8;
    int stopBits_ = 1;
    int dtr_ = 1;
    int rts_ = 1;
    int break_ = 0;
};

// A PortFactory (comlink/serial.h) that builds SimulatedPorts over `model`
// for every port index, or only for `onlyIndex` when given (other indexes
// then fail to open with -801, like a missing device). Use it as
//   ScopedPortFactory factory(SimulatedPortFactory(model));
PortFactory SimulatedPortFactory(std::shared_ptr<InstrumentModel> model,
                                 std::optional<int> onlyIndex = std::nullopt);

}  // namespace instrument_sim
