#include "model/address_tests.h"

#include <gtest/gtest.h>

namespace wirelux {
namespace {

TEST(NormalisedAddress, StripsDecorationAndWritesTheCanonicalForm) {
    EXPECT_EQ(normalised_address("  [FE80::0001%12]  "), "fe80::1");
    EXPECT_EQ(normalised_address("fe80::1%eth0"), "fe80::1");
    EXPECT_EQ(normalised_address("2001:DB8:0:0:0:0:0:1"), "2001:db8::1");
    EXPECT_EQ(normalised_address("::ffff:192.168.1.10"), "192.168.1.10");
    EXPECT_EQ(normalised_address("[::ffff:c0a8:010a]"), "192.168.1.10");
    EXPECT_EQ(normalised_address("192.168.1.10"), "192.168.1.10");
}

TEST(NormalisedAddress, LeavesNamesAndOddTextsLowerCased) {
    EXPECT_EQ(normalised_address("My-PC.Lan"), "my-pc.lan");
    EXPECT_EQ(normalised_address("[Host]"), "host");
    EXPECT_EQ(normalised_address("[[::1]]"), "[::1]"); // one pair only
    EXPECT_EQ(normalised_address("010.1.1.1"), "010.1.1.1");
    EXPECT_EQ(normalised_address(""), "");
}

TEST(LoopbackHost, KnowsTheLoopbackRangesInEveryWriting) {
    for (const char* text : {"localhost", "127.0.0.1", "127.255.0.9", "::1", "[::1]", "0:0:0:0:0:0:0:1",
                             "::1%1", "::ffff:127.0.0.1", "[::ffff:127.1.2.3]"})
        EXPECT_TRUE(is_loopback_host(text)) << text;
    for (const char* text : {"", "LOCALHOST", "localhost.lan", "128.0.0.1", "126.255.255.255", "::2",
                             "::", "0.0.0.0", "127.0.0.1.nip.io", "::127.0.0.1", "::ffff:128.0.0.1"})
        EXPECT_FALSE(is_loopback_host(text)) << text;
}

TEST(UnspecifiedAddress, MatchesOnlyTheAnyAddresses) {
    for (const char* text :
         {"0.0.0.0", "::", "[::]", "0:0:0:0:0:0:0:0", "::%3", " 0.0.0.0 ", "::ffff:0.0.0.0"})
        EXPECT_TRUE(is_unspecified_address(text)) << text;
    for (const char* text : {"", "0.0.0.1", "::1", "0", "any"})
        EXPECT_FALSE(is_unspecified_address(text)) << text;
}

TEST(LocalHost, UsesLoopbackThenOwnNamesAndAddresses) {
    const std::set<std::string> names = {"localhost", "my-pc"};
    const std::set<std::string> addresses = {"192.168.1.10", "fe80::1", "2001:db8::1"};
    for (const char* text : {"127.0.0.1", "::1", "localhost", "My-PC", "192.168.1.10", "[FE80::1%12]",
                             "2001:DB8::0:1", "::ffff:192.168.1.10"})
        EXPECT_TRUE(is_local_host(text, names, addresses)) << text;
    for (const char* text : {"", "0.0.0.0", "::", "192.168.1.11", "other-pc", "8.8.8.8"})
        EXPECT_FALSE(is_local_host(text, names, addresses)) << text;
    // The unspecified address stays non-local even when someone lists it as an own address.
    EXPECT_FALSE(is_local_host("0.0.0.0", names, {"0.0.0.0"}));
}

TEST(SameAddress, ComparesNormalisedNonEmptyTexts) {
    EXPECT_TRUE(same_address("[::1]", "0:0::1"));
    EXPECT_TRUE(same_address("::ffff:10.0.0.1", "10.0.0.1"));
    EXPECT_TRUE(same_address("LocalHost", "localhost"));
    EXPECT_FALSE(same_address("127.0.0.1", "localhost"));
    EXPECT_FALSE(same_address("", ""));
    EXPECT_FALSE(same_address("10.0.0.1", "10.0.0.2"));
}

} // namespace
} // namespace wirelux
