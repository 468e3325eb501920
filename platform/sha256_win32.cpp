#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <array>
#include <memory>

#include "platform/hex_text.h"
#include "platform/sha256.h"

namespace platform {
namespace {

constexpr ULONG kDigestSize = 32;
// BCryptHashData takes at most this many bytes at a time.
constexpr std::size_t kLargestChunk = 0xFFFFFFFFu;

struct AlgorithmCloser {
    void operator()(BCRYPT_ALG_HANDLE algorithm) const { BCryptCloseAlgorithmProvider(algorithm, 0); }
};
struct HashCloser {
    void operator()(BCRYPT_HASH_HANDLE hash) const { BCryptDestroyHash(hash); }
};

bool Succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace

struct Sha256::State {
    std::unique_ptr<void, AlgorithmCloser> algorithm;
    std::unique_ptr<void, HashCloser> hash;  // null once failed or finished
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    BCRYPT_ALG_HANDLE algorithmHandle = nullptr;
    if (!Succeeded(BCryptOpenAlgorithmProvider(&algorithmHandle, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return;
    state_->algorithm.reset(algorithmHandle);
    BCRYPT_HASH_HANDLE hashHandle = nullptr;
    if (!Succeeded(BCryptCreateHash(algorithmHandle, &hashHandle, nullptr, 0, nullptr, 0, 0))) return;
    state_->hash.reset(hashHandle);
}

Sha256::~Sha256() = default;

bool Sha256::Update(std::span<const std::uint8_t> bytes) {
    while (state_->hash && !bytes.empty()) {
        const auto chunk = static_cast<ULONG>(std::min<std::size_t>(bytes.size(), kLargestChunk));
        if (!Succeeded(BCryptHashData(state_->hash.get(), const_cast<PUCHAR>(bytes.data()), chunk, 0))) {
            state_->hash.reset();
        }
        bytes = bytes.subspan(chunk);
    }
    return state_->hash != nullptr;
}

std::string Sha256::FinishHex() {
    if (!state_->hash) return {};
    std::array<std::uint8_t, kDigestSize> digest{};
    const bool finished = Succeeded(BCryptFinishHash(state_->hash.get(), digest.data(), kDigestSize, 0));
    state_->hash.reset();
    if (!finished) return {};
    return HexText(digest);
}

}  // namespace platform
