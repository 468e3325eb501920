#include "engine/image_file.h"

#include <filesystem>
#include <system_error>

namespace engine {

std::ifstream OpenImage(const std::string& path) {
    std::ifstream image;
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        image.setstate(std::ios::failbit);
        return image;
    }
    image.open(path, std::ios::in | std::ios::binary);
    return image;
}

}  // namespace engine
