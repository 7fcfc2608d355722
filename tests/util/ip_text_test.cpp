#include "util/ip_text.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace wirelux {
namespace {

std::string v6(std::array<std::uint8_t, 16> bytes) {
    return format_ipv6(bytes.data());
}

std::string reformat(std::string_view text) {
    const auto address = parse_ip(text);
    return address ? format_ip(*address) : "<invalid>";
}

TEST(IpText, CompressesTheLongestZeroRunAndOnlyRunsOfTwoOrMore) {
    EXPECT_EQ(v6({}), "::");
    EXPECT_EQ(v6({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}), "::1");
    EXPECT_EQ(v6({0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), "fe80::");
    EXPECT_EQ(reformat("1:0:0:1:0:0:0:1"), "1:0:0:1::1");      // the longer run wins
    EXPECT_EQ(reformat("1:0:0:2:0:0:3:4"), "1::2:0:0:3:4");    // the first of equal runs
    EXPECT_EQ(reformat("1:0:2:3:4:5:6:7"), "1:0:2:3:4:5:6:7"); // a single zero group stays
    EXPECT_EQ(reformat("2001:0DB8:0000:0000:0000:0000:0000:00A1"), "2001:db8::a1");
    EXPECT_EQ(reformat("0:0:0:0:0:1:0:0"), "::1:0:0");
}

TEST(IpText, WritesEmbeddedIpv4AsADottedQuad) {
    EXPECT_EQ(reformat("::ffff:127.0.0.1"), "::ffff:127.0.0.1");
    EXPECT_EQ(reformat("0:0:0:0:0:ffff:7f00:1"), "::ffff:127.0.0.1");
    EXPECT_EQ(reformat("::1.2.3.4"), "::1.2.3.4");
    EXPECT_EQ(reformat("::ffff"), "::ffff"); // only 16 bits: not an IPv4 address
    EXPECT_EQ(reformat("::ffff:0:1.2.3.4"), "::ffff:0:102:304");
}

TEST(IpText, ParsesOnlyWellFormedAddresses) {
    EXPECT_EQ(reformat("0.0.0.0"), "0.0.0.0");
    EXPECT_EQ(reformat("255.255.255.255"), "255.255.255.255");
    EXPECT_EQ(reformat("1:2:3:4:5:6:7:8"), "1:2:3:4:5:6:7:8");
    EXPECT_EQ(reformat("1::"), "1::");
    EXPECT_EQ(reformat("1:2:3:4:5:6:1.2.3.4"), "1:2:3:4:5:6:102:304");
    for (const char* bad : {"",
                            "1.2.3",
                            "1.2.3.4.5",
                            "256.1.1.1",
                            "01.2.3.4",
                            "1.2.3.4 ",
                            " 1.2.3.4",
                            "1..2.3",
                            "a.b.c.d",
                            ":",
                            ":::",
                            "1:2",
                            "1::2::3",
                            ":1::",
                            "1::2:",
                            "12345::",
                            "g::1",
                            "1:2:3:4:5:6:7:8:9",
                            "1:2:3:4:5:6:7::8",
                            "::1%2",
                            "[::1]",
                            "::1.2.3",
                            "::256.1.1.1",
                            "1.2.3.4::",
                            "localhost"})
        EXPECT_FALSE(parse_ip(bad)) << bad;
}

TEST(IpText, UnmapsOnlyIpv4MappedAddresses) {
    const auto mapped = unmapped_ipv4(*parse_ip("::ffff:10.1.2.3"));
    ASSERT_TRUE(mapped);
    EXPECT_EQ(format_ip(*mapped), "10.1.2.3");
    EXPECT_FALSE(unmapped_ipv4(*parse_ip("::1.2.3.4")));
    EXPECT_FALSE(unmapped_ipv4(*parse_ip("1::ffff:1.2.3.4")));
    EXPECT_FALSE(unmapped_ipv4(*parse_ip("10.1.2.3")));
}

} // namespace
} // namespace wirelux
