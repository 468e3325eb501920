// libcrypto's own SHA-256 routines, not its EVP layer: EVP would load the
// library's provider machinery at the first digest, about 1 MiB more resident
// in every updater process for one hash of two small files.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

#include "platform/hex_text.h"
#include "platform/sha256.h"

namespace platform {

struct Sha256::State {
    SHA256_CTX context{};
    bool good = true;
};

Sha256::Sha256() : state_(std::make_unique<State>()) { state_->good = SHA256_Init(&state_->context) == 1; }

Sha256::~Sha256() = default;

bool Sha256::Update(std::span<const std::uint8_t> bytes) {
    if (state_->good && !bytes.empty()) state_->good = SHA256_Update(&state_->context, bytes.data(), bytes.size()) == 1;
    return state_->good;
}

std::string Sha256::FinishHex() {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    const bool finished = state_->good && SHA256_Final(digest, &state_->context) == 1;
    state_->good = false;
    if (!finished) return {};
    return HexText(std::span<const std::uint8_t>(digest, SHA256_DIGEST_LENGTH));
}

}  // namespace platform
