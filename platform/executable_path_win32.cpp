#include <windows.h>

#include <vector>

#include "platform/executable_path.h"

namespace platform {

namespace {
// Longest path the system hands out (with the "\\?\" form), terminator included.
constexpr std::size_t kLongestModulePath = 32768;
}  // namespace

std::string ExecutablePath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return std::string(buffer.data(), length);
        // The name was cut (the length equals the buffer's): try a bigger buffer.
        if (buffer.size() >= kLongestModulePath) return {};
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace platform
