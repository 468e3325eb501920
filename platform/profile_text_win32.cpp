#include <windows.h>

#include <climits>
#include <string>

#include "platform/profile_text.h"

namespace platform {

std::string NarrowProfileText(std::u16string_view text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return {};
    const std::wstring wide(text.begin(), text.end());  // wchar_t holds UTF-16 on Windows
    const int units = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), units, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

}  // namespace platform
