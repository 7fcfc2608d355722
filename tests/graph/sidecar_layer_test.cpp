#include "graph/build_graph.h"
#include "graph/egress_layer.h"
#include "graph/sidecar_layer.h"

#include "graph/graph_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace wirelux {
namespace {

using test::edge;
using test::node;
using test::node_ids;
using test::row;
using test::row_ids;

using Ids = std::vector<std::string>;

FactSnapshot ethernet_host() {
    FactSnapshot s;
    AdapterInfo eth = test::graph_adapter(7, "Ethernet", "192.168.1.20");
    eth.dns_servers = {"192.168.1.1", "fe80::1", "8.8.8.8", "2001:db8::53", "FEC0:0:0:FFFF::1"};
    test::add_interface(s, eth, "Carrier", 0.9);
    test::select_v4(s, 7, "192.168.1.1");
    s.physical_candidates_v4 = {test::candidate(7, "Ethernet", "192.168.1.1", 25)};
    return s;
}

FactSnapshot tun_host() {
    FactSnapshot s;
    test::add_interface(s, test::graph_adapter(7, "Ethernet", "192.168.1.20"), "Carrier", 0.9);
    AdapterInfo tun = test::graph_adapter(12, "Meta", "198.18.0.1");
    tun.dns_servers = {"198.18.0.2"};
    test::add_interface(s, tun, "Tunnel", 0.95);
    s.routes.push_back({"0.0.0.0", "192.168.1.1", 7, 35, kFamilyIpv4, 0});
    test::select_v4(s, 12, std::nullopt);
    s.physical_candidates_v4 = {test::candidate(7, "Ethernet", "192.168.1.1", 35)};
    return s;
}

ListenerAssessment candidate(std::uint32_t pid, std::string name, std::string endpoint) {
    ListenerAssessment l;
    l.pid = pid;
    l.process_name = std::move(name);
    l.endpoint = std::move(endpoint);
    l.is_candidate = true;
    return l;
}

FactSnapshot suspect_host() {
    FactSnapshot s = ethernet_host();
    s.intercept_level = "SUSPECT";
    s.intercept_score = 4.5;
    s.intercept_confidence = 0.62;
    s.intercept_reasons = {"proxy-like listener", "route/source mismatch"};
    return s;
}

GraphDocument sidecar_only(const FactSnapshot& s, void (*before)(GraphBuilder&) = nullptr) {
    GraphBuilder builder(s);
    draw_source_node(builder);
    if (before != nullptr) before(builder);
    draw_intercept_sidecar(builder);
    return builder.document();
}

TEST(InterceptSidecar, DrawnOnlyForUnexplainedInterception) {
    FactSnapshot none = ethernet_host();
    none.intercept_reasons = {"left over"};
    EXPECT_EQ(node_ids(sidecar_only(none)), Ids{"app"});

    // Behind a confirmed tunnel the evidence is the tunnel itself.
    FactSnapshot tunnel = tun_host();
    tunnel.intercept_level = "VISIBLE-TUNNEL";
    EXPECT_EQ(node_ids(sidecar_only(tunnel)), Ids{"app"});

    // A resolved local proxy policy explains it, unless a runtime proxy is seen as well.
    const FactSnapshot suspect = suspect_host();
    const GraphDocument owned = sidecar_only(suspect, [](GraphBuilder& b) { b.note_configured_owner(40); });
    EXPECT_EQ(node_ids(owned), Ids{"app"});
    EXPECT_EQ(owned.interception.display_level, "EXPLICIT-PROXY");
    const GraphDocument runtime = sidecar_only(suspect, [](GraphBuilder& b) {
        b.note_configured_owner(40);
        b.note_runtime_proxy_seen();
    });
    EXPECT_EQ(node_ids(runtime), (Ids{"app", "intercept-evidence"}));
    EXPECT_EQ(runtime.interception.display_level, "SUSPECT");
}

TEST(InterceptSidecar, SignalsAndCandidatesBecomeRowsUnderTheCap) {
    FactSnapshot s = suspect_host();
    for (int port = 7890; port < 7895; ++port)
        s.candidate_listeners.push_back(candidate(40, "core.exe", "127.0.0.1:" + std::to_string(port)));
    s.candidate_listeners.push_back(candidate(51, "relay.exe", "0.0.0.0:1080"));
    s.candidate_listeners.push_back(candidate(40, "core.exe", "[::1]:7890"));
    s.candidate_listeners.push_back(candidate(51, "relay.exe", "0.0.0.0:1081"));
    const GraphDocument doc = sidecar_only(s);

    const NodeItem& app_row = row(node(doc, "app"), "intercept-evidence");
    EXPECT_EQ(
        (Ids{app_row.k, app_row.v, app_row.status, app_row.meta, app_row.role}),
        (Ids{"evidence", "SUSPECT", "WARN", "diagnostic only · score 4.50 · not a traffic hop", "out"}));

    const GraphNode& sidecar = node(doc, "intercept-evidence");
    EXPECT_EQ((Ids{sidecar.label, sidecar.sub, sidecar.kind, sidecar.status}),
              (Ids{"Interception evidence", "diagnostic sidecar · NOT a traffic hop", "core", "WARN"}));
    EXPECT_EQ(sidecar.layout_lane, "evidence");
    // PID 40's six endpoints fill the cap; both of PID 51's collapse into one "more" row.
    EXPECT_EQ(row_ids(sidecar.items),
              (Ids{"score", "signal-0", "signal-1", "candidate-40", "ep-127_0_0_1_7890", "ep-127_0_0_1_7891",
                   "ep-127_0_0_1_7892", "ep-127_0_0_1_7893", "ep-127_0_0_1_7894", "ep-1_7890", "candidate-51",
                   "more"}));
    EXPECT_EQ(row(sidecar, "score").v, "score 4.50");
    EXPECT_EQ(row(sidecar, "signal-1").v, "route/source mismatch");
    EXPECT_EQ(row(sidecar, "candidate-40").v, "proxy candidate · PID 40");
    EXPECT_EQ(row(sidecar, "candidate-40").meta, "core.exe · 6 endpoints");
    EXPECT_EQ(row(sidecar, "candidate-51").meta, "relay.exe · 2 endpoints");
    EXPECT_EQ(row(sidecar, "more").v, "2 additional endpoints");
    EXPECT_EQ(row(sidecar, "more").meta, "collapsed by process");

    const auto evidence = edge(doc, "app", "intercept-evidence", "intercept-evidence");
    ASSERT_TRUE(evidence);
    EXPECT_EQ(evidence->kind, "evidence");
    EXPECT_DOUBLE_EQ(evidence->confidence, 0.62);
    EXPECT_EQ(evidence->evidence, "host-level interception evidence; diagnostic relation only");
}

// Answers from a table and records every query; unlisted resolvers time out.
struct RecordingDns {
    std::map<std::string, DnsProbeResult> answers;
    std::vector<std::string> asked;

    DnsFn fn() {
        return [this](const std::string& resolver) {
            asked.push_back(resolver);
            const auto found = answers.find(resolver);
            return found == answers.end() ? DnsProbeResult{} : found->second;
        };
    }
};

TEST(ResolverRows, FromTheCacheWithOneQueryForAMissingResolver) {
    const FactSnapshot s = ethernet_host();
    RunContext context(s);
    context.dns_cache["192.168.1.1"] = DnsProbeResult{"110.242.68.66", 12, true};
    RecordingDns dns;
    dns.answers["8.8.8.8"] = DnsProbeResult{"", 40, false}; // replied without an A record
    test::RecordingEcho echo;
    const GraphDocument doc = build_graph(context, echo.fn(), dns.fn());

    // Only the resolvers the driver did not pre-warm are asked, once, and the answers are kept.
    EXPECT_EQ(dns.asked, (Ids{"8.8.8.8", "2001:db8::53"}));
    EXPECT_TRUE(context.dns_cache.contains("8.8.8.8"));

    const GraphNode& nic = node(doc, "nic-7");
    const NodeItem& primary = row(nic, "dns-192_168_1_1");
    EXPECT_EQ((Ids{primary.k, primary.v, primary.status, primary.meta, primary.role}),
              (Ids{"DNS", "192.168.1.1", "OK", "12 ms", "prop"}));
    ASSERT_TRUE(primary.detail);
    EXPECT_EQ((Ids{primary.detail->label, primary.detail->sub, primary.detail->kind}),
              (Ids{"resolver · 192.168.1.1", "Physical DNS · primary", "dns"}));
    EXPECT_EQ(row_ids(primary.detail->items), (Ids{"resolve", "answer", "time"}));
    EXPECT_EQ(row(primary.detail->items, "answer").v, "110.242.68.66");
    EXPECT_EQ(row(primary.detail->items, "time").v, "12 ms");

    // A reply without an address keeps its time; only no reply at all is "T/O".
    const NodeItem& backup = row(nic, "dns-8_8_8_8");
    EXPECT_EQ((Ids{backup.k, backup.status, backup.meta}), (Ids{"DNS(备)", "FAIL", "40 ms"}));
    ASSERT_TRUE(backup.detail);
    EXPECT_EQ(backup.detail->sub, "Physical DNS · backup 2");
    EXPECT_EQ(row(backup.detail->items, "answer").v, "--");
    EXPECT_EQ(row(backup.detail->items, "time").v, "40 ms");
    const NodeItem& global = row(nic, "dns-2001_db8_53");
    EXPECT_EQ((Ids{global.k, global.status, global.meta}), (Ids{"DNS(备)", "FAIL", "T/O"}));
    EXPECT_TRUE(global.probe);

    // Link-local and site-local resolvers keep their place in the order with a row saying why.
    for (const auto& [id, why] : std::vector<std::pair<std::string, std::string>>{
             {"dns-fe80_1", "not queried · link-local resolver (fe80::/10) needs an interface zone"},
             {"dns-FEC0_0_0_FFFF_1", "not queried · site-local resolver (fec0::/10, deprecated placeholder)"}}) {
        const NodeItem& skipped = row(nic, id);
        EXPECT_EQ((Ids{skipped.k, skipped.status, skipped.meta}), (Ids{"DNS(备)", "", why})) << id;
        EXPECT_FALSE(skipped.probe);
        EXPECT_FALSE(skipped.detail);
    }
}

TEST(ResolverRows, TunNodeRowsAndAThrowingQueryCountsAsUnanswered) {
    const FactSnapshot s = tun_host();
    RunContext context(s);
    int asked = 0;
    const DnsFn throwing = [&asked](const std::string&) -> DnsProbeResult {
        ++asked;
        throw std::runtime_error("socket");
    };
    const GraphDocument doc = build_graph(context, {}, throwing);
    const NodeItem& dns = row(node(doc, "tun-12-l1"), "dns-198_18_0_2");
    EXPECT_EQ((Ids{dns.k, dns.status, dns.meta}), (Ids{"DNS", "FAIL", "T/O"}));
    ASSERT_TRUE(dns.detail);
    EXPECT_EQ(dns.detail->sub, "TUN DNS · primary");
    EXPECT_EQ(asked, 1);
}

void ran_campus_probes(FactSnapshot& s) {
    for (const char* target : kCampusTargets)
        s.campus.reachable[target] = true;
    s.campus.portal_ok = true;
    s.campus.portal_title = "SRUN Portal";
    s.campus.dns_primary = DnsProbeResult{"198.18.0.7", 3, true};
    s.campus.dns_primary_kind = "proxy";
    s.campus.api_reachable = true;
    s.campus.api_status = 200;
    s.campus.api_title = "MsgApi";
}

TEST(CampusNodes, PortalAndApiWithTheCarrierEvidence) {
    FactSnapshot s = ethernet_host();
    ran_campus_probes(s);
    RunContext context(s);
    const GraphDocument doc = build_graph(context, {}, {});

    const GraphNode& portal = node(doc, "kamportal");
    EXPECT_EQ((Ids{portal.label, portal.sub, portal.kind}),
              (Ids{"KAM Portal", "HTTP probe · srun login", "kam"}));
    EXPECT_EQ(row_ids(portal.items),
              (Ids{"address", "http", "login", "kam-dns-primary", "kam-dns-backup", "api"}));
    EXPECT_TRUE(row(portal, "address").probe);
    EXPECT_EQ(row(portal, "http").v, "srun_portal");
    EXPECT_EQ((Ids{row(portal, "login").v, row(portal, "login").status}), (Ids{"not detected", "WARN"}));
    const NodeItem& primary = row(portal, "kam-dns-primary");
    EXPECT_EQ((Ids{primary.k, primary.v, primary.status}),
              (Ids{"KAM resolver · primary", "10.0.32.32", "OK"}));
    ASSERT_TRUE(primary.detail);
    EXPECT_EQ(row_ids(primary.detail->items), (Ids{"resolve", "answer", "flag", "time"}));
    EXPECT_EQ(row(primary.detail->items, "flag").v, "proxy");
    EXPECT_EQ(row(portal, "kam-dns-backup").status, "FAIL"); // no result at all

    const GraphNode& api = node(doc, "kamapi");
    EXPECT_EQ(row_ids(api.items), (Ids{"address", "http8800", "title"}));
    EXPECT_EQ(row(api, "address").v, "10.0.0.54:8800");
    EXPECT_EQ(row(api, "http8800").v, "HTTP 200");

    const auto carrier = edge(doc, "nic-7", "", "kamportal");
    ASSERT_TRUE(carrier);
    EXPECT_EQ(carrier->kind, "kam");
    EXPECT_EQ(carrier->evidence, "Find-NetRoute(10.0.0.55) -> carrier gateway");
    const auto to_api = edge(doc, "kamportal", "api", "kamapi");
    ASSERT_TRUE(to_api);
    EXPECT_EQ((Ids{to_api->kind, to_api->evidence}), (Ids{"kam", "Portal-associated API probe"}));
    EXPECT_DOUBLE_EQ(to_api->confidence, 1.0);
}

TEST(CampusNodes, TunRouteNamesTheUnderlyingCarrierAndNoProbesNoNodes) {
    FactSnapshot s = tun_host();
    RunContext quiet(s);
    const GraphDocument none = build_graph(quiet, {}, {});
    EXPECT_EQ(std::count_if(none.nodes.begin(), none.nodes.end(),
                            [](const GraphNode& n) { return n.kind == "kam"; }),
              0);

    ran_campus_probes(s);
    s.campus.api_reachable = false;
    s.campus.api_status = 0;
    RunContext context(s);
    const GraphDocument doc = build_graph(context, {}, {});
    const auto carrier = edge(doc, "nic-7", "", "kamportal");
    ASSERT_TRUE(carrier);
    EXPECT_EQ(carrier->evidence, "target route enters TUN; viable underlying carrier candidate · metric 35");
    EXPECT_FALSE(edge(doc, "tun-12-l1", "", "kamportal"));
    EXPECT_EQ(row(node(doc, "kamapi"), "http8800").v, "closed");
}

} // namespace
} // namespace wirelux
