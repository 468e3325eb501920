#include <windows.h>
// <windows.h> turns GetProfileString into GetProfileStringA (the system's
// reader of win.ini); here it is the name of our own function.
#undef GetProfileString

#include "platform/profile.h"

namespace platform {
namespace {

// The largest key list asked for; a section with more key text is cut there.
constexpr DWORD kLongestKeyList = 1u << 20;

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

// The path the system reader is given. A name without a folder would be
// looked for in the Windows folder, so a relative path is made absolute
// against the current folder first. Empty when the path does not name a
// readable file: a folder, a device (COM1 would be opened) or nothing.
std::string ReadablePath(const std::string& path) {
    if (path.empty()) return {};
    const DWORD length = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return {};
    std::string full(length, '\0');
    const DWORD written = GetFullPathNameA(path.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) return {};
    full.resize(written);
    const DWORD attributes = GetFileAttributesA(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return {};
    }
    return full;
}

std::string Limited(std::string_view value) { return std::string(value.substr(0, kProfileValueMax)); }

std::string_view TrimTrailing(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

std::string GetProfileString(const std::string& path, std::string_view section,
                             std::string_view key, std::string_view defaultValue) {
    const std::string file = ReadablePath(path);
    if (file.empty()) return Limited(TrimTrailing(defaultValue));
    const std::string sectionName(section);
    const std::string keyName(key);
    const std::string fallback(defaultValue);
    char buffer[kProfileValueMax + 1];
    const DWORD length = GetPrivateProfileStringA(sectionName.c_str(), keyName.c_str(), fallback.c_str(),
                                                  buffer, sizeof buffer, file.c_str());
    return Limited(std::string_view(buffer, length));
}

std::vector<std::string> GetProfileKeys(const std::string& path, std::string_view section) {
    std::vector<std::string> keys;
    const std::string file = ReadablePath(path);
    if (file.empty()) return keys;
    const std::string sectionName(section);
    // With no key the system lists the section's keys, each ended by a zero,
    // the list by another; a list that did not fit comes back as size - 2.
    std::string buffer(4096, '\0');
    DWORD length = 0;
    for (;;) {
        length = GetPrivateProfileStringA(sectionName.c_str(), nullptr, "", buffer.data(),
                                          static_cast<DWORD>(buffer.size()), file.c_str());
        if (length + 2 < buffer.size() || buffer.size() >= kLongestKeyList) break;
        buffer.assign(buffer.size() * 2, '\0');
    }
    std::string_view rest(buffer.data(), length);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\0');
        const std::string_view name = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (name.empty()) continue;
        bool seen = false;
        for (const std::string& known : keys) seen = seen || SameName(known, name);
        if (!seen) keys.emplace_back(name);
    }
    return keys;
}

}  // namespace platform
