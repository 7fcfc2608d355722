#include "platform/icmp_packet.h"
#include "platform/icmp_reply_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace wirelux::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

// An IPv4 header as a raw socket delivers it, in front of the ICMP message.
Bytes with_ipv4_header(const Bytes& icmp, std::uint8_t header_words = 5, std::uint8_t protocol = 1) {
    Bytes packet(std::size_t{header_words} * 4, 0);
    packet[0] = static_cast<std::uint8_t>(0x40 | header_words);
    packet[8] = 64;
    packet[9] = protocol;
    packet[12] = 127, packet[15] = 1, packet[16] = 127, packet[19] = 1;
    packet.insert(packet.end(), icmp.begin(), icmp.end());
    return packet;
}

Bytes echo_reply(std::uint8_t type, std::uint16_t id, std::uint16_t seq, Bytes payload = {0x6E, 0x64}) {
    payload.insert(payload.begin(),
                   {type, 0, 0, 0, static_cast<std::uint8_t>(id >> 8), static_cast<std::uint8_t>(id),
                    static_cast<std::uint8_t>(seq >> 8), static_cast<std::uint8_t>(seq)});
    return payload;
}

TEST(IcmpEchoRequest, IsTheEchoRequestWithTheTwoBytePayload) {
    const Bytes v4 = build_echo_request(IcmpFamily::v4, 0x1234, 0x0001, kEchoPayload);
    EXPECT_EQ(v4, (Bytes{8, 0, 0x77, 0x66, 0x12, 0x34, 0x00, 0x01, 0x6E, 0x64}));
    EXPECT_EQ(internet_checksum(v4), 0); // a correct checksum sums to zero
    const Bytes v6 = build_echo_request(IcmpFamily::v6, 0xABCD, 0xFFFF, kEchoPayload);
    EXPECT_EQ(v6, (Bytes{128, 0, 0, 0, 0xAB, 0xCD, 0xFF, 0xFF, 0x6E, 0x64}));
}

TEST(IcmpEchoRequest, ChecksumFollowsRfc1071) {
    // The worked example of RFC 1071 section 3: the one's complement sum is 0xDDF2.
    EXPECT_EQ(internet_checksum(Bytes{0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7}), 0xFFFF - 0xDDF2);
    // An odd byte counts as the high byte of a last word.
    EXPECT_EQ(internet_checksum(Bytes{0x01}), 0xFFFF - 0x0100);
}

TEST(IcmpEchoReply, ReadsMessagesWithAndWithoutTheIpv4Header) {
    const Bytes bare = echo_reply(0, 7, 9);
    const auto direct = parse_icmp_packet(bare, IcmpFamily::v4, false);
    ASSERT_TRUE(direct);
    EXPECT_EQ(direct->type, 0);
    EXPECT_EQ(direct->identifier, 7);
    EXPECT_EQ(direct->sequence, 9);
    EXPECT_EQ(direct->payload, (Bytes{0x6E, 0x64}));

    const auto raw = parse_icmp_packet(with_ipv4_header(bare), IcmpFamily::v4, true);
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->sequence, 9);
    EXPECT_EQ(raw->payload, direct->payload);
    // An IPv4 header with options is longer than 20 bytes.
    const auto with_options = parse_icmp_packet(with_ipv4_header(bare, 6), IcmpFamily::v4, true);
    ASSERT_TRUE(with_options);
    EXPECT_EQ(with_options->payload, direct->payload);
}

TEST(IcmpEchoReply, RefusesTruncatedAndMalformedPackets) {
    const Bytes bare = echo_reply(0, 7, 9);
    EXPECT_FALSE(parse_icmp_packet(Bytes(bare.begin(), bare.begin() + 7), IcmpFamily::v4, false));
    EXPECT_FALSE(parse_icmp_packet({}, IcmpFamily::v6, false));
    const Bytes framed = with_ipv4_header(bare);
    for (std::size_t size = 0; size < 28; ++size)
        EXPECT_FALSE(parse_icmp_packet(Bytes(framed.begin(), framed.begin() + static_cast<long>(size)),
                                       IcmpFamily::v4, true))
            << size;
    Bytes wrong_version = framed;
    wrong_version[0] = 0x65;
    EXPECT_FALSE(parse_icmp_packet(wrong_version, IcmpFamily::v4, true));
    Bytes short_header = framed;
    short_header[0] = 0x44; // 16 bytes, less than any IPv4 header
    EXPECT_FALSE(parse_icmp_packet(short_header, IcmpFamily::v4, true));
    Bytes long_header = framed;
    long_header[0] = 0x4F; // 60 bytes, more than the packet holds
    EXPECT_FALSE(parse_icmp_packet(long_header, IcmpFamily::v4, true));
    EXPECT_FALSE(parse_icmp_packet(with_ipv4_header(bare, 5, 17), IcmpFamily::v4, true));
}

TEST(IcmpEchoReply, OnlyTheReplyToThisRequestCounts) {
    const EchoExpectation raw{IcmpFamily::v4, std::uint16_t{7}, 9, kEchoPayload};
    auto matches = [](const Bytes& m, const EchoExpectation& e) {
        const auto parsed = parse_icmp_packet(m, e.family, false);
        return parsed && is_echo_reply(*parsed, e);
    };
    EXPECT_TRUE(matches(echo_reply(0, 7, 9), raw));
    EXPECT_FALSE(matches(echo_reply(8, 7, 9), raw));  // our own request, looped back
    EXPECT_FALSE(matches(echo_reply(0, 8, 9), raw));  // another program's echo
    EXPECT_FALSE(matches(echo_reply(0, 7, 10), raw)); // a parallel echo of this program
    EXPECT_FALSE(matches(echo_reply(0, 7, 9, {0x6E}), raw));
    EXPECT_FALSE(matches(echo_reply(0, 7, 9, {0x6E, 0x64, 0}), raw));
    Bytes unreachable = echo_reply(3, 7, 9);
    unreachable[1] = 1;
    EXPECT_FALSE(matches(unreachable, raw));

    // Datagram sockets: the system rewrites and filters the identifier.
    const EchoExpectation datagram{IcmpFamily::v4, std::nullopt, 9, kEchoPayload};
    EXPECT_TRUE(matches(echo_reply(0, 0x4242, 9), datagram));

    const EchoExpectation v6{IcmpFamily::v6, std::uint16_t{7}, 9, kEchoPayload};
    EXPECT_TRUE(matches(echo_reply(129, 7, 9), v6));
    EXPECT_FALSE(matches(echo_reply(128, 7, 9), v6));
    EXPECT_FALSE(matches(echo_reply(0, 7, 9), v6));
}

// Reply buffers as the Windows calls fill them, built by hand (little-endian fields).
Bytes reply_buffer(const IcmpReplyLayout& layout, std::uint32_t status, std::uint32_t rtt) {
    Bytes buffer(256, 0xCC);
    for (int i = 0; i < 4; ++i) {
        buffer[layout.status_offset + i] = static_cast<std::uint8_t>(status >> (8 * i));
        buffer[layout.round_trip_offset + i] = static_cast<std::uint8_t>(rtt >> (8 * i));
    }
    return buffer;
}

TEST(IcmpReplyBuffer, ASuccessfulReplyGivesItsRoundTripTime) {
    EXPECT_EQ(echo_result_from_reply_buffer(reply_buffer(kIcmpEchoReplyLayout, 0, 3), 1, kIcmpEchoReplyLayout)
                  .rtt_ms,
              3);
    const EchoResult v6 = echo_result_from_reply_buffer(reply_buffer(kIcmpv6EchoReplyLayout, 0, 0x01020304),
                                                        1, kIcmpv6EchoReplyLayout);
    EXPECT_TRUE(v6.ok);
    EXPECT_EQ(v6.rtt_ms, 0x01020304);
}

TEST(IcmpReplyBuffer, FailureStatusesAndMissingRepliesAreNotOk) {
    constexpr std::uint32_t kTimedOut = 11010, kTtlExpired = 11013, kHostUnreachable = 11003;
    for (const auto* layout : {&kIcmpEchoReplyLayout, &kIcmpv6EchoReplyLayout}) {
        for (std::uint32_t status : {kTimedOut, kTtlExpired, kHostUnreachable}) {
            const EchoResult r = echo_result_from_reply_buffer(reply_buffer(*layout, status, 5), 1, *layout);
            EXPECT_FALSE(r.ok) << status;
            EXPECT_EQ(r.rtt_ms, -1) << status;
        }
        const EchoResult none = echo_result_from_reply_buffer(reply_buffer(*layout, 0, 5), 0, *layout);
        EXPECT_FALSE(none.ok);
        EXPECT_EQ(none.rtt_ms, -1);
        const Bytes whole = reply_buffer(*layout, 0, 5);
        const Bytes cut(whole.begin(), whole.begin() + static_cast<long>(layout->record_size - 1));
        EXPECT_FALSE(echo_result_from_reply_buffer(cut, 1, *layout).ok);
    }
}

} // namespace
} // namespace wirelux::platform
