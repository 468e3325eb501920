#include "tools/instrument-sim/model/instrument_behaviour.h"

namespace instrument_sim {
namespace {

constexpr std::uint64_t kNsPerMs = 1'000'000;
// A line longer than this without a line feed is noise; the buffer restarts.
constexpr std::size_t kMaxTagLine = 4096;
constexpr std::uint8_t kLineFeed = 0x0A;
constexpr std::uint8_t kEchoInversion = 0xFF;

const char* const kTagProbeBody = "<CFG><OUTRATE>0</OUTRATE></CFG>";
const char* const kVersionQueryBody = "?";
const char* const kSwitchBody = "<PROGRAM>TRUE</PROGRAM>";
const char* const kEmptyElement = "<>";

std::uint64_t Ms(std::uint32_t ms) { return std::uint64_t{ms} * kNsPerMs; }

bool IsBootCommand(std::uint8_t byte) {
    return byte == kCmdClearFlash || byte == kCmdEraseFlash || byte == kCmdProgramFlash ||
           byte == kCmdSendUpdate || byte == kCmdStartNewCode;
}

template <typename Map>
std::uint32_t LookUp(const Map& map, int key, std::uint32_t fallback) {
    const auto found = map.find(key);
    return found == map.end() ? fallback : found->second;
}

std::optional<std::uint32_t> KnownSize(const std::string& file,
                                       const std::vector<std::uint8_t>& expected,
                                       std::uint32_t size) {
    if (!file.empty() || !expected.empty()) return static_cast<std::uint32_t>(expected.size());
    if (size > 0) return size;
    return std::nullopt;
}

}  // namespace

InstrumentBehaviour::InstrumentBehaviour(const InstrumentConfig& config)
    : config_(config),
      side_(config.updateMethod == 1 ? Side::kSync : Side::kApplication),
      kernelSize_(KnownSize(config.kernelFile, config.expectedKernel, config.kernelSize)),
      updateSize_(KnownSize(config.updateFile, config.expectedUpdate, config.updateSize)) {
    record_.kernel.expectedSize = kernelSize_.value_or(0);
    record_.update.expectedSize = updateSize_.value_or(0);
}

std::uint32_t InstrumentBehaviour::Baud() const {
    return side_ == Side::kApplication ? kApplicationBaud : config_.bootBaud;
}

void InstrumentBehaviour::NoteHostRate(std::uint32_t baud, std::uint64_t nowNs) {
    if (record_.ratesSeen.empty() || record_.ratesSeen.back() != baud) {
        record_.ratesSeen.push_back(baud);
        Log(nowNs, EventKind::kHostRate, static_cast<int>(baud));
    }
}

void InstrumentBehaviour::Receive(std::uint8_t byte, std::uint64_t nowNs) {
    if (hungUp_) return;
    switch (side_) {
        case Side::kApplication: ReceiveApplication(byte, nowNs); break;
        case Side::kSync: ReceiveSync(byte, nowNs); break;
        case Side::kKernel: ReceiveKernel(byte, nowNs); break;
        case Side::kCommands: ReceiveCommand(byte, nowNs); break;
        case Side::kUpdate: ReceiveUpdate(byte, nowNs); break;
    }
}

// --- Application side -----------------------------------------------------

void InstrumentBehaviour::ReceiveApplication(std::uint8_t byte, std::uint64_t nowNs) {
    if (byte != kLineFeed) {
        lineBuffer_.push_back(static_cast<char>(byte));
        if (lineBuffer_.size() > kMaxTagLine) lineBuffer_.clear();
        return;
    }
    std::string line;
    line.swap(lineBuffer_);
    record_.tagLines.push_back(line);
    Log(nowNs, EventKind::kTagLine, 0, line);
    HandleTagLine(line, nowNs);
}

void InstrumentBehaviour::HandleTagLine(const std::string& line, std::uint64_t nowNs) {
    const std::string open = "<" + config_.parentTag + ">";
    const std::string close = "</" + config_.parentTag + ">";
    if (config_.updateMethod == 1) return;  // no tag language
    if (line == kEmptyElement) {
        PlanText(nowNs, open + "<ack>false</ack>" + close);
        Plan(nowNs, {kLineFeed, EventKind::kAckSent, 0, {}});
        return;
    }
    if (line.size() < open.size() + close.size() || line.compare(0, open.size(), open) != 0 ||
        line.compare(line.size() - close.size(), close.size(), close) != 0) {
        return;
    }
    const std::string body = line.substr(open.size(), line.size() - open.size() - close.size());
    if (body == kTagProbeBody) {
        Log(nowNs, EventKind::kProbeLine);
        if (!config_.probeLineReply.empty()) {
            PlanText(nowNs, config_.probeLineReply);
            Plan(nowNs, {kLineFeed, {}, 0, {}});
        }
    } else if (body == kVersionQueryBody) {
        Log(nowNs, EventKind::kVersionQuery);
        if (config_.versionReply == VersionReply::kVersion) {
            PlanText(nowNs, open + "<VER>" + config_.version + "</VER>" + close);
            Plan(nowNs, {kLineFeed, EventKind::kVersionSent, 0, config_.version});
        } else if (config_.versionReply == VersionReply::kNoVersion) {
            for (int i = 0; i < config_.versionlessLines; ++i) {
                PlanText(nowNs, open + "<STATUS>READY</STATUS>" + close);
                Plan(nowNs, {kLineFeed, EventKind::kVersionSent, 0, {}});
            }
        }
    } else if (body == kSwitchBody) {
        Log(nowNs, EventKind::kSwitchToBoot);
        side_ = Side::kSync;
        lineBuffer_.clear();
    }
}

// --- Boot side: synchronisation and kernel ---------------------------------

void InstrumentBehaviour::ReceiveSync(std::uint8_t byte, std::uint64_t nowNs) {
    if (byte != kSyncProbe) return;
    ++record_.syncProbes;
    Log(nowNs, EventKind::kSyncProbe, record_.syncProbes);
    const std::uint64_t at = nowNs + Ms(config_.syncReplyDelayMs);
    if (config_.syncFromProbe > 0 && record_.syncProbes >= config_.syncFromProbe) {
        Plan(at, {kSyncReply, EventKind::kSyncReplySent, kSyncReply, {}});
        syncAnswerAtNs_ = at;
        side_ = Side::kKernel;
        if (kernelSize_ && *kernelSize_ == 0) EndKernel(nowNs, at);
    } else if (config_.preSyncReply) {
        Plan(at, {*config_.preSyncReply, EventKind::kSyncReplySent, *config_.preSyncReply, {}});
    }
}

bool InstrumentBehaviour::SentBeforeTheAnswerWasSeen(std::uint64_t arrivedNs) const {
    // The host can send a reply only once the answer has crossed the line,
    // which takes the answer's own byte time and then the reply's.
    constexpr std::uint64_t kBitsPerByte = 10;
    const std::uint64_t byteNs = kBitsPerByte * 1'000'000'000ULL / Baud();
    return syncAnswerAtNs_ && arrivedNs < *syncAnswerAtNs_ + 2 * byteNs;
}

void InstrumentBehaviour::ReceiveKernel(std::uint8_t byte, std::uint64_t nowNs) {
    auto& kernel = record_.kernel.bytes;
    // An instrument that answers at once has its answer on the line before
    // a further probe can reach it. A probe that arrives sooner than the
    // host could have replied to the answer was held up on the way with the
    // one before (a loaded machine delays a pseudo-terminal's bytes), and
    // the host sent it without having seen the answer: another probe, not
    // the kernel's first byte.
    if (kernel.empty() && byte == kSyncProbe && config_.syncReplyDelayMs == 0 && SentBeforeTheAnswerWasSeen(nowNs)) {
        return;
    }
    if (config_.hangUp == HangUpStage::kKernel && kernel.size() >= config_.hangUpAfterBytes) {
        HangUp(nowNs);
        return;
    }
    const int index = static_cast<int>(kernel.size());
    kernel.push_back(byte);
    if (index == 0) Log(nowNs, EventKind::kKernelFirstByte);

    std::uint64_t at = nowNs;
    if (index == config_.lateEchoAtByte) at += Ms(config_.lateEchoMs);
    if (index == config_.strayBeforeEchoAtByte) {
        Plan(at, {config_.strayByte, EventKind::kStrayByteSent, config_.strayByte, {}});
    }
    const std::uint8_t echo =
        index == config_.wrongEchoAtByte ? static_cast<std::uint8_t>(byte ^ kEchoInversion) : byte;
    if (!Silenced(SilentStage::kKernelEcho, index)) Plan(at, {echo, {}, 0, {}});

    if (kernelSize_) {
        if (kernel.size() == *kernelSize_) EndKernel(nowNs, at);
    } else {
        gapDeadlineNs_ = nowNs + Ms(kKernelEndGapMs);
    }
}

void InstrumentBehaviour::EndKernel(std::uint64_t lastByteNs, std::uint64_t atNs) {
    gapDeadlineNs_.reset();
    record_.kernel.complete = true;
    const auto size = static_cast<int>(record_.kernel.bytes.size());
    Log(lastByteNs, EventKind::kKernelLastByte, size);
    switch (config_.kernelEnd) {
        case KernelEnd::kAccept:
            Plan(atNs, {kKernelAccepted, EventKind::kEndCodeSent, kKernelAccepted, {}});
            side_ = Side::kCommands;
            break;
        case KernelEnd::kMemoryErrors:
            if (Plan(atNs, {kKernelMemoryErrors, EventKind::kEndCodeSent, kKernelMemoryErrors, {}})) {
                if (config_.memoryErrorCountBytes > 0) {
                    Plan(atNs, {static_cast<std::uint8_t>(config_.memoryErrors & 0xFF), {}, 0, {}});
                }
                if (config_.memoryErrorCountBytes > 1) {
                    Plan(atNs, {static_cast<std::uint8_t>(config_.memoryErrors >> 8), {}, 0, {}});
                }
            }
            record_.outcome = Outcome::kFailed;
            side_ = Side::kSync;
            break;
        case KernelEnd::kBadCode:
            Plan(atNs, {config_.badEndCode, EventKind::kEndCodeSent, config_.badEndCode, {}});
            record_.outcome = Outcome::kFailed;
            side_ = Side::kSync;
            break;
    }
}

// --- Boot side: commands and the update image ------------------------------

void InstrumentBehaviour::ReceiveCommand(std::uint8_t byte, std::uint64_t nowNs) {
    if (!IsBootCommand(byte)) return;
    record_.commands.push_back(byte);
    Log(nowNs, EventKind::kCommand, byte);
    const std::uint64_t echoAt = nowNs + Ms(LookUp(config_.commandEchoDelayMs, byte, 0));
    if (config_.strayBeforeCommandEcho == byte) {
        Plan(echoAt, {config_.strayByte, EventKind::kStrayByteSent, config_.strayByte, {}});
    }
    if (Silenced(SilentStage::kCommandEcho, byte)) return;
    Plan(echoAt, {byte, EventKind::kCommandEchoSent, byte, {}});
    if (byte == kCmdSendUpdate) {
        side_ = Side::kUpdate;
        if (updateSize_ && *updateSize_ == 0) EndUpdate(echoAt, echoAt);
    } else if (byte == kCmdStartNewCode) {
        Log(nowNs, EventKind::kNewCodeStarted);
        if (record_.outcome == Outcome::kInProgress) record_.outcome = Outcome::kCompleted;
    } else {
        SendStatus(byte, echoAt + Ms(LookUp(config_.statusDelayMs, byte, 0)));
    }
}

void InstrumentBehaviour::ReceiveUpdate(std::uint8_t byte, std::uint64_t nowNs) {
    auto& update = record_.update.bytes;
    if (config_.hangUp == HangUpStage::kUpdate && update.size() >= config_.hangUpAfterBytes) {
        HangUp(nowNs);
        return;
    }
    update.push_back(byte);
    if (update.size() == 1) Log(nowNs, EventKind::kUpdateFirstByte);
    if (updateSize_) {
        if (update.size() == *updateSize_) EndUpdate(nowNs, nowNs);
    } else {
        gapDeadlineNs_ = nowNs + Ms(kUpdateEndGapMs);
    }
}

void InstrumentBehaviour::EndUpdate(std::uint64_t lastByteNs, std::uint64_t atNs) {
    gapDeadlineNs_.reset();
    record_.update.complete = true;
    Log(lastByteNs, EventKind::kUpdateLastByte, static_cast<int>(record_.update.bytes.size()));
    side_ = Side::kCommands;
    SendStatus(kCmdSendUpdate, atNs + Ms(LookUp(config_.statusDelayMs, kCmdSendUpdate, 0)));
}

void InstrumentBehaviour::SendStatus(int command, std::uint64_t atNs) {
    const auto found = config_.statusFor.find(command);
    const std::uint8_t status = found == config_.statusFor.end() ? kStatusOk : found->second;
    if (Silenced(SilentStage::kCommandStatus, command)) return;
    Plan(atNs, {status, EventKind::kStatusSent, status, std::to_string(command)});
    if (status != kStatusOk) {
        record_.outcome = Outcome::kFailed;
    } else if (command == kCmdProgramFlash && config_.updateMethod == 1 &&
               record_.outcome == Outcome::kInProgress) {
        record_.outcome = Outcome::kCompleted;
    }
}

void InstrumentBehaviour::Tick(std::uint64_t nowNs) {
    if (!gapDeadlineNs_ || *gapDeadlineNs_ > nowNs) return;
    const std::uint64_t at = *gapDeadlineNs_;
    if (side_ == Side::kKernel) {
        EndKernel(at - Ms(kKernelEndGapMs), at);
    } else if (side_ == Side::kUpdate) {
        EndUpdate(at - Ms(kUpdateEndGapMs), at);
    }
    gapDeadlineNs_.reset();
}

void InstrumentBehaviour::HangUp(std::uint64_t nowNs) {
    hungUp_ = true;
    planned_.clear();
    gapDeadlineNs_.reset();
    record_.outcome = Outcome::kHungUp;
    Log(nowNs, EventKind::kHungUp);
}

// --- Planning and logging ----------------------------------------------------

bool InstrumentBehaviour::Silenced(SilentStage stage, int index) {
    if (silent_) return true;
    if (config_.silentFrom != stage) return false;
    switch (stage) {
        case SilentStage::kKernelEcho: silent_ = index >= config_.silentAtKernelByte; break;
        case SilentStage::kCommandEcho:
        case SilentStage::kCommandStatus: silent_ = index == config_.silentCommand; break;
        default: silent_ = true; break;
    }
    return silent_;
}

bool InstrumentBehaviour::Plan(std::uint64_t atNs, PlannedByte byte) {
    const SilentStage stage = side_ == Side::kApplication ? SilentStage::kTagReplies
                            : side_ == Side::kSync || byte.event == EventKind::kSyncReplySent
                                ? SilentStage::kSyncReply
                            : byte.event == EventKind::kEndCodeSent ? SilentStage::kEndCode
                                                                     : SilentStage::kNone;
    if (stage != SilentStage::kNone ? Silenced(stage, 0) : silent_) return false;
    planned_.emplace(atNs, std::move(byte));
    return true;
}

void InstrumentBehaviour::PlanText(std::uint64_t atNs, const std::string& text) {
    for (const char c : text) Plan(atNs, {static_cast<std::uint8_t>(c), {}, 0, {}});
}

std::optional<std::uint64_t> InstrumentBehaviour::NextDueNs() const {
    std::optional<std::uint64_t> next = gapDeadlineNs_;
    if (!planned_.empty()) {
        const std::uint64_t first = planned_.begin()->first;
        next = next ? std::min(*next, first) : first;
    }
    return next;
}

std::vector<std::uint8_t> InstrumentBehaviour::TakeDue(std::uint64_t nowNs) {
    std::vector<std::uint8_t> due;
    while (!planned_.empty() && planned_.begin()->first <= nowNs) {
        const auto& [atNs, planned] = *planned_.begin();
        due.push_back(planned.byte);
        if (planned.event) Log(atNs, *planned.event, planned.eventValue, planned.eventText);
        planned_.erase(planned_.begin());
    }
    return due;
}

void InstrumentBehaviour::Log(std::uint64_t nowNs, EventKind kind, int value, std::string text) {
    record_.events.push_back({nowNs / kNsPerMs, kind, value, std::move(text)});
}

}  // namespace instrument_sim
