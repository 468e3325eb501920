#pragma once
// Opening the image files for raw byte reads. (Their existence is tested with
// platform::FileExists.)

#include <cstdint>
#include <fstream>
#include <string>

namespace engine {

// Opens `path` for reading raw bytes through a buffered stream. The stream is
// in a failed state when the file cannot be opened or is a directory.
std::ifstream OpenImage(const std::string& path);

// An image opened and sized once and held open from then on, so that the
// bytes sent are the bytes that were sized: a file replaced or deleted
// meanwhile is still read as it was opened, and one truncated or extended in
// place is found out by its length.
class HeldImage {
public:
    explicit HeldImage(const std::string& path);
    HeldImage(const HeldImage&) = delete;
    HeldImage& operator=(const HeldImage&) = delete;

    const std::string& Path() const { return path_; }
    // The length when opened, or -1 when the file could not be opened.
    std::int64_t SizedLength() const { return sizedLength_; }
    // The stream at the file's first byte; failed when it could not be opened.
    std::ifstream& FromStart();
    // The held file's length now, or -1 when it cannot be told. The read
    // position is kept.
    std::int64_t CurrentLength();
    // True when the held file still has the length it was sized with.
    bool Unchanged() { return sizedLength_ >= 0 && CurrentLength() == sizedLength_; }

private:
    std::string path_;
    std::ifstream stream_;
    std::int64_t sizedLength_ = -1;
};

}  // namespace engine
