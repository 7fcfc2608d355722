#include "graph/proxy_layers.h"

#include "graph/carrier_chain.h"
#include "graph/graph_words.h"
#include "graph/process_layer.h"
#include "util/text.h"

#include <algorithm>
#include <set>

namespace wirelux {
namespace {

constexpr std::int64_t kProxyLayer = 1;

struct ProxyRelation {
    std::string k;
    std::string status;
    std::string meta;
    double confidence = 0.0;
    std::string evidence;
};

const CoreInfo* core_of(const FactSnapshot& snapshot, std::uint32_t pid) {
    for (const CoreInfo& core : snapshot.core_infos)
        if (core.pid == pid) return &core;
    return nullptr;
}

bool is_core(const FactSnapshot& snapshot, std::uint32_t pid) {
    return snapshot.core_pids.contains(pid) || core_of(snapshot, pid) != nullptr;
}

ProxyRelation core_relation(const CoreInfo* core) {
    const bool answered = core != nullptr && core->answered;
    return ProxyRelation{"proxy core", answered ? kStatusOk : kStatusWarn,
                         answered ? "proxy-core process · runtime API answered"
                                  : "proxy-core process · runtime API silent",
                         0.5, "proxy-core process; application traffic through it not observed"};
}

ProxyRelation protocol_relation(const FactSnapshot& snapshot, std::uint32_t pid) {
    std::vector<std::string> endpoints;
    for (const ListenerAssessment& listener : snapshot.protocol_proxy_listeners)
        if (listener.pid == pid &&
            std::find(endpoints.begin(), endpoints.end(), listener.endpoint) == endpoints.end())
            endpoints.push_back(listener.endpoint);
    std::string meta = "proxy protocol answered";
    if (!endpoints.empty()) meta += " on " + join(endpoints, ", ");
    return ProxyRelation{"local proxy", kStatusOk, meta + " · application use not observed", 0.5,
                         "listener answered a proxy protocol; application use not observed"};
}

ProxyRelation candidate_relation(const ProcessAssessment& process) {
    std::string meta = "proxy candidate · score " + two_decimals_text(process.best_score);
    if (!process.signal_digest.empty()) meta += " · " + process.signal_digest;
    return ProxyRelation{"proxy?", kStatusWarn, std::move(meta), 0.35,
                         "proxy candidate listener; application use not observed"};
}

bool has_outgoing_edge(const GraphBuilder& builder, const std::string& node_id) {
    return std::any_of(builder.edges().begin(), builder.edges().end(),
                       [&](const GraphEdge& edge) { return edge.from == node_id; });
}

} // namespace

void draw_proxy_layers(GraphBuilder& builder) {
    const FactSnapshot& snapshot = builder.snapshot();
    std::vector<std::pair<std::uint32_t, ProxyRelation>> wanted;
    std::set<std::uint32_t> seen;
    const auto want = [&](std::uint32_t pid, ProxyRelation relation) {
        if (pid == 0 || !seen.insert(pid).second) return;
        wanted.emplace_back(pid, std::move(relation));
    };
    for (const CoreInfo& core : snapshot.core_infos)
        want(core.pid, core_relation(&core));
    for (const std::uint32_t pid : snapshot.core_pids)
        want(pid, core_relation(core_of(snapshot, pid)));
    for (const std::uint32_t pid : snapshot.protocol_proxy_pids)
        want(pid, protocol_relation(snapshot, pid));
    for (const ProcessAssessment& process : snapshot.candidate_processes)
        want(process.pid, candidate_relation(process));

    for (auto& [pid, relation] : wanted) {
        // Configured owners and traced hops already hang off their own rows.
        if (builder.process_state().drawn_pids.contains(pid)) continue;
        const std::string node = draw_process_node(builder, pid, kProxyLayer);
        if (node.empty()) break; // node budget spent
        const std::string row_id = "proxy-pid-" + std::to_string(pid);
        builder.add_row(kSourceNodeId, make_row(row_id, relation.k, builder.find_node(node)->label,
                                                relation.status, relation.meta, kRoleOut));
        builder.add_edge(kSourceNodeId, row_id, node, kEdgePossible, relation.confidence, relation.evidence);
    }
}

void draw_idle_core_routes(GraphPass& pass) {
    GraphBuilder& builder = pass.builder;
    const FactSnapshot& snapshot = pass.snapshot();
    std::vector<std::string> idle;
    for (const std::string& node_id : builder.process_state().node_order) {
        const GraphNode* node = builder.find_node(node_id);
        if (node == nullptr || !node->process_id) continue;
        const auto pid = static_cast<std::uint32_t>(*node->process_id);
        if (is_core(snapshot, pid) && !has_outgoing_edge(builder, node_id)) idle.push_back(node_id);
    }
    if (idle.empty()) return;

    std::string carrier;
    std::string evidence;
    const auto& drawn = builder.carrier_state().carriers_drawn;
    if (snapshot.best_route_v4 && drawn.contains({kFamilyIpv4, snapshot.best_route_v4->if_index})) {
        carrier = draw_nic_node(pass, snapshot.best_route_v4->if_index, kFamilyIpv4);
        evidence = "system default route only";
    } else if (!snapshot.physical_candidates_v4.empty()) {
        const PhysicalCandidate& best = snapshot.physical_candidates_v4.front();
        CarrierRoute route;
        route.if_index = best.if_index;
        route.gateway = best.gateway;
        route.probe_allowed = false;
        carrier = draw_carrier_chain(pass, route);
        evidence = "idle core: viable route candidate only";
    } else {
        return;
    }
    const std::string carrier_label = builder.find_node(carrier)->label;
    for (const std::string& node_id : idle) {
        builder.add_row(node_id, make_row("idle-route", "route?", carrier_label, "",
                                          "possible · OS default only", kRoleOut));
        builder.add_edge(node_id, "idle-route", carrier, kEdgePossible, 0.3, evidence);
    }
}

} // namespace wirelux
