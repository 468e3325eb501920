#pragma once
// How one instrument's update ended, with what the audit record needs.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/exit_status.h"
#include "app/cli/image_digest.h"
#include "engine/update_failure.h"

namespace cli {

struct UpdateOutcome {
    std::string device;            // the device path the link opened
    ExitStatus status = kExitUpdateFailed;
    std::string finalText;         // the worker's last line, or the link failure text
    std::string linkFailure;       // why the link did not open (status kExitLinkNotOpened)
    std::vector<std::string> steps;  // the step texts posted before the final text
    std::string installedVersion = "Unknown";  // as the instrument reported it
    std::int32_t updateMethod = 0;
    std::int64_t startUnixMs = 0;  // wall clock, for the record's UTC times
    std::int64_t endUnixMs = 0;
    // Why a started update failed (reason kNone otherwise), and in words.
    engine::FailureDetail failure;
    std::string failureWords;
    // The images as the worker held them open: the bytes it sent.
    std::optional<ImageDigest> kernel;
    std::optional<ImageDigest> update;
};

}  // namespace cli
