#include "app/cli/preflight_check.h"

#include <algorithm>
#include <tuple>

#include "app/configuration.h"
#include "app/image_check.h"
#include "platform/profile.h"
#include "platform/file_exists.h"

namespace cli {
namespace {

constexpr const char* kModemManagerAdvice =
    "probes serial ports and may disturb an update; stop it or mark the port to be ignored";

std::vector<std::string> ProblemsOf(const DeviceProbe& probe) {
    if (!probe.exists) return {"no such device"};
    std::vector<std::string> problems;
    if (!probe.isSerial) problems.emplace_back("not a serial device");
    if (!probe.permitted) problems.push_back("permission denied (" + probe.permissionHint + ")");
    if (probe.busy) {
        std::string text = "busy";
        for (std::size_t i = 0; i < probe.lockHolders.size(); ++i) {
            text += (i == 0 ? ": held by " : ", ") + probe.lockHolders[i];
        }
        problems.push_back(text);
    }
    return problems;
}

// The check's text for the image of `key` at `path` without that name.
std::string TextAfterName(const std::string& text, const std::string& key, const std::string& path) {
    for (const std::string& name : {key + " " + path + ": ", key + ": "}) {
        if (text.starts_with(name)) return text.substr(name.size());
    }
    return text;
}

std::string ProblemOf(const std::vector<std::string>& texts, const std::string& key, const std::string& path) {
    for (const std::string& text : texts) {
        if (text.starts_with(key)) return TextAfterName(text, key, path);
    }
    return {};
}

std::string Joined(const std::vector<std::string>& texts) {
    std::string joined;
    for (const std::string& text : texts) joined += (joined.empty() ? "" : "; ") + text;
    return joined;
}

}  // namespace

PreflightReport CheckBeforeUpdate(const CliOptions& options, const std::string& iniPath) {
    PreflightReport report;
    report.iniPath = iniPath;
    report.iniFound = platform::FileExists(iniPath);
    const platform::ProfileFile profile(iniPath);
    report.info = app::ReadUpdateInfo(profile);
    const app::ImageCheck check = app::CheckImages(report.info);
    if (!check.missing.empty()) report.status = kExitUpdateFailed;
    std::string refusal = check.refusal.value_or("");
    for (const auto& [role, key, path] : {std::tuple<std::string, std::string, std::string>{"kernel", "kernel_file", report.info.kernel_file},
                                          {"update", "update_file", report.info.update_file}}) {
        PreflightImage image{role, path, DigestImageFile(path), ProblemOf(check.missing, key, path)};
        if (image.problem.empty() && refusal.starts_with(key)) {
            image.problem = TextAfterName(refusal, key, path);
            refusal.clear();
        }
        report.images.push_back(image);
    }
    report.imagesRefusal = refusal;
    for (const LinkChoice& link : ChooseLinks(options, profile)) {
        DeviceCheck device{link, ProbeDevice(link.devicePath), {}};
        device.problems = ProblemsOf(device.probe);
        if (!device.problems.empty()) report.status = std::max(report.status, kExitLinkNotOpened);
        report.devices.push_back(device);
    }
    // An update refuses such images before it opens any device.
    if (check.refusal) report.status = kExitUsageError;
    report.modemManager = RunningModemManager();
    return report;
}

std::string PreflightText(const PreflightReport& report) {
    std::string text = "configuration: " + report.iniPath + (report.iniFound ? "" : " (not found: the defaults apply)") + "\n";
    text += "  version=" + report.info.version + "\n  instrument=" + report.info.instrument +
            "\n  parent_tag=" + report.info.parent_tag + "\n  kernel_file=" + report.info.kernel_file +
            "\n  update_file=" + report.info.update_file + "\n";
    for (const PreflightImage& image : report.images) {
        text += image.role + ": " + (image.path.empty() ? "(not configured)" : image.path) + ": ";
        if (image.digest) text += std::to_string(image.digest->size) + " bytes, SHA-256 " + image.digest->sha256;
        text += image.problem.empty() ? "" : (image.digest ? "; " : "") + image.problem;
        text += "\n";
    }
    if (!report.imagesRefusal.empty()) text += "images: " + report.imagesRefusal + "\n";
    for (const DeviceCheck& device : report.devices) {
        text += "device: " + device.link.devicePath;
        if (!device.link.namedDirectly) text += " (COM" + std::to_string(device.link.portNumber) + ")";
        text += ": " + (device.problems.empty() ? std::string("ok") : Joined(device.problems)) + "\n";
        if (!device.probe.openedBy.empty()) text += "  also open by: " + Joined(device.probe.openedBy) + "\n";
    }
    text += "modem manager: " +
            (report.modemManager ? *report.modemManager + " is running; it " + kModemManagerAdvice
                                 : std::string("none running")) +
            "\n";
    text += report.status == kExitSuccess ? "ready: an update can start\n" : "not ready: an update cannot start\n";
    return text;
}

nlohmann::json PreflightJson(const PreflightReport& report) {
    nlohmann::json images = nlohmann::json::object();
    for (const PreflightImage& image : report.images) {
        images[image.role] = {{"file", image.path},
                              {"readable", image.digest.has_value()},
                              {"size", image.digest ? nlohmann::json(image.digest->size) : nlohmann::json()},
                              {"sha256", image.digest ? nlohmann::json(image.digest->sha256) : nlohmann::json()},
                              {"problem", image.problem.empty() ? nlohmann::json() : nlohmann::json(image.problem)}};
    }
    nlohmann::json devices = nlohmann::json::array();
    for (const DeviceCheck& device : report.devices) {
        devices.push_back({{"device", device.link.devicePath},
                           {"exists", device.probe.exists},
                           {"serial", device.probe.isSerial},
                           {"permitted", device.probe.permitted},
                           {"busy", device.probe.busy},
                           {"held_by", device.probe.lockHolders},
                           {"open_by", device.probe.openedBy},
                           {"problems", device.problems}});
    }
    return {{"event", "check"},
            {"configuration",
             {{"file", report.iniPath},
              {"found", report.iniFound},
              {"version", report.info.version},
              {"instrument", report.info.instrument},
              {"parent_tag", report.info.parent_tag},
              {"kernel_file", report.info.kernel_file},
              {"update_file", report.info.update_file}}},
            {"images", images},
            {"images_refused", report.imagesRefusal.empty() ? nlohmann::json() : nlohmann::json(report.imagesRefusal)},
            {"devices", devices},
            {"modem_manager", report.modemManager ? nlohmann::json(*report.modemManager) : nlohmann::json()},
            {"ready", report.status == kExitSuccess},
            {"status", static_cast<int>(report.status)}};
}

}  // namespace cli
