#ifdef __linux__
#include "util/ip_text.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <array>
#include <random>
#include <string>

namespace wirelux {
namespace {

// The text must be what the C library writes, so that Linux readers that use it and our own
// conversions agree on every address.
TEST(IpTextAgainstLibc, FormatsAndParsesAsInetNtopAndInetPton) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 20000; ++round) {
        std::array<std::uint8_t, 16> bytes{};
        // Mostly zero groups, so that every shape of zero run and embedded IPv4 comes up.
        for (std::size_t group = 0; group < 8; ++group) {
            const unsigned choice = random() % 4;
            const unsigned value = choice == 0 ? random() % 0x10000 : choice == 1 ? 0xffff : 0;
            bytes[2 * group] = static_cast<std::uint8_t>(value >> 8);
            bytes[2 * group + 1] = static_cast<std::uint8_t>(value);
        }
        char expected[INET6_ADDRSTRLEN];
        ASSERT_NE(::inet_ntop(AF_INET6, bytes.data(), expected, sizeof expected), nullptr);
        ASSERT_EQ(format_ipv6(bytes.data()), expected);

        const auto parsed = parse_ip(expected);
        ASSERT_TRUE(parsed) << expected;
        EXPECT_EQ(parsed->bytes, bytes) << expected;
    }
}

} // namespace
} // namespace wirelux
#endif
