#pragma once
// --check: the pre-flight report. Reads the configuration and both images and
// asks the system about each device, without opening any device: nothing on
// the line changes and nothing is sent. The images pass the same check as an
// update's, so that the verdict and an update's refusal never differ.

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/cli/cli_options.h"
#include "app/cli/device_probe.h"
#include "app/cli/exit_status.h"
#include "app/cli/image_digest.h"
#include "app/cli/update_run.h"
#include "engine/update_info.h"

namespace cli {

struct PreflightImage {
    std::string role;  // "kernel" or "update"
    std::string path;
    std::optional<ImageDigest> digest;  // nothing when missing or unreadable
    std::string problem;  // what the update's image check says of it; empty when none
};

struct DeviceCheck {
    LinkChoice link;
    DeviceProbe probe;
    std::vector<std::string> problems;  // empty when an update could open it
};

struct PreflightReport {
    std::string iniPath;
    bool iniFound = false;
    update_info info;
    std::vector<PreflightImage> images;
    std::vector<DeviceCheck> devices;
    std::optional<std::string> modemManager;
    // What the update's image check refuses that concerns neither image alone.
    std::string imagesRefusal;
    // 0 when an update could start; 1 when an image is missing (the update
    // ends "Missing an update binary."); 3 when the update refuses the images;
    // 4 when a device could not be opened (the higher wins, but a refusal
    // comes first, as it does in an update).
    ExitStatus status = kExitSuccess;
};

PreflightReport CheckBeforeUpdate(const CliOptions& options, const std::string& iniPath);

std::string PreflightText(const PreflightReport& report);
nlohmann::json PreflightJson(const PreflightReport& report);

}  // namespace cli
