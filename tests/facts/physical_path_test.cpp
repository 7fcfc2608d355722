#include "facts/physical_path.h"

#include "route_fixtures.h"

#include <gtest/gtest.h>

namespace wirelux {
namespace {

using test::adapter;
using test::add_interface;
using test::default_v4;
using test::default_v6;
using test::route;

AdapterInfo carrier(std::uint32_t if_index, std::string name, std::uint32_t ipv4_metric,
                    std::uint32_t ipv6_metric = 0) {
    AdapterInfo a = adapter(if_index, std::move(name));
    a.ipv4_metric = ipv4_metric;
    a.ipv6_metric = ipv6_metric;
    return a;
}

std::vector<std::uint32_t> indexes(const std::vector<PhysicalCandidate>& list) {
    std::vector<std::uint32_t> out;
    for (const PhysicalCandidate& c : list)
        out.push_back(c.if_index);
    return out;
}

// --- ranking --------------------------------------------------------------------------------------

TEST(PhysicalCandidates, LowerEffectiveMetricComesFirst) {
    FactSnapshot s;
    add_interface(s, carrier(11, "Wi-Fi", 35), "Carrier");
    add_interface(s, carrier(4, "Ethernet", 25), "Carrier");
    s.routes = {default_v4(11, "192.168.1.1", 0), default_v4(4, "192.168.0.1", 0)};

    const auto list = physical_candidates_for(s, kFamilyIpv4);
    ASSERT_EQ(list.size(), 2U);
    EXPECT_EQ(list[0].name, "Ethernet");
    EXPECT_EQ(list[0].effective_metric, 25U);
    EXPECT_EQ(list[1].name, "Wi-Fi");
    EXPECT_EQ(list[1].effective_metric, 35U);
}

TEST(PhysicalCandidates, EqualEffectiveMetricsAreOrderedByInterfaceIndex) {
    FactSnapshot s;
    add_interface(s, carrier(9, "B", 20), "Carrier");
    add_interface(s, carrier(4, "A", 10), "Carrier");
    add_interface(s, carrier(6, "C", 5), "Carrier");
    s.routes = {default_v4(9, "10.9.0.1", 5), default_v4(4, "10.4.0.1", 15), default_v4(6, "10.6.0.1", 20)};
    EXPECT_EQ(indexes(physical_candidates_for(s, kFamilyIpv4)), (std::vector<std::uint32_t>{4, 6, 9}));
}

TEST(PhysicalCandidates, HugeMetricsSaturateInsteadOfWrappingToTheFront) {
    FactSnapshot s;
    add_interface(s, carrier(3, "metered", 40), "Carrier");
    add_interface(s, carrier(5, "normal", 25), "Carrier");
    s.routes = {default_v4(3, "10.3.0.1", 0xFFFFFFF0U), default_v4(5, "10.5.0.1", 0)};
    const auto list = physical_candidates_for(s, kFamilyIpv4);
    EXPECT_EQ(indexes(list), (std::vector<std::uint32_t>{5, 3}));
    EXPECT_EQ(list[1].effective_metric, 0xFFFFFFFFU);
}

// --- which routes qualify -------------------------------------------------------------------------

TEST(PhysicalCandidates, OnlyUpCarrierInterfacesWithADefaultRouteQualify) {
    FactSnapshot s;
    add_interface(s, carrier(1, "lan", 25), "Carrier");
    add_interface(s, carrier(2, "tun", 5), "Tunnel");
    add_interface(s, carrier(3, "suspect", 5), "SuspectedTunnel");
    AdapterInfo down = carrier(4, "unplugged", 5);
    down.oper_up = false;
    add_interface(s, down, "Carrier");
    s.adapters.push_back(carrier(5, "unassessed", 5)); // no assessment at all
    s.routes = {default_v4(1, "10.1.0.1", 0),
                default_v4(2, "0.0.0.0", 0),
                default_v4(3, "10.3.0.1", 0),
                default_v4(4, "10.4.0.1", 0),
                default_v4(5, "10.5.0.1", 0),
                default_v4(8, "10.8.0.1", 0),
                route("10.0.0.0", 8, "10.1.0.254", 1, 0)};
    EXPECT_EQ(indexes(physical_candidates_for(s, kFamilyIpv4)), (std::vector<std::uint32_t>{1}));
}

// --- candidate contents ---------------------------------------------------------------------------

TEST(PhysicalCandidates, CandidateDescribesItsAdapterAndFamily) {
    FactSnapshot s;
    AdapterInfo eth = carrier(4, "Ethernet", 25, 15);
    eth.description = "Intel(R) Ethernet";
    eth.if_type = 6;
    eth.link_speed_bps = 1000000000;
    eth.ipv4 = {{"192.168.0.20", 24}, {"10.0.0.2", 8}};
    add_interface(s, eth, "Carrier");
    s.routes = {default_v4(4, "192.168.0.1", 10), default_v6(4, "fe80::1", 256)};

    find_physical_candidates(s);
    ASSERT_EQ(s.physical_candidates_v4.size(), 1U);
    const PhysicalCandidate& v4 = s.physical_candidates_v4[0];
    EXPECT_EQ(v4.name, "Ethernet");
    EXPECT_EQ(v4.description, "Intel(R) Ethernet");
    EXPECT_EQ(v4.if_type_word, "802.3");
    EXPECT_EQ(v4.speed_text, "1 Gbps");
    EXPECT_EQ(v4.ipv4_text, "192.168.0.20, 10.0.0.2");
    EXPECT_EQ(v4.gateway, "192.168.0.1");
    EXPECT_EQ(v4.interface_metric, 25U);
    EXPECT_EQ(v4.route_metric, 10U);
    EXPECT_EQ(v4.effective_metric, 35U);
    EXPECT_EQ(v4.family, kFamilyIpv4);

    ASSERT_EQ(s.physical_candidates_v6.size(), 1U);
    const PhysicalCandidate& v6 = s.physical_candidates_v6[0];
    EXPECT_EQ(v6.ipv4_text, "");
    EXPECT_EQ(v6.gateway, "fe80::1");
    EXPECT_EQ(v6.interface_metric, 15U);
    EXPECT_EQ(v6.effective_metric, 271U);
    EXPECT_EQ(v6.family, kFamilyIpv6);

    ASSERT_EQ(s.physical_candidates.size(), 2U);
    EXPECT_EQ(s.physical_candidates[0].family, kFamilyIpv4);
    EXPECT_EQ(s.physical_candidates[1].family, kFamilyIpv6);
}

TEST(PhysicalCandidates, OnLinkRouteTakesTheAdaptersFirstGatewayOfItsOwnFamily) {
    FactSnapshot s;
    AdapterInfo ppp = carrier(8, "Broadband", 10, 10);
    ppp.gateways = {"fe80::9", "100.64.0.1"};
    add_interface(s, ppp, "Carrier");
    AdapterInfo bare = carrier(9, "Bare", 10, 10);
    add_interface(s, bare, "Carrier");
    s.routes = {default_v4(8, "0.0.0.0", 0), default_v6(8, "::", 0), default_v4(9, std::nullopt, 5),
                default_v6(9, "", 5)};

    find_physical_candidates(s);
    ASSERT_EQ(s.physical_candidates_v4.size(), 2U);
    EXPECT_EQ(s.physical_candidates_v4[0].if_index, 8U);
    EXPECT_EQ(s.physical_candidates_v4[0].gateway, "100.64.0.1");
    EXPECT_EQ(s.physical_candidates_v4[1].gateway, "");
    ASSERT_EQ(s.physical_candidates_v6.size(), 2U);
    EXPECT_EQ(s.physical_candidates_v6[0].gateway, "fe80::9");
    EXPECT_EQ(s.physical_candidates_v6[1].gateway, "");
}

// --- de-duplication -------------------------------------------------------------------------------

TEST(PhysicalCandidates, SameInterfaceAndGatewayAppearsOnceKeepingTheBetterRoute) {
    FactSnapshot s;
    add_interface(s, carrier(4, "Ethernet", 25), "Carrier");
    s.routes = {default_v4(4, "192.168.0.1", 50), default_v4(4, "192.168.0.1", 0),
                default_v4(4, "192.168.0.254", 10)};
    const auto list = physical_candidates_for(s, kFamilyIpv4);
    ASSERT_EQ(list.size(), 2U);
    EXPECT_EQ(list[0].gateway, "192.168.0.1");
    EXPECT_EQ(list[0].route_metric, 0U);
    EXPECT_EQ(list[1].gateway, "192.168.0.254");
}

// --- physical gateway and DHCP server -------------------------------------------------------------

FactSnapshot two_carriers() {
    FactSnapshot s;
    add_interface(s, carrier(11, "Wi-Fi", 35), "Carrier");
    add_interface(s, carrier(4, "Ethernet", 25), "Carrier");
    s.routes = {default_v4(11, "192.168.1.1", 0), default_v4(4, "192.168.0.1", 0)};
    find_physical_candidates(s);
    return s;
}

TEST(PhysicalGateway, WithoutADhcpServerBothAreTheBestCandidatesGateway) {
    FactSnapshot s = two_carriers();
    s.adapters[0].dhcp_server = ""; // read but empty: not a server
    choose_physical_gateway(s);
    EXPECT_EQ(s.physical_gateway, "192.168.0.1");
    EXPECT_EQ(s.dhcp_or_gateway, s.physical_gateway);
}

TEST(PhysicalGateway, FirstAdapterWithADhcpServerWinsInAdapterOrder) {
    FactSnapshot s = two_carriers();
    s.adapters.push_back(adapter(20, "later"));
    s.adapters.back().dhcp_server = "10.20.0.1";
    s.adapters[1].dhcp_server = "192.168.0.2";
    choose_physical_gateway(s);
    EXPECT_EQ(s.physical_gateway, "192.168.0.1");
    EXPECT_EQ(s.dhcp_or_gateway, "192.168.0.2");

    s.adapters[0].dhcp_server = "192.168.1.1";
    choose_physical_gateway(s);
    EXPECT_EQ(s.dhcp_or_gateway, "192.168.1.1");
}

TEST(PhysicalGateway, NoCandidateOrAGatewaylessCandidateLeavesItAbsent) {
    FactSnapshot s;
    choose_physical_gateway(s);
    EXPECT_FALSE(s.physical_gateway);
    EXPECT_FALSE(s.dhcp_or_gateway);

    add_interface(s, carrier(4, "Ethernet", 25), "Carrier");
    s.routes = {default_v4(4, "0.0.0.0", 0)};
    find_physical_candidates(s);
    choose_physical_gateway(s);
    EXPECT_FALSE(s.physical_gateway);
}

} // namespace
} // namespace wirelux
