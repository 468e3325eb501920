// The command line's image digest and the simulator's agree with sha256sum
// at the sizes where SHA-256's padding changes shape.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/cli/image_digest.h"
#include "tools/instrument-sim/model/instrument_record.h"

namespace {

std::string Sha256sumOf(const std::string& path) {
    const std::string command = "sha256sum '" + path + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return {};
    char digest[65] = {};
    const std::size_t got = std::fread(digest, 1, 64, pipe);
    ::pclose(pipe);
    return std::string(digest, got);
}

TEST(ImageDigest, AgreesWithSha256sum) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("sha256-" + std::to_string(::getpid()) + ".bin");
    for (const std::size_t size : {0u, 1u, 55u, 56u, 64u, 1'000'000u}) {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + i / 251);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(size));
        const std::string expected = Sha256sumOf(path.string());
        ASSERT_EQ(expected.size(), 64u) << size;
        const std::optional<cli::ImageDigest> file = cli::DigestImageFile(path.string());
        ASSERT_TRUE(file.has_value()) << size;
        EXPECT_EQ(file->size, size);
        EXPECT_EQ(file->sha256, expected) << size;
        EXPECT_EQ(instrument_sim::ImageRecord{bytes}.Sha256Hex(), expected) << size;
    }
    std::filesystem::remove(path);
}

}  // namespace
