#include "app/configuration.h"

#include "platform/executable_path.h"
#include "platform/profile.h"

namespace app {

std::string ConfigurationPathFor(std::string_view executablePath) {
    return platform::JoinPath(platform::DirectoryOf(executablePath), kConfigurationFileName);
}

std::string DefaultConfigurationPath() {
    return ConfigurationPathFor(platform::ExecutablePath());
}

update_info ReadUpdateInfo(const std::string& iniPath) {
    // What cannot be read as a profile reads as a missing file: the defaults.
    return ReadUpdateInfo(platform::ProfileFile(iniPath));
}

update_info ReadUpdateInfo(const platform::ProfileFile& profile) {
    update_info info;
    info.version = profile.GetString(kUpdateSection, "version", kDefaultVersion);
    info.instrument = profile.GetString(kUpdateSection, "instrument", kDefaultInstrument);
    info.parent_tag = profile.GetString(kUpdateSection, "parent_tag", kDefaultParentTag);
    info.update_file = profile.GetString(kUpdateSection, "update_file", kDefaultUpdateFile);
    info.kernel_file = profile.GetString(kUpdateSection, "kernel_file", kDefaultKernelFile);
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
