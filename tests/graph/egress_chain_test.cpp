#include "graph/build_graph.h"
#include "graph/carrier_chain.h"
#include "graph/egress_layer.h"
#include "graph/graph_pass.h"
#include "graph/wifi_signal.h"

#include "graph/graph_fixtures.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace wirelux {
namespace {

using test::edge;
using test::edges_from;
using test::node;
using test::node_ids;
using test::row;
using test::row_ids;

using Ids = std::vector<std::string>;

// One wired carrier at ifIndex 7 behind 192.168.1.1, as the egress collector would describe it.
FactSnapshot ethernet_host() {
    FactSnapshot s;
    AdapterInfo eth = test::graph_adapter(7, "Ethernet", "192.168.1.20");
    eth.link_speed_bps = 1'000'000'000;
    eth.dhcp_server = "192.168.1.1";
    test::add_interface(s, eth, "Carrier", 0.9);
    test::select_v4(s, 7, "192.168.1.1");
    s.physical_candidates_v4 = {test::candidate(7, "Ethernet", "192.168.1.1", 25)};
    return s;
}

// The Ethernet host whose default route enters a TUN at ifIndex 12 that rides on the carrier.
FactSnapshot tun_host() {
    FactSnapshot s;
    test::add_interface(s, test::graph_adapter(7, "Ethernet", "192.168.1.20"), "Carrier", 0.9);
    AdapterInfo tun = test::graph_adapter(12, "Meta", "198.18.0.1");
    tun.if_type = 53;
    test::add_interface(s, tun, "Tunnel", 0.95);
    s.interfaces[12].evidence = {"wintun driver", "fake-IP range"};
    s.interfaces[12].service = "wintun";
    s.routes.push_back({"0.0.0.0", "192.168.1.1", 7, 35, kFamilyIpv4, 0});
    test::select_v4(s, 12, std::nullopt);
    s.physical_candidates_v4 = {test::candidate(7, "Ethernet", "192.168.1.1", 35)};
    return s;
}

void prefill(RunContext& context, const std::vector<std::string>& targets, std::int64_t rtt = 3) {
    for (const std::string& target : targets)
        context.ping_cache[target] = EchoResult{true, rtt};
}

TEST(CarrierChain, EthernetHostDrawsAdapterGatewayIspAndRemote) {
    const FactSnapshot s = ethernet_host();
    RunContext context(s);
    context.ping_cache["192.168.1.1"] = EchoResult{true, 2};
    context.ping_cache["223.5.5.5"] = EchoResult{true, 30};
    test::RecordingEcho echo;
    const GraphDocument doc = build_graph(context, echo.fn());

    EXPECT_EQ(node_ids(doc),
              (Ids{"app", "nic-7", "gw-7-ipv4-192_168_1_1", "isp-7-ipv4-192_168_1_1", "remote-223_5_5_5"}));
    EXPECT_TRUE(echo.sent.empty()) << "every target was cached";
    ASSERT_EQ(doc.edges.size(), 4u);

    const auto to_nic = edge(doc, "app", "default", "nic-7");
    ASSERT_TRUE(to_nic);
    EXPECT_EQ(to_nic->kind, "main");
    EXPECT_EQ(to_nic->confidence, 1.0);
    EXPECT_EQ(to_nic->evidence, "OS selected default route");

    const auto to_gw = edge(doc, "nic-7", "gateway-ipv4-192_168_1_1", "gw-7-ipv4-192_168_1_1");
    ASSERT_TRUE(to_gw);
    EXPECT_EQ(to_gw->kind, "main");
    EXPECT_EQ(to_gw->confidence, 1.0);
    EXPECT_FALSE(to_gw->bad);

    const auto to_isp = edge(doc, "gw-7-ipv4-192_168_1_1", "internet", "isp-7-ipv4-192_168_1_1");
    ASSERT_TRUE(to_isp);
    EXPECT_EQ(to_isp->kind, "main");
    EXPECT_EQ(to_isp->confidence, 1.0);
    EXPECT_EQ(to_isp->evidence, "established socket beyond gateway");

    const auto to_remote = edge(doc, "isp-7-ipv4-192_168_1_1", "remote-hop", "remote-223_5_5_5");
    ASSERT_TRUE(to_remote);
    EXPECT_EQ(to_remote->evidence, "passive established socket endpoint");

    const GraphNode& nic = node(doc, "nic-7");
    EXPECT_EQ(nic.label, "Ethernet");
    EXPECT_EQ(nic.sub, "carrier / route interface · assessed Carrier 0.90");
    EXPECT_EQ(nic.status, "OK");
    EXPECT_EQ(nic.if_index, 7);
    EXPECT_EQ(row_ids(nic.items), (Ids{"ipv4", "ifindex", "metric", "link", "gateway-ipv4-192_168_1_1"}));
    EXPECT_EQ(row(nic, "ipv4").v, "192.168.1.20");
    EXPECT_EQ(row(nic, "metric").v, "25");
    EXPECT_EQ(row(nic, "link").v, "802.3 · 1 Gbps");
    const NodeItem& gateway_row = row(nic, "gateway-ipv4-192_168_1_1");
    EXPECT_EQ(gateway_row.k, "gateway IPv4");
    EXPECT_EQ(gateway_row.meta, "2 ms");
    EXPECT_EQ(gateway_row.role, "out");

    const GraphNode& gw = node(doc, "gw-7-ipv4-192_168_1_1");
    EXPECT_EQ(gw.sub, "IPv4 · 192.168.1.1 via Ethernet");
    EXPECT_EQ(row_ids(gw.items), (Ids{"address", "internet", "ifindex", "dhcp"}));
    EXPECT_EQ(row(gw, "internet").v, "223.5.5.5");
    EXPECT_EQ(row(gw, "internet").meta, "established socket");

    const GraphNode& isp = node(doc, "isp-7-ipv4-192_168_1_1");
    EXPECT_EQ(isp.sub, "active IPv4 reachability");
    EXPECT_EQ(isp.status, "OK");
    const NodeItem& probe = row(isp, "probe");
    EXPECT_EQ(probe.v, "223.5.5.5");
    EXPECT_EQ(probe.meta, "30 ms");
    EXPECT_TRUE(probe.probe);
    EXPECT_EQ(row(isp, "remote-223_5_5_5").k, "observed");

    EXPECT_EQ(row(node(doc, "remote-223_5_5_5"), "address").v, "223.5.5.5");
    // The carrier candidate is the selected route itself, so no alternate row repeats it.
    EXPECT_EQ(row_ids(node(doc, "app").items), (Ids{"default", "adapter-inventory"}));
}

TEST(CarrierChain, FailedGatewayPingMarksTheHopBadButKeepsTheChain) {
    const FactSnapshot s = ethernet_host();
    RunContext context(s);
    context.ping_cache["223.5.5.5"] = EchoResult{true, 30};
    test::RecordingEcho echo; // 192.168.1.1 times out
    const GraphDocument doc = build_graph(context, echo.fn());

    const auto to_gw = edge(doc, "nic-7", "gateway-ipv4-192_168_1_1", "gw-7-ipv4-192_168_1_1");
    ASSERT_TRUE(to_gw);
    EXPECT_TRUE(to_gw->bad);
    EXPECT_EQ(node(doc, "gw-7-ipv4-192_168_1_1").status, "FAIL");
    EXPECT_EQ(row(node(doc, "nic-7"), "gateway-ipv4-192_168_1_1").meta, "T/O");
    EXPECT_TRUE(edge(doc, "gw-7-ipv4-192_168_1_1", "internet", "isp-7-ipv4-192_168_1_1"));
}

TEST(CarrierChain, PingCacheIsConsultedFirstAndAMissingTargetIsEchoedOnce) {
    const FactSnapshot s = ethernet_host();
    RunContext context(s);
    context.ping_cache["192.168.1.1"] = EchoResult{true, 2};
    test::RecordingEcho echo;
    echo.answers["223.5.5.5"] = EchoResult{true, 41};

    const GraphDocument first = build_graph(context, echo.fn());
    const GraphDocument second = build_graph(context, echo.fn());
    EXPECT_EQ(echo.sent, Ids{"223.5.5.5"});
    ASSERT_TRUE(context.ping_cache.contains("223.5.5.5"));
    EXPECT_EQ(context.ping_cache["223.5.5.5"].rtt_ms, 41);
    EXPECT_EQ(row(node(second, "isp-7-ipv4-192_168_1_1"), "probe").meta, "41 ms");
}

TEST(CarrierChain, CachedPingTreatsAThrowingOrMissingEchoAsUnanswered) {
    std::map<std::string, EchoResult> cache;
    int calls = 0;
    const EchoFn throwing = [&](const std::string&) -> EchoResult {
        ++calls;
        throw std::runtime_error("socket");
    };
    EXPECT_FALSE(cached_ping(cache, throwing, "10.0.0.1").ok);
    EXPECT_FALSE(cached_ping(cache, throwing, "10.0.0.1").ok);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(cache["10.0.0.1"].rtt_ms, -1);

    EXPECT_FALSE(cached_ping(cache, EchoFn{}, "10.0.0.2").ok);
    EXPECT_TRUE(cache.contains("10.0.0.2"));
}

TEST(CarrierChain, TunEgressDrawsTheTunAndTheCarrierAsStandby) {
    const FactSnapshot s = tun_host();
    RunContext context(s);
    test::RecordingEcho echo;
    const GraphDocument doc = build_graph(context, echo.fn());

    EXPECT_EQ(node_ids(doc),
              (Ids{"app", "tun-12-l1", "nic-7", "gw-7-ipv4-192_168_1_1", "isp-7-ipv4-192_168_1_1"}));
    // Standby routes are not actively probed beyond their gateway.
    EXPECT_EQ(echo.sent, Ids{"192.168.1.1"});

    const auto to_tun = edge(doc, "app", "default", "tun-12-l1");
    ASSERT_TRUE(to_tun);
    EXPECT_EQ(to_tun->kind, "main");
    EXPECT_EQ(to_tun->evidence,
              "OS selected default route (route selection confirmed; adapter role separately scored)");

    const GraphNode& tun = node(doc, "tun-12-l1");
    EXPECT_EQ(tun.label, "Tunnel ifIndex 12");
    EXPECT_EQ(tun.sub, "virtual/tunnel adapter · layer 1");
    EXPECT_EQ(tun.kind, "tun");
    EXPECT_EQ(tun.status, "OK");
    EXPECT_TRUE(tun.sel);
    EXPECT_EQ(tun.if_index, 12);
    EXPECT_EQ(tun.layer, 1);
    EXPECT_EQ(row(tun, "ipv4").meta, "confirmed · OS selected default route");
    EXPECT_EQ(row(tun, "role").meta, "confidence 0.95");
    EXPECT_EQ(row(tun, "signals").v, "wintun driver · fake-IP range");
    EXPECT_EQ(row(tun, "service").v, "wintun");

    const auto alt = edge(doc, "app", "alt-7-192_168_1_1", "nic-7");
    ASSERT_TRUE(alt);
    EXPECT_EQ(alt->kind, "alt");
    EXPECT_EQ(alt->confidence, 0.45);
    const auto standby = edge(doc, "gw-7-ipv4-192_168_1_1", "internet", "isp-7-ipv4-192_168_1_1");
    ASSERT_TRUE(standby);
    EXPECT_EQ(standby->kind, "alt");
    EXPECT_EQ(standby->confidence, 0.45);
    EXPECT_EQ(standby->evidence, "standby route candidate");
    EXPECT_TRUE(edge(doc, "nic-7", "gateway-ipv4-192_168_1_1", "gw-7-ipv4-192_168_1_1")->bad);

    const GraphNode& isp = node(doc, "isp-7-ipv4-192_168_1_1");
    EXPECT_EQ(isp.status, "WARN");
    EXPECT_EQ(isp.sub, "alternate route candidate");
    EXPECT_EQ(row(isp, "probe").k, "route");
    EXPECT_FALSE(row(isp, "probe").probe);
    EXPECT_EQ(row(node(doc, "gw-7-ipv4-192_168_1_1"), "internet").status, "WARN");
}

// The source node's rows as they come out of the build, with a configured proxy row beside them.
Ids ordered_source_rows(const FactSnapshot& s) {
    RunContext context(s);
    GraphBuilder builder(s);
    test::RecordingEcho echo;
    GraphPass pass{builder, context, echo.fn(), {}};
    draw_source_node(builder);
    draw_adapter_inventory(builder);
    draw_default_route_v4(pass);
    draw_default_route_v6(pass);
    builder.add_row(kSourceNodeId,
                    make_row("policy-127_0_0_1_7890", "proxy", "127.0.0.1:7890", "", "", kRoleOut));
    builder.add_row(kSourceNodeId, make_row("pac", "PAC", "http://wpad/", "", "", kRoleProp));
    draw_alternate_routes(pass);
    builder.order_source_rows();
    return row_ids(builder.find_node(kSourceNodeId)->items);
}

TEST(SourceRows, DefaultRouteLeadsOnACarrierAndFollowsThePolicyBehindATun) {
    FactSnapshot carrier = ethernet_host();
    test::add_interface(carrier, test::graph_adapter(9, "Ethernet 2", "10.1.0.2"), "Carrier", 0.9);
    carrier.physical_candidates_v4.push_back(test::candidate(9, "Ethernet 2", "10.1.0.1", 40));
    test::select_v6(carrier, 7, "fe80::1");
    EXPECT_EQ(ordered_source_rows(carrier), (Ids{"default", "policy-127_0_0_1_7890", "default-v6",
                                                 "alt-9-10_1_0_1", "adapter-inventory", "pac"}));

    EXPECT_EQ(ordered_source_rows(tun_host()),
              (Ids{"policy-127_0_0_1_7890", "default", "alt-7-192_168_1_1", "adapter-inventory", "pac"}));
}

TEST(CarrierChain, Ipv6LinkLocalGatewayCarriesItsZone) {
    FactSnapshot s = ethernet_host();
    AdapterInfo second = test::graph_adapter(9, "Ethernet 2", "");
    second.ipv6.push_back({"2001:db8::5", 64});
    test::add_interface(s, second, "Carrier", 0.85);
    test::select_v6(s, 9, "fe80::1");
    s.internet_v6_ok = true;
    RunContext context(s);
    prefill(context, {"192.168.1.1", "223.5.5.5", "fe80::1%9", "2400:3200::1"});
    test::RecordingEcho echo;
    const GraphDocument doc = build_graph(context, echo.fn());

    EXPECT_TRUE(echo.sent.empty()) << "the zoned gateway is the cached key";
    const auto to_nic = edge(doc, "app", "default-v6", "nic-9");
    ASSERT_TRUE(to_nic);
    EXPECT_EQ(to_nic->evidence, "OS selected IPv6 default route");
    const NodeItem& gateway_row = row(node(doc, "nic-9"), "gateway-ipv6-fe80_1_9");
    EXPECT_EQ(gateway_row.k, "gateway IPv6");
    EXPECT_EQ(gateway_row.v, "fe80::1%9");
    EXPECT_EQ(node(doc, "gw-9-ipv6-fe80_1_9").sub, "IPv6 · fe80::1%9 via Ethernet 2");
    EXPECT_TRUE(edge(doc, "nic-9", "gateway-ipv6-fe80_1_9", "gw-9-ipv6-fe80_1_9"));
    EXPECT_TRUE(edge(doc, "gw-9-ipv6-fe80_1_9", "internet", "isp-9-ipv6-fe80_1_9"));
    EXPECT_EQ(row(node(doc, "isp-9-ipv6-fe80_1_9"), "probe").v, "2400:3200::1");
    EXPECT_TRUE(edge(doc, "isp-9-ipv6-fe80_1_9", "remote-hop", "remote-2400_3200_1"));
    EXPECT_EQ(row(node(doc, "app"), "default-v6").meta, "selected IPv6 route");
}

TEST(CarrierChain, Ipv6OnTheIpv4InterfaceSharesTheAdapterWithoutASecondEdge) {
    FactSnapshot s = ethernet_host();
    s.adapters[0].ipv6.push_back({"2001:db8::20", 64});
    test::select_v6(s, 7, "fe80::1");
    s.internet_v6_ok = false;
    s.physical_candidates_v6 = {test::candidate(7, "Ethernet", "fe80::1", 256, kFamilyIpv6)};
    RunContext context(s);
    prefill(context, {"192.168.1.1", "223.5.5.5", "fe80::1%7"});
    test::RecordingEcho echo; // the IPv6 internet target does not answer
    const GraphDocument doc = build_graph(context, echo.fn());

    EXPECT_EQ(echo.sent, Ids{"2400:3200::1"});
    EXPECT_EQ(edges_from(doc, "app"), Ids{"default->nic-7"});
    const NodeItem& v6 = row(node(doc, "app"), "default-v6");
    EXPECT_EQ(v6.meta, "same interface as IPv4 selected route");
    EXPECT_EQ(v6.role, "prop");
    // The selected IPv6 route keeps its own row on the carrier already drawn, without an edge.
    const NodeItem& route6 = row(node(doc, "app"), "route6-7-fe80_1_7");
    EXPECT_EQ((Ids{route6.k, route6.v, route6.status, route6.meta, route6.role}),
              (Ids{"route6", "Ethernet", "OK", "selected IPv6 default route", "prop"}));

    const GraphNode& nic = node(doc, "nic-7");
    EXPECT_EQ(row(nic, "ipv6").v, "2001:db8::20");
    EXPECT_TRUE(edge(doc, "nic-7", "gateway-ipv6-fe80_1_7", "gw-7-ipv6-fe80_1_7"));
    const GraphNode& isp6 = node(doc, "isp-7-ipv6-fe80_1_7");
    EXPECT_EQ(isp6.status, "FAIL");
    EXPECT_EQ(isp6.sub, "active IPv6 reachability");
    EXPECT_EQ(test::row_ids(isp6.items), Ids{"probe"}) << "nothing observed on an unused route";
    EXPECT_EQ(edge(doc, "gw-7-ipv6-fe80_1_7", "internet", "isp-7-ipv6-fe80_1_7")->evidence,
              "active internet probe");
    EXPECT_EQ(row(node(doc, "gw-7-ipv6-fe80_1_7"), "internet").status, "WARN");
}

TEST(CarrierChain, GatewayLessCarrierGoesStraightToTheIsp) {
    FactSnapshot s;
    test::add_interface(s, test::graph_adapter(9, "PPP", "100.64.3.7"), "Carrier", 0.8);
    test::select_v4(s, 9, std::nullopt);
    RunContext context(s);
    prefill(context, {"223.5.5.5"});
    test::RecordingEcho echo;
    const GraphDocument doc = build_graph(context, echo.fn());

    EXPECT_EQ(node_ids(doc), (Ids{"app", "nic-9", "isp-9-ipv4-direct", "remote-223_5_5_5"}));
    const NodeItem& direct = row(node(doc, "nic-9"), "internet-ipv4-direct");
    EXPECT_EQ(direct.v, "on-link / point-to-point");
    EXPECT_EQ(direct.status, "OK");
    EXPECT_EQ(direct.meta, "gateway-less IPv4 carrier via PPP");
    const auto to_isp = edge(doc, "nic-9", "internet-ipv4-direct", "isp-9-ipv4-direct");
    ASSERT_TRUE(to_isp);
    EXPECT_EQ(to_isp->kind, "main");
    EXPECT_EQ(to_isp->evidence, "active internet probe on gateway-less carrier");
    EXPECT_EQ(node(doc, "isp-9-ipv4-direct").sub, "no conventional gateway");
}

TEST(CarrierChain, UnassessedOrNonCarrierEgressGetsOnlyAWarningRow) {
    FactSnapshot s;
    test::add_interface(s, test::graph_adapter(5, "Bridge", "10.9.0.2"), "AmbiguousRoute", 0.5);
    test::select_v4(s, 5, "10.9.0.1");
    RunContext context(s);
    test::RecordingEcho echo;
    const GraphDocument doc = build_graph(context, echo.fn());

    EXPECT_EQ(node_ids(doc), Ids{"app"});
    EXPECT_TRUE(doc.edges.empty());
    const NodeItem& fallback = row(node(doc, "app"), "default");
    EXPECT_EQ(fallback.k, "default?");
    EXPECT_EQ(fallback.status, "WARN");
    EXPECT_EQ(fallback.meta, "selected OS route · adapter role AmbiguousRoute; not labelled direct/physical");
    EXPECT_TRUE(echo.sent.empty());
}

TEST(CarrierChain, InterfaceWithoutAdapterIsDrawnDownWithoutRows) {
    FactSnapshot s;
    RunContext context(s);
    GraphBuilder builder(s);
    GraphPass pass{builder, context, {}, {}};
    CarrierRoute route;
    route.if_index = 33;
    EXPECT_EQ(draw_carrier_chain(pass, route), "nic-33");
    const GraphNode* nic = builder.find_node("nic-33");
    ASSERT_NE(nic, nullptr);
    EXPECT_EQ(nic->status, "DOWN");
    EXPECT_EQ(nic->label, "ifIndex 33");
    EXPECT_EQ(row_ids(nic->items), Ids{"internet-ipv4-direct"});
}

TEST(AdapterInventory, NoDefaultRouteListsEveryAdapterButLoopbacks) {
    FactSnapshot s;
    s.adapters.push_back(test::graph_adapter(1, "Loopback Pseudo-Interface 1", "127.0.0.1"));
    AdapterInfo lo = test::graph_adapter(2, "lo", "127.0.0.1");
    lo.if_type = 24;
    s.adapters.push_back(lo);
    AdapterInfo eth = test::graph_adapter(7, "Ethernet", "");
    eth.oper_up = false;
    test::add_interface(s, eth, "Carrier", 0.9);
    s.adapters.push_back(test::graph_adapter(9, "Wi-Fi", "10.0.0.8"));
    test::add_interface(s, test::graph_adapter(12, "Meta", "198.18.0.1"), "Tunnel", 0.95);
    RunContext context(s);
    const GraphDocument doc = build_graph(context, {});

    EXPECT_EQ(node_ids(doc), Ids{"app"});
    EXPECT_TRUE(doc.edges.empty());
    const GraphNode& app = node(doc, "app");
    ASSERT_EQ(row_ids(app.items), Ids{"adapter-inventory"});
    const NodeItem& inventory = app.items[0];
    EXPECT_EQ(inventory.v, "3");
    EXPECT_EQ(inventory.role, "prop");
    ASSERT_TRUE(inventory.detail);
    EXPECT_EQ(inventory.detail->label, "Other adapters");
    const auto& rows = inventory.detail->items;
    EXPECT_EQ(row_ids(rows), (Ids{"if-7", "if-9", "if-12"}));
    EXPECT_EQ(row(rows, "if-7").k, "adapter");
    EXPECT_EQ(row(rows, "if-7").status, "DOWN");
    EXPECT_EQ(row(rows, "if-7").meta, "disconnected · ifIndex 7 · assessed Carrier 0.90");
    EXPECT_EQ(row(rows, "if-9").k, "adapter(up)");
    EXPECT_EQ(row(rows, "if-9").meta, "up / no default route · ifIndex 9");
    EXPECT_EQ(row(rows, "if-12").k, "tunnel");
    EXPECT_EQ(row(rows, "if-12").meta,
              "available tunnel / no selected default route · ifIndex 12 · assessed Tunnel 0.95");
}

TEST(AdapterInventory, RouteCarryingAdaptersAreLeftToTheirOwnRows) {
    FactSnapshot s = tun_host();
    s.adapters.push_back(test::graph_adapter(20, "Spare", ""));
    RunContext context(s);
    const GraphDocument doc = build_graph(context, {});
    const NodeItem& inventory = row(node(doc, "app"), "adapter-inventory");
    EXPECT_EQ(row_ids(inventory.detail->items), Ids{"if-20"});
}

constexpr const char* kEnglishWlan = "\r\nThere is 1 interface on the system: \r\n\r\n"
                                     "    Name                   : Wi-Fi\r\n"
                                     "    Description            : Intel(R) Wi-Fi 6 AX201 160MHz\r\n"
                                     "    State                  : connected\r\n"
                                     "    SSID                   : HomeNet\r\n"
                                     "    Radio type             : 802.11ax\r\n"
                                     "    Channel                : 36\r\n"
                                     "    Receive rate (Mbps)    : 1201\r\n"
                                     "    Transmit rate (Mbps)   : 1201\r\n"
                                     "    Signal                 : 92% \r\n"
                                     "    Rssi                   : -48\r\n"
                                     "    Profile                : HomeNet\r\n"
                                     "\r\n    Hosted network status  : Not available\r\n";

TEST(WifiSignal, EnglishLayoutGivesPercentAndDbm) {
    EXPECT_EQ(wifi_signal_text(kEnglishWlan, "Wi-Fi"), "92% (-48 dBm)");
}

TEST(WifiSignal, MissingValuesGiveWhatIsThere) {
    const std::string no_rssi = "    Name : Wi-Fi\n    Channel : 11\n    Signal : 67%\n    Profile : Cafe\n";
    EXPECT_EQ(wifi_signal_text(no_rssi, "Wi-Fi"), "67%");
    const std::string empty_signal =
        "    Name : Wi-Fi\n    State : disconnected\n    Signal : \n    Profile : \n";
    EXPECT_EQ(wifi_signal_text(empty_signal, "Wi-Fi"), std::nullopt);
    EXPECT_EQ(wifi_signal_text("", "Wi-Fi"), std::nullopt);
    EXPECT_EQ(wifi_signal_text("    Signal : 1000%\n", "Wi-Fi"), std::nullopt) << "at most three digits";
}

TEST(WifiSignal, TheBlockNamingTheAdapterIsRead) {
    const std::string two = "There are 2 interfaces on the system:\n\n"
                            "    Name : Wi-Fi\n    Signal : 40%\n    Rssi : -80\n\n"
                            "    Name : Wi-Fi 2\n    Signal : 92%\n    Rssi : -48\n";
    EXPECT_EQ(wifi_signal_text(two, "Wi-Fi 2"), "92% (-48 dBm)");
    EXPECT_EQ(wifi_signal_text(two, "Wi-Fi"), "40% (-80 dBm)");
    EXPECT_EQ(wifi_signal_text(two, "Ethernet"), "40% (-80 dBm)");
}

TEST(WifiSignal, WirelessCarrierShowsTheSignalInItsLinkRow) {
    FactSnapshot s;
    AdapterInfo wifi = test::graph_adapter(4, "Wi-Fi", "192.168.0.9");
    wifi.if_type = 71;
    wifi.link_speed_bps = 866'700'000;
    test::add_interface(s, wifi, "Carrier", 0.9);
    test::select_v4(s, 4, "192.168.0.1");
    RunContext context(s);
    context.wlan_text = kEnglishWlan;
    prefill(context, {"192.168.0.1", "223.5.5.5"});
    const GraphDocument doc = build_graph(context, {});
    EXPECT_EQ(row(node(doc, "nic-4"), "link").v, "Native 802.11 · 866.7 Mbps · signal 92% (-48 dBm)");
}

} // namespace
} // namespace wirelux
