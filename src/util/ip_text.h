#pragma once
// IP addresses between their bytes and their canonical text, without the platform's socket headers, so
// that buffers and /proc tables convert the same way on every platform and in every test.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wirelux {

struct IpAddress {
    std::array<std::uint8_t, 16> bytes{}; // IPv4 uses the first four
    bool is_v6 = false;
};

// Dotted quad.
std::string format_ipv4(const std::uint8_t* bytes);

// Compressed lower-case form as the C library writes it: the longest run of two or more zero groups
// (the first of equal runs) becomes "::", and an IPv4-mapped or IPv4-compatible address ends in its
// dotted quad ("::ffff:127.0.0.1").
std::string format_ipv6(const std::uint8_t* bytes);

std::string format_ip(const IpAddress& address);

// A strict dotted quad (four decimal parts of 0 to 255 without leading zeros) or an IPv6 address
// (hexadecimal groups, at most one "::", optionally ending in a dotted quad). No brackets, zones,
// ports or surrounding space.
std::optional<IpAddress> parse_ip(std::string_view text);

// The IPv4 address inside an IPv4-mapped IPv6 address (::ffff:a.b.c.d); absent for anything else.
std::optional<IpAddress> unmapped_ipv4(const IpAddress& address);

} // namespace wirelux
