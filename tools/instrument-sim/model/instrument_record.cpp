#include "tools/instrument-sim/model/instrument_record.h"

#include <cstdio>

#include "platform/sha256.h"

namespace instrument_sim {

std::string ImageRecord::Sha256Hex() const {
    return platform::Sha256Hex(bytes);
}

const char* EventName(EventKind kind) {
    switch (kind) {
        case EventKind::kHostRate: return "host_rate";
        case EventKind::kTagLine: return "tag_line";
        case EventKind::kProbeLine: return "probe_line";
        case EventKind::kAckSent: return "ack_sent";
        case EventKind::kVersionQuery: return "version_query";
        case EventKind::kVersionSent: return "version_sent";
        case EventKind::kSwitchToBoot: return "switch_to_boot";
        case EventKind::kSyncProbe: return "sync_probe";
        case EventKind::kSyncReplySent: return "sync_reply_sent";
        case EventKind::kKernelFirstByte: return "kernel_first_byte";
        case EventKind::kKernelLastByte: return "kernel_last_byte";
        case EventKind::kEndCodeSent: return "end_code_sent";
        case EventKind::kCommand: return "command";
        case EventKind::kCommandEchoSent: return "command_echo_sent";
        case EventKind::kUpdateFirstByte: return "update_first_byte";
        case EventKind::kUpdateLastByte: return "update_last_byte";
        case EventKind::kStatusSent: return "status_sent";
        case EventKind::kNewCodeStarted: return "new_code_started";
        case EventKind::kStrayByteSent: return "stray_byte_sent";
        case EventKind::kHungUp: return "hung_up";
    }
    return "unknown";
}

const char* OutcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::kInProgress: return "in progress";
        case Outcome::kCompleted: return "completed";
        case Outcome::kFailed: return "failed";
        case Outcome::kHungUp: return "hung up";
    }
    return "unknown";
}

std::int64_t ModelRecord::FirstTime(EventKind kind) const {
    for (const ModelEvent& event : events) {
        if (event.kind == kind) return static_cast<std::int64_t>(event.timeMs);
    }
    return -1;
}

std::int64_t ModelRecord::FirstTime(EventKind kind, int value) const {
    for (const ModelEvent& event : events) {
        if (event.kind == kind && event.value == value) return static_cast<std::int64_t>(event.timeMs);
    }
    return -1;
}

int ModelRecord::Count(EventKind kind) const {
    int count = 0;
    for (const ModelEvent& event : events) count += event.kind == kind ? 1 : 0;
    return count;
}

namespace {

enum class Verdict { kNotCompared, kMatches, kMismatch };

Verdict Compare(const ImageRecord& image, const std::vector<std::uint8_t>& expected,
                const std::string& label) {
    if (label.empty() && expected.empty()) return Verdict::kNotCompared;
    return image.complete && image.bytes == expected ? Verdict::kMatches : Verdict::kMismatch;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string ImageLine(const char* name, const ImageRecord& image,
                      const std::vector<std::uint8_t>& expected, const std::string& label) {
    std::string line = std::string(name) + ": " + std::to_string(image.bytes.size()) + " bytes";
    if (!image.complete) line += " (incomplete)";
    line += ", SHA-256 " + image.Sha256Hex();
    switch (Compare(image, expected, label)) {
        case Verdict::kNotCompared: break;
        case Verdict::kMatches: line += ", matches " + label; break;
        case Verdict::kMismatch: line += ", mismatch with " + label; break;
    }
    return line + "\n";
}

std::string ImageJson(const ImageRecord& image, const std::vector<std::uint8_t>& expected,
                      const std::string& label) {
    const Verdict verdict = Compare(image, expected, label);
    std::string json = "{\"size\":" + std::to_string(image.bytes.size()) +
                       ",\"expected_size\":" + std::to_string(image.expectedSize) +
                       ",\"complete\":" + (image.complete ? "true" : "false") +
                       ",\"sha256\":\"" + image.Sha256Hex() + "\",\"file\":" + JsonString(label) +
                       ",\"matches\":";
    json += verdict == Verdict::kNotCompared ? "null"
            : verdict == Verdict::kMatches   ? "true"
                                             : "false";
    return json + "}";
}

template <typename Items, typename Format>
std::string Joined(const Items& items, const char* separator, Format format) {
    std::string text;
    for (const auto& item : items) {
        if (!text.empty()) text += separator;
        text += format(item);
    }
    return text;
}

}  // namespace

std::string SummaryText(const SummaryInput& input) {
    const ModelRecord& record = input.record;
    std::string text = std::string("instrument: ") + OutcomeName(record.outcome) + "\n";
    text += ImageLine("kernel", record.kernel, input.expectedKernel, input.kernelLabel);
    text += ImageLine("update", record.update, input.expectedUpdate, input.updateLabel);
    text += "commands: " +
            Joined(record.commands, " ", [](std::uint8_t c) { return std::to_string(c); }) + "\n";
    text += "rates: " +
            Joined(record.ratesSeen, " ", [](std::uint32_t r) { return std::to_string(r); }) + "\n";
    text += "tag lines: " + std::to_string(record.tagLines.size()) +
            ", sync probes: " + std::to_string(record.syncProbes) +
            ", noise bytes: " + std::to_string(record.noiseBytes) + "\n";
    return text;
}

std::string SummaryJson(const SummaryInput& input) {
    const ModelRecord& record = input.record;
    std::string json = "{\"outcome\":" + JsonString(OutcomeName(record.outcome));
    json += ",\"kernel\":" + ImageJson(record.kernel, input.expectedKernel, input.kernelLabel);
    json += ",\"update\":" + ImageJson(record.update, input.expectedUpdate, input.updateLabel);
    json += ",\"commands\":[" +
            Joined(record.commands, ",", [](std::uint8_t c) { return std::to_string(c); }) + "]";
    json += ",\"rates\":[" +
            Joined(record.ratesSeen, ",", [](std::uint32_t r) { return std::to_string(r); }) + "]";
    json += ",\"tag_lines\":[" + Joined(record.tagLines, ",", JsonString) + "]";
    json += ",\"sync_probes\":" + std::to_string(record.syncProbes);
    json += ",\"noise_bytes\":" + std::to_string(record.noiseBytes);
    json += ",\"events\":[" + Joined(record.events, ",", [](const ModelEvent& event) {
                return "{\"ms\":" + std::to_string(event.timeMs) + ",\"event\":\"" +
                       EventName(event.kind) + "\",\"value\":" + std::to_string(event.value) +
                       ",\"text\":" + JsonString(event.text) + "}";
            }) + "]";
    return json + "}";
}

bool ImagesMatch(const SummaryInput& input) {
    return Compare(input.record.kernel, input.expectedKernel, input.kernelLabel) != Verdict::kMismatch &&
           Compare(input.record.update, input.expectedUpdate, input.updateLabel) != Verdict::kMismatch;
}

}  // namespace instrument_sim
