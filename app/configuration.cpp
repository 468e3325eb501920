#include "app/configuration.h"

#include "platform/executable_path.h"
#include "platform/file_exists.h"
#include "platform/profile.h"
#include "platform/user_config_dir.h"

namespace app {

std::string ConfigurationPathFor(std::string_view executablePath) {
    return platform::JoinPath(platform::DirectoryOf(executablePath), kConfigurationFileName);
}

std::vector<std::string> ConfigurationCandidates(std::string_view executablePath,
                                                 std::string_view userConfigDirectory) {
    std::vector<std::string> candidates{ConfigurationPathFor(executablePath)};
    if (!userConfigDirectory.empty()) {
        candidates.push_back(platform::JoinPath(userConfigDirectory, kConfigurationFileName));
    }
    return candidates;
}

std::string FirstExistingConfiguration(const std::vector<std::string>& candidates) {
    for (const std::string& candidate : candidates) {
        if (platform::FileExists(candidate)) return candidate;
    }
    return candidates.empty() ? std::string() : candidates.front();
}

std::string DefaultConfigurationPath() {
    const std::string userDirectory =
        platform::UserConfigurationDirectory(std::string(kUserConfigurationFolder));
    return FirstExistingConfiguration(ConfigurationCandidates(platform::ExecutablePath(), userDirectory));
}

namespace {

bool IsSeparator(char c, char separator) { return c == '/' || c == separator; }

bool StartsWithDrive(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

// The five keys of section UPDATE, each read with `read(key, default)`.
template <typename Read>
update_info ReadUpdateKeys(const Read& read) {
    update_info info;
    info.version = read("version", kDefaultVersion);
    info.instrument = read("instrument", kDefaultInstrument);
    info.parent_tag = read("parent_tag", kDefaultParentTag);
    info.update_file = read("update_file", kDefaultUpdateFile);
    info.kernel_file = read("kernel_file", kDefaultKernelFile);
    return info;
}

}  // namespace

update_info ReadUpdateInfo(const std::string& iniPath) {
    // The platform's reader (the system's own on Windows). What cannot be read
    // as a profile reads as a missing file: the defaults.
    return ReadUpdateKeys([&](std::string_view key, std::string_view defaultValue) {
        return platform::GetProfileString(iniPath, kUpdateSection, key, defaultValue);
    });
}

update_info ReadUpdateInfo(const platform::ProfileFile& profile) {
    return ReadUpdateKeys([&](std::string_view key, std::string_view defaultValue) {
        return profile.GetString(kUpdateSection, key, defaultValue);
    });
}

std::string ImagePathFrom(std::string_view folder, std::string_view imagePath, char separator) {
    const bool windowsRules = separator == '\\';
    if (imagePath.empty() || folder.empty() || (windowsRules && StartsWithDrive(imagePath))) {
        return std::string(imagePath);
    }
    if (!IsSeparator(imagePath.front(), separator)) return platform::JoinPath(folder, imagePath, separator);
    const bool fromDriveRoot = windowsRules && StartsWithDrive(folder) &&
                               (imagePath.size() == 1 || !IsSeparator(imagePath[1], separator));
    return fromDriveRoot ? std::string(folder.substr(0, 2)) + std::string(imagePath) : std::string(imagePath);
}

update_info ReadWindowConfiguration(const std::string& iniPath) {
    update_info info = ReadUpdateInfo(iniPath);
    const std::string folder = platform::DirectoryOf(iniPath);
    info.update_file = ImagePathFrom(folder, info.update_file);
    info.kernel_file = ImagePathFrom(folder, info.kernel_file);
    return info;
}

std::string ApplicationTitle(const update_info& info) {
    return info.instrument + " Update";
}

std::string WindowCaption(const update_info& info) {
    return ApplicationTitle(info) + "(" + std::string(kCaptionDate) + ")";
}

std::string TitleLabel(const update_info& info) {
    return info.instrument + " Instrument Software Update (" + info.version + ")";
}

}  // namespace app
