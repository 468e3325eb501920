#include "platform/executable_path.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <vector>

namespace platform {
namespace {

bool IsSeparator(char c, char separator) {
    return c == '/' || c == separator;
}

}  // namespace

#if defined(_WIN32)
std::string ExecutablePath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);  // the name was cut: try a bigger buffer
    }
}
#else
std::string ExecutablePath() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }
        buffer.resize(buffer.size() * 2);  // readlink does not say it cut the name
    }
}
#endif

std::string DirectoryOf(std::string_view path, char separator) {
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsSeparator(path[i], separator)) last = i;
    }
    if (last == std::string_view::npos) return {};
    // A separator that is the first of the path, or follows a drive ("C:"),
    // is the root: it stays part of the folder.
    const bool isRoot = last == 0 || (last == 2 && path[1] == ':');
    return std::string(path.substr(0, isRoot ? last + 1 : last));
}

std::string JoinPath(std::string_view directory, std::string_view name, char separator) {
    std::string joined(directory);
    if (!joined.empty() && !IsSeparator(joined.back(), separator)) joined += separator;
    joined += name;
    return joined;
}

}  // namespace platform
