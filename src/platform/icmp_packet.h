#pragma once
// ICMP echo on the wire, for the backends that send it themselves: the request they send and the
// reading of what a socket hands back. Reading checks every length against the bytes received.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace wirelux::platform {

enum class IcmpFamily : std::uint8_t { v4, v6 };

inline constexpr std::array<std::uint8_t, 2> kEchoPayload{0x6E, 0x64};

// An echo request. The IPv4 checksum is filled in; the ICMPv6 one covers a pseudo-header that only
// the system knows and is left for it to compute.
std::vector<std::uint8_t> build_echo_request(IcmpFamily family, std::uint16_t identifier,
                                             std::uint16_t sequence, std::span<const std::uint8_t> payload);

// The Internet checksum (RFC 1071) over the bytes.
std::uint16_t internet_checksum(std::span<const std::uint8_t> bytes);

struct IcmpMessage {
    std::uint8_t type = 0;
    std::uint8_t code = 0;
    std::uint16_t identifier = 0;
    std::uint16_t sequence = 0;
    std::vector<std::uint8_t> payload;
};

// One received packet: an ICMP message, preceded by its IPv4 header when `with_ip_header` (raw IPv4
// sockets deliver it; datagram sockets and IPv6 do not). Absent when the packet is not a whole ICMP
// message of the family.
std::optional<IcmpMessage> parse_icmp_packet(std::span<const std::uint8_t> packet, IcmpFamily family,
                                             bool with_ip_header);

struct EchoExpectation {
    IcmpFamily family = IcmpFamily::v4;
    std::optional<std::uint16_t> identifier; // absent when the system assigns and filters it
    std::uint16_t sequence = 0;
    std::span<const std::uint8_t> payload;
};

// Whether the message is the echo reply to the request described.
bool is_echo_reply(const IcmpMessage& message, const EchoExpectation& expected);

} // namespace wirelux::platform
