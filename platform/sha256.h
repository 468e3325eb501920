#pragma once
// SHA-256 from the system's own library: OpenSSL's libcrypto on POSIX, the
// CNG API (BCryptHashData) on Windows. One source file per system.

#include <cstdint>
#include <span>
#include <string>

namespace platform {

// The lower-case hex SHA-256 of `bytes`; empty when the system's library
// could not compute it.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);

}  // namespace platform
