#include "util/regex.h"

#include <gtest/gtest.h>

#include <string>

namespace wirelux {
namespace {

TEST(RegexAnchors, CaretAndDollarAnchorAtTextEndsUnlessLineModeIsAsked) {
    const std::string text = "mode: rule\nport: 7890\nallow-lan: true";
    EXPECT_FALSE(Regex(R"(^port)").search(text));
    EXPECT_FALSE(Regex(R"(7890$)").search(text));
    EXPECT_TRUE(Regex(R"(^mode)").search(text));
    EXPECT_TRUE(Regex(R"(true$)").search(text));

    const auto port = Regex(R"((?m)^port:\s*(\d+)$)").find(text);
    ASSERT_TRUE(port);
    EXPECT_EQ(port->group(1), "7890");
    EXPECT_EQ(port->position(0), 11u);

    // Config files written on Windows end their lines with CR LF.
    const auto crlf = Regex(R"((?m)^port:\s*(\d+)$)").find("mode: rule\r\nport: 7890\r\n");
    ASSERT_TRUE(crlf);
    EXPECT_EQ(crlf->group(1), "7890");
}

TEST(RegexAnchors, DotStopsAtNewlineUnlessSingleLineModeIsAsked) {
    EXPECT_FALSE(Regex("a.b").search("a\nb"));
    EXPECT_TRUE(Regex("(?s)a.b").search("a\nb"));
    // A greedy ".*" in line mode must end at the line, not swallow the rest of a config file.
    const auto value = Regex(R"((?m)^secret:\s*(.*)$)").find("secret: abc\nport: 1\n");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->group(1), "abc");
}

TEST(RegexSyntax, CaseInsensitiveFlagAndWordBoundaries) {
    EXPECT_TRUE(Regex("(?i)wintun").search("WINTUN Userspace Tunnel"));
    EXPECT_FALSE(Regex("wintun").search("WINTUN Userspace Tunnel"));
    const Regex tun(R"((?i)\bTUN\b)");
    EXPECT_FALSE(tun.search("Userspace Tunnel"));
    EXPECT_TRUE(tun.search("mihomo-tun adapter"));
    EXPECT_TRUE(tun.search("TUN"));
}

TEST(RegexSyntax, AlternationIsLeftmostFirstNotLongest) {
    const auto m = Regex("a|ab").find("xab");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->group(), "a");
    EXPECT_EQ(m->position(), 1u);
}

TEST(RegexSyntax, LazyQuantifierTakesTheShortestMatch) {
    EXPECT_EQ(Regex("<.+?>").find("<a><b>")->group(), "<a>");
    EXPECT_EQ(Regex("<.+>").find("<a><b>")->group(), "<a><b>");
}

TEST(RegexGroups, NamedGroupsAreReachableByNameAndIndex) {
    const Regex endpoint(R"((?<host>[^\s:]+):(?<port>\d+))");
    EXPECT_EQ(endpoint.group_count(), 2u);
    EXPECT_EQ(endpoint.group_index("host"), 1);
    EXPECT_EQ(endpoint.group_index("port"), 2);
    EXPECT_EQ(endpoint.group_index("scheme"), -1);

    const auto m = endpoint.find("proxy at 127.0.0.1:7890 now");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->group("host"), "127.0.0.1");
    EXPECT_EQ(m->group("port"), "7890");
    EXPECT_EQ(m->position(2), 19u);
    EXPECT_TRUE(m->matched("port"));
    EXPECT_FALSE(m->matched("scheme"));
    EXPECT_EQ(m->group("scheme"), "");
}

TEST(RegexGroups, AGroupOutsideTheMatchIsEmptyAndUnmatched) {
    const auto m = Regex("(a)|(b)").find("b");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->size(), 3u);
    EXPECT_FALSE(m->matched(1));
    EXPECT_EQ(m->group(1), "");
    EXPECT_EQ(m->position(1), RegexMatch::npos);
    EXPECT_TRUE(m->matched(2));
    EXPECT_EQ(m->position(2), 0u);
    EXPECT_FALSE(m->matched(7));
    EXPECT_EQ(m->group(7), "");
}

TEST(RegexGroups, AMatchOutlivesItsRegex) {
    std::optional<RegexMatch> m;
    {
        const Regex scoped(R"((?<word>\w+))");
        m = scoped.find("  hello");
    }
    ASSERT_TRUE(m);
    EXPECT_EQ(m->group("word"), "hello");
}

TEST(RegexFind, SearchFromAnOffsetStillSeesTheTextBefore) {
    const Regex word_start(R"(\bfoo)");
    // At offset 1 "foo" follows "x", so it is not at a word start; the next one is.
    const auto m = word_start.find("xfoo foo", 1);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->position(), 5u);
    EXPECT_FALSE(Regex("^foo").find("foo foo", 4));
    EXPECT_FALSE(Regex(R"(\Afoo)").find("foo foo", 4));
    EXPECT_EQ(Regex("(?m)^foo").find("foo\nfoo", 1)->position(), 4u);
    EXPECT_FALSE(Regex("foo").find("foo", 4));
}

TEST(RegexFind, FindAllReturnsEveryMatchInOrder) {
    const auto all = Regex(R"(\d+)").find_all("a1b22c333");
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].group(), "1");
    EXPECT_EQ(all[1].group(), "22");
    EXPECT_EQ(all[2].group(), "333");
    EXPECT_EQ(all[2].position(), 6u);
    EXPECT_TRUE(Regex("z").find_all("abc").empty());
}

TEST(RegexFind, WholeTextMatchNeedsEveryCharacter) {
    const Regex port(R"((\d{1,5}))");
    ASSERT_TRUE(port.match("7890"));
    EXPECT_EQ(port.match("7890")->group(1), "7890");
    EXPECT_FALSE(port.match("7890x"));
    EXPECT_TRUE(port.search("7890x"));
}

TEST(RegexReplace, GroupReferencesInTheFormat) {
    const Regex pair(R"((\w+)@(\w+))");
    EXPECT_EQ(pair.replace("me@host, you@there", "$2 at $1"), "host at me, there at you");
    EXPECT_EQ(pair.replace_first("me@host, you@there", "[$&]"), "[me@host], you@there");
    EXPECT_EQ(Regex(R"((?<port>\d+))").replace("port 80", "<$+{port}>"), "port <80>");
    EXPECT_EQ(Regex("a").replace("xay", "$$"), "x$y");
    EXPECT_EQ(pair.replace("no pairs here", "$1"), "no pairs here");
}

TEST(RegexFailures, ABadPatternMatchesNothing) {
    for (const char* bad : {"(unclosed", "[z-a]", "a{2,1}", "(?<name>x", "*"}) {
        const Regex re(bad);
        EXPECT_FALSE(re.valid()) << bad;
        EXPECT_FALSE(re.search("(unclosed [z-a] a * x")) << bad;
        EXPECT_FALSE(re.find("anything")) << bad;
        EXPECT_FALSE(re.match("")) << bad;
        EXPECT_TRUE(re.find_all("anything").empty()) << bad;
        EXPECT_EQ(re.replace("keep me", "x"), "keep me") << bad;
        EXPECT_EQ(re.group_count(), 0u) << bad;
    }
}

TEST(RegexFailures, PathologicalBacktrackingEndsAsNoMatch) {
    const Regex nested(R"((x+x+)+y)");
    EXPECT_FALSE(nested.search(std::string(40, 'x')));
    EXPECT_EQ(nested.replace(std::string(40, 'x'), "-"), std::string(40, 'x'));
}

TEST(RegexFailures, EmptyAndNullTextsAreOrdinaryInput) {
    EXPECT_TRUE(Regex("^$").search(std::string_view{}));
    EXPECT_FALSE(Regex("a").search(std::string_view{}));
    EXPECT_TRUE(Regex("^$").match(""));
}

} // namespace
} // namespace wirelux
