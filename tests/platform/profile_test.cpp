#include <gtest/gtest.h>

#include <filesystem>

#include "platform/executable_path.h"
#include "platform/file_exists.h"
#include "platform/profile.h"
#include "tests/app/temp_ini.h"

namespace {

using platform::GetProfileKeys;
using platform::GetProfileString;

TEST(ProfileString, NamesMatchInAnyLetterCaseAndBlanksAreDropped) {
    TempIni ini("[Update]\n  Version  =  2.1.0  \n[ update ]\nlater=x\n");
    EXPECT_EQ(GetProfileString(ini.Path(), "UPDATE", "version", "d"), "2.1.0");
    EXPECT_EQ(GetProfileString(ini.Path(), "update", "VERSION", "d"), "2.1.0");
    // Only the first section of a name is searched.
    EXPECT_EQ(GetProfileString(ini.Path(), "UPDATE", "later", "d"), "d");
}

TEST(ProfileString, RemovesOnePairOfMatchingQuotes) {
    TempIni ini("[s]\n"
                "double=\"a b \"\n"
                "single='x'\n"
                "twice=\"\"inner\"\"\n"
                "mixed=\"x'\n"
                "lone=\"\n"
                "inside=a\"b\"\n");
    EXPECT_EQ(GetProfileString(ini.Path(), "s", "double", ""), "a b ");
    EXPECT_EQ(GetProfileString(ini.Path(), "s", "single", ""), "x");
    EXPECT_EQ(GetProfileString(ini.Path(), "s", "twice", ""), "\"inner\"");
    EXPECT_EQ(GetProfileString(ini.Path(), "s", "mixed", ""), "\"x'");
    EXPECT_EQ(GetProfileString(ini.Path(), "s", "lone", ""), "\"");
    EXPECT_EQ(GetProfileString(ini.Path(), "s", "inside", ""), "a\"b\"");
}

TEST(ProfileString, FirstKeyWinsAndCommentsAndStrayLinesAreSkipped) {
    TempIni ini("; [s]\n"
                "key=before any section\n"
                "[s]\r\n"
                ";key=commented\r\n"
                "no equals sign\r\n"
                "KEY=first\r\n"
                "key=second\r\n"
                "empty=\r\n"
                "tag=<ORV72>\r\n");
    EXPECT_EQ(GetProfileString(ini.Path(), "s", "key", "d"), "first");
    EXPECT_EQ(GetProfileString(ini.Path(), "s", "empty", "d"), "");
    EXPECT_EQ(GetProfileString(ini.Path(), "s", "tag", "d"), "<ORV72>");  // no '\r' left over
    EXPECT_EQ(GetProfileKeys(ini.Path(), "S"), (std::vector<std::string>{"KEY", "empty", "tag"}));
}

TEST(ProfileString, MissingFileSectionOrKeyGivesTheDefault) {
    TempIni ini("[s]\nkey=value\n");
    EXPECT_EQ(GetProfileString(ini.Path() + ".missing", "s", "key", "<ORV72>"), "<ORV72>");
    EXPECT_EQ(GetProfileString(ini.Path(), "t", "key", "Unknown"), "Unknown");
    EXPECT_EQ(GetProfileString(ini.Path(), "s", "other", ""), "");
    EXPECT_TRUE(GetProfileKeys(ini.Path(), "t").empty());
    EXPECT_FALSE(platform::ProfileFile(ini.Path() + ".missing").Loaded());
}

TEST(ProfileString, ValuesAreCutAt2047Characters) {
    const std::string exact(2047, 'a');
    const std::string longer = exact + "bcd";
    TempIni ini("[s]\nexact=" + exact + "\nlonger=" + longer + "\nquoted=\"" + longer + "\"\n");
    EXPECT_EQ(GetProfileString(ini.Path(), "s", "exact", ""), exact);
    EXPECT_EQ(GetProfileString(ini.Path(), "s", "longer", ""), exact);
    EXPECT_EQ(GetProfileString(ini.Path(), "s", "quoted", ""), exact);
    EXPECT_EQ(GetProfileString(ini.Path(), "s", "missing", longer), exact);
}

TEST(PathRules, FolderOfAPathAndJoiningWithoutADoubleSeparator) {
    EXPECT_EQ(platform::DirectoryOf("/opt/updater/bin/updater", '/'), "/opt/updater/bin");
    EXPECT_EQ(platform::DirectoryOf("/updater", '/'), "/");
    EXPECT_EQ(platform::DirectoryOf("updater", '/'), "");
    EXPECT_EQ(platform::DirectoryOf("C:\\Tools\\update.exe", '\\'), "C:\\Tools");
    EXPECT_EQ(platform::DirectoryOf("C:\\update.exe", '\\'), "C:\\");
    EXPECT_EQ(platform::JoinPath("C:\\", "update.ini", '\\'), "C:\\update.ini");
    EXPECT_EQ(platform::JoinPath("C:\\Tools", "update.ini", '\\'), "C:\\Tools\\update.ini");
    EXPECT_EQ(platform::JoinPath("/", "update.ini", '/'), "/update.ini");
    EXPECT_EQ(platform::JoinPath("/opt", "update.ini", '/'), "/opt/update.ini");
}

TEST(PathRules, ExecutablePathNamesThisTestAndFileExistsSeesFilesOnly) {
    const std::string self = platform::ExecutablePath();
    EXPECT_NE(self.find("platform_profile_tests"), std::string::npos) << self;
    EXPECT_TRUE(platform::FileExists(self));
    EXPECT_FALSE(platform::FileExists(platform::DirectoryOf(self)));
    EXPECT_FALSE(platform::FileExists(self + ".missing"));
    EXPECT_FALSE(platform::FileExists(""));
}

}  // namespace
