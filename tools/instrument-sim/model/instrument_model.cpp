#include "tools/instrument-sim/model/instrument_model.h"

#include <algorithm>

#include "tools/instrument-sim/model/instrument_behaviour.h"
#include "tools/instrument-sim/model/uart_noise.h"
#include "tools/instrument-sim/model/wire.h"

namespace instrument_sim {
namespace {

constexpr std::uint64_t kNsPerMs = 1'000'000;

std::optional<std::uint64_t> Earliest(std::optional<std::uint64_t> a,
                                      std::optional<std::uint64_t> b) {
    if (!a) return b;
    if (!b) return a;
    return std::min(*a, *b);
}

}  // namespace

InstrumentModel::InstrumentModel(InstrumentConfig config)
    : config_(std::move(config)),
      behaviour_(std::make_unique<InstrumentBehaviour>(config_)),
      toInstrument_(std::make_unique<Wire>(config_.lineTime)),
      toHost_(std::make_unique<Wire>(config_.lineTime)) {}

InstrumentModel::~InstrumentModel() = default;

void InstrumentModel::AdvanceTo(std::uint64_t nowMs) {
    const std::lock_guard lock(mutex_);
    AdvanceLocked(nowMs * kNsPerMs);
}

void InstrumentModel::AdvanceToClock(std::uint32_t clockMs) {
    const std::lock_guard lock(mutex_);
    const std::uint64_t targetMs =
        lastClockMs_ ? nowNs_ / kNsPerMs + static_cast<std::uint32_t>(clockMs - *lastClockMs_)
                     : clockMs;
    lastClockMs_ = clockMs;
    AdvanceLocked(targetMs * kNsPerMs);
}

std::uint64_t InstrumentModel::NowMs() const {
    const std::lock_guard lock(mutex_);
    return nowNs_ / kNsPerMs;
}

void InstrumentModel::AdvanceToNs(std::uint64_t nowNs) {
    const std::lock_guard lock(mutex_);
    AdvanceLocked(nowNs);
}

std::uint64_t InstrumentModel::NowNs() const {
    const std::lock_guard lock(mutex_);
    return nowNs_;
}

// Plays everything due up to `targetNs` in time order: bytes reaching the
// instrument, the instrument's planned bytes going onto the line, its timers,
// and bytes reaching the host (which land in the host's inbox at the host's
// rate of that moment).
void InstrumentModel::AdvanceLocked(std::uint64_t targetNs) {
    if (targetNs < nowNs_) return;
    while (!behaviour_->HungUp()) {
        const auto next = Earliest(toInstrument_->NextArrivalNs(), behaviour_->NextDueNs());
        if (!next || *next > targetNs) break;
        const std::uint64_t at = *next;
        while (auto byte = toInstrument_->TakeOneArrived(at)) {
            DeliverToInstrument(*byte, at);
        }
        behaviour_->Tick(at);
        for (const std::uint8_t out : behaviour_->TakeDue(at)) {
            toHost_->Send(out, behaviour_->Baud(), at);
        }
        DeliverToHost(at);
    }
    DeliverToHost(targetNs);
    if (behaviour_->HungUp()) {
        toInstrument_->Clear();
        toHost_->Clear();
        hostInbox_.clear();
    }
    nowNs_ = targetNs;
}

void InstrumentModel::DeliverToInstrument(const WireByte& byte, std::uint64_t atNs) {
    const std::uint32_t listening = behaviour_->Baud();
    if (byte.baud == listening) {
        behaviour_->Receive(byte.byte, atNs);
        return;
    }
    behaviour_->CountNoise();
    if (config_.noise == NoiseMode::kDrop) return;
    for (const std::uint8_t heard : ReceiveAtRate(byte.byte, byte.baud, listening)) {
        behaviour_->Receive(heard, atNs);
    }
}

void InstrumentModel::DeliverToHost(std::uint64_t atNs) {
    for (const WireByte& byte : toHost_->TakeArrived(atNs)) {
        if (byte.baud == hostRate_) {
            hostInbox_.push_back(byte.byte);
            continue;
        }
        behaviour_->CountNoise();
        if (config_.noise == NoiseMode::kDrop) continue;
        for (const std::uint8_t heard : ReceiveAtRate(byte.byte, byte.baud, hostRate_)) {
            hostInbox_.push_back(heard);
        }
    }
}

std::optional<std::uint64_t> InstrumentModel::NextDueMs() const {
    const std::lock_guard lock(mutex_);
    const auto next = NextDueLocked();
    if (!next) return std::nullopt;
    return (*next + kNsPerMs - 1) / kNsPerMs;
}

std::optional<std::uint64_t> InstrumentModel::NextDueNs() const {
    const std::lock_guard lock(mutex_);
    return NextDueLocked();
}

std::optional<std::uint64_t> InstrumentModel::NextDueLocked() const {
    return Earliest(Earliest(toInstrument_->NextArrivalNs(), toHost_->NextArrivalNs()),
                    behaviour_->NextDueNs());
}

void InstrumentModel::SetHostRate(std::uint32_t baud) {
    const std::lock_guard lock(mutex_);
    hostRate_ = baud;
    behaviour_->NoteHostRate(baud, nowNs_);
}

std::uint32_t InstrumentModel::HostRate() const {
    const std::lock_guard lock(mutex_);
    return hostRate_;
}

std::size_t InstrumentModel::HostWrite(const std::uint8_t* data, std::size_t count) {
    const std::lock_guard lock(mutex_);
    if (behaviour_->HungUp()) return 0;
    for (std::size_t i = 0; i < count; ++i) toInstrument_->Send(data[i], hostRate_, nowNs_);
    // Without line time the bytes arrive at once: let the instrument act now.
    AdvanceLocked(nowNs_);
    return count;
}

std::size_t InstrumentModel::HostTxPending() const {
    const std::lock_guard lock(mutex_);
    return toInstrument_->Pending();
}

void InstrumentModel::HostFlushTx() {
    const std::lock_guard lock(mutex_);
    toInstrument_->DropNotStarted(nowNs_);
}

std::vector<std::uint8_t> InstrumentModel::HostRead() {
    const std::lock_guard lock(mutex_);
    std::vector<std::uint8_t> bytes(hostInbox_.begin(), hostInbox_.end());
    hostInbox_.clear();
    return bytes;
}

bool InstrumentModel::HungUp() const {
    const std::lock_guard lock(mutex_);
    return behaviour_->HungUp();
}

bool InstrumentModel::OnBootSide() const {
    const std::lock_guard lock(mutex_);
    return behaviour_->OnBootSide();
}

bool InstrumentModel::ReceivingKernel() const {
    const std::lock_guard lock(mutex_);
    return behaviour_->ReceivingKernel();
}

bool InstrumentModel::ReceivingUpdate() const {
    const std::lock_guard lock(mutex_);
    return behaviour_->ReceivingUpdate();
}

std::uint64_t InstrumentModel::HostLineFreeNs() const {
    const std::lock_guard lock(mutex_);
    return toInstrument_->LineFreeNs();
}

Outcome InstrumentModel::CurrentOutcome() const {
    const std::lock_guard lock(mutex_);
    return behaviour_->Record().outcome;
}

ModelRecord InstrumentModel::Record() const {
    const std::lock_guard lock(mutex_);
    return behaviour_->Record();
}

std::string InstrumentModel::SummaryText() const {
    const ModelRecord record = Record();
    return instrument_sim::SummaryText(Summary(record));
}

std::string InstrumentModel::SummaryJson() const {
    const ModelRecord record = Record();
    return instrument_sim::SummaryJson(Summary(record));
}

bool InstrumentModel::ImagesMatch() const {
    const ModelRecord record = Record();
    return instrument_sim::ImagesMatch(Summary(record));
}

SummaryInput InstrumentModel::Summary(const ModelRecord& record) const {
    return {record, config_.expectedKernel, config_.expectedUpdate, config_.kernelFile,
            config_.updateFile};
}

}  // namespace instrument_sim
