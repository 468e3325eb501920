#include "app/cli/update_report.h"

#include <chrono>
#include <cstdio>
#include <optional>

#include "app/cli/image_digest.h"
#include "app/cli/json_events.h"

namespace cli {
namespace {

constexpr const char* kToolName = "updater-cli";

// The image as the update held it, or as the file is now when the update
// never held it (the link did not open).
nlohmann::json ImageEntry(const std::string& path, const std::optional<ImageDigest>& held, bool started) {
    const std::optional<ImageDigest> digest = started ? held : DigestImageFile(path);
    nlohmann::json entry = {{"file", path}, {"size", nullptr}, {"sha256", nullptr}};
    if (digest) {
        entry["size"] = digest->size;
        entry["sha256"] = digest->sha256;
    }
    return entry;
}

}  // namespace

std::string IsoUtcTime(std::int64_t unixMs) {
    using namespace std::chrono;
    const sys_time<milliseconds> time{milliseconds(unixMs)};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> clock{time - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

nlohmann::json BuildUpdateRecord(const UpdateOutcome& outcome, const update_info& info,
                                 const std::string& toolVersion) {
    const bool started = outcome.status != kExitLinkNotOpened;
    nlohmann::json record = {{"tool", kToolName},
                             {"tool_version", toolVersion},
                             {"device", outcome.device},
                             {"instrument", info.instrument},
                             {"installed_version", outcome.installedVersion},
                             {"new_version", info.version},
                             {"update_method", outcome.updateMethod},
                             {"kernel", ImageEntry(info.kernel_file, outcome.kernel, started)},
                             {"update", ImageEntry(info.update_file, outcome.update, started)},
                             {"start", IsoUtcTime(outcome.startUnixMs)},
                             {"end", IsoUtcTime(outcome.endUnixMs)},
                             {"steps", outcome.steps},
                             {"final_text", outcome.finalText},
                             {"status", static_cast<int>(outcome.status)}};
    if (!outcome.linkFailure.empty()) record["detail"] = outcome.linkFailure;
    AddFailureDetail(record, outcome.failure);
    return record;
}

}  // namespace cli
