#include "platform/profile.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/profile_text.h"

namespace platform {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view TrimTrailing(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

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

// Drops one pair of matching quotes around the whole value.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::string Limited(std::string_view value) {
    return std::string(value.substr(0, kProfileValueMax));
}

std::string ReadWholeFile(const std::string& path, bool& ok) {
    ok = ExamineProfilePath(path) == ProfilePathKind::kRegularFile;
    if (!ok) return {};
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    if (!ok) return {};
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A file that starts with the UTF-16 little-endian byte-order mark holds
// UTF-16 text: it reads as that text in the system's 8-bit encoding. Any
// other file reads as it is stored.
std::string EightBitText(std::string stored) {
    constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";
    if (!stored.starts_with(kUtf16LittleEndianMark)) return stored;
    std::u16string units;
    units.reserve(stored.size() / 2);
    for (std::size_t i = kUtf16LittleEndianMark.size(); i + 1 < stored.size(); i += 2) {
        const auto low = static_cast<unsigned char>(stored[i]);
        const auto high = static_cast<unsigned char>(stored[i + 1]);
        units += static_cast<char16_t>(low | (high << 8));
    }
    return NarrowProfileText(units);
}

}  // namespace

ProfilePathKind ExamineProfilePath(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);  // follows links
    if (error || !fs::exists(status)) return ProfilePathKind::kMissing;
    return fs::is_regular_file(status) ? ProfilePathKind::kRegularFile : ProfilePathKind::kNotAFile;
}

ProfileFile::ProfileFile(const std::string& path) {
    const std::string text = EightBitText(ReadWholeFile(path, loaded_));
    std::string_view rest(text);
    if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);  // UTF-8 byte-order mark

    Section* current = nullptr;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = Trim(rest.substr(0, end));
        rest = (end == std::string_view::npos) ? std::string_view() : rest.substr(end + 1);

        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const std::size_t close = line.rfind(']');
            if (close == std::string_view::npos) continue;  // not a section header
            sections_.push_back(Section{std::string(Trim(line.substr(1, close - 1))), {}});
            current = &sections_.back();
            continue;
        }
        const std::size_t equals = line.find('=');
        if (current == nullptr || equals == std::string_view::npos) continue;
        current->entries.push_back(
            Entry{std::string(Trim(line.substr(0, equals))), std::string(Trim(line.substr(equals + 1)))});
    }
}

const ProfileFile::Section* ProfileFile::FindSection(std::string_view name) const {
    const std::string_view wanted = Trim(name);
    for (const Section& section : sections_) {
        if (SameName(section.name, wanted)) return &section;
    }
    return nullptr;
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key,
                                   std::string_view defaultValue) const {
    if (const Section* found = FindSection(section)) {
        const std::string_view wanted = Trim(key);
        for (const Entry& entry : found->entries) {
            if (SameName(entry.key, wanted)) return Limited(Unquote(entry.value));
        }
    }
    return Limited(TrimTrailing(defaultValue));
}

std::vector<std::string> ProfileFile::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    const Section* found = FindSection(section);
    if (found == nullptr) return keys;
    for (const Entry& entry : found->entries) {
        bool seen = false;
        for (const std::string& key : keys) seen = seen || SameName(key, entry.key);
        if (!seen) keys.push_back(entry.key);
    }
    return keys;
}

}  // namespace platform
