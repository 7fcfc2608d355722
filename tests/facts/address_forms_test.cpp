#include "model/address_tests.h"

#include <gtest/gtest.h>

namespace wirelux {
namespace {

TEST(NormalisedAddress, CanonicalLowerCaseWithoutBracketsOrZone) {
    EXPECT_EQ(normalised_address("  [FE80::0:1%eth0] "), "fe80::1");
    EXPECT_EQ(normalised_address("2001:DB8:0:0::A"), "2001:db8::a");
    EXPECT_EQ(normalised_address("::ffff:192.0.2.7"), "192.0.2.7");
    EXPECT_EQ(normalised_address("127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(normalised_address("My-PC"), "my-pc");
    EXPECT_EQ(normalised_address(""), "");
}

TEST(LoopbackHost, NamesTheLoopbackAddressesAndLocalhost) {
    // The mapped IPv4 loopback is how Linux shows IPv4 clients of a dual-stack socket, so it counts too.
    for (const char* text : {"localhost", "127.0.0.1", "127.255.0.9", "::1", "[::1]", "::1%1", "0:0::1",
                             "::ffff:127.0.0.1"})
        EXPECT_TRUE(is_loopback_host(text)) << text;
    for (const char* text : {"LOCALHOST", "localhost.", "128.0.0.1", "0.0.0.0", "::", "::2", "1::1",
                             "::ffff:128.0.0.1", "127.0.0.1:80", ""})
        EXPECT_FALSE(is_loopback_host(text)) << text;
}

TEST(UnspecifiedAddress, IsEitherWildcardInAnySpelling) {
    for (const char* text : {"0.0.0.0", "::", "[::]", "0:0:0:0:0:0:0:0", " :: ", "::ffff:0.0.0.0"})
        EXPECT_TRUE(is_unspecified_address(text)) << text;
    for (const char* text : {"", "0.0.0.1", "::1", "0", "any"})
        EXPECT_FALSE(is_unspecified_address(text)) << text;
}

} // namespace
} // namespace wirelux
