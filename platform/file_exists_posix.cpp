#include "platform/file_exists.h"

#include <filesystem>
#include <system_error>

namespace platform {

bool FileExists(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

}  // namespace platform
