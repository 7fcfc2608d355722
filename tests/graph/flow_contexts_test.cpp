#include "graph/build_graph.h"
#include "graph/flow_contexts.h"
#include "graph/graph_json.h"
#include "graph/process_layer.h"
#include "graph/runtime_attribution.h"
#include "graph/tun_capture.h"
#include "graph/tun_node.h"

#include "graph/graph_fixtures.h"

#include <nlohmann/json.hpp>

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
constexpr std::uint32_t kChromePid = 100;
constexpr std::uint32_t kCurlPid = 200;

RuntimeConnection connection(std::string path, std::string name, std::string rule = "MATCH",
                             std::vector<std::string> chains = {"DIRECT"}, std::string payload = "") {
    nlohmann::json object = {{"metadata", {{"processPath", path}, {"process", name}}},
                             {"rule", rule},
                             {"rulePayload", payload},
                             {"chains", chains}};
    RuntimeConnection c;
    c.json = object.dump();
    c.process_path = std::move(path);
    c.process_name = std::move(name);
    return c;
}

CoreInfo tun_core(std::vector<RuntimeConnection> connections, std::uint32_t pid = kCorePid) {
    CoreInfo core;
    core.pid = pid;
    core.tun_stack = "gvisor";
    core.tun_enabled = true;
    core.answered = true;
    core.live_controller = "http://127.0.0.1:9090";
    core.connections = std::move(connections);
    return core;
}

// A host whose IPv4 default route enters the TUN at ifIndex 12, with a core and two applications.
FactSnapshot tun_host() {
    FactSnapshot s;
    AdapterInfo tun = test::graph_adapter(12, "Meta", "198.18.0.1");
    tun.if_type = 53;
    test::add_interface(s, tun, "Tunnel", 0.95);
    test::select_v4(s, 12, std::nullopt);
    s.processes[kCorePid] = ProcessInfo{"mihomo.exe", "C:\\Tools\\mihomo.exe", "", kCorePid};
    s.processes[kChromePid] = ProcessInfo{"chrome.exe", "C:\\Apps\\Chrome\\chrome.exe", "", kChromePid};
    s.processes[kCurlPid] = ProcessInfo{"curl", "", "", kCurlPid};
    return s;
}

// The TUN node alone, ready for the capture pass.
std::string draw_tun(GraphBuilder& builder) {
    return draw_tun_node(builder, 12, 1, tun_reason(builder.snapshot(), 12, "OS selected default route"));
}

std::string dumped(const nlohmann::ordered_json& value) {
    return value.dump();
}

TEST(RuntimeAttribution, StrongestNameEvidenceWins) {
    std::unordered_map<std::uint32_t, ProcessInfo> processes;
    processes[1] = ProcessInfo{"app.exe", "C:\\A\\app.exe", "", 1};
    processes[2] = ProcessInfo{"app.exe", "D:\\B\\App.EXE", "", 2};
    processes[3] = ProcessInfo{"curl", "", "", 3};
    processes[4] = ProcessInfo{"", "", "", 4};
    const ProcessMatcher matcher(processes);

    // The exact path beats the other process's equal file name, whatever the order of the list.
    auto match = matcher.attribute("C:\\A\\app.exe", "app.exe");
    ASSERT_TRUE(match);
    EXPECT_EQ(match->pid, 1u);
    EXPECT_EQ(match->confidence, 0.99);
    EXPECT_STREQ(match->text, "runtime API exact process path");
    // Pid 2's path differs only in case: no exact match, and the file name both share goes to pid 1.
    match = matcher.attribute("D:\\B\\app.exe", "");
    ASSERT_TRUE(match);
    EXPECT_EQ(match->confidence, 0.92);
    EXPECT_EQ(match->pid, 1u);

    match = matcher.attribute("E:\\elsewhere\\APP.exe", "");
    ASSERT_TRUE(match);
    EXPECT_EQ(match->confidence, 0.92);
    EXPECT_STREQ(match->text, "runtime API executable basename");

    match = matcher.attribute("", "curl.exe");
    ASSERT_TRUE(match);
    EXPECT_EQ(match->pid, 3u);
    EXPECT_EQ(match->confidence, 0.86);
    EXPECT_STREQ(match->text, "runtime API process name");
    EXPECT_FALSE(matcher.attribute("/usr/bin/curl", "")) << "a file name is compared with paths only";

    // An empty path or name is no evidence, even against the process that has none either.
    EXPECT_FALSE(matcher.attribute("", ""));
    EXPECT_FALSE(matcher.attribute("", ".exe"));
    EXPECT_FALSE(matcher.attribute("C:\\other\\tool.exe", "tool"));
}

TEST(RuntimeAttribution, RuleAndChainComeFromTheConnectionObject) {
    const RuleAndChain direct = rule_and_chain(connection("", "x", "MATCH", {"A", "B"}));
    EXPECT_EQ(direct.rule, "MATCH");
    EXPECT_EQ(direct.chain, "A / B");
    const RuleAndChain suffix = rule_and_chain(connection("", "x", "DOMAIN-SUFFIX", {"HK"}, "google.com"));
    EXPECT_EQ(suffix.rule, "DOMAIN-SUFFIX:google.com");

    RuntimeConnection text_only;
    text_only.rule_text = "GEOIP:CN -> DIRECT";
    const RuleAndChain split = rule_and_chain(text_only);
    EXPECT_EQ(split.rule, "GEOIP:CN");
    EXPECT_EQ(split.chain, "DIRECT");
    text_only.json = "[1,2]";
    text_only.rule_text = "MATCH";
    EXPECT_EQ(rule_and_chain(text_only).rule, "MATCH");
    EXPECT_EQ(rule_and_chain(text_only).chain, "");
}

TEST(TunCapture, TunWithoutRuntimeDataGetsOnlyTheOwnerRow) {
    FactSnapshot s = tun_host();
    // Attributable connections, but from a core whose TUN is off (a stack line alone enables none):
    // they never crossed the TUN.
    CoreInfo mixed_port = tun_core({connection("C:\\Apps\\Chrome\\chrome.exe", "chrome.exe")});
    mixed_port.tun_enabled = false;
    s.core_infos.push_back(mixed_port);
    GraphBuilder builder(s);
    const std::string tun = draw_tun(builder);
    draw_tun_captures(builder);
    draw_tun_captures(builder); // a second pass must not add a second row

    const GraphNode& n = *builder.find_node(tun);
    Ids capture_rows;
    for (const NodeItem& item : n.items)
        if (item.k == "capture" || item.id.starts_with("capture-")) capture_rows.push_back(item.id);
    EXPECT_EQ(capture_rows, Ids{"owner"});
    const NodeItem& owner = row(n.items, "owner");
    EXPECT_EQ((Ids{owner.v, owner.status, owner.meta, owner.role}),
              (Ids{"owner not exposed", "WARN", "no matching runtime API/process evidence", "prop"}));
    EXPECT_FALSE(test::has_row(n, "stack")) << "no core enables a TUN";
    EXPECT_EQ(builder.nodes().size(), 1u);
    EXPECT_FALSE(builder.runtime_proxy_observed());
}

TEST(TunCapture, WholeSmallCaptureAsWritten) {
    FactSnapshot s = tun_host();
    s.core_pids.insert(kCorePid);
    s.core_infos.push_back(tun_core({
        connection("C:\\Apps\\Chrome\\chrome.exe", "chrome.exe", "DOMAIN-SUFFIX", {"HK", "Proxy"},
                   "google.com"),
        connection("", "curl.exe"),
        connection("C:\\Apps\\Chrome\\chrome.exe", "chrome.exe"),
        connection("C:\\Unknown\\ghost.exe", "ghost.exe"),
    }));
    s.core_infos.back().tun_stack.clear(); // an enabled TUN needs no stack line
    RunContext context(s);
    const GraphDocument doc = build_graph(context, {});
    const auto json = nlohmann::ordered_json::parse(graph_json_text(doc));

    nlohmann::ordered_json tun;
    for (const auto& n : json["nodes"])
        if (n["id"] == "tun-12-l1") tun = n;
    nlohmann::ordered_json captures = nlohmann::ordered_json::array();
    for (const auto& item : tun["items"])
        if (item["id"].get<std::string>().starts_with("capture")) captures.push_back(item);
    EXPECT_EQ(
        dumped(captures),
        R"j([{"id":"capture-100","k":"process","v":"chrome.exe","status":"OK",)j"
        R"j("meta":"confirmed · runtime API exact process path","role":"out","probe":false,)j"
        R"j("detail":{"label":"TUN capture · PID 100 · merged by entity","sub":"chrome.exe · 2 flows","kind":"flow",)j"
        R"j("status":"","items":[{"id":"flow-1","k":"flow 1","v":"HK / Proxy · 1 flow(s)","status":"OK",)j"
        R"j("meta":"confirmed · runtime API exact process path","role":"prop","probe":false,"detail":null},)j"
        R"j({"id":"flow-2","k":"flow 2","v":"DIRECT · 1 flow(s)","status":"OK",)j"
        R"j("meta":"confirmed · runtime API exact process path","role":"prop","probe":false,"detail":null}]}},)j"
        R"j({"id":"capture-200","k":"process","v":"curl","status":"OK","meta":"confirmed · runtime API process name",)j"
        R"j("role":"out","probe":false,"detail":{"label":"TUN capture · PID 200 · merged by entity",)j"
        R"j("sub":"curl · 1 flows","kind":"flow","status":"","items":[{"id":"flow-1","k":"flow 1",)j"
        R"j("v":"DIRECT · 1 flow(s)","status":"OK","meta":"confirmed · runtime API process name","role":"prop",)j"
        R"j("probe":false,"detail":null}]}}])j");

    nlohmann::ordered_json chrome;
    for (const auto& n : json["nodes"])
        if (n["id"] == "proc-100-l2") chrome = n;
    EXPECT_EQ(
        dumped(chrome),
        R"j({"id":"proc-100-l2","label":"chrome.exe","sub":"local connector/process · entity layer 2","kind":"core",)j"
        R"j("status":"OK","sel":false,"items":[{"id":"pid","k":"PID","v":"100","status":"","meta":"entity layer 2",)j"
        R"j("role":"prop","probe":false,"detail":null},{"id":"entry","k":"entry","v":"2 flow contexts","status":"",)j"
        R"j("meta":"click to inspect merged logical flow contexts","role":"prop","probe":false,"detail":{)j"
        R"j("label":"Flow contexts","sub":"merged into one entity at this graph layer","kind":"flow","status":"",)j"
        R"j("items":[{"id":"ctx-1","k":"rule DOMAIN-SUFFIX:google.com","v":"HK / Proxy · 1 flow(s)","status":"OK",)j"
        R"j("meta":"confirmed · runtime API exact process path","role":"prop","probe":false,"detail":null},)j"
        R"j({"id":"ctx-2","k":"rule MATCH","v":"DIRECT · 1 flow(s)","status":"OK",)j"
        R"j("meta":"confirmed · runtime API exact process path","role":"prop","probe":false,"detail":null}]}}],)j"
        R"j("layer":2,"processId":100})j");

    nlohmann::ordered_json edges = nlohmann::ordered_json::array();
    for (const auto& e : json["edges"])
        if (e["from"] == "tun-12-l1" && e["fromItem"] != "") edges.push_back(e);
    EXPECT_EQ(
        dumped(edges),
        R"j([{"from":"tun-12-l1","fromItem":"capture-100","to":"proc-100-l2","kind":"main","dead":false,)j"
        R"j("bad":false,"confidence":0.99,"evidence":"runtime API exact process path"},)j"
        R"j({"from":"tun-12-l1","fromItem":"capture-200","to":"proc-200-l2","kind":"main","dead":false,)j"
        R"j("bad":false,"confidence":0.86,"evidence":"runtime API process name"}])j");

    EXPECT_FALSE(test::has_row(node(doc, "tun-12-l1"), "owner"));
    EXPECT_EQ(row(node(doc, "tun-12-l1"), "stack").v, "mihomo.exe (PID 4242)");
}

TEST(TunCapture, ProcessRecurringAlongOnePathIsCutOnTheFourthEncounter) {
    FactSnapshot s = tun_host();
    // The core's own traffic attributed to the core: every descent meets it again.
    s.core_infos.push_back(tun_core({connection("C:\\Tools\\mihomo.exe", "mihomo.exe")}));
    GraphBuilder builder(s);
    const std::string tun = draw_tun(builder);
    draw_tun_captures(builder);

    Ids drawn;
    for (const GraphNode& n : builder.nodes())
        if (n.process_id) drawn.push_back(n.id);
    EXPECT_EQ(drawn, (Ids{"proc-4242-l2", "proc-4242-l3", "proc-4242-l4"}));
    EXPECT_TRUE(builder.find_edge(tun, "capture-4242", "proc-4242-l2"));
    EXPECT_TRUE(builder.find_edge("proc-4242-l2", "capture-4242", "proc-4242-l3"));
    EXPECT_TRUE(builder.find_edge("proc-4242-l3", "capture-4242", "proc-4242-l4"));
    const GraphNode& last = *builder.find_node("proc-4242-l4");
    EXPECT_FALSE(test::has_row(last, "capture-4242"));
    const NodeItem& cut = row(last, "cyclecap");
    EXPECT_EQ((Ids{cut.k, cut.v, cut.status, cut.meta}),
              (Ids{"trace", "repeat limit reached", "WARN",
                   "same process already observed repeatedly in this path"}));
    EXPECT_EQ(builder.flow_state().traces.size(), 3u);
    EXPECT_EQ(builder.flow_state().traces.back().depth, 3);
}

TEST(TunCapture, NodeBudgetStopsNewProcessNodes) {
    FactSnapshot s = tun_host();
    s.processes[300] = ProcessInfo{"three.exe", "", "", 300};
    s.core_infos.push_back(
        tun_core({connection("", "chrome.exe"), connection("", "curl"), connection("", "three.exe")}));
    GraphBuilder builder(s);
    const std::string tun = draw_tun(builder);
    for (int i = 0; builder.nodes().size() < 89; ++i)
        builder.add_node("filler-" + std::to_string(i), "filler", "", kNodeCore, "", false, {});
    draw_tun_captures(builder);

    EXPECT_EQ(builder.nodes().size(), 90u);
    EXPECT_TRUE(builder.find_node("proc-100-l2"));
    const GraphNode& n = *builder.find_node(tun);
    EXPECT_TRUE(test::has_row(n, "capture-100"));
    EXPECT_FALSE(test::has_row(n, "capture-200"));
    EXPECT_EQ(row(n, "capture-more").v, "2 additional processes");
    // The core routed what the TUN captured: a proxy setting is then not the whole story of the traffic.
    EXPECT_TRUE(builder.runtime_proxy_observed());
}

TEST(TunCapture, ACoreNamingItsDeviceStacksAndCapturesOnThatTunOnly) {
    FactSnapshot s = tun_host();
    AdapterInfo vpn = test::graph_adapter(14, "wg0", "10.8.0.2");
    test::add_interface(s, vpn, "Tunnel", 0.9);
    s.processes[77] = ProcessInfo{"clash", "", "", 77};
    s.core_infos.push_back(tun_core({connection("C:\\Apps\\Chrome\\chrome.exe", "chrome.exe")}));
    s.core_infos.back().tun_device = "meta"; // the device name compares without regard to case
    s.core_infos.push_back(tun_core({}, 77)); // names no device: may be any TUN
    s.core_infos.back().tun_stack.clear();
    GraphBuilder builder(s);
    const std::string meta = draw_tun(builder);
    const std::string wg = draw_tun_node(builder, 14, 1, tun_reason(s, 14, "route"));
    draw_tun_captures(builder);

    EXPECT_EQ(row(*builder.find_node(meta), "stack").v, "mihomo.exe (PID 4242, stack gvisor), clash (PID 77)");
    EXPECT_EQ(row(*builder.find_node(wg), "stack").v, "clash (PID 77)");
    EXPECT_TRUE(test::has_row(*builder.find_node(meta), "capture-100"));
    EXPECT_EQ(row(*builder.find_node(wg), "owner").v, "owner not exposed");
}

TEST(FlowContexts, FifteenContextsListTwelveAndAMoreRow) {
    FactSnapshot s = tun_host();
    std::vector<RuntimeConnection> connections;
    for (int i = 0; i < 15; ++i)
        connections.push_back(connection("C:\\Apps\\Chrome\\chrome.exe", "chrome.exe", "DOMAIN",
                                         {"node-" + std::to_string(i)}, "site" + std::to_string(i)));
    connections.push_back(
        connection("C:\\Apps\\Chrome\\chrome.exe", "chrome.exe", "DOMAIN", {"node-0"}, "site0"));
    s.core_infos.push_back(tun_core(std::move(connections)));
    GraphBuilder builder(s);
    const std::string tun = draw_tun(builder);
    draw_tun_captures(builder);

    const auto& flows = row(*builder.find_node(tun), "capture-100").detail->items;
    ASSERT_EQ(flows.size(), 13u);
    EXPECT_EQ(flows[0].v, "node-0 · 2 flow(s)");
    EXPECT_EQ(flows[11].id, "flow-12");
    EXPECT_EQ((Ids{flows[12].id, flows[12].v, flows[12].meta}),
              (Ids{"more", "3 additional contexts", "visual detail capped"}));
    EXPECT_EQ(row(*builder.find_node(tun), "capture-100").detail->sub, "chrome.exe · 16 flows");

    const NodeItem& entry = row(*builder.find_node("proc-100-l2"), "entry");
    EXPECT_EQ(entry.v, "15 flow contexts");
    ASSERT_EQ(entry.detail->items.size(), 13u);
    EXPECT_EQ(entry.detail->items[0].k, "rule DOMAIN:site0");
    const NodeItem& more = entry.detail->items[12];
    EXPECT_EQ((Ids{more.id, more.v, more.meta}),
              (Ids{"ctx-more", "3 additional contexts", "kept in runtime evidence; compact visual cap"}));
}

TEST(FlowContexts, AProcessReachedAgainKeepsOneMergedEntryRow) {
    FactSnapshot s = tun_host();
    s.core_infos.push_back(tun_core({connection("", "curl", "", {})}));
    // A second core saw the same process: its flows join the same node.
    CoreInfo other = tun_core({connection("", "curl", "MATCH", {"B"})}, 77);
    other.tun_enabled = false;
    s.core_infos.push_back(other);
    GraphBuilder builder(s);
    const std::string id = draw_process_node(builder, kCurlPid, 1);
    EXPECT_EQ(draw_process_node(builder, kCurlPid, 1), id);

    const GraphNode& n = *builder.find_node(id);
    EXPECT_EQ(row_ids(n.items), (Ids{"pid", "entry"}));
    const NodeItem& entry = row(n, "entry");
    EXPECT_EQ(entry.v, "2 flow contexts");
    ASSERT_EQ(entry.detail->items.size(), 2u);
    EXPECT_EQ(entry.detail->items[0].k, "rule (runtime connection; rule unavailable)");
    EXPECT_EQ(entry.detail->items[0].v, "(runtime connection; rule unavailable) · 1 flow(s)");
    EXPECT_EQ(entry.detail->items[1].v, "B · 1 flow(s)") << "merging twice must not count a flow twice";
    EXPECT_EQ(entry.detail->items[1].status, "OK");

    // A process with no attributed connection gets no entry row at all.
    EXPECT_FALSE(test::has_row(*builder.find_node(draw_process_node(builder, kChromePid, 1)), "entry"));
}

TEST(FlowContexts, MergeUnitesConnectionsAndKeepsTheBestAttribution) {
    FlowContext weak{"MATCH", "A", {{0, 1}, {0, 2}}, 0.86, kAttributionName};
    FlowContext strong{"MATCH", "A", {{0, 2}, {1, 0}}, 0.99, kAttributionExactPath};
    FlowContext other{"GEOIP:CN", "DIRECT", {{0, 3}}, 0.92, kAttributionBasename};
    std::vector<FlowContext> into{weak};
    merge_flow_contexts(into, {strong, other});
    ASSERT_EQ(into.size(), 2u);
    EXPECT_EQ(flow_context_label(into[0]), "A · 3 flow(s)");
    EXPECT_EQ(into[0].confidence, 0.99);
    EXPECT_EQ(into[0].attribution, kAttributionExactPath);
    EXPECT_EQ(flow_context_rule_key(into[1]), "rule GEOIP:CN");
}

TEST(TraceRecords, KindWordAndOneRecordPerKey) {
    EXPECT_EQ(trace_kind("HTTP_PROXY configured endpoint + listener owner", true), "configured");
    EXPECT_EQ(trace_kind("Configured Endpoint via local listener owner", false), "configured");
    EXPECT_EQ(trace_kind("runtime API exact process path", true), "rule");
    EXPECT_EQ(trace_kind("runtime API exact process path", false), "generic");

    FactSnapshot s;
    GraphBuilder builder(s);
    EXPECT_TRUE(record_trace(builder, TraceRecord{"a", "rule", "b", "first", 1, 0.9, true}));
    EXPECT_FALSE(record_trace(builder, TraceRecord{"a", "rule", "b", "second", 2, 0.5, false}));
    EXPECT_TRUE(record_trace(builder, TraceRecord{"a", "generic", "b", "third", 1, 0.5, false}));
    ASSERT_EQ(builder.flow_state().traces.size(), 2u);
    EXPECT_EQ(builder.flow_state().traces[0].evidence, "first");
}

} // namespace
} // namespace wirelux
