#pragma once
// A small SHA-256 (FIPS 180-4) so that the simulator can name the images it
// received without pulling in a crypto library.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace instrument_sim {

class Sha256 {
public:
    Sha256();
    // Adds `count` bytes to the message.
    void Update(const std::uint8_t* data, std::size_t count);
    // The digest of everything added. The object must not be updated after.
    std::array<std::uint8_t, 32> Finish();

private:
    void Compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> block_{};
    std::size_t blockUsed_ = 0;
    std::uint64_t totalBytes_ = 0;
};

// Lower-case hex SHA-256 of `count` bytes at `data`.
std::string Sha256Hex(const std::uint8_t* data, std::size_t count);

}  // namespace instrument_sim
