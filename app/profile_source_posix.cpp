#include "app/profile_source.h"

#include <filesystem>
#include <system_error>

namespace app {

bool UsableAsProfile(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);  // follows links
    if (error) return true;  // missing or unreachable: read as missing
    return !fs::is_directory(status) && !fs::is_character_file(status) && !fs::is_block_file(status);
}

}  // namespace app
