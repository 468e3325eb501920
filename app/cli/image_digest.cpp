#include "app/cli/image_digest.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

#include "tools/instrument-sim/model/sha256.h"

namespace cli {
namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

std::string Hex(const std::array<std::uint8_t, 32>& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

}  // namespace

std::optional<ImageDigest> DigestImage(std::istream& image, std::int64_t length) {
    if (!image || length < 0) return std::nullopt;
    instrument_sim::Sha256 hash;
    ImageDigest digest;
    std::array<char, kReadChunk> buffer{};
    while (digest.size < static_cast<std::uint64_t>(length)) {
        const std::uint64_t want = std::min<std::uint64_t>(buffer.size(), static_cast<std::uint64_t>(length) - digest.size);
        image.read(buffer.data(), static_cast<std::streamsize>(want));
        const std::streamsize got = image.gcount();
        if (got <= 0) return std::nullopt;
        hash.Update(reinterpret_cast<const std::uint8_t*>(buffer.data()), static_cast<std::size_t>(got));
        digest.size += static_cast<std::uint64_t>(got);
    }
    digest.sha256 = Hex(hash.Finish());
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
