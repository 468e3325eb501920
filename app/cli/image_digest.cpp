#include "app/cli/image_digest.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/sha256.h"

namespace cli {

std::optional<ImageDigest> DigestImageFile(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    ImageDigest digest{bytes.size(), platform::Sha256Hex(bytes)};
    if (digest.sha256.empty()) return std::nullopt;
    return digest;
}

}  // namespace cli
