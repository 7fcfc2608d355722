#include "share/sharing_switches.h"

#include <gtest/gtest.h>

namespace wirelux {
namespace {

TEST(SharingSwitches, ExactTokensAnywhereOnTheLine) {
    const struct {
        std::vector<std::string> tokens;
        bool redact, json;
    } cases[] = {
        {{"wirelux.exe"}, false, false},
        {{"wirelux.exe", "--redact"}, true, false},
        {{"wirelux.exe", "--json", "--no-progress"}, false, true},
        {{"--redact", "x", "--json"}, true, true},
        {{"wirelux", "--REDACT", "-json", "--json=1", "--redact "}, false, false},
    };
    for (const auto& c : cases) {
        const SharingSwitches s = sharing_switches(c.tokens);
        EXPECT_EQ(s.redact, c.redact) << c.tokens.size();
        EXPECT_EQ(s.json, c.json) << c.tokens.size();
    }
}

} // namespace
} // namespace wirelux
