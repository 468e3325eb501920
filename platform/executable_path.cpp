#include "platform/executable_path.h"

namespace platform {
namespace {

bool IsSeparator(char c, char separator) {
    return c == '/' || c == separator;
}

}  // namespace

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
