#ifdef __linux__

#include "linux/netlink_builders.h"
#include "linux/netlink_fixtures.h"
#include "linux/netlink_parse.h"
#include "linux/route_records.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <linux/if_arp.h>
#include <linux/rtnetlink.h>

namespace wirelux::platform::netlink {
namespace {

using test::attribute;
using test::u32_bytes;

template <std::size_t N> std::string_view bytes_of(const unsigned char (&a)[N]) {
    return {reinterpret_cast<const char*>(a), N};
}

// Sequence numbers the capture script used for each request.
constexpr std::uint32_t kLinkSeq = 1, kAddressSeq = 2, kRouteV4Seq = 3, kRouteV6Seq = 4;

std::vector<LinkRecord> fixture_links() {
    std::vector<LinkRecord> links;
    for (std::string_view d : {bytes_of(kLinkDump0), bytes_of(kLinkDump1), bytes_of(kLinkDump2)})
        for (const Message& m : scan_datagram(d, kLinkSeq).messages)
            if (auto link = parse_link(m)) links.push_back(*link);
    return links;
}

std::vector<RouteRow> fixture_rows(std::string_view datagram, std::uint32_t seq) {
    std::vector<RouteRow> rows;
    for (const Message& m : scan_datagram(datagram, seq).messages)
        if (auto route = parse_route(m); route && is_main_unicast(*route)) append_route_rows(*route, rows);
    return rows;
}

std::string row_text(const RouteRow& r) {
    return std::to_string(r.family) + " " + r.destination.value_or("?") + "/" + std::to_string(r.prefix_len) +
           " via " + r.next_hop.value_or("-") + " if" + std::to_string(r.if_index) + " m" +
           std::to_string(r.metric);
}

std::vector<std::string> row_texts(const std::vector<RouteRow>& rows) {
    std::vector<std::string> out;
    for (const RouteRow& r : rows)
        out.push_back(row_text(r));
    return out;
}

// Captured in the lab namespace of capture_netlink_fixtures.py.

TEST(NetlinkDatagram, DumpEndsOnlyAtTheDoneMessage) {
    const DatagramScan first = scan_datagram(bytes_of(kLinkDump0), kLinkSeq);
    EXPECT_EQ(first.messages.size(), 3u);
    EXPECT_FALSE(first.finished);
    EXPECT_FALSE(first.malformed);
    const DatagramScan last = scan_datagram(bytes_of(kLinkDump2), kLinkSeq);
    EXPECT_TRUE(last.messages.empty());
    EXPECT_TRUE(last.finished);
    EXPECT_EQ(last.error, 0);
}

TEST(NetlinkDatagram, AnswersToOtherRequestsAreSkipped) {
    const DatagramScan scan = scan_datagram(bytes_of(kLinkDump0), kLinkSeq + 100);
    EXPECT_TRUE(scan.messages.empty());
    EXPECT_FALSE(scan.finished);
    EXPECT_FALSE(scan.malformed);
}

TEST(NetlinkDatagram, KernelErrorEndsTheAnswerWithItsErrno) {
    const DatagramScan scan = scan_datagram(bytes_of(kRouteGetUnreachable0), 7);
    EXPECT_TRUE(scan.finished);
    EXPECT_EQ(scan.error, EHOSTUNREACH);
    EXPECT_TRUE(scan.messages.empty());
}

TEST(NetlinkDatagram, SingleAnswerEndsWithoutDoneMessage) {
    const DatagramScan scan = scan_datagram(bytes_of(kRouteGetV40), 5);
    EXPECT_TRUE(scan.finished);
    EXPECT_EQ(scan.messages.size(), 1u);
}

TEST(NetlinkLinks, CapturedLinksCarryNameTypeKindAndAddress) {
    const std::vector<LinkRecord> links = fixture_links();
    ASSERT_EQ(links.size(), 4u);
    EXPECT_EQ(links[0].name, "lo");
    EXPECT_EQ(links[0].hardware_type, ARPHRD_LOOPBACK);
    EXPECT_EQ(links[0].mtu, 65536u);
    EXPECT_EQ(links[1].name, "eth-lab");
    EXPECT_EQ(links[1].index, 2u);
    EXPECT_EQ(links[1].kind, "veth");
    EXPECT_EQ(links[1].address, std::string("\x02\x00\x00\x00\x00\x02", 6));
    EXPECT_EQ(links[1].operstate, IF_OPER_UP);
    EXPECT_EQ(links[2].name, "br-lab");
    EXPECT_EQ(links[2].kind, "bridge");
    EXPECT_EQ(links[3].name, "wl0");
    EXPECT_EQ(links[3].kind, "tun");
    EXPECT_EQ(links[3].hardware_type, ARPHRD_NONE);
    EXPECT_TRUE(links[3].address.empty());
}

TEST(NetlinkAddresses, OwnAddressOfAPointToPointLinkIsTheLocalOne) {
    std::vector<std::string> texts;
    for (const Message& m : scan_datagram(bytes_of(kAddressDump0), kAddressSeq).messages)
        if (auto a = parse_address(m))
            texts.push_back(std::to_string(a->index) + " " + std::to_string(a->family) + " " + a->address +
                            "/" + std::to_string(a->prefix_len));
    const std::vector<std::string> expected = {
        "1 2 127.0.0.1/8", "2 2 192.0.2.2/24",    "3 2 10.9.0.1/32",        "4 2 198.18.0.1/16",
        "1 23 ::1/128",    "2 23 2001:db8::2/64", "2 23 fe80::ff:fe00:2/64"};
    EXPECT_EQ(texts, expected);
}

TEST(NetlinkRoutes, MainTableUnicastRowsOnlyWithEachMultipathHopAsARow) {
    const std::vector<std::string> expected = {"2 0.0.0.0/0 via - if4 m5",
                                               "2 0.0.0.0/0 via 192.0.2.1 if2 m100",
                                               "2 10.9.0.2/32 via - if3 m0",
                                               "2 192.0.2.0/24 via - if2 m0",
                                               "2 198.18.0.0/16 via - if4 m0",
                                               "2 203.0.113.0/24 via 192.0.2.1 if2 m7",
                                               "2 203.0.113.0/24 via 192.0.2.3 if2 m7"};
    EXPECT_EQ(row_texts(fixture_rows(bytes_of(kRouteDumpV40), kRouteV4Seq)), expected);
}

TEST(NetlinkRoutes, Ipv6DefaultRouteHasTheUnspecifiedDestination) {
    const std::vector<std::string> expected = {
        "23 2001:db8::/64 via - if2 m256", "23 fe80::/64 via - if2 m256", "23 ::/0 via fe80::1 if2 m1024"};
    EXPECT_EQ(row_texts(fixture_rows(bytes_of(kRouteDumpV60), kRouteV6Seq)), expected);
}

TEST(NetlinkRoutes, PrefixLengthIsReadFromTheFixedHeaderAlone) {
    std::vector<int> lengths;
    for (const Message& m : scan_datagram(bytes_of(kRouteDumpV40), kRouteV4Seq).messages)
        if (lengths.size() < 4) lengths.push_back(route_prefix_length(m).value_or(-1));
    EXPECT_EQ(lengths, (std::vector<int>{0, 0, 32, 24}));
    EXPECT_FALSE(route_prefix_length(Message{RTM_NEWROUTE, 0, 1, std::string_view("\x02", 1)}));
    EXPECT_FALSE(route_prefix_length(scan_datagram(bytes_of(kLinkDump0), kLinkSeq).messages.at(0)));
}

TEST(NetlinkBestRoute, LookupAnswersGiveInterfaceGatewayAndSource) {
    const auto v4 = parse_route(scan_datagram(bytes_of(kRouteGetV40), 5).messages.at(0));
    ASSERT_TRUE(v4);
    const auto best_v4 = best_route_from(*v4);
    ASSERT_TRUE(best_v4);
    EXPECT_EQ(best_v4->if_index, 4u); // the tunnel's metric-5 default wins
    EXPECT_EQ(best_v4->next_hop, "");
    EXPECT_EQ(best_v4->source_address, "198.18.0.1");
    EXPECT_EQ(best_v4->family, kFamilyIpv4);

    const auto v6 = parse_route(scan_datagram(bytes_of(kRouteGetV60), 6).messages.at(0));
    ASSERT_TRUE(v6);
    const auto best_v6 = best_route_from(*v6);
    ASSERT_TRUE(best_v6);
    EXPECT_EQ(best_v6->if_index, 2u);
    EXPECT_EQ(best_v6->next_hop, "fe80::1");
    EXPECT_EQ(best_v6->source_address, "2001:db8::2");
    EXPECT_EQ(best_v6->family, kFamilyIpv6);
}

TEST(NetlinkBestRoute, RoutesThatLeadNowhereGiveNoAnswer) {
    RouteRecord route;
    route.family = kFamilyIpv4;
    route.type = RTN_UNREACHABLE;
    route.next_hops.push_back({});
    EXPECT_FALSE(best_route_from(route));
    route.type = RTN_BLACKHOLE;
    EXPECT_FALSE(best_route_from(route));
    route.type = RTN_LOCAL;
    EXPECT_TRUE(best_route_from(route));
}

// ---- Damaged input: every case must end without reading past the bytes it was given (the suite
// also runs under AddressSanitizer).

std::string header(std::uint32_t length, std::uint16_t type, std::uint16_t flags, std::uint32_t seq) {
    std::string h(16, '\0');
    std::memcpy(h.data(), &length, 4);
    std::memcpy(h.data() + 4, &type, 2);
    std::memcpy(h.data() + 6, &flags, 2);
    std::memcpy(h.data() + 8, &seq, 4);
    return h;
}

std::string route_payload(std::uint8_t family, std::uint8_t dst_len) {
    rtmsg r{};
    r.rtm_family = family;
    r.rtm_dst_len = dst_len;
    r.rtm_table = RT_TABLE_MAIN;
    r.rtm_type = RTN_UNICAST;
    return std::string(reinterpret_cast<const char*>(&r), sizeof r);
}

Message route_message(const std::string& payload) {
    return Message{RTM_NEWROUTE, 0, 1, payload};
}

TEST(NetlinkDamaged, MessageLengthsThatDoNotFitStopTheScan) {
    const std::string good = header(16, NLMSG_NOOP, 0, 1);
    EXPECT_TRUE(scan_datagram(good + header(0, RTM_NEWROUTE, 2, 1), 1).malformed);  // zero length
    EXPECT_TRUE(scan_datagram(good + header(15, RTM_NEWROUTE, 2, 1), 1).malformed); // shorter than a header
    EXPECT_TRUE(
        scan_datagram(good + header(4096, RTM_NEWROUTE, 2, 1), 1).malformed); // longer than the datagram
    EXPECT_TRUE(scan_datagram(good + std::string(7, '\0'), 1).malformed);     // a stub of a header
    EXPECT_TRUE(scan_datagram(header(16, NLMSG_ERROR, 0, 1), 1).malformed);   // error without its code
    EXPECT_FALSE(scan_datagram(good, 1).malformed);
}

// The code that ends an answer, as the kernel sends it or corrupted; the most negative one has no
// positive counterpart and must still read as an error.
TEST(NetlinkDamaged, EndCodesReadAsErrnoWithoutOverflow) {
    const auto with_code = [](std::uint16_t type, std::int32_t code) {
        std::string message = header(20, type, 0, 1);
        message.append(reinterpret_cast<const char*>(&code), sizeof code);
        return scan_datagram(message, 1);
    };
    struct Case {
        std::uint16_t type;
        std::int32_t code;
        int error;
    };
    for (const Case& c : {Case{NLMSG_ERROR, 0, 0}, Case{NLMSG_ERROR, -EHOSTUNREACH, EHOSTUNREACH},
                          Case{NLMSG_ERROR, 5, 0}, Case{NLMSG_ERROR, INT32_MIN, EPROTO}, Case{NLMSG_DONE, 0, 0},
                          Case{NLMSG_DONE, -EINTR, EINTR}, Case{NLMSG_DONE, INT32_MIN, EPROTO}}) {
        const DatagramScan scan = with_code(c.type, c.code);
        EXPECT_TRUE(scan.finished) << c.type << " " << c.code;
        EXPECT_EQ(scan.error, c.error) << c.type << " " << c.code;
    }
}

TEST(NetlinkDamaged, CutDatagramKeepsTheWholeMessagesBeforeTheCut) {
    const std::string_view full = bytes_of(kLinkDump0);
    const DatagramScan whole = scan_datagram(full, kLinkSeq);
    ASSERT_EQ(whole.messages.size(), 3u);
    const std::size_t first_length = 16 + whole.messages[0].payload.size();
    const DatagramScan cut = scan_datagram(full.substr(0, first_length + 40), kLinkSeq);
    EXPECT_TRUE(cut.malformed);
    ASSERT_EQ(cut.messages.size(), 1u);
    EXPECT_EQ(parse_link(cut.messages[0])->name, "lo");
}

TEST(NetlinkDamaged, AttributesThatRunPastTheEndOrHaveNoLengthAreRefused) {
    const std::string oif = attribute(RTA_OIF, u32_bytes(7));
    EXPECT_EQ(parse_route(route_message(route_payload(AF_INET, 0) + oif))->next_hops.at(0).if_index, 7u);

    std::string past_end = oif;
    past_end[0] = 64; // claims 64 bytes, has 8
    EXPECT_FALSE(parse_route(route_message(route_payload(AF_INET, 0) + past_end)));
    EXPECT_FALSE(parse_route(route_message(route_payload(AF_INET, 0) + attribute(RTA_OIF, "", 0))));
    EXPECT_FALSE(parse_route(route_message(route_payload(AF_INET, 0) + attribute(RTA_OIF, "", 3))));
    EXPECT_FALSE(parse_route(route_message(route_payload(AF_INET, 0) + oif + "\x01\x02")));
}

TEST(NetlinkDamaged, AttributesOfTheWrongSizeReadAsAbsent) {
    const std::string payload = route_payload(AF_INET, 0) + attribute(RTA_OIF, "") +
                                attribute(RTA_GATEWAY, std::string("\xc0\x00\x02", 3)) +
                                attribute(RTA_PRIORITY, std::string("\x05", 1));
    const auto route = parse_route(route_message(payload));
    ASSERT_TRUE(route);
    EXPECT_EQ(route->next_hops.at(0).if_index, 0u);
    EXPECT_FALSE(route->next_hops.at(0).gateway);
    EXPECT_EQ(route->priority, 0u);
    EXPECT_EQ(route->destination, "0.0.0.0");

    // A destination that does not match the family is not guessed at.
    const std::string bad_dst =
        route_payload(AF_INET, 24) + attribute(RTA_DST, std::string("\x0a\x00\x00", 3));
    EXPECT_FALSE(parse_route(route_message(bad_dst)));
}

TEST(NetlinkDamaged, ShortFixedHeadersAndForeignFamiliesAreRefused) {
    EXPECT_FALSE(parse_route(route_message(route_payload(AF_INET, 0).substr(0, 11))));
    EXPECT_FALSE(parse_route(route_message(route_payload(AF_BRIDGE, 0))));
    EXPECT_FALSE(parse_link(Message{RTM_NEWLINK, 0, 1, std::string_view("\0\0\0\0", 4)}));
    EXPECT_FALSE(parse_address(Message{RTM_NEWADDR, 0, 1, std::string_view("\x02\x18", 2)}));
    EXPECT_FALSE(parse_link(Message{RTM_NEWROUTE, 0, 1, std::string(64, '\0')})); // not a link message
}

TEST(NetlinkDamaged, MultipathHopsThatDoNotFitAreRefused) {
    auto multipath = [](std::uint16_t hop_length, std::string_view rest) {
        std::string hop(8, '\0');
        std::memcpy(hop.data(), &hop_length, 2);
        hop[4] = 2; // ifindex 2
        return route_payload(AF_INET, 0) + attribute(RTA_MULTIPATH, hop + std::string(rest));
    };
    const std::string gw = attribute(RTA_GATEWAY, std::string("\xc0\x00\x02\x01", 4));
    const auto good = parse_route(route_message(multipath(16, gw)));
    ASSERT_TRUE(good);
    ASSERT_EQ(good->next_hops.size(), 1u);
    EXPECT_EQ(good->next_hops[0].gateway, "192.0.2.1");
    EXPECT_EQ(good->next_hops[0].if_index, 2u);

    EXPECT_FALSE(parse_route(route_message(multipath(0, gw))));  // zero length would never advance
    EXPECT_FALSE(parse_route(route_message(multipath(40, gw)))); // longer than the attribute
}

// Deterministic corruption of every captured datagram: whatever the bytes say, the scan and the
// parsers stay inside them.
TEST(NetlinkDamaged, TruncatedAndCorruptedCapturesAreReadSafely) {
    const std::pair<std::string_view, std::uint32_t> captures[] = {
        {bytes_of(kLinkDump0), kLinkSeq},       {bytes_of(kLinkDump1), kLinkSeq},
        {bytes_of(kAddressDump0), kAddressSeq}, {bytes_of(kRouteDumpV40), kRouteV4Seq},
        {bytes_of(kRouteDumpV60), kRouteV6Seq}, {bytes_of(kRouteGetV60), 6}};
    auto parse_all = [](std::string_view bytes, std::uint32_t seq) {
        std::size_t parsed = 0;
        for (const Message& m : scan_datagram(bytes, seq).messages)
            parsed += parse_link(m).has_value() + parse_address(m).has_value() + parse_route(m).has_value();
        return parsed;
    };
    std::uint32_t state = 12345;
    auto next = [&state] { return state = state * 1103515245u + 12345u; };
    std::size_t whole = 0;
    for (const auto& [bytes, seq] : captures) {
        whole += parse_all(bytes, seq);
        for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
            // A heap copy of exactly the cut length, so that any over-read is caught by the sanitizer.
            const std::unique_ptr<char[]> copy(new char[cut + 1]);
            std::memcpy(copy.get(), bytes.data(), cut);
            parse_all(std::string_view(copy.get(), cut), seq);
        }
        for (int round = 0; round < 300; ++round) {
            std::string damaged(bytes);
            for (int k = 0; k < 4; ++k)
                damaged[next() % damaged.size()] = static_cast<char>(next() >> 16);
            parse_all(damaged, seq);
        }
    }
    EXPECT_EQ(whole, 3u + 1u + 7u + 15u + 6u + 1u) << "every message of the undamaged captures parses";
}

TEST(NetlinkRequests, DumpAndLookupRequestsAreWellFormed) {
    const std::string link = dump_request(RTM_GETLINK, AF_UNSPEC, 9);
    const DatagramScan scan = scan_datagram(link, 9);
    EXPECT_FALSE(scan.malformed);
    ASSERT_EQ(scan.messages.size(), 1u);
    EXPECT_EQ(scan.messages[0].type, RTM_GETLINK);
    EXPECT_EQ(scan.messages[0].flags, NLM_F_REQUEST | NLM_F_DUMP);
    EXPECT_EQ(load_u32(link.data()), link.size());
    const auto attrs = parse_attributes<IFLA_MAX + 1>(scan.messages[0].payload.substr(sizeof(ifinfomsg)));
    EXPECT_EQ(attribute_u32(attrs.get(IFLA_EXT_MASK)), RTEXT_FILTER_SKIP_STATS);

    const std::uint8_t target[4] = {223, 5, 5, 5};
    std::string get = route_get_request(AF_INET, target, 3);
    set_sequence(get, 77);
    const DatagramScan get_scan = scan_datagram(get, 77);
    ASSERT_EQ(get_scan.messages.size(), 1u);
    const std::string_view payload = get_scan.messages[0].payload;
    EXPECT_EQ(static_cast<std::uint8_t>(payload[0]), AF_INET);
    EXPECT_EQ(static_cast<std::uint8_t>(payload[1]), 32); // destination prefix length
    const auto get_attrs = parse_attributes<RTA_MAX + 1>(payload.substr(sizeof(rtmsg)));
    EXPECT_EQ(get_attrs.get(RTA_DST), std::string_view("\xdf\x05\x05\x05", 4));
}

} // namespace
} // namespace wirelux::platform::netlink

#endif
