// The manual page of updater-cli, made from its --help at build time, names
// every option that the command line accepts.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <sstream>
#include <string>

#include "app/cli/cli_options.h"

namespace {

// The page as man shows it, near enough: font changes dropped, "\-" as "-".
std::string PageText(const char* path) {
    std::ifstream file(path);
    std::stringstream source;
    source << file.rdbuf();
    const std::string roff = source.str();
    std::string text;
    for (std::size_t i = 0; i < roff.size(); ++i) {
        if (roff.compare(i, 2, "\\-") == 0) {
            text += '-';
            ++i;
        } else if (roff.compare(i, 2, "\\f") == 0 && i + 2 < roff.size()) {
            i += 2;
        } else {
            text += roff[i];
        }
    }
    return text;
}

bool PartOfAName(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-'; }

// True when `name` stands in `text` as a word of its own ("-h", not the "-h" of "--help").
bool NamesOption(const std::string& text, const std::string& name) {
    for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
        const bool startsWord = at == 0 || !PartOfAName(text[at - 1]);
        const std::size_t end = at + name.size();
        const bool endsWord = end == text.size() || !PartOfAName(text[end]);
        if (startsWord && endsWord) return true;
    }
    return false;
}

TEST(ManualPage, NamesEveryOptionTheCommandLineAccepts) {
    const std::string page = PageText(UPDATER_CLI_MANUAL_PAGE);
    ASSERT_NE(page.find("updater-cli"), std::string::npos) << UPDATER_CLI_MANUAL_PAGE;
    const std::vector<std::string> names = cli::AcceptedOptionNames();
    ASSERT_GE(names.size(), 15u);
    for (const std::string& name : names) EXPECT_TRUE(NamesOption(page, name)) << name;
}

}  // namespace
