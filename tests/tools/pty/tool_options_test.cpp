// The instrument-sim command line: each option lands in its field, bad values
// are refused with the option named, and --help lists every option.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/instrument-sim/pty/tool_options.h"

namespace instrument_sim {
namespace {

TEST(ToolOptions, ValuesLandInTheirFields) {
    const ParsedOptions parsed = ParseToolOptions(
        {"--method", "1", "--version-reply=none", "--versionless-lines", "7", "--kernel-size", "0x10",
         "--update-size", "300", "--noise", "drop", "--sync-from", "4", "--pre-sync-reply", "0x55",
         "--sync-delay", "20", "--wrong-echo-at", "3", "--late-echo-at", "5", "--late-echo-ms", "900",
         "--stray-before-echo", "6", "--stray-before-command", "2", "--stray-byte", "0xEE", "--end-code",
         "memory-errors", "--memory-errors", "65535", "--bad-end-code", "0x33", "--status", "4=9",
         "--status", "5=1", "--status-delay", "1=250", "--echo-delay", "6=40", "--hang-up", "update:12",
         "--idle-timeout", "2", "--link", "/tmp/x", "--loop", "--json", "--no-line-time"});
    ASSERT_EQ(parsed.error, "");
    const InstrumentConfig& c = parsed.options.session.config;
    EXPECT_EQ(c.updateMethod, 1);
    EXPECT_EQ(c.versionReply, VersionReply::kNoVersion);
    EXPECT_EQ(c.versionlessLines, 7);
    EXPECT_EQ(c.kernelSize, 16u);
    EXPECT_EQ(c.updateSize, 300u);
    EXPECT_EQ(c.noise, NoiseMode::kDrop);
    EXPECT_EQ(c.syncFromProbe, 4);
    EXPECT_EQ(c.preSyncReply, std::optional<std::uint8_t>(0x55));
    EXPECT_EQ(c.syncReplyDelayMs, 20u);
    EXPECT_EQ(c.wrongEchoAtByte, 3);
    EXPECT_EQ(c.lateEchoAtByte, 5);
    EXPECT_EQ(c.lateEchoMs, 900u);
    EXPECT_EQ(c.strayBeforeEchoAtByte, 6);
    EXPECT_EQ(c.strayBeforeCommandEcho, 2);
    EXPECT_EQ(c.strayByte, 0xEE);
    EXPECT_EQ(c.kernelEnd, KernelEnd::kMemoryErrors);
    EXPECT_EQ(c.memoryErrors, 65535);
    EXPECT_EQ(c.badEndCode, 0x33);
    EXPECT_EQ(c.statusFor.at(4), 9);
    EXPECT_EQ(c.statusFor.at(5), 1);
    EXPECT_EQ(c.statusDelayMs.at(1), 250u);
    EXPECT_EQ(c.commandEchoDelayMs.at(6), 40u);
    EXPECT_EQ(c.hangUp, HangUpStage::kUpdate);
    EXPECT_EQ(c.hangUpAfterBytes, 12u);
    EXPECT_FALSE(c.lineTime);
    EXPECT_EQ(parsed.options.session.idleTimeoutMs, 2000u);
    EXPECT_EQ(parsed.options.linkPath, "/tmp/x");
    EXPECT_TRUE(parsed.options.loop);
    EXPECT_TRUE(parsed.options.json);
}

TEST(ToolOptions, BadCommandLinesAreRefusedByName) {
    const std::vector<std::vector<std::string>> bad = {
        {"--method", "3"},        {"--stray-byte", "256"},    {"--memory-errors", "-1"},
        {"--status", "4"},        {"--status", "4=256"},      {"--noise", "loud"},
        {"--end-code", "maybe"},  {"--kernel-size", "1x"},    {"--idle-timeout", "0"},
        {"--hang-up", "sync:1"},  {"--loop=yes"},             {"--sync-delay"},
        {"--frobnicate"},         {"--version-reply", ""},
    };
    for (const std::vector<std::string>& arguments : bad) {
        const ParsedOptions parsed = ParseToolOptions(arguments);
        EXPECT_NE(parsed.error.find(arguments.front().substr(0, arguments.front().find('='))), std::string::npos)
            << arguments.front() << ": " << parsed.error;
    }
}

TEST(ToolOptions, VersionAloneShowsTheProgramsVersionWithAValueSetsTheInstalledOne) {
    const struct {
        std::vector<std::string> args;
        bool showVersion;
        std::string installed;
    } cases[] = {
        {{"--version"}, true, "1.0.0"},
        {{"--version", "--loop"}, true, "1.0.0"},
        {{"--version", "3.1.4"}, false, "3.1.4"},
        {{"--version=3.1.5"}, false, "3.1.5"},
        {{"--installed-version", "2.0"}, false, "2.0"},
    };
    for (const auto& c : cases) {
        const ParsedOptions parsed = ParseToolOptions(c.args);
        ASSERT_EQ(parsed.error, "") << c.args[0];
        EXPECT_EQ(parsed.options.showVersion, c.showVersion) << c.args[0];
        EXPECT_EQ(parsed.options.session.config.version, c.installed) << c.args[0];
    }
}

TEST(ToolOptions, HelpListsEveryOptionWithItsDefault) {
    const std::string help = HelpText();
    for (const char* option : {"--method", "--status-delay", "--hang-up", "--idle-timeout", "--json"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    EXPECT_NE(help.find("(default 60)"), std::string::npos);
}

}  // namespace
}  // namespace instrument_sim
