#pragma once
// The user's own configuration folder, where a program installed system-wide
// finds its settings when none sit beside it.

#include <functional>
#include <optional>
#include <string>

namespace platform {

// Reads one environment variable: its value, or nothing when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// Returns the folder `applicationName` keeps its settings in for this user:
// "$XDG_CONFIG_HOME/<name>", else "$HOME/.config/<name>" on Linux,
// "%APPDATA%\<name>" on Windows. A relative or empty variable counts as unset
// (it would depend on the folder the program was started in); with none set
// the result is empty.
std::string UserConfigurationDirectory(const std::string& applicationName, const EnvironmentLookup& lookup);

// The same, from the process's own environment.
std::string UserConfigurationDirectory(const std::string& applicationName);

}  // namespace platform
