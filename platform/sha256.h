#pragma once
// SHA-256 from the system's own library: OpenSSL's libcrypto on POSIX, the
// CNG API (BCryptHashData) on Windows. One source file per system.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace platform {

// A digest fed in pieces, so that an image of any size is read in chunks.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // Adds `bytes`; false once the system's library has failed (the digest
    // is then lost and FinishHex gives nothing).
    bool Update(std::span<const std::uint8_t> bytes);
    // The lower-case hex digest of everything added; empty when the system's
    // library failed. The object takes no more bytes afterwards.
    std::string FinishHex();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The lower-case hex SHA-256 of `bytes`; empty when the system's library
// could not compute it.
inline std::string Sha256Hex(std::span<const std::uint8_t> bytes) {
    Sha256 digest;
    digest.Update(bytes);
    return digest.FinishHex();
}

}  // namespace platform
