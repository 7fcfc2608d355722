#pragma once
// Hand-made hosts for the graph layer tests: adapters with their role assessment and default routes,
// a recording echo, and look-ups into the built graph.

#include "facts/echo_run.h"
#include "graph/graph_model.h"
#include "model/snapshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace wirelux::test {

inline AdapterInfo graph_adapter(std::uint32_t if_index, std::string name, std::string ipv4) {
    AdapterInfo a;
    a.if_index = if_index;
    a.friendly_name = std::move(name);
    a.description = a.friendly_name + " adapter";
    if (!ipv4.empty()) a.ipv4.push_back({std::move(ipv4), 24});
    a.if_type = 6;
    a.oper_up = true;
    return a;
}

inline InterfaceAssessment view(std::uint32_t if_index, std::string role, double confidence,
                                std::vector<std::string> evidence = {}) {
    InterfaceAssessment v;
    v.if_index = if_index;
    v.role = std::move(role);
    v.role_confidence = confidence;
    v.evidence = std::move(evidence);
    return v;
}

// Adds the adapter with its assessment.
inline void add_interface(FactSnapshot& s, AdapterInfo adapter, std::string role, double confidence) {
    s.interfaces[adapter.if_index] = view(adapter.if_index, std::move(role), confidence);
    s.adapters.push_back(std::move(adapter));
}

inline PhysicalCandidate candidate(std::uint32_t if_index, std::string name, std::string gateway,
                                   std::uint32_t effective_metric, std::uint16_t family = kFamilyIpv4) {
    PhysicalCandidate c;
    c.if_index = if_index;
    c.name = std::move(name);
    c.gateway = std::move(gateway);
    c.effective_metric = effective_metric;
    c.family = family;
    return c;
}

// The IPv4 default route through the interface, as the egress collector records it.
inline void select_v4(FactSnapshot& s, std::uint32_t if_index, std::optional<std::string> gateway) {
    s.best_route_v4 = BestRoute{gateway.value_or(""), "", if_index, kFamilyIpv4};
    s.egress_if_index_v4 = if_index;
    s.gateway_v4 = gateway;
    s.routes.push_back({"0.0.0.0", gateway.value_or("0.0.0.0"), if_index, 25, kFamilyIpv4, 0});
    for (const AdapterInfo& a : s.adapters) {
        if (a.if_index != if_index) continue;
        s.egress_adapter_v4 = a;
        s.egress_name_v4 = a.friendly_name;
    }
    if (const auto found = s.interfaces.find(if_index); found != s.interfaces.end()) {
        s.egress_assessment = found->second;
        s.egress_tunnel_like = found->second.role == "Tunnel" || found->second.role == "SuspectedTunnel";
    }
}

inline void select_v6(FactSnapshot& s, std::uint32_t if_index, std::optional<std::string> gateway) {
    s.best_route_v6 = BestRoute{gateway.value_or(""), "", if_index, kFamilyIpv6};
    s.gateway_v6 = gateway;
    s.routes.push_back({"::", gateway.value_or("::"), if_index, 256, kFamilyIpv6, 0});
    for (const AdapterInfo& a : s.adapters)
        if (a.if_index == if_index) s.egress_name_v6 = a.friendly_name;
}

// Answers from a table (unlisted targets time out) and counts every echo sent.
struct RecordingEcho {
    std::map<std::string, EchoResult> answers;
    std::vector<std::string> sent;

    EchoFn fn() {
        return [this](const std::string& target) {
            sent.push_back(target);
            const auto found = answers.find(target);
            return found == answers.end() ? EchoResult{} : found->second;
        };
    }
};

inline std::vector<std::string> node_ids(const GraphDocument& doc) {
    std::vector<std::string> ids;
    for (const GraphNode& node : doc.nodes)
        ids.push_back(node.id);
    return ids;
}

inline std::vector<std::string> row_ids(const std::vector<NodeItem>& rows) {
    std::vector<std::string> ids;
    for (const NodeItem& row : rows)
        ids.push_back(row.id);
    return ids;
}

inline const GraphNode& node(const GraphDocument& doc, const std::string& id) {
    const auto found =
        std::find_if(doc.nodes.begin(), doc.nodes.end(), [&](const GraphNode& n) { return n.id == id; });
    if (found == doc.nodes.end()) {
        ADD_FAILURE() << "no node " << id;
        static const GraphNode none;
        return none;
    }
    return *found;
}

inline const NodeItem& row(const std::vector<NodeItem>& rows, const std::string& id) {
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const NodeItem& r) { return r.id == id; });
    if (found == rows.end()) {
        ADD_FAILURE() << "no row " << id;
        static const NodeItem none;
        return none;
    }
    return *found;
}

inline const NodeItem& row(const GraphNode& n, const std::string& id) {
    return row(n.items, id);
}

inline bool has_row(const GraphNode& n, const std::string& id) {
    return std::any_of(n.items.begin(), n.items.end(), [&](const NodeItem& r) { return r.id == id; });
}

inline std::optional<GraphEdge> edge(const GraphDocument& doc, const std::string& from,
                                     const std::string& from_item, const std::string& to) {
    for (const GraphEdge& e : doc.edges)
        if (e.from == from && e.from_item == from_item && e.to == to) return e;
    return std::nullopt;
}

inline std::vector<std::string> edges_from(const GraphDocument& doc, const std::string& from) {
    std::vector<std::string> keys;
    for (const GraphEdge& e : doc.edges)
        if (e.from == from) keys.push_back(e.from_item + "->" + e.to);
    return keys;
}

} // namespace wirelux::test
