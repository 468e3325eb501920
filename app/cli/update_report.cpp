#include "app/cli/update_report.h"

#include <ctime>
#include <optional>

#include "app/cli/image_digest.h"

namespace cli {
namespace {

constexpr const char* kToolName = "updater-cli";
constexpr std::int64_t kMsPerSecond = 1000;

nlohmann::json ImageEntry(const std::string& path) {
    const std::optional<ImageDigest> digest = DigestImageFile(path);
    nlohmann::json entry = {{"file", path}, {"size", nullptr}, {"sha256", nullptr}};
    if (digest) {
        entry["size"] = digest->size;
        entry["sha256"] = digest->sha256;
    }
    return entry;
}

}  // namespace

std::string IsoUtcTime(std::int64_t unixMs) {
    std::int64_t seconds = unixMs / kMsPerSecond;
    std::int64_t millis = unixMs % kMsPerSecond;
    if (millis < 0) {
        millis += kMsPerSecond;
        --seconds;
    }
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if (gmtime_r(&time, &parts) == nullptr) return "";
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03dZ", static_cast<int>(millis));
    return std::string(text, length) + fraction;
}

nlohmann::json BuildUpdateRecord(const UpdateOutcome& outcome, const update_info& info,
                                 const std::string& toolVersion) {
    nlohmann::json record = {{"tool", kToolName},
                             {"tool_version", toolVersion},
                             {"device", outcome.device},
                             {"instrument", info.instrument},
                             {"installed_version", outcome.installedVersion},
                             {"new_version", info.version},
                             {"update_method", outcome.updateMethod},
                             {"kernel", ImageEntry(info.kernel_file)},
                             {"update", ImageEntry(info.update_file)},
                             {"start", IsoUtcTime(outcome.startUnixMs)},
                             {"end", IsoUtcTime(outcome.endUnixMs)},
                             {"steps", outcome.steps},
                             {"final_text", outcome.finalText},
                             {"status", static_cast<int>(outcome.status)}};
    if (!outcome.linkFailure.empty()) record["detail"] = outcome.linkFailure;
    return record;
}

}  // namespace cli
