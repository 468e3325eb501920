#pragma once
// The size and SHA-256 of an image file, for the audit record and the
// pre-flight check.

#include <cstdint>
#include <optional>
#include <string>

namespace cli {

struct ImageDigest {
    std::uint64_t size = 0;
    std::string sha256;  // lower-case hex
};

// Reads the whole file at `path`. Nothing when it cannot be opened or read
// (missing, a folder, no permission).
std::optional<ImageDigest> DigestImageFile(const std::string& path);

}  // namespace cli
