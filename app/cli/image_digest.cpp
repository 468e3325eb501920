#include "app/cli/image_digest.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

#include "platform/sha256.h"

namespace cli {
namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

}  // namespace

std::optional<ImageDigest> DigestImage(std::istream& image, std::int64_t length) {
    if (!image || length < 0) return std::nullopt;
    platform::Sha256 hash;
    ImageDigest digest;
    std::array<char, kReadChunk> buffer{};
    while (digest.size < static_cast<std::uint64_t>(length)) {
        const std::uint64_t want = std::min<std::uint64_t>(buffer.size(), static_cast<std::uint64_t>(length) - digest.size);
        image.read(buffer.data(), static_cast<std::streamsize>(want));
        const std::streamsize got = image.gcount();
        if (got <= 0) return std::nullopt;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(buffer.data());
        if (!hash.Update({bytes, static_cast<std::size_t>(got)})) return std::nullopt;
        digest.size += static_cast<std::uint64_t>(got);
    }
    digest.sha256 = hash.FinishHex();
    if (digest.sha256.empty()) return std::nullopt;
    return digest;
}

std::optional<ImageDigest> DigestImageFile(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) return std::nullopt;
    return DigestImage(in, static_cast<std::int64_t>(size));
}

}  // namespace cli
