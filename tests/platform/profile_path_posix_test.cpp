// The profile reader reads only regular files: a FIFO would wait for a writer
// and a device might never end (POSIX file kinds).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "platform/profile.h"
#include "tests/app/temp_ini.h"

namespace {

using platform::GetProfileString;

TEST(ProfileString, OnlyRegularFilesAreRead) {
    using platform::ProfilePathKind;
    TempIni ini("[s]\nk=v\n");
    const std::string fifo = ini.Path() + ".fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        ProfilePathKind kind;
    } cases[] = {
        {ini.Path(), ProfilePathKind::kRegularFile},
        {ini.Path() + ".missing", ProfilePathKind::kMissing},
        {std::filesystem::temp_directory_path().string(), ProfilePathKind::kNotAFile},
        {"/dev/zero", ProfilePathKind::kNotAFile},  // would never end
        {fifo, ProfilePathKind::kNotAFile},         // would wait for a writer forever
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(platform::ExamineProfilePath(c.path), c.kind);
        EXPECT_EQ(platform::ProfileFile(c.path).Loaded(), c.kind == ProfilePathKind::kRegularFile);
        EXPECT_EQ(GetProfileString(c.path, "s", "k", "d"), c.kind == ProfilePathKind::kRegularFile ? "v" : "d");
    }
    std::filesystem::remove(fifo);
}

}  // namespace
