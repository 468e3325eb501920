#pragma once
// The size and SHA-256 of an image file, for the audit record and the
// pre-flight check.

#include <cstdint>
#include <istream>
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

// Reads `length` bytes of `image` from where it stands. Nothing when the
// stream failed, `length` is negative, or fewer bytes came.
std::optional<ImageDigest> DigestImage(std::istream& image, std::int64_t length);

}  // namespace cli
