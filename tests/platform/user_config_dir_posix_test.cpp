#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "platform/user_config_dir.h"

namespace {

TEST(UserConfigurationDirectory, FromTheEnvironment) {
    using Env = std::map<std::string, std::string>;
    const struct {
        Env env;
        std::string folder;
    } cases[] = {
        {{{"XDG_CONFIG_HOME", "/cfg"}, {"HOME", "/home/t"}}, "/cfg/app"},
        {{{"XDG_CONFIG_HOME", "relative"}, {"HOME", "/home/t"}}, "/home/t/.config/app"},
        {{{"XDG_CONFIG_HOME", ""}, {"HOME", "/home/t/"}}, "/home/t/.config/app"},
        {{{"HOME", "relative"}}, ""},
        {{}, ""},
    };
    for (const auto& c : cases) {
        const auto lookup = [&](const char* name) -> std::optional<std::string> {
            const auto found = c.env.find(name);
            if (found == c.env.end()) return std::nullopt;
            return found->second;
        };
        EXPECT_EQ(platform::UserConfigurationDirectory("app", lookup), c.folder);
    }
}

}  // namespace
