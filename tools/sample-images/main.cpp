// sample-images: writes the small kernel and update images that the demo and
// the README use with the simulated instrument. The bytes come from a fixed
// generator, so every run writes the same two files.
//
//   sample-images DIR [KERNEL_BYTES UPDATE_BYTES]
// writes DIR/kernel.bin and DIR/update.bin. Exit status 0, or 1 on failure.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

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

// Reads a byte count between 2 and kLargestImage; 0 when the text is not one.
std::size_t ReadSize(const char* text) {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0' || value < 2 || value > kLargestImage) return 0;
    return static_cast<std::size_t>(value);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: sample-images DIR [KERNEL_BYTES UPDATE_BYTES]\n");
        return 1;
    }
    const std::string dir = argv[1];
    const std::size_t kernelBytes = argc == 4 ? ReadSize(argv[2]) : kDefaultKernelBytes;
    const std::size_t updateBytes = argc == 4 ? ReadSize(argv[3]) : kDefaultUpdateBytes;
    if (kernelBytes == 0 || updateBytes == 0) {
        std::fprintf(stderr, "sample-images: sizes must be whole numbers from 2 to %zu\n", kLargestImage);
        return 1;
    }
    const std::string kernelPath = dir + "/kernel.bin";
    const std::string updatePath = dir + "/update.bin";
    if (!WriteFile(kernelPath, MakeImage(kernelBytes, kKernelSeed, kKernelLabel)) ||
        !WriteFile(updatePath, MakeImage(updateBytes, kUpdateSeed, kUpdateLabel))) {
        std::fprintf(stderr, "sample-images: cannot write into %s\n", dir.c_str());
        return 1;
    }
    std::printf("%s: %zu bytes\n%s: %zu bytes\n", kernelPath.c_str(), kernelBytes, updatePath.c_str(),
                updateBytes);
    return 0;
}
