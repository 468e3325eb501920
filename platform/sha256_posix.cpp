// libcrypto's own SHA-256 routines, not its EVP layer: EVP would load the
// library's provider machinery at the first digest, about 1 MiB more resident
// in every updater process for one hash of two small files.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

#include "platform/hex_text.h"
#include "platform/sha256.h"

namespace platform {

std::string Sha256Hex(std::span<const std::uint8_t> bytes) {
    SHA256_CTX context;
    unsigned char digest[SHA256_DIGEST_LENGTH];
    if (SHA256_Init(&context) != 1 || SHA256_Update(&context, bytes.data(), bytes.size()) != 1 ||
        SHA256_Final(digest, &context) != 1) {
        return {};
    }
    return HexText(std::span<const std::uint8_t>(digest, SHA256_DIGEST_LENGTH));
}

}  // namespace platform
