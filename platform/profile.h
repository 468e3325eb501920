#pragma once
// Reading of profile (.ini) files. GetProfileString and GetProfileKeys are the
// platform's reader: on Windows the system's own (GetPrivateProfileStringA),
// elsewhere ProfileFile, which follows the rules of the system's reader so that
// a configuration reads the same everywhere (a table test run on both systems
// holds the two to the same answers):
//   - "[name]" starts a section; "key=value" lines belong to the section above
//     them; lines starting with ';' are comments; other lines are ignored.
//   - Section and key names match regardless of letter case (ASCII).
//   - Blanks around section names, keys and values are dropped, and one pair of
//     matching surrounding quotes (double or single) is removed from a value.
//   - The first matching section, and within it the first matching key, wins.
//   - A value holds at most kProfileValueMax characters; longer ones are cut.
//   - Files with CR LF line ends read like files with LF line ends.
//   - A file that starts with the UTF-16 LE byte-order mark (a "Unicode" file
//     of Windows editors) is read as that text in the system's 8-bit encoding
//     (see profile_text.h); other files are read as their bytes stand.
// Nothing is ever written back.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// What a profile path names. Only a regular file is read; anything else (a
// folder, a device, a FIFO, a socket) reads as a missing file, because it
// cannot be read as text, may never end (/dev/zero) or would wait for a
// writer that never comes (a FIFO).
enum class ProfilePathKind {
    kMissing,      // nothing there, or a path the system cannot examine
    kRegularFile,  // read (symbolic links are followed)
    kNotAFile,     // read as missing
};
ProfilePathKind ExamineProfilePath(const std::string& path);

// Longest value the reader returns (a 2048-byte buffer with its terminator).
inline constexpr std::size_t kProfileValueMax = 2047;

// One profile file, read once into memory and parsed by the rules above.
class ProfileFile {
public:
    // Reads `path`. A file that cannot be opened reads as an empty profile.
    explicit ProfileFile(const std::string& path);

    // Returns true when the file could be read.
    bool Loaded() const { return loaded_; }

    // Returns the value of `key` in `section`, or `defaultValue` (with trailing
    // blanks dropped) when the section or key is missing. At most
    // kProfileValueMax characters either way.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const;

    // Returns the keys of the first section named `section`, in file order,
    // each once (the first spelling seen); empty when the section is missing.
    std::vector<std::string> Keys(std::string_view section) const;

private:
    struct Entry {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };

    const Section* FindSection(std::string_view name) const;

    bool loaded_ = false;
    std::vector<Section> sections_;
};

// The platform's reader (one source file per system). A folder or a device
// reads as a missing file.
// Returns the value of `key` in `section` of the profile file at `path`, or
// `defaultValue` (trailing blanks dropped) when the file, the section or the
// key is missing; at most kProfileValueMax characters.
std::string GetProfileString(const std::string& path, std::string_view section,
                             std::string_view key, std::string_view defaultValue);

// Returns the keys of `section` in the profile file at `path` (see
// ProfileFile::Keys); empty when the file or the section is missing.
std::vector<std::string> GetProfileKeys(const std::string& path, std::string_view section);

}  // namespace platform
