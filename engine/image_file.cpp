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

HeldImage::HeldImage(const std::string& path) : path_(path), stream_(OpenImage(path)) {
    if (stream_) sizedLength_ = CurrentLength();
}

std::ifstream& HeldImage::FromStart() {
    if (sizedLength_ < 0) return stream_;
    stream_.clear();
    stream_.seekg(0, std::ios::beg);
    return stream_;
}

std::int64_t HeldImage::CurrentLength() {
    if (!stream_.is_open()) return -1;
    stream_.clear();
    const std::streampos position = stream_.tellg();
    stream_.seekg(0, std::ios::end);
    const std::streamoff length = stream_.tellg();
    stream_.seekg(position);
    return stream_ && length >= 0 ? static_cast<std::int64_t>(length) : -1;
}

}  // namespace engine
