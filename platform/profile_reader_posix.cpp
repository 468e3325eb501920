#include "platform/profile.h"

namespace platform {

std::string GetProfileString(const std::string& path, std::string_view section,
                             std::string_view key, std::string_view defaultValue) {
    return ProfileFile(path).GetString(section, key, defaultValue);
}

std::vector<std::string> GetProfileKeys(const std::string& path, std::string_view section) {
    return ProfileFile(path).Keys(section);
}

}  // namespace platform
