// The command line of updater-cli: what it accepts, what it refuses, and the
// port check the window also uses.

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "app/cli/cli_options.h"

namespace {

using cli::AnswerPolicy;
using cli::CliOptions;
using cli::Command;
using cli::ParseCommandLine;
using cli::UsageError;

constexpr const char* kPortRefused = "The port must be an integer between 1 and 35.";

cli::ParseResult Parse(std::vector<std::string_view> arguments) { return ParseCommandLine(arguments); }

TEST(CliOptions, FullUpdateCommandLine) {
    const auto result = Parse({"--ini", "a.ini", "--port", "7", "--yes", "--raw"});
    ASSERT_TRUE(std::holds_alternative<CliOptions>(result));
    const auto& options = std::get<CliOptions>(result);
    EXPECT_EQ(options.command, Command::kUpdate);
    EXPECT_EQ(options.iniPath, "a.ini");
    EXPECT_EQ(options.port, 7);
    EXPECT_FALSE(options.device);
    EXPECT_EQ(options.answer, AnswerPolicy::kYes);
    EXPECT_TRUE(options.raw);
}

TEST(CliOptions, DeviceWithoutAnswerAsksAndValuesMayFollowEquals) {
    const auto result = Parse({"--device=/dev/ttyUSB0"});
    ASSERT_TRUE(std::holds_alternative<CliOptions>(result));
    const auto& options = std::get<CliOptions>(result);
    EXPECT_EQ(options.device, "/dev/ttyUSB0");
    EXPECT_FALSE(options.port);
    EXPECT_FALSE(options.iniPath);
    EXPECT_EQ(options.answer, AnswerPolicy::kAskTerminal);
    EXPECT_FALSE(options.raw);

    const auto no = Parse({"--no", "--device", "/dev/x"});
    ASSERT_TRUE(std::holds_alternative<CliOptions>(no));
    EXPECT_EQ(std::get<CliOptions>(no).answer, AnswerPolicy::kNo);
}

TEST(CliOptions, HelpVersionAndListPorts) {
    EXPECT_EQ(std::get<CliOptions>(Parse({"--help"})).command, Command::kHelp);
    EXPECT_EQ(std::get<CliOptions>(Parse({"--port", "1", "--help"})).command, Command::kHelp);
    EXPECT_EQ(std::get<CliOptions>(Parse({"--version"})).command, Command::kVersion);
    const auto list = Parse({"--list-ports", "--ini", "p.ini"});
    ASSERT_TRUE(std::holds_alternative<CliOptions>(list));
    EXPECT_EQ(std::get<CliOptions>(list).command, Command::kListPorts);
    EXPECT_EQ(std::get<CliOptions>(list).iniPath, "p.ini");
}

TEST(CliOptions, RefusesConflictingMissingAndUnknownOptions) {
    const std::vector<std::vector<std::string_view>> refused = {
        {},                                         // no port at all
        {"--yes"},                                  // still no port
        {"--port", "1", "--device", "/dev/x"},      // both ways to name the link
        {"--device", "/dev/x", "--yes", "--no"},    // both answers
        {"--device", "/dev/x", "--force"},          // unknown option
        {"--device", "/dev/x", "-y"},               // unknown short option
        {"--device", "/dev/x", "extra"},            // stray argument
        {"--device"},                               // missing value
        {"--device", "/dev/x", "--ini"},            // missing value at the end
        {"--port"},
        {"--device", ""},                           // empty device
        {"--device", "/dev/x", "--raw=1"},          // a flag with a value
        {"--ini", "a", "--ini", "b"},               // repeated value option
        {"--port", "1", "--port", "1"},             // one port twice
        {"--device", "/dev/x", "--device", "/dev/x"},
        {"--device", "/dev/x", "--raw", "--json"},  // two output forms
        {"--device", "/dev/x", "--check", "--yes"}, // the check asks nothing
        {"--device", "/dev/x", "--check", "--trace", "t"},
        {"--list-ports", "--json"},
        {"--list-ports", "--port", "1"},            // listing takes no update option
        {"--list-ports", "--raw"},
    };
    for (const auto& arguments : refused) {
        std::string shown;
        for (const auto argument : arguments) shown += std::string(argument) + " ";
        const auto result = ParseCommandLine(arguments);
        ASSERT_TRUE(std::holds_alternative<UsageError>(result)) << shown;
        EXPECT_FALSE(std::get<UsageError>(result).message.empty()) << shown;
        EXPECT_NE(std::get<UsageError>(result).message, kPortRefused) << shown;
    }
}

TEST(CliOptions, PortTextAcceptedAsTheWindowDoes) {
    const std::vector<std::pair<std::string_view, int>> accepted = {
        {"1", 1},     {"35", 35},  {"  7", 7},    {"+7", 7},    {"$23", 35},  {"$a", 10},
        {"x1F", 31},  {"X1f", 31}, {"0x0A", 10},  {"0X23", 35}, {" +$10", 16}, {"007", 7},
    };
    for (const auto& [text, port] : accepted) {
        const auto result = Parse({"--port", text, "--no"});
        ASSERT_TRUE(std::holds_alternative<CliOptions>(result)) << "'" << text << "'";
        EXPECT_EQ(std::get<CliOptions>(result).port, port) << "'" << text << "'";
    }
}

TEST(CliOptions, PortTextRefusedWithTheWindowsText) {
    const std::vector<std::string_view> refused = {
        "",      " ",     "abc",   "3x",        "7 ",          "0",  "36",  "-1",   "+",
        "$",     "x",     "0x",    "0x1g",      "--7",         "+-7", "1.0", "4294967297",
        "2147483648",     "-2147483649",        "99999999999999999999", "0x100000000", "-0x1",
    };
    for (const auto text : refused) {
        const auto result = Parse({"--port", text, "--yes"});
        ASSERT_TRUE(std::holds_alternative<UsageError>(result)) << "'" << text << "'";
        EXPECT_EQ(std::get<UsageError>(result).message, kPortRefused) << "'" << text << "'";
    }
}

}  // namespace

namespace {

TEST(CliOptions, SeveralInstrumentsAndTheMachineReadableOutputs) {
    const auto result = Parse({"--device", "/dev/a", "--device=/dev/b", "--json", "--report", "r.jsonl",
                               "--trace=t.txt", "--no"});
    ASSERT_TRUE(std::holds_alternative<CliOptions>(result));
    const auto& options = std::get<CliOptions>(result);
    EXPECT_EQ(options.devices, (std::vector<std::string>{"/dev/a", "/dev/b"}));
    EXPECT_EQ(options.device, "/dev/a");
    EXPECT_TRUE(options.json);
    EXPECT_EQ(options.reportPath, "r.jsonl");
    EXPECT_EQ(options.tracePath, "t.txt");

    const auto ports = Parse({"--port", "3", "--port", "1", "--check"});
    ASSERT_TRUE(std::holds_alternative<CliOptions>(ports));
    EXPECT_EQ(std::get<CliOptions>(ports).ports, (std::vector<int>{3, 1}));
    EXPECT_EQ(std::get<CliOptions>(ports).port, 3);
    EXPECT_EQ(std::get<CliOptions>(ports).command, Command::kCheck);
    // Any port of several that is no port refuses the whole line with the window's text.
    const auto bad = Parse({"--port", "3", "--port", "36"});
    ASSERT_TRUE(std::holds_alternative<UsageError>(bad));
    EXPECT_EQ(std::get<UsageError>(bad).message, kPortRefused);
}

}  // namespace
