// sample-images: writes the small kernel and update images that the demo and
// the README use with the simulated instrument. The bytes come from a fixed
// generator, so every run writes the same two files.
//
//   sample-images DIR [KERNEL_BYTES UPDATE_BYTES]
// writes DIR/kernel.bin and DIR/update.bin, creating DIR when it is missing.
// Sizes from 0 bytes up, so tests can make the smallest images too.
//   sample-images --help
// prints the usage. Exit status 0, or 1 on failure.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/standard_streams.h"

namespace {

constexpr std::size_t kDefaultKernelBytes = 2 * 1024;
constexpr std::size_t kDefaultUpdateBytes = 24 * 1024;
constexpr std::uint32_t kKernelSeed = 0x4B45524EU;  // "KERN"
constexpr std::uint32_t kUpdateSeed = 0x55504454U;  // "UPDT"
// Large enough for any sample, small enough to keep a demo short.
constexpr std::size_t kLargestImage = 1024 * 1024;

// A fixed text at the start of each image, so a person can tell them apart.
constexpr const char* kKernelLabel = "SAMPLE BOOT KERNEL\n";
constexpr const char* kUpdateLabel = "SAMPLE UPDATE IMAGE\n";

// xorshift32: the same sequence for the same seed on every machine.
std::vector<std::uint8_t> MakeImage(std::size_t size, std::uint32_t seed, const std::string& label) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t state = seed;
    for (std::size_t i = 0; i < size; ++i) {
        if (i < label.size()) {
            bytes[i] = static_cast<std::uint8_t>(label[i]);
            continue;
        }
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes[i] = static_cast<std::uint8_t>(state >> 24);
    }
    return bytes;
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

constexpr const char* kUsage =
    "usage: sample-images DIR [KERNEL_BYTES UPDATE_BYTES]\n"
    "Writes DIR/kernel.bin and DIR/update.bin (DIR is created when missing);\n"
    "sizes are whole numbers from 0 to 1048576 (default 2048 and 24576).\n";

// Reads a byte count between 0 and kLargestImage; nothing when the text is
// not one (digits only: no sign, no blanks).
std::optional<std::size_t> ReadSize(const char* text) {
    const std::string_view digits(text);
    if (digits.empty() || digits.size() > 8 || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    const unsigned long long value = std::strtoull(text, nullptr, 10);
    if (value > kLargestImage) return std::nullopt;
    return static_cast<std::size_t>(value);
}

}  // namespace

int main(int argc, char** argv) {
    if (!platform::EnsureStandardStreamsOpen()) return 1;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if ((argc != 2 && argc != 4) || argv[1][0] == '-') {
        std::fputs(kUsage, stderr);
        return 1;
    }
    const std::string dir = argv[1];
    const std::optional<std::size_t> kernelBytes = argc == 4 ? ReadSize(argv[2]) : kDefaultKernelBytes;
    const std::optional<std::size_t> updateBytes = argc == 4 ? ReadSize(argv[3]) : kDefaultUpdateBytes;
    if (!kernelBytes || !updateBytes) {
        std::fprintf(stderr, "sample-images: sizes must be whole numbers from 0 to %zu\n", kLargestImage);
        return 1;
    }
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        std::fprintf(stderr, "sample-images: cannot create %s: %s\n", dir.c_str(), error.message().c_str());
        return 1;
    }
    const std::string kernelPath = dir + "/kernel.bin";
    const std::string updatePath = dir + "/update.bin";
    if (!WriteFile(kernelPath, MakeImage(*kernelBytes, kKernelSeed, kKernelLabel)) ||
        !WriteFile(updatePath, MakeImage(*updateBytes, kUpdateSeed, kUpdateLabel))) {
        std::fprintf(stderr, "sample-images: cannot write into %s\n", dir.c_str());
        return 1;
    }
    std::printf("%s: %zu bytes\n%s: %zu bytes\n", kernelPath.c_str(), *kernelBytes, updatePath.c_str(),
                *updateBytes);
    return 0;
}
