#pragma once
// What the simulated instrument received and did, kept for tests and for the
// summary the pty tool prints: both images with their digests, the commands
// in order, the rates the host used, and a timestamped log of notable events.

#include <cstdint>
#include <string>
#include <vector>

namespace instrument_sim {

// An image as the instrument received it.
struct ImageRecord {
    std::vector<std::uint8_t> bytes;
    std::uint32_t expectedSize = 0;  // 0: not known
    bool complete = false;           // the instrument took the image as ended

    // Lower-case hex SHA-256 of `bytes`.
    std::string Sha256Hex() const;
};

enum class EventKind {
    kHostRate,        // value: the rate the host set
    kTagLine,         // text: a line the application side received
    kProbeLine,       // the "<CFG>..." probe line
    kAckSent,         // answer to "<>"
    kVersionQuery,    // the "?" line
    kVersionSent,     // text: the version sent (empty for version-less lines)
    kSwitchToBoot,    // the switch command; the boot side listens from now on
    kSyncProbe,       // value: the probe's number (1-based), at 38400 baud
    kSyncReplySent,   // value: the byte sent (0xAA, or the pre-sync answer)
    kKernelFirstByte,
    kKernelLastByte,  // value: the kernel's size
    kEndCodeSent,     // value: the end code
    kCommand,         // value: the command byte received
    kCommandEchoSent, // value: the command byte echoed
    kUpdateFirstByte,
    kUpdateLastByte,  // value: the image's size
    kStatusSent,      // value: the status byte; text: the command's number
    kNewCodeStarted,
    kStrayByteSent,   // value: the byte
    kHungUp,
};

// Stable lower-case name of an event kind, as used in the JSON summary.
const char* EventName(EventKind kind);

struct ModelEvent {
    std::uint64_t timeMs = 0;  // model time (see InstrumentModel::AdvanceTo)
    EventKind kind = EventKind::kHostRate;
    int value = 0;
    std::string text;
};

// How far the instrument got, from its own point of view.
enum class Outcome {
    kInProgress,
    kCompleted,  // method 2: new code started; method 1: flash programmed, status 0
    kFailed,     // it reported a failure (end code, memory errors, non-zero status)
    kHungUp,     // the line went dead
};
const char* OutcomeName(Outcome outcome);

struct ModelRecord {
    ImageRecord kernel;
    ImageRecord update;
    std::vector<std::uint8_t> commands;       // command bytes received, in order
    std::vector<std::uint32_t> ratesSeen;     // each rate the host set, in order, repeats removed
    std::vector<std::string> tagLines;        // lines received by the application side, without LF
    int syncProbes = 0;                       // 0x0D probes received at 38400
    int noiseBytes = 0;                       // bytes received at a foreign rate (either side)
    std::vector<ModelEvent> events;
    Outcome outcome = Outcome::kInProgress;

    // The time of the first event of `kind` (and `value`, when given), or -1.
    std::int64_t FirstTime(EventKind kind) const;
    std::int64_t FirstTime(EventKind kind, int value) const;
    // How many events of `kind` were recorded.
    int Count(EventKind kind) const;
};

// The summary for a person: one line per finding. `kernelLabel` and
// `updateLabel` name the files the images were compared with (empty: none),
// and the expected bytes decide "matches" or "mismatch".
struct SummaryInput {
    const ModelRecord& record;
    const std::vector<std::uint8_t>& expectedKernel;
    const std::vector<std::uint8_t>& expectedUpdate;
    std::string kernelLabel;
    std::string updateLabel;
};
std::string SummaryText(const SummaryInput& input);
// The same as one JSON object (keys: outcome, kernel, update, commands,
// rates, tag_lines, sync_probes, noise_bytes, events).
std::string SummaryJson(const SummaryInput& input);
// True when every image with expected bytes arrived complete and equal.
bool ImagesMatch(const SummaryInput& input);

}  // namespace instrument_sim
