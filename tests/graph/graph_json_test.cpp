#include "graph/graph_json.h"

#include "graph/graph_builder.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace wirelux {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

nlohmann::json parse(const std::string& text) {
    return nlohmann::json::parse(text);
}

TEST(GraphJson, SmallDocumentByteForByte) {
    FactSnapshot snapshot;
    snapshot.intercept_level = "LIKELY";
    snapshot.intercept_score = 2.345;
    snapshot.intercept_reasons = {"TUN adapter owns default route"};
    snapshot.candidate_listeners.resize(1);
    snapshot.vpn_drivers.resize(2);
    snapshot.route_source_probe = RouteSourceProbe{};
    snapshot.route_source_probe->mismatch = true;
    snapshot.egress_tunnel_like = true;

    GraphBuilder b(snapshot);
    b.add_node("app", "Applications", "outbound connections · traffic paths first", kNodeSource, "", false,
               {});
    NodeItem inventory = make_row("adapter-inventory", "other adapters", "1", "",
                                  "collapsed inventory · not a traffic hop", kRoleProp);
    inventory.detail = make_detail(
        "Other adapters", "inventory only", "adapter", "",
        {make_row("if-3", "adapter", "eth1", kStatusDown, "disconnected · ifIndex 3", kRoleProp)});
    b.add_row("app", inventory);
    b.add_row("app", make_row("default", "default", "wl0", kStatusOk, "selected route · adapter role Tunnel",
                              kRoleOut));
    b.order_source_rows();
    NodeItem address = make_row("ipv4", "IPv4", "198.18.0.1", kStatusOk, "confirmed", kRoleAddr);
    address.probe = true;
    b.add_node("tun-12-l2", "Tunnel ifIndex 12", "virtual/tunnel adapter · layer 2", kNodeTun, kStatusOk,
               true, {address});
    b.set_layer("tun-12-l2", 2);
    b.set_if_index("tun-12-l2", 12);
    b.add_edge("app", "default", "tun-12-l2", kEdgeMain, 1.0, "OS selected default route");

    const std::string expected =
        R"({"version":5.2,"profile":"general-fit-flow-first-entity-compact","evidenceModel":"entity-level topology; )"
        R"(same PID+layer merged; strong-evidence proxy scoring with common-app negative prior; multi-snapshot )"
        R"(runtime sockets/routes; adapter/PnP identity; interception corroboration","interception":{"level":"LIKELY",)"
        R"("displayLevel":"LIKELY","score":2.35,"signals":["TUN adapter owns default route"],"proxyLikeListeners":1,)"
        R"("proxyCandidateProcesses":0,"protocolProxyListeners":0,"protocolProxyProcesses":0,"driverHits":2,)"
        R"("serviceHits":0,"routeSourceMismatch":true},"tcpSnapshots":3,)"
        R"("limits":{"maxDepth":10,"maxNodes":90,"maxRepeatPerPid":3},"nodes":[)"
        R"({"id":"app","label":"Applications","sub":"outbound connections · traffic paths first","kind":"source",)"
        R"("status":"","sel":false,"items":[)"
        R"({"id":"default","k":"default","v":"wl0","status":"OK","meta":"selected route · adapter role Tunnel",)"
        R"("role":"out","probe":false,"detail":null},)"
        R"({"id":"adapter-inventory","k":"other adapters","v":"1","status":"",)"
        R"("meta":"collapsed inventory · not a traffic hop","role":"prop","probe":false,)"
        R"("detail":{"label":"Other adapters","sub":"inventory only","kind":"adapter","status":"","items":[)"
        R"({"id":"if-3","k":"adapter","v":"eth1","status":"DOWN","meta":"disconnected · ifIndex 3","role":"prop",)"
        R"("probe":false,"detail":null}]}}]},)"
        R"({"id":"tun-12-l2","label":"Tunnel ifIndex 12","sub":"virtual/tunnel adapter · layer 2","kind":"tun",)"
        R"("status":"OK","sel":true,"items":[{"id":"ipv4","k":"IPv4","v":"198.18.0.1","status":"OK",)"
        R"("meta":"confirmed","role":"addr","probe":true,"detail":null}],"ifIndex":12,"layer":2}],)"
        R"("edges":[{"from":"app","fromItem":"default","to":"tun-12-l2","kind":"main","dead":false,"bad":false,)"
        R"("confidence":1.0,"evidence":"OS selected default route"}]})";
    EXPECT_EQ(graph_json_text(b.document()), expected);
    // The embedding form differs only where a string holds one of its escaped characters.
    EXPECT_EQ(graph_json_for_script(b.document()), expected);
}

GraphDocument one_node_document(GraphNode node) {
    GraphDocument doc;
    doc.nodes.push_back(std::move(node));
    return doc;
}

TEST(GraphJson, NodeKeysAndOptionalKeyOrder) {
    GraphNode plain;
    plain.id = "gw-7-ipv4-192_168_1_1";
    const nlohmann::json parsed = parse(graph_json_text(one_node_document(plain)));
    EXPECT_EQ(parsed["nodes"][0].size(), 7u);
    EXPECT_FALSE(parsed["nodes"][0].contains("ifIndex"));

    GraphNode full;
    full.id = "n";
    full.layout_lane = "evidence";
    full.process_id = -4;
    full.layer = 0;
    full.if_index = 12;
    const std::string text = graph_json_text(one_node_document(full));
    EXPECT_NE(text.find(R"("items":[],"ifIndex":12,"layer":0,"processId":-4,"layoutLane":"evidence"})"),
              std::string::npos)
        << text;
}

TEST(GraphJson, DoublesInShortestRoundTripForm) {
    EXPECT_EQ(json_number(5.2), "5.2");
    EXPECT_EQ(json_number(1.0), "1.0");
    EXPECT_EQ(json_number(0.65), "0.65");
    EXPECT_EQ(json_number(0.46), "0.46");
    EXPECT_EQ(json_number(0.0), "0.0");
    EXPECT_EQ(json_number(-0.0), "-0.0");
    EXPECT_EQ(json_number(100.0), "100.0");
    EXPECT_EQ(json_number(1e21), "1e+21");
    EXPECT_EQ(json_number(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(json_number(5e-324), "5e-324");
    EXPECT_EQ(json_number(1.7976931348623157e308), "1.7976931348623157e+308");
    // A value where a Grisu2-style writer gives 17 digits although 16 suffice.
    EXPECT_EQ(json_number(4.1752050594835e+78), "4.1752050594835e+78");
    EXPECT_EQ(json_number(kNaN), "null");
    EXPECT_EQ(json_number(kInf), "null");
    EXPECT_EQ(json_number(-kInf), "null");
}

TEST(GraphJson, RandomDoublesReadBackExactly) {
    std::mt19937_64 random(20240601);
    for (int i = 0; i < 20000; ++i) {
        const std::uint64_t bits = random();
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) continue;
        const std::string text = json_number(value);
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
        EXPECT_TRUE(parse(text).is_number_float()) << text;
    }
}

TEST(GraphJson, NonFiniteFieldsWriteNull) {
    GraphDocument doc;
    doc.version = kNaN;
    doc.interception.score = kInf;
    GraphEdge edge;
    edge.from = "a";
    edge.to = "b";
    edge.confidence = kNaN;
    doc.edges.push_back(edge);
    const nlohmann::json parsed = parse(graph_json_text(doc));
    EXPECT_TRUE(parsed["version"].is_null());
    EXPECT_TRUE(parsed["interception"]["score"].is_null());
    EXPECT_TRUE(parsed["edges"][0]["confidence"].is_null());
}

TEST(GraphJson, StringEscaping) {
    EXPECT_EQ(json_string("a\"b\\c/d"), R"("a\"b\\c/d")");
    EXPECT_EQ(json_string("\n\r\t\b\f"), R"("\n\r\t\b\f")");
    EXPECT_EQ(json_string(std::string("\x01\x1f\x7f", 3)), "\"\\u0001\\u001f\x7f\"");
    EXPECT_EQ(json_string(std::string("a\0b", 3)), R"("a\u0000b")");
    EXPECT_EQ(json_string("中文 · ✓"), "\"中文 · ✓\"");
    EXPECT_EQ(json_string("<b>&amp;</b>"), "\"<b>&amp;</b>\"");
    // A byte that is not UTF-8 would make the whole text unparsable; it becomes U+FFFD instead.
    EXPECT_EQ(json_string("bad\xFF"
                          "byte"),
              "\"bad\xEF\xBF\xBD"
              "byte\"");
    EXPECT_NO_THROW(parse(json_string("\xC0\xAF\xE4\xB8")));
}

TEST(GraphJson, ScriptFormCannotCloseTheScriptElement) {
    const std::string hostile =
        "</script><img src=x onerror=alert(1)> <!-- a & b \xE2\x80\xA8 c \xE2\x80\xA9 \"q\"";
    GraphDocument doc;
    doc.interception.signals = {hostile};
    GraphNode node;
    node.id = "proc-1-l1";
    node.label = hostile;
    NodeItem item = make_row("listen-1", "listen", hostile, "", hostile, kRoleProp);
    item.detail = make_detail(hostile, "", "socket", "", {make_row("x", hostile, "", "", "", kRoleProp)});
    node.items.push_back(item);
    doc.nodes.push_back(node);
    GraphEdge edge;
    edge.from = "app";
    edge.to = "proc-1-l1";
    edge.evidence = hostile;
    doc.edges.push_back(edge);

    const std::string script = graph_json_for_script(doc);
    EXPECT_EQ(script.find('<'), std::string::npos);
    EXPECT_EQ(script.find('>'), std::string::npos);
    EXPECT_EQ(script.find('&'), std::string::npos);
    EXPECT_EQ(script.find("\xE2\x80\xA8"), std::string::npos);
    EXPECT_EQ(script.find("\xE2\x80\xA9"), std::string::npos);
    EXPECT_NE(script.find(R"(\u003c/script\u003e)"), std::string::npos);
    EXPECT_NE(script.find(R"(\u2028 c \u2029)"), std::string::npos);

    const nlohmann::json from_script = parse(script);
    EXPECT_EQ(from_script, parse(graph_json_text(doc)));
    EXPECT_EQ(from_script["nodes"][0]["label"].get<std::string>(), hostile);
    EXPECT_EQ(from_script["nodes"][0]["items"][0]["detail"]["items"][0]["k"].get<std::string>(), hostile);
    EXPECT_EQ(from_script["edges"][0]["evidence"].get<std::string>(), hostile);
    EXPECT_EQ(from_script["interception"]["signals"][0].get<std::string>(), hostile);
}

TEST(GraphJson, UnwritableDocumentFallsBackToAnEmptyGraph) {
    NodeItem nested = make_row("leaf", "", "", "", "", kRoleProp);
    for (int depth = 0; depth < 40; ++depth) {
        NodeItem outer = make_row("level", "", "", "", "", kRoleProp);
        outer.detail = make_detail("", "", "flow", "", {nested});
        nested = outer;
    }
    GraphNode node;
    node.id = "deep";
    node.items.push_back(nested);
    const GraphDocument doc = one_node_document(node);
    EXPECT_FALSE(write_graph_json(doc, JsonEscaping::standard));
    EXPECT_EQ(graph_json_text(doc), "{\"nodes\":[],\"edges\":[]}");
    EXPECT_EQ(graph_json_text(doc).size(), 23u);
    EXPECT_EQ(graph_json_for_script(doc), "{\"nodes\":[],\"edges\":[]}");

    // Nesting as deep as the builder ever makes it is written normally.
    GraphNode shallow;
    shallow.id = "shallow";
    NodeItem two_levels = make_row("a", "", "", "", "", kRoleProp);
    two_levels.detail = make_detail("", "", "flow", "", {make_row("b", "", "", "", "", kRoleProp)});
    two_levels.detail->items[0].detail = make_detail("", "", "flow", "", {});
    shallow.items.push_back(two_levels);
    EXPECT_TRUE(write_graph_json(one_node_document(shallow), JsonEscaping::standard));
}

} // namespace
} // namespace wirelux
