#include "graph/build_graph.h"
#include "graph/process_layer.h"
#include "graph/proxy_layers.h"
#include "graph/route_relations.h"

#include "graph/graph_fixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wirelux {
namespace {

using test::edge;
using test::node;
using test::row;
using test::row_ids;

using Ids = std::vector<std::string>;

constexpr std::uint32_t kCorePid = 4242;

TcpRow listener(std::string address, std::uint16_t port, std::uint32_t pid = kCorePid) {
    return TcpRow{std::move(address), "0.0.0.0", kTcpStateListen, pid, port, 0};
}

TcpRow established(std::string local, std::string remote, std::uint32_t pid = kCorePid) {
    return TcpRow{std::move(local), std::move(remote), kTcpStateEstablished, pid, 50000, 443};
}

FactSnapshot host_with_process(std::uint32_t pid = kCorePid, std::string name = "mihomo.exe") {
    FactSnapshot s;
    s.processes[pid] = ProcessInfo{std::move(name), "", "", pid};
    return s;
}

const GraphNode& drawn(const GraphBuilder& builder, const std::string& id) {
    const GraphNode* n = builder.find_node(id);
    if (n == nullptr) {
        ADD_FAILURE() << "no node " << id;
        static const GraphNode none;
        return none;
    }
    return *n;
}

TEST(ProcessNode, ListenersAreCappedAtTwentyFourWithAMoreRow) {
    FactSnapshot s = host_with_process();
    for (std::uint16_t i = 0; i < 30; ++i)
        s.tcp_listeners.push_back(listener("127.0.0.1", 7000 + i));
    s.tcp_listeners.push_back(listener("127.0.0.1", 80, 1)); // someone else's
    GraphBuilder builder(s);
    const std::string id = draw_process_node(builder, kCorePid, 1);
    EXPECT_EQ(id, "proc-4242-l1");

    const NodeItem& summary = row(drawn(builder, id), "listeners");
    EXPECT_EQ(summary.v, "30 · 127.0.0.1:7000");
    EXPECT_EQ(summary.meta, "click to inspect; endpoints merged by process");
    ASSERT_TRUE(summary.detail);
    EXPECT_EQ(summary.detail->label, "TCP listeners");
    EXPECT_EQ(summary.detail->sub, "mihomo.exe · PID 4242");
    EXPECT_EQ(summary.detail->kind, "socket");
    const auto& rows = summary.detail->items;
    ASSERT_EQ(rows.size(), 25u);
    EXPECT_EQ(rows[0].id, "listen-1");
    EXPECT_EQ(rows[0].k, "listen");
    EXPECT_EQ(rows[23].id, "listen-24");
    EXPECT_EQ(rows[23].v, "127.0.0.1:7023");
    EXPECT_EQ(rows[24].id, "listen-more");
    EXPECT_EQ(rows[24].v, "6 additional listeners");
    EXPECT_EQ(rows[24].meta, "visual detail capped; full inventory remains in report table");
}

TEST(ProcessNode, UdpBindingsAreCappedAtSixteen) {
    FactSnapshot s = host_with_process();
    for (std::uint16_t i = 0; i < 16; ++i)
        s.udp_rows.push_back(UdpRow{"0.0.0.0", kCorePid, std::uint16_t(5300 + i)});
    {
        GraphBuilder builder(s);
        const auto& rows = row(drawn(builder, draw_process_node(builder, kCorePid, 1)), "udp").detail->items;
        EXPECT_EQ(rows.size(), 16u);
        EXPECT_EQ(rows.back().id, "udp-16");
        EXPECT_EQ(rows.back().k, "UDP");
    }
    s.udp_rows.insert(s.udp_rows.begin(), UdpRow{"::1", kCorePid, 53});
    GraphBuilder builder(s);
    const NodeItem& udp = row(drawn(builder, draw_process_node(builder, kCorePid, 1)), "udp");
    EXPECT_EQ(udp.k, "UDP binds");
    EXPECT_EQ(udp.v, "17 · [::1]:53");
    ASSERT_EQ(udp.detail->items.size(), 17u);
    EXPECT_EQ(udp.detail->items.back().id, "udp-more");
    EXPECT_EQ(udp.detail->items.back().v, "1 additional bindings");
    EXPECT_EQ(udp.detail->items.back().meta, "visual detail capped");
}

// The sockets are looked up once for the whole build; every process drawn afterwards must still get
// exactly its own, in snapshot order.
TEST(ProcessNode, ProcessesDrawnByOneBuilderKeepTheirOwnSockets) {
    FactSnapshot s = host_with_process();
    s.processes[77] = ProcessInfo{"helper.exe", "", "", 77};
    s.own_addresses = {"192.168.1.20"};
    s.tcp_listeners = {listener("127.0.0.1", 7890), listener("0.0.0.0", 80, 77), listener("::1", 7891),
                       listener("127.0.0.1", 81, 77)};
    s.udp_rows = {UdpRow{"0.0.0.0", 77, 53}, UdpRow{"::", kCorePid, 5353}};
    s.tcp_rows = {established("192.168.1.20", "1.1.1.1", 77), established("192.168.1.20", "8.8.8.8"),
                  established("2001:db8::9", "2606:4700::1", 77),
                  TcpRow{"192.168.1.20", "9.9.9.9", 4, kCorePid, 50001, 443}};
    GraphBuilder builder(s);
    const std::string core_id = draw_process_node(builder, kCorePid, 1);
    const std::string helper_id = draw_process_node(builder, 77, 1);
    const std::string again_id = draw_process_node(builder, 77, 2);
    const GraphNode& core = drawn(builder, core_id);
    const GraphNode& helper = drawn(builder, helper_id);
    const GraphNode& helper_again = drawn(builder, again_id);

    EXPECT_EQ(row(core, "listeners").v, "2 · 127.0.0.1:7890");
    EXPECT_EQ(row(core, "listeners").detail->items[1].v, "[::1]:7891");
    EXPECT_EQ(row(core, "udp").v, "1 · [::]:5353");
    draw_route_relations(builder);
    EXPECT_EQ(row(core, "route-unknown").v, "Unknown · 1 socket(s)"); // the closing row is not established
    for (const GraphNode* n : {&helper, &helper_again}) {
        EXPECT_EQ(row(*n, "listeners").v, "2 · 0.0.0.0:80");
        EXPECT_EQ(row(*n, "listeners").detail->items[1].v, "127.0.0.1:81");
        EXPECT_EQ(row(*n, "udp").v, "1 · 0.0.0.0:53");
        EXPECT_EQ(row(*n, "route-unknown").v, "Unknown · 2 socket(s)"); // one IPv4, one IPv6
    }
}

TEST(ProcessNode, SamePidAndLayerMergeAndOtherLayersDoNot) {
    FactSnapshot s = host_with_process();
    GraphBuilder builder(s);
    EXPECT_EQ(draw_process_node(builder, kCorePid, 1), "proc-4242-l1");
    EXPECT_EQ(draw_process_node(builder, kCorePid, 1), "proc-4242-l1");
    EXPECT_EQ(draw_process_node(builder, kCorePid, 2), "proc-4242-l2");
    EXPECT_EQ(draw_process_node(builder, kCorePid, -3), "proc-4242-l0");
    EXPECT_EQ(builder.nodes().size(), 3u);

    const GraphNode& second = drawn(builder, "proc-4242-l2");
    EXPECT_EQ(second.process_id, kCorePid);
    EXPECT_EQ(second.layer, 2);
    EXPECT_EQ(second.kind, "core");
    EXPECT_EQ(second.sub, "local connector/process · entity layer 2");
    EXPECT_EQ(row(second, "pid").meta, "entity layer 2");
    EXPECT_EQ(row_ids(second.items), Ids{"pid"}) << "no socket rows without sockets";
}

TEST(ProcessNode, ProxyCoreShowsItsApiOnlyWhenItAnswered) {
    FactSnapshot s = host_with_process();
    CoreInfo core;
    core.pid = kCorePid;
    core.find_process_mode = "strict";
    core.live_controller = "http://127.0.0.1:9090";
    core.answered = false;
    s.core_infos.push_back(core);
    s.core_pids.insert(kCorePid);
    {
        GraphBuilder builder(s);
        const GraphNode& n = drawn(builder, draw_process_node(builder, kCorePid, 1));
        EXPECT_EQ(n.sub, "proxy core · entity layer 1");
        EXPECT_EQ(row_ids(n.items), (Ids{"pid", "findproc"}));
        EXPECT_EQ(row(n, "findproc").v, "strict");
    }
    s.core_infos[0].answered = true;
    GraphBuilder builder(s);
    const GraphNode& n = drawn(builder, draw_process_node(builder, kCorePid, 1));
    EXPECT_EQ(row_ids(n.items), (Ids{"pid", "api", "findproc"}));
    EXPECT_EQ(row(n, "api").v, "http://127.0.0.1:9090");
    EXPECT_EQ(row(n, "api").status, "OK");
}

TEST(ProcessNode, NodeBudgetStopsNewProcessesButNotMerges) {
    FactSnapshot s = host_with_process();
    s.processes[7] = ProcessInfo{"other.exe", "", "", 7};
    GraphBuilder builder(s, GraphLimits{10, 2, 3});
    builder.add_node("app", "Applications", "", kNodeSource, "", false, {});
    EXPECT_EQ(draw_process_node(builder, kCorePid, 1), "proc-4242-l1");
    EXPECT_EQ(draw_process_node(builder, 7, 1), "");
    EXPECT_EQ(draw_process_node(builder, kCorePid, 1), "proc-4242-l1");
    EXPECT_EQ(builder.nodes().size(), 2u);
    EXPECT_FALSE(builder.process_state().drawn_pids.contains(7));
}

// A home host with one carrier and a proxy core, a confirmed SOCKS proxy and a candidate.
FactSnapshot proxy_host() {
    FactSnapshot s = host_with_process();
    test::add_interface(s, test::graph_adapter(7, "Ethernet", "192.168.1.20"), "Carrier", 0.9);
    test::select_v4(s, 7, "192.168.1.1");
    CoreInfo core;
    core.pid = kCorePid;
    core.answered = true;
    core.live_controller = "http://127.0.0.1:9090";
    s.core_infos.push_back(core);
    s.core_pids.insert(kCorePid);
    s.processes[600] = ProcessInfo{"socks.exe", "", "", 600};
    s.processes[700] = ProcessInfo{"helper.exe", "", "", 700};
    ListenerAssessment socks;
    socks.pid = 600;
    socks.endpoint = "127.0.0.1:1080";
    s.protocol_proxy_listeners.push_back(socks);
    s.protocol_proxy_pids = {600, kCorePid};
    ProcessAssessment candidate;
    candidate.pid = 700;
    candidate.process_name = "helper.exe";
    candidate.best_score = 0.7;
    candidate.signal_digest = "loopback listener";
    s.candidate_processes.push_back(candidate);
    return s;
}

TEST(ProxyLayers, CoresConfirmedProxiesAndCandidatesHangOffTheSourceAsPossible) {
    const FactSnapshot s = proxy_host();
    RunContext context(s);
    context.ping_cache["192.168.1.1"] = EchoResult{true, 2};
    context.ping_cache["223.5.5.5"] = EchoResult{true, 20};
    const GraphDocument doc = build_graph(context, {});

    const auto core = edge(doc, "app", "proxy-pid-4242", "proc-4242-l1");
    ASSERT_TRUE(core);
    EXPECT_EQ(core->kind, "possible");
    EXPECT_EQ(core->confidence, 0.5);
    const auto socks = edge(doc, "app", "proxy-pid-600", "proc-600-l1");
    ASSERT_TRUE(socks);
    EXPECT_EQ(row(node(doc, "app"), "proxy-pid-600").meta,
              "proxy protocol answered on 127.0.0.1:1080 · application use not observed");
    const auto helper = edge(doc, "app", "proxy-pid-700", "proc-700-l1");
    ASSERT_TRUE(helper);
    EXPECT_EQ(helper->confidence, 0.35);
    EXPECT_EQ(row(node(doc, "app"), "proxy-pid-700").k, "proxy?");
    EXPECT_EQ(row(node(doc, "app"), "proxy-pid-700").status, "WARN");
    // Rows of the source: the default route first, the proxies among the "other" rows.
    EXPECT_EQ(row_ids(node(doc, "app").items),
              (Ids{"default", "proxy-pid-4242", "proxy-pid-600", "proxy-pid-700", "adapter-inventory"}));
}

TEST(ProxyLayers, AnIdleCoreIsOfferedTheSelectedCarrierAsAPossibleRoute) {
    const FactSnapshot s = proxy_host();
    RunContext context(s);
    context.ping_cache["192.168.1.1"] = EchoResult{true, 2};
    context.ping_cache["223.5.5.5"] = EchoResult{true, 20};
    const GraphDocument doc = build_graph(context, {});

    const auto idle = edge(doc, "proc-4242-l1", "idle-route", "nic-7");
    ASSERT_TRUE(idle);
    EXPECT_EQ(idle->kind, "possible");
    EXPECT_EQ(idle->confidence, 0.3);
    EXPECT_EQ(idle->evidence, "system default route only");
    const NodeItem& route = row(node(doc, "proc-4242-l1"), "idle-route");
    EXPECT_EQ(route.k, "route?");
    EXPECT_EQ(route.v, "Ethernet");
    EXPECT_EQ(route.meta, "possible · OS default only");
    EXPECT_FALSE(test::has_row(node(doc, "proc-600-l1"), "idle-route")) << "only proxy cores idle";
}

TEST(ProxyLayers, IdleCoreBehindATunUsesTheBestCarrierCandidate) {
    FactSnapshot s = proxy_host();
    test::add_interface(s, test::graph_adapter(12, "Meta", "198.18.0.1"), "Tunnel", 0.95);
    s.best_route_v4.reset();
    test::select_v4(s, 12, std::nullopt);
    s.physical_candidates_v4 = {test::candidate(7, "Ethernet", "192.168.1.1", 25)};
    RunContext context(s);
    const GraphDocument doc = build_graph(context, {});

    const auto idle = edge(doc, "proc-4242-l1", "idle-route", "nic-7");
    ASSERT_TRUE(idle);
    EXPECT_EQ(idle->evidence, "idle core: viable route candidate only");
}

TEST(ProxyLayers, AProcessAnEarlierPassDrewKeepsItsOwnRelation) {
    const FactSnapshot s = proxy_host();
    GraphBuilder builder(s);
    builder.add_node(kSourceNodeId, "Applications", "", kNodeSource, "", false, {});
    draw_process_node(builder, 600, 1);
    draw_proxy_layers(builder);
    const GraphNode& app = drawn(builder, kSourceNodeId);
    EXPECT_EQ(row_ids(app.items), (Ids{"proxy-pid-4242", "proxy-pid-700"}));
}

} // namespace
} // namespace wirelux
