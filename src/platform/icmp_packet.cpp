#include "platform/icmp_packet.h"

#include <algorithm>

namespace wirelux::platform {

namespace {

constexpr std::size_t kIcmpHeaderSize = 8;
constexpr std::size_t kMinimumIpv4HeaderSize = 20;
constexpr std::uint8_t kIpv4ProtocolIcmp = 1;

std::uint8_t request_type(IcmpFamily family) {
    return family == IcmpFamily::v4 ? 8 : 128;
}
std::uint8_t reply_type(IcmpFamily family) {
    return family == IcmpFamily::v4 ? 0 : 129;
}

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t value) {
    out[at] = static_cast<std::uint8_t>(value >> 8);
    out[at + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

std::uint16_t get16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

} // namespace

std::uint16_t internet_checksum(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        sum += get16(bytes, i);
    if (bytes.size() % 2 == 1) sum += static_cast<std::uint32_t>(bytes.back()) << 8;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::vector<std::uint8_t> build_echo_request(IcmpFamily family, std::uint16_t identifier,
                                             std::uint16_t sequence, std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> packet(kIcmpHeaderSize + payload.size());
    packet[0] = request_type(family);
    put16(packet, 4, identifier);
    put16(packet, 6, sequence);
    std::copy(payload.begin(), payload.end(), packet.begin() + kIcmpHeaderSize);
    if (family == IcmpFamily::v4) put16(packet, 2, internet_checksum(packet));
    return packet;
}

std::optional<IcmpMessage> parse_icmp_packet(std::span<const std::uint8_t> packet, IcmpFamily family,
                                             bool with_ip_header) {
    if (with_ip_header) {
        if (family != IcmpFamily::v4 || packet.size() < kMinimumIpv4HeaderSize) return std::nullopt;
        const std::uint8_t version = packet[0] >> 4;
        const std::size_t header_size = std::size_t{packet[0] & 0x0Fu} * 4;
        if (version != 4 || header_size < kMinimumIpv4HeaderSize || header_size > packet.size())
            return std::nullopt;
        if (packet[9] != kIpv4ProtocolIcmp) return std::nullopt;
        packet = packet.subspan(header_size);
    }
    if (packet.size() < kIcmpHeaderSize) return std::nullopt;
    IcmpMessage message;
    message.type = packet[0];
    message.code = packet[1];
    message.identifier = get16(packet, 4);
    message.sequence = get16(packet, 6);
    message.payload.assign(packet.begin() + kIcmpHeaderSize, packet.end());
    return message;
}

bool is_echo_reply(const IcmpMessage& message, const EchoExpectation& expected) {
    if (message.type != reply_type(expected.family) || message.code != 0) return false;
    if (expected.identifier && message.identifier != *expected.identifier) return false;
    return message.sequence == expected.sequence &&
           std::equal(message.payload.begin(), message.payload.end(), expected.payload.begin(),
                      expected.payload.end());
}

} // namespace wirelux::platform
