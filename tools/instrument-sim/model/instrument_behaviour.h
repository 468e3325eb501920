#pragma once
// The instrument itself, without the line: what it does with each byte that
// reaches it at its own rate, and which bytes it sends back when. Used only
// by InstrumentModel, which owns the line and the clock.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/instrument-sim/model/instrument_config.h"
#include "tools/instrument-sim/model/instrument_record.h"

namespace instrument_sim {

// A byte the instrument will put on the line at `dueNs`, and the event to log
// when it does.
struct PlannedByte {
    std::uint8_t byte = 0;
    std::optional<EventKind> event;
    int eventValue = 0;
    std::string eventText;
};

class InstrumentBehaviour {
public:
    explicit InstrumentBehaviour(const InstrumentConfig& config);

    // The rate the instrument listens and sends at now.
    std::uint32_t Baud() const;
    bool OnBootSide() const { return side_ != Side::kApplication; }
    // True from the sync reply until the kernel has ended: each byte the host
    // sends now is a kernel byte and is echoed.
    bool ReceivingKernel() const { return side_ == Side::kKernel; }
    // True while the boot side takes the update image's bytes (no echo).
    bool ReceivingUpdate() const { return side_ == Side::kUpdate; }
    bool HungUp() const { return hungUp_; }

    // A byte reached the instrument at its own rate at `nowNs`.
    void Receive(std::uint8_t byte, std::uint64_t nowNs);
    // A byte sent at a foreign rate reached the instrument (or the host).
    void CountNoise() { ++record_.noiseBytes; }
    // The host set a new rate at `nowNs`.
    void NoteHostRate(std::uint32_t baud, std::uint64_t nowNs);

    // Lets the end-of-image gap timers fire that are due by `nowNs`.
    void Tick(std::uint64_t nowNs);
    // The earliest time a planned byte or a timer is due.
    std::optional<std::uint64_t> NextDueNs() const;
    // Removes and returns the bytes due by `nowNs`, in order, and logs their
    // events. Nothing once the line has hung up.
    std::vector<std::uint8_t> TakeDue(std::uint64_t nowNs);

    const ModelRecord& Record() const { return record_; }

private:
    enum class Side { kApplication, kSync, kKernel, kCommands, kUpdate };

    void ReceiveApplication(std::uint8_t byte, std::uint64_t nowNs);
    void HandleTagLine(const std::string& line, std::uint64_t nowNs);
    void ReceiveSync(std::uint8_t byte, std::uint64_t nowNs);
    // A byte that arrived at `arrivedNs` was sent before the host could
    // have received the sync answer.
    bool SentBeforeTheAnswerWasSeen(std::uint64_t arrivedNs) const;
    void ReceiveKernel(std::uint8_t byte, std::uint64_t nowNs);
    // The kernel is complete: its last byte came at `lastByteNs`, the end
    // code goes out at `atNs`.
    void EndKernel(std::uint64_t lastByteNs, std::uint64_t atNs);
    void ReceiveCommand(std::uint8_t byte, std::uint64_t nowNs);
    void ReceiveUpdate(std::uint8_t byte, std::uint64_t nowNs);
    // The update image is complete (last byte at `lastByteNs`); its status
    // is planned from `atNs` on.
    void EndUpdate(std::uint64_t lastByteNs, std::uint64_t atNs);
    void SendStatus(int command, std::uint64_t atNs);
    void HangUp(std::uint64_t nowNs);

    // Plans `byte` at `atNs` unless the instrument has fallen silent at
    // `stage` (or earlier); returns false when silent.
    bool Plan(std::uint64_t atNs, PlannedByte byte);
    bool Silenced(SilentStage stage, int index);
    void PlanText(std::uint64_t atNs, const std::string& text);
    void Log(std::uint64_t nowNs, EventKind kind, int value = 0, std::string text = {});

    const InstrumentConfig& config_;
    ModelRecord record_;
    Side side_;
    bool hungUp_ = false;
    bool silent_ = false;
    std::string lineBuffer_;
    std::optional<std::uint32_t> kernelSize_;
    std::optional<std::uint32_t> updateSize_;
    std::optional<std::uint64_t> gapDeadlineNs_;
    std::multimap<std::uint64_t, PlannedByte> planned_;
    std::optional<std::uint64_t> syncAnswerAtNs_;  // when the sync answer was planned
};

}  // namespace instrument_sim
