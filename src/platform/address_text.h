#pragma once
// Texts the adapter and route readers of every backend produce from raw platform bytes, so that both
// platforms format addresses, physical addresses and interface GUIDs alike.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace wirelux::platform {

// Dotted quad of four bytes in network order.
std::string ipv4_text(std::span<const std::uint8_t, 4> bytes);

// Compressed IPv6 form: lower-case groups without leading zeros, the longest run of two or more zero
// groups (the first of equal runs) replaced by "::", IPv4-mapped and IPv4-compatible addresses with a
// dotted-quad tail. No zone.
std::string ipv6_text(std::span<const std::uint8_t, 16> bytes);

// The first eight bytes at most, each as two upper-case hexadecimal digits, joined by "-"; empty for
// no bytes.
std::string mac_text(std::span<const std::uint8_t> bytes);

// Registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
std::string guid_text(std::uint32_t data1, std::uint16_t data2, std::uint16_t data3,
                      std::span<const std::uint8_t, 8> data4);

bool all_zero(std::span<const std::uint8_t> bytes);

// Appends the text unless the list already holds it (first occurrence keeps its place).
void append_unique(std::vector<std::string>& list, std::string text);

} // namespace wirelux::platform
