#include "tools/instrument-sim/replay/replay_player.h"

#include <algorithm>
#include <cstdio>

namespace instrument_sim {
namespace {

using wire_trace::TraceEvent;

std::string HexByte(std::uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

// The host's synchronisation probe, and the step in which it is sent.
constexpr std::uint8_t kSyncProbe = 0x0D;
constexpr const char* kSyncStep = "Synching baud rates.";

std::string AfterStep(const std::string& step) {
    return step.empty() ? "before the first step" : "after \"" + step + "\"";
}

}  // namespace

ReplayPlayer::ReplayPlayer(const std::vector<TraceEvent>& events) {
    std::string lastStep;
    for (const TraceEvent& event : events) {
        if (event.kind == TraceEvent::Kind::kMarker) {
            lastStep = event.text;
            continue;
        }
        Step step;
        step.fromHost = event.kind == TraceEvent::Kind::kSent;
        step.traceUs = event.timeUs;
        step.bytes = event.bytes;
        step.lastStep = lastStep;
        if (step.fromHost) {
            expectedHost_.insert(expectedHost_.end(), event.bytes.begin(), event.bytes.end());
            markerOfHostByte_.insert(markerOfHostByte_.end(), event.bytes.size(), lastStep);
            baudOfHostByte_.insert(baudOfHostByte_.end(), event.bytes.size(), event.baud);
        }
        step.hostEnd = expectedHost_.size();
        steps_.push_back(std::move(step));
    }
}

void ReplayPlayer::HostBytes(const std::uint8_t* bytes, std::size_t count, std::int64_t nowUs,
                             std::uint32_t hostBaud) {
    if (count > 0 && hostBaud != 0 && !rateDifference_ && hostSeen_ < baudOfHostByte_.size() &&
        baudOfHostByte_[hostSeen_] > 0 && static_cast<std::uint32_t>(baudOfHostByte_[hostSeen_]) != hostBaud) {
        rateDifference_ = RateDifference{hostSeen_, baudOfHostByte_[hostSeen_], hostBaud};
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (IsRepeatedProbe(bytes[i])) continue;
        if (hostSeen_ < expectedHost_.size() && !difference_ && bytes[i] != expectedHost_[hostSeen_]) {
            difference_ = ReplayDifference{hostSeen_, expectedHost_[hostSeen_], bytes[i], markerOfHostByte_[hostSeen_]};
        }
        ++hostSeen_;
    }
    Advance(nowUs);
}

bool ReplayPlayer::IsRepeatedProbe(std::uint8_t byte) const {
    // The host waits only briefly for the answer to a probe: when the answer
    // is late (a loaded machine), it probes once more than in the trace.
    return byte == kSyncProbe && hostSeen_ > 0 && hostSeen_ < expectedHost_.size() &&
           expectedHost_[hostSeen_ - 1] == kSyncProbe && expectedHost_[hostSeen_] != kSyncProbe &&
           markerOfHostByte_[hostSeen_ - 1] == kSyncStep;
}

void ReplayPlayer::Advance(std::int64_t nowUs) {
    while (next_ < steps_.size() && steps_[next_].fromHost && hostSeen_ >= steps_[next_].hostEnd) {
        anchorRealUs_ = nowUs;
        anchorTraceUs_ = steps_[next_].traceUs;
        anchored_ = true;
        ++next_;
    }
}

std::optional<std::int64_t> ReplayPlayer::NextDueUs() const {
    if (next_ >= steps_.size() || steps_[next_].fromHost) return std::nullopt;
    // Before any host step the first reply counts from the trace's start.
    const std::int64_t base = anchored_ ? anchorRealUs_ : 0;
    const std::int64_t since = anchored_ ? anchorTraceUs_ : 0;
    return base + std::max<std::int64_t>(0, steps_[next_].traceUs - since);
}

std::vector<std::uint8_t> ReplayPlayer::TakeDue(std::int64_t nowUs) {
    std::vector<std::uint8_t> due;
    Advance(nowUs);
    for (std::optional<std::int64_t> at = NextDueUs(); at && *at <= nowUs; at = NextDueUs()) {
        const Step& step = steps_[next_];
        due.insert(due.end(), step.bytes.begin(), step.bytes.end());
        repliesPlayed_ += step.bytes.size();
        // Later delays count from when this reply was due, as in the trace.
        anchorRealUs_ = *at;
        anchorTraceUs_ = step.traceUs;
        anchored_ = true;
        ++next_;
        Advance(nowUs);
    }
    return due;
}

bool ReplayPlayer::Finished() const { return next_ >= steps_.size(); }

ReplayVerdict ReplayPlayer::Verdict() const {
    ReplayVerdict verdict;
    verdict.hostBytesExpected = expectedHost_.size();
    verdict.hostBytesSeen = hostSeen_;
    verdict.replyBytesPlayed = repliesPlayed_;
    verdict.difference = difference_;
    verdict.rateDifference = rateDifference_;
    if (difference_) {
        verdict.text = "differed at host byte " + std::to_string(difference_->hostByte) + " " +
                       AfterStep(difference_->lastStep) + ": the trace has " + HexByte(difference_->expected) +
                       ", the host sent " + HexByte(difference_->got);
    } else if (hostSeen_ < expectedHost_.size()) {
        verdict.text = "differed: the host sent " + std::to_string(hostSeen_) + " of the trace's " +
                       std::to_string(expectedHost_.size()) + " bytes, stopping " +
                       AfterStep(markerOfHostByte_[hostSeen_]);
    } else if (hostSeen_ > expectedHost_.size()) {
        verdict.text = "differed: the host sent " + std::to_string(hostSeen_ - expectedHost_.size()) +
                       " bytes more than the trace's " + std::to_string(expectedHost_.size());
    } else {
        verdict.matched = true;
        verdict.text = "matched: " + std::to_string(hostSeen_) + " host bytes, " + std::to_string(repliesPlayed_) +
                       " instrument bytes played";
    }
    if (rateDifference_) {
        verdict.text += "; the line rate first differed at host byte " + std::to_string(rateDifference_->hostByte) +
                        ": the trace has " + std::to_string(rateDifference_->traceBaud) + " baud, the host set " +
                        std::to_string(rateDifference_->hostBaud);
    }
    return verdict;
}

}  // namespace instrument_sim
