#include <gtest/gtest.h>

#include <cerrno>
#include <optional>

#include "app/link_failure_text.h"
#include "app/port_text.h"

namespace {

struct PortCase {
    const char* text;
    std::optional<int> port;
};

TEST(PortText, OnlyWholeIntegersFrom1To35AreAccepted) {
    const PortCase cases[] = {
        {"1", 1},       {"35", 35},     {"$23", 35},   {"0x23", 35},   {"0X23", 35},
        {"x23", 35},    {"X1f", 31},    {" 7", 7},     {"   +5", 5},   {"+5", 5},
        {"007", 7},     {"-$0", std::nullopt},
        {"abc", std::nullopt}, {"", std::nullopt},   {"3x", std::nullopt}, {"0", std::nullopt},
        {"36", std::nullopt},  {"-1", std::nullopt}, {"7 ", std::nullopt}, {"\t7", std::nullopt},
        {"+", std::nullopt},   {"$", std::nullopt},  {"0x", std::nullopt}, {"+-5", std::nullopt},
        {"5.0", std::nullopt}, {"$24", std::nullopt}, {"4294967297", std::nullopt},
    };
    for (const PortCase& c : cases) {
        EXPECT_EQ(app::ParsePortNumber(c.text), c.port) << '"' << c.text << '"';
    }
    EXPECT_EQ(app::kPortRefusedText, "The port must be an integer between 1 and 35.");
}

TEST(PortText, ConversionCoversExactlyTheSigned32BitRange) {
    EXPECT_EQ(app::TextToInt32("2147483647"), 2147483647);
    EXPECT_EQ(app::TextToInt32("-2147483648"), INT32_MIN);
    EXPECT_EQ(app::TextToInt32("$7FFFFFFF"), 2147483647);
    EXPECT_EQ(app::TextToInt32("-0x80000000"), INT32_MIN);
    EXPECT_EQ(app::TextToInt32("2147483648"), std::nullopt);
    EXPECT_EQ(app::TextToInt32("-2147483649"), std::nullopt);
    EXPECT_EQ(app::TextToInt32("$80000000"), std::nullopt);
    EXPECT_EQ(app::TextToInt32("99999999999999999999999"), std::nullopt);
    EXPECT_EQ(app::TextToInt32("-12"), -12);
    EXPECT_EQ(app::TextToInt32("0"), 0);
}

// The box keeps the system's sentence and adds the cause on its own line.
TEST(PortText, LinkFailureBoxAddsTheCauseOnItsOwnLine) {
    EXPECT_EQ(app::LinkFailureBoxText(std::nullopt), app::kLinkFailureText);
    const DeviceOpenFailure missing{2, "/dev/ttyUSB9", DeviceOpenFailure::Step::kOpen, ENOENT};
    const std::string text = app::LinkFailureBoxText(missing);
    EXPECT_EQ(text.rfind(std::string(app::kLinkFailureText) + "\nCOM3 (/dev/ttyUSB9): ", 0), 0u) << text;
    EXPECT_EQ(text.find('\n'), app::kLinkFailureText.size());
}

}  // namespace
