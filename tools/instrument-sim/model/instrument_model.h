#pragma once
// InstrumentModel: the simulated instrument and the serial line to it, as
// pure logic driven by time and by bytes. No I/O, no clock of its own: the
// caller tells it the time (AdvanceTo / AdvanceToClock in milliseconds, or
// AdvanceToNs in nanoseconds) before each operation, hands it the host's
// bytes and takes the bytes that have reached the host. The same model feeds
// the in-process SimulatedPort (virtual milliseconds) and the pty tool (real
// time in nanoseconds, so that each byte keeps its exact line time).
//
// The line: each direction carries bytes one after the other, each taking 10
// bit-times at the rate it was sent with (when lineTime is on). A byte that
// reaches a receiver listening at another rate is noise (garbled or dropped).
// The instrument listens at 9600 baud on its application side and at 38400
// on its boot side; the host listens at the rate it last set.
//
// All public operations are thread-safe (one internal lock).

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "tools/instrument-sim/model/instrument_config.h"
#include "tools/instrument-sim/model/instrument_record.h"

namespace instrument_sim {

class InstrumentBehaviour;
class Wire;
struct WireByte;

class InstrumentModel {
public:
    // The instrument starts on its application side (method 2) or on its
    // boot side (method 1), at model time 0, with the host at 9600 baud.
    explicit InstrumentModel(InstrumentConfig config);
    ~InstrumentModel();
    InstrumentModel(const InstrumentModel&) = delete;
    InstrumentModel& operator=(const InstrumentModel&) = delete;

    // --- Time -------------------------------------------------------------
    // Moves model time to `nowMs` and lets everything due by then happen:
    // bytes arrive, the instrument answers. A time before the current one
    // is ignored (time never goes back).
    void AdvanceTo(std::uint64_t nowMs);
    // The same for a 32-bit millisecond clock that wraps (platform::NowMs):
    // the first call puts model time at `clockMs`, later calls add the
    // wrap-safe difference to the previous reading.
    void AdvanceToClock(std::uint32_t clockMs);
    // Model time in whole milliseconds (rounded down).
    std::uint64_t NowMs() const;
    // The earliest model time at which something is due (a byte arriving
    // at either end, a delayed answer, the end-of-image gap), rounded up to
    // a whole millisecond, or nothing.
    std::optional<std::uint64_t> NextDueMs() const;

    // The same three in nanoseconds, for a caller that keeps real line
    // time: AdvanceToNs moves model time to `nowNs` (never back), NowNs
    // returns it, NextDueNs returns the exact time the next thing is due.
    void AdvanceToNs(std::uint64_t nowNs);
    std::uint64_t NowNs() const;
    std::optional<std::uint64_t> NextDueNs() const;

    // --- The host's end of the line -----------------------------------
    // The rate the host's UART sends and listens at, from now on.
    void SetHostRate(std::uint32_t baud);
    std::uint32_t HostRate() const;
    // Hands bytes to the line now. Returns how many were taken: all of
    // them, or 0 once the line has hung up.
    std::size_t HostWrite(const std::uint8_t* data, std::size_t count);
    // Bytes handed to the line that have not fully left the host yet.
    std::size_t HostTxPending() const;
    // Drops the pending bytes that have not started on the line; a byte
    // already on the wire goes on (as a UART's shift register does).
    void HostFlushTx();
    // Takes the bytes that have reached the host by now, in order.
    std::vector<std::uint8_t> HostRead();

    // --- State and record -----------------------------------------------
    bool HungUp() const;
    // True while the instrument listens on its boot side (38400 baud).
    bool OnBootSide() const;
    // True while the boot side takes kernel bytes (each one echoed).
    bool ReceivingKernel() const;
    // True while the boot side takes the streamed update image.
    bool ReceivingUpdate() const;
    // When the last byte the host handed to the line is through.
    std::uint64_t HostLineFreeNs() const;
    Outcome CurrentOutcome() const;
    // A copy of everything recorded so far.
    ModelRecord Record() const;
    const InstrumentConfig& Config() const { return config_; }
    // The summary of SummaryText / SummaryJson for this model's record and
    // its configured expected images.
    std::string SummaryText() const;
    std::string SummaryJson() const;
    // True when every image with expected bytes arrived complete and equal.
    bool ImagesMatch() const;

private:
    void AdvanceLocked(std::uint64_t nowNs);
    std::optional<std::uint64_t> NextDueLocked() const;
    void DeliverToInstrument(const WireByte& byte, std::uint64_t atNs);
    void DeliverToHost(std::uint64_t atNs);
    SummaryInput Summary(const ModelRecord& record) const;

    const InstrumentConfig config_;
    mutable std::mutex mutex_;
    std::unique_ptr<InstrumentBehaviour> behaviour_;
    std::unique_ptr<Wire> toInstrument_;
    std::unique_ptr<Wire> toHost_;
    std::uint64_t nowNs_ = 0;
    std::optional<std::uint32_t> lastClockMs_;
    std::uint32_t hostRate_ = kApplicationBaud;
    std::deque<std::uint8_t> hostInbox_;  // arrived at the host, not yet read
};

}  // namespace instrument_sim
