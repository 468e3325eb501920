#include "platform/user_config_dir.h"

#include <cstdlib>

#include "platform/executable_path.h"

namespace platform {
namespace {

// Which variables name the settings folder, and what is added below each.
struct ConfigRoot {
    const char* variable;
    const char* below;  // folder between the variable's path and the program's folder
};

#if defined(_WIN32)
constexpr ConfigRoot kConfigRoots[] = {{"APPDATA", ""}};
#else
constexpr ConfigRoot kConfigRoots[] = {{"XDG_CONFIG_HOME", ""}, {"HOME", ".config"}};
#endif

bool IsAbsolute(const std::string& path) {
    if (!path.empty() && (path[0] == '/' || path[0] == '\\')) return true;
    return path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');  // "C:\"
}

}  // namespace

std::string UserConfigurationDirectory(const std::string& applicationName, const EnvironmentLookup& lookup) {
    for (const ConfigRoot& root : kConfigRoots) {
        const std::optional<std::string> value = lookup(root.variable);
        if (!value || !IsAbsolute(*value)) continue;
        const std::string base = *root.below != '\0' ? JoinPath(*value, root.below) : *value;
        return JoinPath(base, applicationName);
    }
    return {};
}

std::string UserConfigurationDirectory(const std::string& applicationName) {
    return UserConfigurationDirectory(applicationName, [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (value == nullptr) return std::nullopt;
        return std::string(value);
    });
}

}  // namespace platform
