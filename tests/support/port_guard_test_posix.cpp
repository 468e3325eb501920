// The guard's verdict on Linux: a pseudo-terminal, directly or through a
// link, passes; the machine's serial ports and other files do not.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/port_guard.h"

namespace {

TEST(PortGuard, OnlyPseudoTerminalsPass) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string pty = ptsname(master);
    const std::filesystem::path link =
        std::filesystem::temp_directory_path() / ("port-guard-" + std::to_string(getpid()));
    std::filesystem::create_symlink(pty, link);

    EXPECT_TRUE(test_support::ReachesPseudoTerminal(pty));
    EXPECT_TRUE(test_support::ReachesPseudoTerminal(link.string()));
    for (const char* refused : {"/dev/ttyS0", "/dev/ttyUSB0", "/dev/null", "/dev/pts/999999", ""}) {
        EXPECT_FALSE(test_support::ReachesPseudoTerminal(refused)) << refused;
    }
    std::filesystem::remove(link);
    close(master);
}

}  // namespace
