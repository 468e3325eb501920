#include "bench/sim_figures.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string_view>
#include <thread>

namespace bench {

namespace {

constexpr int kLinkWaitSteps = 200;
constexpr auto kLinkWaitStep = std::chrono::milliseconds(25);
constexpr double kBitsPerByte = 10;
constexpr unsigned kDialogueBaud = 9600;

// The pauses the update sequence makes, in ms: after the probe line, after
// the switch to update mode, after the rate change, and after the result.
constexpr double kProbePauseMs = 500;
constexpr double kSwitchPauseMs = 1000;
constexpr double kSyncPauseMs = 1000;
constexpr double kFinalPauseMs = 3000;
// Before the update image's last two bytes; it overlaps the draining of
// the transmit queue (up to 8190 bytes queued when it starts).
constexpr double kHoldBackPauseMs = 1000;
constexpr double kQueuedAtHoldBack = 8190;
constexpr double kHeldBackBytes = 2;
// The probe and switch lines go out while their pauses run: their line time
// is inside the pause. Bodies inside the parent tag, plus the line feed.
constexpr std::string_view kProbeBody = "<CFG><OUTRATE>0</OUTRATE></CFG>";
constexpr std::string_view kSwitchBody = "<PROGRAM>TRUE</PROGRAM>";

// The "matches" verdict of one image in the summary.
bool ImageMatches(const std::string& json, const std::string& image) {
    const std::size_t at = json.find("\"" + image + "\":{");
    if (at == std::string::npos) return false;
    const std::size_t verdict = json.find("\"matches\":", at);
    const std::size_t end = json.find('}', at);
    return verdict < end && json.compare(verdict + 10, 4, "true") == 0;
}

}  // namespace

bool WaitForLink(const std::string& link) {
    for (int step = 0; step < kLinkWaitSteps; ++step) {
        struct stat info {};
        if (lstat(link.c_str(), &info) == 0) return true;
        std::this_thread::sleep_for(kLinkWaitStep);
    }
    return false;
}

std::optional<double> JsonNumber(const std::string& json, const std::string& key) {
    const std::string pattern = "\"" + key + "\":";
    const std::size_t at = json.find(pattern);
    if (at == std::string::npos) return std::nullopt;
    return std::strtod(json.c_str() + at + pattern.size(), nullptr);
}

bool ImagesArrivedExact(const std::string& simJson) {
    return ImageMatches(simJson, "kernel") && ImageMatches(simJson, "update");
}

long FileSize(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : -1;
}

double ByteTimeMs(unsigned baud) { return kBitsPerByte * 1000.0 / baud; }

UpdateBound BoundOfUpdate(const std::string& simJson, double updateBytes, const std::string& parentTag,
                          bool lineTime) {
    UpdateBound bound;
    bound.lineMs = (JsonNumber(simJson, "line_to_instrument_ns").value_or(0) +
                    JsonNumber(simJson, "line_to_host_ns").value_or(0)) /
                   kNsPerMs;
    bound.simShareMs = JsonNumber(simJson, "session_share_ns").value_or(0) / kNsPerMs;
    const double tagLineBytes =
        static_cast<double>(2 * (2 * parentTag.size() + 5) + kProbeBody.size() + kSwitchBody.size() + 2);
    const double bodyBytes = std::max(updateBytes - kHeldBackBytes, 0.0);
    const double queuedLineMs = lineTime ? std::min(bodyBytes, kQueuedAtHoldBack) * ByteTimeMs(kBootBaud) : 0;
    bound.holdBackExtraMs = std::max(0.0, kHoldBackPauseMs - queuedLineMs);
    bound.boundMs = bound.lineMs + bound.simShareMs + kProbePauseMs + kSwitchPauseMs + kSyncPauseMs +
                    kFinalPauseMs + bound.holdBackExtraMs - tagLineBytes * ByteTimeMs(kDialogueBaud);
    return bound;
}

}  // namespace bench
