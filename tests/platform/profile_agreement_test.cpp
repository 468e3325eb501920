// The platform's profile reader (the system's GetPrivateProfileStringA on
// Windows) and ProfileFile's rules give the same answers on the same files.
// Run on Linux this pins the rules; run under Wine it holds them to the
// system's reader.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/profile.h"
#include "platform/profile_text.h"
#include "tests/app/temp_ini.h"

namespace {

struct Lookup {
    const char* name;
    const char* file;
    const char* section;
    const char* key;
    const char* defaultValue;
    const char* expected;
};

const Lookup kLookups[] = {
    {"plain", "[s]\nk=v\n", "s", "k", "d", "v"},
    {"blanks and tabs around names and value", "[ s ]\n\t k \t=\t v w \t\n", "S", "K", "d", "v w"},
    {"key without value", "[s]\nk=\n", "s", "k", "d", ""},
    {"missing key keeps the default without trailing blanks", "[s]\nk=v\n", "s", "x", "dflt  ", "dflt"},
    {"missing section", "[s]\nk=v\n", "t", "k", "d", "d"},
    {"line without an equals sign is no key", "[s]\nk\n", "s", "k", "d", "d"},
    {"comment line", "[s]\n;k=v\nk=w\n", "s", "k", "d", "w"},
    {"a semicolon later in the line belongs to the value", "[s]\nk=v ; note\n", "s", "k", "d", "v ; note"},
    {"the first equals sign splits", "[s]\nk=a=b\n", "s", "k", "d", "a=b"},
    {"matching double quotes are dropped", "[s]\nk=\" a \"\n", "s", "k", "d", " a "},
    {"matching single quotes are dropped", "[s]\nk='a'\n", "s", "k", "d", "a"},
    {"unmatched quotes stay", "[s]\nk=\"a'\n", "s", "k", "d", "\"a'"},
    {"first key of a name wins", "[s]\nk=1\nK=2\n", "s", "k", "d", "1"},
    {"only the first section of a name is read", "[s]\na=1\n[S]\nb=2\n", "s", "b", "d", "d"},
    {"keys above every section belong to none", "k=top\n[s]\n", "s", "k", "d", "d"},
    {"CR LF line ends", "[s]\r\nk=v\r\nj=w\r\n", "s", "j", "d", "w"},
    {"no line end at the end of the file", "[s]\nk=v", "s", "k", "d", "v"},
    {"text after the closing bracket", "[s] x\nk=v\n", "s", "k", "d", "v"},
    {"bytes that are not UTF-8 stay as stored", "[s]\nk=Ger\xE4t\n", "s", "k", "d", "Ger\xE4t"},
    {"the configuration's own shape", "[UPDATE]\nversion=2.1.0\nparent_tag=<ORV72>\n", "UPDATE", "parent_tag",
     "", "<ORV72>"},
};

class ProfileAgreement : public ::testing::TestWithParam<Lookup> {};

TEST_P(ProfileAgreement, BothReadersGiveTheExpectedValue) {
    const Lookup& row = GetParam();
    TempIni ini(row.file);
    EXPECT_EQ(platform::GetProfileString(ini.Path(), row.section, row.key, row.defaultValue), row.expected);
    EXPECT_EQ(platform::ProfileFile(ini.Path()).GetString(row.section, row.key, row.defaultValue),
              row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, ProfileAgreement, ::testing::ValuesIn(kLookups),
                         [](const ::testing::TestParamInfo<Lookup>& info) {
                             // "key without value" -> "KeyWithoutValue"
                             std::string name;
                             bool upper = true;
                             for (const char* c = info.param.name; *c != '\0'; ++c) {
                                 const bool letter = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z');
                                 if (letter) name += upper && *c >= 'a' ? static_cast<char>(*c - 'a' + 'A') : *c;
                                 upper = !letter;
                             }
                             return name;
                         });

// A file as Windows editors save "Unicode" text: UTF-16 LE behind its
// byte-order mark. Both readers give the value in the system's 8-bit encoding.
std::string Utf16LeFile(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

TEST(ProfileAgreement, Utf16FilesWithAByteOrderMarkAreReadAsText) {
    const struct {
        std::u16string_view file;
        const char* key;
        std::u16string_view expected;
    } rows[] = {
        {u"[UPDATE]\r\nversion = 2.1.0\r\nparent_tag=<ORV72>\r\n", "parent_tag", u"<ORV72>"},
        {u"[update]\r\ninstrument=\"Ger\u00e4t \u20ac\"\r\n", "INSTRUMENT", u"Ger\u00e4t \u20ac"},
        {u"[UPDATE]\r\nversion=2.1.0", "kernel_file", u"none"},
    };
    for (const auto& row : rows) {
        TempIni ini(Utf16LeFile(row.file));
        const std::string expected = platform::NarrowProfileText(row.expected);
        EXPECT_EQ(platform::GetProfileString(ini.Path(), "UPDATE", row.key, "none"), expected) << row.key;
        EXPECT_EQ(platform::ProfileFile(ini.Path()).GetString("UPDATE", row.key, "none"), expected) << row.key;
    }
}

TEST(ProfileKeysAgreement, KeysInFileOrderEachOnceWithoutCommentsOrStrayLines) {
    TempIni ini("[s]\nb=1\n;c=2\nstray\nA=3\nB=4\n[t]\nz=5\n");
    const std::vector<std::string> expected{"b", "A"};
    EXPECT_EQ(platform::GetProfileKeys(ini.Path(), "S"), expected);
    EXPECT_EQ(platform::ProfileFile(ini.Path()).Keys("S"), expected);
}

TEST(ProfileKeysAgreement, RelativePathsAreReadFromTheCurrentFolder) {
    // The system's reader would look for a bare name in the Windows folder.
    TempIni ini("[s]\nk=here\n");
    const std::string name = ini.Path().substr(ini.Path().find_last_of("/\\") + 1);
    const std::string previous = std::filesystem::current_path().string();
    std::filesystem::current_path(std::filesystem::path(ini.Path()).parent_path());
    const std::string value = platform::GetProfileString(name, "s", "k", "d");
    std::filesystem::current_path(previous);
    EXPECT_EQ(value, "here");
}

}  // namespace
