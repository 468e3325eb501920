#include "app/cli/image_digest.h"

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

std::optional<ImageDigest> DigestImageFile(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    instrument_sim::Sha256 hash;
    ImageDigest digest;
    std::array<char, kReadChunk> buffer{};
    while (in) {
        in.read(buffer.data(), buffer.size());
        const std::streamsize got = in.gcount();
        if (got <= 0) break;
        hash.Update(reinterpret_cast<const std::uint8_t*>(buffer.data()), static_cast<std::size_t>(got));
        digest.size += static_cast<std::uint64_t>(got);
    }
    if (in.bad()) return std::nullopt;
    digest.sha256 = Hex(hash.Finish());
    return digest;
}

}  // namespace cli
