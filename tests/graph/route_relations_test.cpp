#include "graph/build_graph.h"
#include "graph/process_layer.h"
#include "graph/route_relations.h"

#include "graph/graph_fixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wirelux {
namespace {

using test::edge;
using test::has_row;
using test::node;
using test::row;
using test::row_ids;

using Ids = std::vector<std::string>;

constexpr std::uint32_t kApp = 4242;

TcpRow outbound(std::string local, std::string remote, std::uint32_t pid = kApp) {
    return TcpRow{std::move(local), std::move(remote), kTcpStateEstablished, pid, 50000, 443};
}

RouteRow route(std::string destination, std::uint8_t prefix, std::uint32_t if_index,
               std::uint32_t metric = 0) {
    return RouteRow{std::move(destination), "0.0.0.0", if_index, metric, kFamilyIpv4, prefix};
}

// Wi-Fi (7) carries the default route, a VPN (9) the 10/8 network, and ifIndex 12 has a route but no
// adapter record.
FactSnapshot routed_host() {
    FactSnapshot s;
    s.processes[kApp] = ProcessInfo{"app.exe", "", "", kApp};
    s.adapters.push_back(test::graph_adapter(7, "Wi-Fi", "192.168.1.20"));
    s.adapters.push_back(test::graph_adapter(9, "VPN", "10.8.0.2"));
    s.adapters[0].ipv6.push_back({"2001:db8::20", 64});
    s.own_addresses = {"192.168.1.20", "10.8.0.2", "2001:db8::20"};
    s.routes = {route("0.0.0.0", 0, 7, 25), route("10.0.0.0", 8, 9, 50), route("0.0.0.0", 0, 9, 100),
                route("172.31.0.0", 16, 12)};
    return s;
}

TEST(SocketInterface, OwnedSourceBeatsRouteAndUnownedSourceFallsToTheRoute) {
    const FactSnapshot s = routed_host();

    // The forwarding table would pick the VPN for 10.1.2.3, but the socket is bound to the Wi-Fi address.
    const SocketInterface bound = socket_interface(s, outbound("192.168.1.20", "10.1.2.3"));
    EXPECT_EQ(bound.if_index, 7u);
    EXPECT_EQ(bound.name, "Wi-Fi");
    EXPECT_EQ(bound.evidence, "live established socket + local source/interface");
    EXPECT_EQ(bound.confidence, 0.8);
    EXPECT_EQ(socket_interface(s, outbound("2001:DB8::20%3", "2606:4700::1")).if_index, 7u)
        << "IPv6 source compared as an address, not as text";

    // No adapter owns 172.16.0.5: the longest prefix decides, not the lower metric of the default.
    const SocketInterface routed = socket_interface(s, outbound("172.16.0.5", "10.1.2.3"));
    EXPECT_EQ(routed.if_index, 9u);
    EXPECT_EQ(routed.name, "VPN");
    EXPECT_EQ(routed.evidence, "live established socket + Find-NetRoute");
    EXPECT_EQ(routed.confidence, 0.6);
    EXPECT_EQ(socket_interface(s, outbound("172.16.0.5", "8.8.8.8")).if_index, 7u) << "equal prefix: metric";
    EXPECT_EQ(socket_interface(s, outbound("::ffff:172.16.0.5", "::ffff:10.9.9.9")).if_index, 9u);

    const SocketInterface nameless = socket_interface(s, outbound("172.16.0.5", "172.31.4.4"));
    EXPECT_EQ(nameless.if_index, 12u);
    EXPECT_EQ(nameless.name, "Unknown");
}

TEST(SocketInterface, UnownedIpv6SourceFallsToTheIpv6RouteThatRoutingRulesMakeWin) {
    FactSnapshot s = routed_host();
    const auto route6 = [](std::string destination, std::uint8_t prefix, std::uint32_t if_index,
                           std::uint32_t metric, std::optional<std::uint32_t> rule) {
        RouteRow r{std::move(destination), std::nullopt, if_index, metric, kFamilyIpv6, prefix};
        r.rule_priority = rule;
        return r;
    };
    s.routes.push_back(route6("2001:db8:1::", 48, 9, 256, std::nullopt));
    s.routes.push_back(route6("::", 0, 7, 1, std::nullopt));
    s.routes.push_back(route6("::", 0, 9, 1024, std::nullopt));
    const SocketInterface routed = socket_interface(s, outbound("fd00::5", "2001:db8:1:2::1"));
    EXPECT_EQ(routed.if_index, 9u) << "the longest prefix, not the lower metric";
    EXPECT_EQ(routed.name, "VPN");
    EXPECT_EQ(routed.evidence, "live established socket + Find-NetRoute");
    EXPECT_EQ(socket_interface(s, outbound("fd00::5", "2606:4700::1")).if_index, 7u) << "equal prefix: metric";

    // A policy-routed tunnel (9): its table's default route is reached by a rule before the main table's
    // default, while the main table's more specific route is reached earlier still.
    s.routes = {route6("2001:db8:1::", 48, 7, 256, 32764), route6("::", 0, 7, 1, 32766),
                route6("::", 0, 9, 1024, 32765), route("0.0.0.0", 0, 7, 25)};
    EXPECT_EQ(socket_interface(s, outbound("fd00::5", "2606:4700::1")).if_index, 9u);
    EXPECT_EQ(socket_interface(s, outbound("fd00::5", "2001:db8:1:2::1")).if_index, 7u);
    EXPECT_EQ(socket_interface(s, outbound("172.16.0.5", "8.8.8.8")).if_index, 7u) << "families stay apart";
}

TEST(SocketInterface, NoOwnerAndNoRouteIsUnknown) {
    FactSnapshot s = routed_host();
    s.routes = {route("10.0.0.0", 8, 9)};
    for (const TcpRow& socket :
         {outbound("172.16.0.5", "8.8.8.8"), outbound("fd00::5", "2606:4700::1"), outbound("", "garbage")}) {
        const SocketInterface unknown = socket_interface(s, socket);
        EXPECT_FALSE(unknown.if_index) << socket.remote_address;
        EXPECT_EQ(unknown.name, "Unknown");
        EXPECT_EQ(unknown.evidence, "");
        EXPECT_EQ(unknown.confidence, 0.3);
    }
}

TEST(RouteRelations, OneRelationPerInterfaceCountingOnlyOutboundSockets) {
    const FactSnapshot s = routed_host();
    const std::vector<RouteRelation> relations = route_relations(
        s, {outbound("172.16.0.5", "8.8.4.4"),     // Wi-Fi by route
            outbound("10.8.0.2", "10.1.2.3"),      // VPN by source
            outbound("192.168.1.20", "1.1.1.1"),   // Wi-Fi by source: the stronger pairing wins
            outbound("172.16.0.5", "203.0.113.1"), // Wi-Fi by route again
            outbound("fd00::5", "2606:4700::1"), outbound("fd00::6", "2001:db8:1::1"), // both Unknown
            outbound("127.0.0.1", "127.0.0.1"), outbound("::1", "::1"), outbound("10.8.0.2", "0.0.0.0"),
            outbound("192.168.1.20", "192.168.1.20"), outbound("10.8.0.2", "::ffff:10.8.0.2"), // this host
            TcpRow{"192.168.1.20", "1.1.1.1", kTcpStateListen, kApp, 80, 0}});
    ASSERT_EQ(relations.size(), 3u);
    // Grouped by family as well, Wi-Fi's IPv4-mapped peer stays with IPv4.
    const std::vector<RemoteSocketGroup> groups = remote_socket_groups(
        s, {outbound("192.168.1.20", "1.1.1.1"), outbound("fd00::5", "2606:4700::1"),
            outbound("192.168.1.20", "::ffff:1.0.0.1"), outbound("172.16.0.5", "8.8.4.4")});
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ((Ids{groups[0].family, groups[1].family}), (Ids{"IPv4", "IPv6"}));
    EXPECT_EQ(groups[0].sockets, 3u);
    EXPECT_EQ(relations[0].interface.if_index, 7u);
    EXPECT_EQ(relations[0].sockets, 3u);
    EXPECT_EQ(relations[0].interface.evidence, "live established socket + local source/interface");
    EXPECT_EQ(relations[1].interface.if_index, 9u);
    EXPECT_EQ(relations[1].sockets, 1u);
    EXPECT_EQ(relations[2].interface.name, "Unknown");
    EXPECT_EQ(relations[2].sockets, 2u);
}

// The app's node at layer 1 with the Wi-Fi carrier and the VPN's TUN node on the graph.
struct DrawnHost {
    FactSnapshot s = routed_host();
    GraphBuilder builder{s};
    std::string app;

    DrawnHost() {
        s.tcp_rows = {outbound("192.168.1.20", "1.1.1.1"), outbound("192.168.1.20", "9.9.9.9"),
                      outbound("10.8.0.2", "10.1.2.3"), outbound("172.16.0.5", "172.31.4.4"),
                      outbound("fd00::5", "2606:4700::1")};
        builder.add_node("nic-7", "Wi-Fi", "", kNodeNic, kStatusOk, false, {});
        builder.carrier_state().nic_ids[7] = "nic-7";
        builder.add_node("tun-9-l0", "Tunnel ifIndex 9", "", kNodeTun, kStatusOk, false, {});
        builder.set_if_index("tun-9-l0", 9);
        builder.carrier_state().tun_nodes.push_back("tun-9-l0");
        builder.carrier_state().nic_ids[9] = "nic-9-not-drawn";
        app = draw_process_node(builder, kApp, 1);
    }
    const GraphNode& app_node() const { return *builder.find_node(app); }
    std::optional<std::size_t> edge_to(const std::string& row_id, const std::string& to) const {
        return builder.find_edge(app, row_id, to);
    }
};

TEST(RouteRelationRows, RowsPerInterfaceWithEdgesOnlyToDrawnInterfaceNodes) {
    DrawnHost host;
    const std::size_t nodes = host.builder.nodes().size();
    draw_route_relations(host.builder);
    draw_route_relations(host.builder); // a second run adds nothing
    EXPECT_EQ(host.builder.nodes().size(), nodes);

    const GraphNode& app = host.app_node();
    EXPECT_EQ(row_ids(app.items),
              (Ids{"pid", "remote-sockets", "route-if-7", "route-if-9", "route-if-12", "route-unknown"}));
    // The summary row groups the same sockets by family and route, each group once.
    const NodeItem& remote = row(app, "remote-sockets");
    EXPECT_EQ((Ids{remote.k, remote.v, remote.meta, remote.role}),
              (Ids{"remote sockets", "4", "process-wide established sockets; click to inspect route groups", "prop"}));
    ASSERT_TRUE(remote.detail);
    EXPECT_EQ((Ids{remote.detail->label, remote.detail->sub, remote.detail->kind}),
              (Ids{"Remote socket groups", "passive process-wide evidence", "socket"}));
    std::vector<Ids> groups;
    for (const NodeItem& group : remote.detail->items)
        groups.push_back({group.id, group.k, group.v, group.meta});
    EXPECT_EQ(groups, (std::vector<Ids>{
                          {"remote-route-IPv4-7", "IPv4 · Wi-Fi", "2 socket(s)",
                           "live established socket + local source/interface"},
                          {"remote-route-IPv4-9", "IPv4 · VPN", "1 socket(s)",
                           "live established socket + local source/interface"},
                          {"remote-route-IPv4-12", "IPv4 · Unknown", "1 socket(s)",
                           "live established socket + Find-NetRoute"},
                          {"remote-route-IPv6-unknown", "IPv6 · Unknown", "1 socket(s)", ""},
                      }));
    const NodeItem& wifi = row(app, "route-if-7");
    EXPECT_EQ(wifi.k, "route");
    EXPECT_EQ(wifi.v, "Wi-Fi · 2 socket(s)");
    EXPECT_EQ(wifi.status, "OK");
    EXPECT_EQ(wifi.role, "out");
    EXPECT_EQ(wifi.meta, "process-wide socket; logical pass not correlated");
    EXPECT_EQ(row(app, "route-if-12").v, "Unknown · 1 socket(s)");
    EXPECT_EQ(row(app, "route-if-12").status, "WARN");
    EXPECT_EQ(row(app, "route-unknown").status, "");

    const auto to_wifi = host.edge_to("route-if-7", "nic-7");
    ASSERT_TRUE(to_wifi);
    const GraphEdge& e = host.builder.edges()[*to_wifi];
    EXPECT_EQ(e.kind, "evidence");
    EXPECT_EQ(e.confidence, 0.8);
    EXPECT_EQ(e.evidence, "live established socket + local source/interface");
    EXPECT_TRUE(host.edge_to("route-if-9", "tun-9-l0")) << "the TUN node is preferred and exists";
    EXPECT_FALSE(host.edge_to("route-if-9", "nic-9-not-drawn"));
    EXPECT_EQ(host.builder.edges().size(), 2u) << "no edge for an interface without a node";
}

TEST(RouteRelationRows, NoteSaysWhatTiesTheSocketsToTheTraffic) {
    {
        DrawnHost host;
        FlowContext unruled;
        host.builder.flow_state().node_contexts[host.app] = {unruled};
        draw_route_relations(host.builder);
        EXPECT_EQ(row(host.app_node(), "route-if-7").meta,
                  "process-wide socket; logical pass not correlated");
    }
    {
        DrawnHost host;
        FlowContext ruled;
        ruled.rule = "MATCH";
        host.builder.flow_state().node_contexts[host.app] = {FlowContext{}, ruled};
        draw_route_relations(host.builder);
        EXPECT_EQ(row(host.app_node(), "route-if-7").meta,
                  "runtime rule present; socket-to-flow pairing inferred");
        EXPECT_EQ(row(host.app_node(), "route-unknown").meta, row(host.app_node(), "route-if-7").meta);
        ASSERT_FALSE(host.builder.flow_state().traces.empty());
        EXPECT_EQ(host.builder.flow_state().traces.front().kind, "rule");

        DrawnHost owner;
        owner.builder.flow_state().node_contexts[owner.app] = {ruled};
        owner.builder.note_configured_owner(kApp);
        draw_route_relations(owner.builder);
        EXPECT_EQ(row(owner.app_node(), "route-if-9").meta,
                  "configured local proxy owner + live proxy-process outbound socket");
        EXPECT_EQ(owner.builder.flow_state().traces.front().kind, "generic");
    }
}

TEST(RouteRelationRows, TwelveInterfacesThenOneMoreRow) {
    FactSnapshot s;
    s.processes[kApp] = ProcessInfo{"app.exe", "", "", kApp};
    for (std::uint32_t i = 1; i <= 15; ++i) {
        const std::string address = "10.0." + std::to_string(i) + ".2";
        s.adapters.push_back(test::graph_adapter(100 + i, "eth" + std::to_string(i), address));
        s.tcp_rows.push_back(outbound(address, "198.51.100.7"));
    }
    GraphBuilder builder(s);
    const std::string app = draw_process_node(builder, kApp, 0);
    draw_route_relations(builder);
    const GraphNode& n = *builder.find_node(app);
    ASSERT_EQ(n.items.size(), 1u + 1u + 12u + 1u);
    EXPECT_EQ(row(n, "remote-sockets").v, "15"); // the drill-down lists every group
    EXPECT_EQ(n.items[13].id, "route-if-112");
    const NodeItem& more = n.items.back();
    EXPECT_EQ(more.id, "route-more");
    EXPECT_EQ(more.k, "more");
    EXPECT_EQ(more.v, "3 additional relation contexts");
}

TEST(RouteRelationRows, BuiltGraphLinksAProxyCoreToItsCarrierInsteadOfAnIdleGuess) {
    FactSnapshot s;
    s.processes[kApp] = ProcessInfo{"mihomo.exe", "", "", kApp};
    test::add_interface(s, test::graph_adapter(7, "Ethernet", "192.168.1.20"), "Carrier", 0.9);
    test::select_v4(s, 7, "192.168.1.1");
    CoreInfo core;
    core.pid = kApp;
    core.answered = true;
    core.live_controller = "http://127.0.0.1:9090";
    s.core_infos.push_back(core);
    s.core_pids.insert(kApp);
    s.tcp_rows = {outbound("192.168.1.20", "203.0.113.9")};
    RunContext context(s);
    context.ping_cache["192.168.1.1"] = EchoResult{true, 2};
    context.ping_cache["223.5.5.5"] = EchoResult{true, 20};
    const GraphDocument doc = build_graph(context, {});

    const auto live = edge(doc, "proc-4242-l1", "route-if-7", "nic-7");
    ASSERT_TRUE(live);
    EXPECT_EQ(live->kind, "evidence");
    EXPECT_FALSE(has_row(node(doc, "proc-4242-l1"), "idle-route"));
}

} // namespace
} // namespace wirelux
