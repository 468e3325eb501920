#include <openssl/evp.h>

#include "platform/hex_text.h"
#include "platform/sha256.h"

namespace platform {

std::string Sha256Hex(std::span<const std::uint8_t> bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1) return {};
    return HexText(std::span<const std::uint8_t>(digest, length));
}

}  // namespace platform
