#include "platform/address_text.h"

#include <gtest/gtest.h>

#include <array>

namespace wirelux::platform {
namespace {

std::string v6(std::array<std::uint16_t, 8> groups) {
    std::array<std::uint8_t, 16> bytes{};
    for (std::size_t i = 0; i < 8; ++i) {
        bytes[2 * i] = static_cast<std::uint8_t>(groups[i] >> 8);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(groups[i]);
    }
    return ipv6_text(bytes);
}

TEST(AddressText, Ipv4IsADottedQuad) {
    EXPECT_EQ(ipv4_text(std::array<std::uint8_t, 4>{223, 5, 5, 5}), "223.5.5.5");
    EXPECT_EQ(ipv4_text(std::array<std::uint8_t, 4>{0, 0, 0, 0}), "0.0.0.0");
    EXPECT_EQ(ipv4_text(std::array<std::uint8_t, 4>{255, 255, 255, 255}), "255.255.255.255");
}

TEST(AddressText, Ipv6UsesTheCompressedForm) {
    EXPECT_EQ(v6({0, 0, 0, 0, 0, 0, 0, 0}), "::");
    EXPECT_EQ(v6({0, 0, 0, 0, 0, 0, 0, 1}), "::1");
    EXPECT_EQ(v6({0x2400, 0x3200, 0, 0, 0, 0, 0, 1}), "2400:3200::1");
    EXPECT_EQ(v6({0xfe80, 0, 0, 0, 0x00ff, 0xfe00, 0, 2}), "fe80::ff:fe00:0:2")
        << "the longer run is compressed";
    EXPECT_EQ(v6({0x2001, 0xdb8, 0, 0, 1, 0, 0, 1}), "2001:db8::1:0:0:1") << "the first of equal runs";
    EXPECT_EQ(v6({0x2001, 0xdb8, 0, 1, 1, 1, 1, 1}), "2001:db8:0:1:1:1:1:1") << "a single zero group stays";
    EXPECT_EQ(v6({0x2001, 0xdb8, 0xABCD, 0x0012, 0, 0, 0, 0}), "2001:db8:abcd:12::");
    EXPECT_EQ(v6({0xfdfe, 0xdcba, 0x9876, 0, 0, 0, 0, 0x10}), "fdfe:dcba:9876::10");
}

TEST(AddressText, Ipv6WithEmbeddedIpv4KeepsTheDottedTail) {
    EXPECT_EQ(v6({0, 0, 0, 0, 0, 0xffff, 0xc000, 0x0201}), "::ffff:192.0.2.1");
    EXPECT_EQ(v6({0, 0, 0, 0, 0, 0, 0xc000, 0x0201}), "::192.0.2.1");
    EXPECT_EQ(v6({0, 0, 0, 0, 0, 0, 0, 2}), "::2");
}

TEST(AddressText, MacTakesAtMostEightBytes) {
    const std::uint8_t bytes[10] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e, 0x6f, 0x70, 0x81, 0x92};
    EXPECT_EQ(mac_text(std::span<const std::uint8_t>(bytes, 6)), "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(mac_text(std::span<const std::uint8_t>(bytes, 6)).size(), 17u);
    EXPECT_EQ(mac_text(std::span<const std::uint8_t>(bytes, 0)), "");
    EXPECT_EQ(mac_text(std::span<const std::uint8_t>(bytes, 10)), "00-1A-2B-3C-4D-5E-6F-70");
}

TEST(AddressText, GuidIsUpperCaseRegistryForm) {
    const std::array<std::uint8_t, 8> tail{0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18};
    EXPECT_EQ(guid_text(0x4d36e972, 0xe325, 0x11ce, tail), "{4D36E972-E325-11CE-BFC1-08002BE10318}");
    EXPECT_EQ(guid_text(0xe, 0, 0, std::array<std::uint8_t, 8>{0, 0, 0x4e, 0x65, 0x74, 0x44, 0x65, 0x76}),
              "{0000000E-0000-0000-0000-4E6574446576}");
}

TEST(AddressText, AppendUniqueKeepsFirstOccurrenceOrder) {
    std::vector<std::string> list;
    for (const char* s : {"192.0.2.53", "2001:db8::53", "192.0.2.53", "198.51.100.1", "2001:db8::53"})
        append_unique(list, s);
    EXPECT_EQ(list, (std::vector<std::string>{"192.0.2.53", "2001:db8::53", "198.51.100.1"}));
}

} // namespace
} // namespace wirelux::platform
