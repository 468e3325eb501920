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

std::string Sha256Hex(std::span<const std::uint8_t> bytes) {
    BCRYPT_ALG_HANDLE algorithmHandle = nullptr;
    if (!Succeeded(BCryptOpenAlgorithmProvider(&algorithmHandle, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return {};
    const std::unique_ptr<void, AlgorithmCloser> algorithm(algorithmHandle);
    BCRYPT_HASH_HANDLE hashHandle = nullptr;
    if (!Succeeded(BCryptCreateHash(algorithmHandle, &hashHandle, nullptr, 0, nullptr, 0, 0))) return {};
    const std::unique_ptr<void, HashCloser> hash(hashHandle);
    std::span<const std::uint8_t> left = bytes;
    while (!left.empty()) {
        const auto chunk = static_cast<ULONG>(std::min<std::size_t>(left.size(), kLargestChunk));
        if (!Succeeded(BCryptHashData(hashHandle, const_cast<PUCHAR>(left.data()), chunk, 0))) return {};
        left = left.subspan(chunk);
    }
    std::array<std::uint8_t, kDigestSize> digest{};
    if (!Succeeded(BCryptFinishHash(hashHandle, digest.data(), kDigestSize, 0))) return {};
    return HexText(digest);
}

}  // namespace platform
