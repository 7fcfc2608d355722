#include "graph/graph_builder.h"

#include "graph/run_context.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wirelux {
namespace {

std::vector<std::string> row_ids(const GraphNode& node) {
    std::vector<std::string> ids;
    for (const NodeItem& item : node.items)
        ids.push_back(item.id);
    return ids;
}

NodeItem row(const std::string& id, const std::string& v = "") {
    return make_row(id, "k", v, "", "", kRoleProp);
}

class GraphBuilderTest : public ::testing::Test {
protected:
    FactSnapshot snapshot;
};

TEST_F(GraphBuilderTest, DuplicateNodeKeepsTheFirstWithItsRows) {
    GraphBuilder b(snapshot);
    EXPECT_EQ(
        b.add_node("nic-7", "Ethernet", "carrier", kNodeNic, kStatusOk, false, {row("ipv4", "10.0.0.2")}),
        "nic-7");
    EXPECT_EQ(
        b.add_node("nic-7", "Other", "other", kNodeTun, kStatusFail, true, {row("ipv4", "x"), row("dns")}),
        "nic-7");
    ASSERT_EQ(b.nodes().size(), 1u);
    const GraphNode& node = b.nodes()[0];
    EXPECT_EQ(node.label, "Ethernet");
    EXPECT_EQ(node.kind, "nic");
    EXPECT_EQ(node.status, "OK");
    EXPECT_FALSE(node.sel);
    ASSERT_EQ(row_ids(node), std::vector<std::string>{"ipv4"});
    EXPECT_EQ(node.items[0].v, "10.0.0.2");
    EXPECT_FALSE(node.if_index || node.layer || node.process_id || node.layout_lane);
}

TEST_F(GraphBuilderTest, RowsAreUniqueByIdWithinANode) {
    GraphBuilder b(snapshot);
    b.add_node("n", "N", "", kNodeCore, "", false, {row("a", "first"), row("a", "second"), row("b")});
    EXPECT_EQ(row_ids(*b.find_node("n")), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(b.find_node("n")->items[0].v, "first");

    b.add_row("n", row("b", "again"));
    b.add_row("n", row("c"));
    b.add_row("missing", row("x"));
    EXPECT_EQ(row_ids(*b.find_node("n")), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(b.find_node("n")->items[1].v, "");
    EXPECT_EQ(b.find_node("missing"), nullptr);
}

TEST_F(GraphBuilderTest, PutRowReplacesInPlaceOrAppends) {
    GraphBuilder b(snapshot);
    b.add_node("isp", "ISP", "", kNodeIsp, "", false, {row("probe", "route"), row("remote-1")});
    b.put_row("isp", make_row("probe", "remote", "223.5.5.5", kStatusOk, "established · passive", kRoleAddr));
    b.put_row("isp", row("remote-hop"));
    b.put_row("missing", row("x"));
    const GraphNode& node = *b.find_node("isp");
    EXPECT_EQ(row_ids(node), (std::vector<std::string>{"probe", "remote-1", "remote-hop"}));
    EXPECT_EQ(node.items[0].v, "223.5.5.5");
    EXPECT_EQ(node.items[0].status, "OK");
}

TEST_F(GraphBuilderTest, AttributesAreSetByIdAndUnknownIdsAreIgnored) {
    GraphBuilder b(snapshot);
    b.add_node("tun-12-l1", "Tunnel ifIndex 12", "old", kNodeTun, kStatusWarn, true, {});
    b.set_if_index("tun-12-l1", 12);
    b.set_layer("tun-12-l1", 1);
    b.set_status("tun-12-l1", kStatusOk);
    b.set_sub("tun-12-l1", "new");
    b.set_layer("nope", 3);
    b.set_layout_lane("nope", "evidence");
    const GraphNode& node = *b.find_node("tun-12-l1");
    EXPECT_EQ(node.if_index, 12);
    EXPECT_EQ(node.layer, 1);
    EXPECT_FALSE(node.process_id);
    EXPECT_EQ(node.status, "OK");
    EXPECT_EQ(node.sub, "new");
    EXPECT_EQ(b.nodes().size(), 1u);
}

TEST_F(GraphBuilderTest, EdgeConfidenceOnlyEverRises) {
    GraphBuilder b(snapshot);
    b.add_edge("gw-7", "internet", "isp-7", kEdgeAlt, 0.45, "standby route candidate", false);
    b.add_edge("gw-7", "internet", "isp-7", kEdgeMain, 0.95, "established socket beyond gateway", true);
    ASSERT_EQ(b.edges().size(), 1u);
    GraphEdge edge = b.edges()[0];
    EXPECT_EQ(edge.kind, "main");
    EXPECT_DOUBLE_EQ(edge.confidence, 0.95);
    EXPECT_EQ(edge.evidence, "established socket beyond gateway");
    EXPECT_TRUE(edge.bad);
    EXPECT_FALSE(edge.dead);

    b.add_edge("gw-7", "internet", "isp-7", kEdgeAlt, 0.95, "equal", false);
    b.add_edge("gw-7", "internet", "isp-7", kEdgePossible, 0.3, "lower", false);
    ASSERT_EQ(b.edges().size(), 1u);
    edge = b.edges()[0];
    EXPECT_EQ(edge.kind, "main");
    EXPECT_DOUBLE_EQ(edge.confidence, 0.95);
    EXPECT_EQ(edge.evidence, "established socket beyond gateway");
    EXPECT_TRUE(edge.bad);
    EXPECT_EQ(edge.from, "gw-7");
    EXPECT_EQ(edge.from_item, "internet");
    EXPECT_EQ(edge.to, "isp-7");
}

TEST_F(GraphBuilderTest, EdgeKeyIsFromItemAndTo) {
    GraphBuilder b(snapshot);
    b.add_edge("app", "default", "nic-7", kEdgeMain, 1.0, "a");
    b.add_edge("app", "default-v6", "nic-7", kEdgeMain, 1.0, "b");
    b.add_edge("app", "", "nic-7", kEdgeEvidence, 0.5, "whole node");
    b.add_edge("app", "default", "nic-7", kEdgeAlt, 0.5, "other kind, same key");
    ASSERT_EQ(b.edges().size(), 3u);
    EXPECT_EQ(b.find_edge("app", "default-v6", "nic-7"), 1u);
    EXPECT_EQ(b.find_edge("app", "", "nic-7"), 2u);
    EXPECT_FALSE(b.find_edge("app", "default", "gw-7"));
    EXPECT_EQ(b.edges()[0].kind, "main");
}

TEST_F(GraphBuilderTest, SelfEdgesAndEmptyEndsAreRefused) {
    GraphBuilder b(snapshot);
    b.add_edge("proc-1-l1", "flow", "proc-1-l1", kEdgeMain, 1.0, "self");
    b.add_edge("", "x", "nic-7", kEdgeMain, 1.0, "no source");
    b.add_edge("app", "x", "", kEdgeMain, 1.0, "no target");
    EXPECT_TRUE(b.edges().empty());
}

TEST_F(GraphBuilderTest, ConfidenceIsStoredRoundedButComparedUnrounded) {
    GraphBuilder b(snapshot);
    b.add_edge("a", "", "b", kEdgeMain, 0.456, "first");
    EXPECT_DOUBLE_EQ(b.edges()[0].confidence, 0.46);
    b.add_edge("a", "", "b", kEdgeMain, 0.458, "rounds equal but is not greater than 0.46");
    EXPECT_EQ(b.edges()[0].evidence, "first");
    b.add_edge("a", "", "b", kEdgeAlt, 0.4601, "greater");
    EXPECT_EQ(b.edges()[0].evidence, "greater");
    EXPECT_DOUBLE_EQ(b.edges()[0].confidence, 0.46);
}

TEST_F(GraphBuilderTest, AmendEdgeKeepsKeyConfidenceAndFlags) {
    GraphBuilder b(snapshot);
    b.add_edge("app", "default", "nic-7", kEdgeMain, 1.0, "OS selected default route", true);
    b.amend_edge(0, kEdgeAlt, "OS selected default route · direct/bypass OS route");
    b.amend_edge(5, kEdgeAlt, "out of range");
    const GraphEdge& edge = b.edges()[0];
    EXPECT_EQ(edge.kind, "alt");
    EXPECT_EQ(edge.evidence, "OS selected default route · direct/bypass OS route");
    EXPECT_DOUBLE_EQ(edge.confidence, 1.0);
    EXPECT_TRUE(edge.bad);
    EXPECT_EQ(b.find_edge("app", "default", "nic-7"), 0u);
}

TEST_F(GraphBuilderTest, NodeBudgetEndsAtTheLimit) {
    GraphBuilder b(snapshot, GraphLimits{10, 3, 3});
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(b.node_budget_left()) << i;
        b.add_node(std::to_string(i) + "n", "", "", kNodeCore, "", false, {});
    }
    EXPECT_FALSE(b.node_budget_left());

    RunContext context(snapshot);
    const GraphLimits limits = graph_limits(context);
    EXPECT_EQ(limits.max_depth, 10);
    EXPECT_EQ(limits.max_nodes, 90);
    EXPECT_EQ(limits.max_repeat_per_pid, 3);
    GraphBuilder full(snapshot, limits);
    for (int i = 0; i < 89; ++i)
        full.add_node(std::to_string(i) + "p", "", "", kNodeCore, "", false, {});
    EXPECT_TRUE(full.node_budget_left());
    full.add_node("last", "", "", kNodeCore, "", false, {});
    EXPECT_FALSE(full.node_budget_left());
}

const std::vector<std::string> kScrambledSourceRows = {
    "intercept-evidence", "pac",   "adapter-inventory", "wpad",     "route6-3", "default-v6",
    "policy-b",           "alt-4", "default",           "no-proxy", "policy-a", "proxy-bypass",
    "adapter-x"};

TEST_F(GraphBuilderTest, SourceRowsOrderedByRankThenId) {
    GraphBuilder b(snapshot);
    b.add_node(kSourceNodeId, "Applications", "", kNodeSource, "", false, {});
    for (const std::string& id : kScrambledSourceRows)
        b.add_row(kSourceNodeId, row(id));
    b.order_source_rows();
    EXPECT_EQ(row_ids(*b.find_node(kSourceNodeId)),
              (std::vector<std::string>{"default", "policy-a", "policy-b", "default-v6", "alt-4", "route6-3",
                                        "wpad", "adapter-inventory", "adapter-x", "no-proxy", "pac",
                                        "proxy-bypass", "intercept-evidence"}));
}

TEST_F(GraphBuilderTest, TunnelLikeEgressPutsPolicyRowsFirst) {
    snapshot.egress_tunnel_like = true;
    GraphBuilder b(snapshot);
    b.add_node(kSourceNodeId, "Applications", "", kNodeSource, "", false, {});
    for (const char* id : {"default-v6", "default", "policy-z"})
        b.add_row(kSourceNodeId, row(id));
    b.order_source_rows();
    EXPECT_EQ(row_ids(*b.find_node(kSourceNodeId)),
              (std::vector<std::string>{"policy-z", "default", "default-v6"}));
}

TEST_F(GraphBuilderTest, InterceptionSummaryCopiesTheSnapshot) {
    snapshot.intercept_level = "POSSIBLE";
    snapshot.intercept_score = 2.345;
    snapshot.intercept_reasons = {"second", "first"};
    snapshot.candidate_listeners.resize(2);
    snapshot.candidate_processes.resize(1);
    snapshot.protocol_proxy_listeners.resize(3);
    snapshot.protocol_proxy_pids = {1, 2, 3, 4};
    snapshot.vpn_drivers.resize(5);
    snapshot.vpn_services.resize(6);
    InterceptionSummary s = summarize_interception(snapshot);
    EXPECT_EQ(s.level, "POSSIBLE");
    EXPECT_EQ(s.display_level, "POSSIBLE");
    EXPECT_DOUBLE_EQ(s.score, 2.35);
    EXPECT_EQ(s.signals, (std::vector<std::string>{"second", "first"}));
    EXPECT_EQ(s.proxy_like_listeners, 2u);
    EXPECT_EQ(s.proxy_candidate_processes, 1u);
    EXPECT_EQ(s.protocol_proxy_listeners, 3u);
    EXPECT_EQ(s.protocol_proxy_processes, 4u);
    EXPECT_EQ(s.driver_hits, 5u);
    EXPECT_EQ(s.service_hits, 6u);
    EXPECT_FALSE(s.route_source_mismatch); // no probe

    snapshot.route_source_probe = RouteSourceProbe{};
    EXPECT_FALSE(summarize_interception(snapshot).route_source_mismatch);
    snapshot.route_source_probe->mismatch = true;
    EXPECT_TRUE(summarize_interception(snapshot).route_source_mismatch);
}

TEST_F(GraphBuilderTest, DisplayLevelIsExplicitProxyOnlyWhenAllConditionsHold) {
    snapshot.intercept_level = "LIKELY";
    {
        GraphBuilder b(snapshot);
        EXPECT_EQ(b.display_level(), "LIKELY"); // no configured owner drawn
        b.note_configured_owner(4242);
        EXPECT_EQ(b.display_level(), "EXPLICIT-PROXY");
        EXPECT_EQ(b.document().interception.display_level, "EXPLICIT-PROXY");
        EXPECT_EQ(b.document().display_mode, "EXPLICIT-PROXY");
        EXPECT_EQ(b.document().interception.level, "LIKELY");
    }
    {
        GraphBuilder b(snapshot);
        b.note_configured_owner(4242);
        b.add_node(kInterceptEvidenceId, "Interception evidence", "", kNodeCore, kStatusWarn, false, {});
        EXPECT_EQ(b.display_level(), "LIKELY");
    }
    {
        GraphBuilder b(snapshot);
        b.note_configured_owner(4242);
        b.note_runtime_proxy_process(77);
        EXPECT_TRUE(b.runtime_proxy_observed());
        EXPECT_EQ(b.display_level(), "LIKELY");
    }
    {
        GraphBuilder b(snapshot);
        b.note_configured_owner(4242);
        b.note_runtime_proxy_seen();
        EXPECT_EQ(b.display_level(), "LIKELY");
    }
}

TEST_F(GraphBuilderTest, DocumentCarriesFixedFieldsAndCopies) {
    GraphBuilder b(snapshot, GraphLimits{7, 50, 2});
    b.add_node("a", "A", "", kNodeSource, "", false, {});
    b.add_node("b", "B", "", kNodeNic, "", false, {});
    b.add_edge("a", "", "b", kEdgeMain, 1.0, "e");
    const GraphDocument doc = b.document();
    EXPECT_DOUBLE_EQ(doc.version, 5.2);
    EXPECT_EQ(doc.profile, "general-fit-flow-first-entity-compact");
    EXPECT_EQ(doc.evidence_model.size(), 195u);
    EXPECT_EQ(doc.tcp_snapshots, 3u);
    EXPECT_EQ(doc.limits.max_depth, 7);
    EXPECT_EQ(doc.limits.max_nodes, 50);
    EXPECT_EQ(doc.limits.max_repeat_per_pid, 2);
    ASSERT_EQ(doc.nodes.size(), 2u);
    EXPECT_EQ(doc.nodes[1].id, "b");
    ASSERT_EQ(doc.edges.size(), 1u);
    EXPECT_EQ(doc.display_mode, "NONE");
}

} // namespace
} // namespace wirelux
