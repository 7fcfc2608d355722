#include "graph/egress_layer.h"

#include "facts/egress.h"
#include "facts/interface_assessment.h"
#include "graph/carrier_chain.h"
#include "graph/graph_words.h"
#include "graph/tun_node.h"

#include <set>

namespace wirelux {
namespace {

// The adapter type number of a software loopback, which is how Linux's "lo" shows up.
constexpr std::uint32_t kIfTypeSoftwareLoopback = 24;

std::string assessed_suffix(const InterfaceAssessment* view) {
    if (view == nullptr) return {};
    return " · assessed " + view->role + " " + two_decimals_text(view->role_confidence);
}

std::string route_name(const FactSnapshot& snapshot, const std::optional<std::string>& name,
                       std::uint32_t if_index) {
    return name ? *name : adapter_label(snapshot, if_index);
}

std::set<std::uint32_t> candidate_interfaces(const FactSnapshot& snapshot) {
    std::set<std::uint32_t> indexes;
    for (const PhysicalCandidate& c : snapshot.physical_candidates_v4)
        indexes.insert(c.if_index);
    for (const PhysicalCandidate& c : snapshot.physical_candidates_v6)
        indexes.insert(c.if_index);
    return indexes;
}

NodeItem inventory_row(const AdapterInfo& adapter, const InterfaceAssessment* view) {
    std::string k;
    std::string status;
    std::string text;
    if (adapter.oper_up && is_tunnel_like(view)) {
        k = "tunnel";
        status = kStatusOk;
        text = "available tunnel / no selected default route";
    } else if (adapter.oper_up) {
        k = "adapter(up)";
        status = kStatusOk;
        text = "up / no default route";
    } else {
        k = "adapter";
        status = kStatusDown;
        text = "disconnected";
    }
    const std::string index = std::to_string(adapter.if_index);
    return make_row("if-" + index, std::move(k), adapter.friendly_name, std::move(status),
                    text + " · ifIndex " + index + assessed_suffix(view), kRoleProp);
}

std::string alternate_row_id(const char* prefix, const PhysicalCandidate& candidate) {
    const std::string gateway =
        candidate.gateway.empty() ? "direct" : id_token(zoned_gateway(candidate.gateway, candidate.if_index));
    return std::string(prefix) + std::to_string(candidate.if_index) + "-" + gateway;
}

std::string draw_standby_chain(GraphPass& pass, const PhysicalCandidate& candidate) {
    CarrierRoute route;
    route.if_index = candidate.if_index;
    route.gateway = candidate.gateway;
    route.family = candidate.family;
    route.probe_allowed = false;
    return draw_carrier_chain(pass, route);
}

} // namespace

void draw_source_node(GraphBuilder& builder) {
    builder.add_node(kSourceNodeId, kSourceNodeLabel, "outbound connections · traffic paths first",
                     kNodeSource, "", false, {});
}

void draw_adapter_inventory(GraphBuilder& builder) {
    const FactSnapshot& snapshot = builder.snapshot();
    std::set<std::uint32_t> skipped = candidate_interfaces(snapshot);
    if (snapshot.best_route_v4) skipped.insert(snapshot.best_route_v4->if_index);
    if (snapshot.best_route_v6) skipped.insert(snapshot.best_route_v6->if_index);

    std::vector<NodeItem> rows;
    for (const AdapterInfo& adapter : snapshot.adapters) {
        if (adapter.friendly_name.find("Loopback") != std::string::npos) continue;
        if (adapter.if_type == kIfTypeSoftwareLoopback) continue;
        // Also keeps a repeated interface index from listing twice.
        if (!skipped.insert(adapter.if_index).second) continue;
        rows.push_back(inventory_row(adapter, interface_view(snapshot, adapter.if_index)));
    }
    NodeItem row = make_row("adapter-inventory", "other adapters", std::to_string(rows.size()), "",
                            "collapsed inventory · not a traffic hop", kRoleProp);
    row.detail = make_detail("Other adapters", "inventory only · not current traffic-path hops", "adapter",
                             "", std::move(rows));
    builder.add_row(kSourceNodeId, std::move(row));
}

void draw_default_route_v4(GraphPass& pass) {
    const FactSnapshot& snapshot = pass.snapshot();
    if (!snapshot.best_route_v4) return;
    GraphBuilder& builder = pass.builder;
    const std::uint32_t index = snapshot.best_route_v4->if_index;
    const std::string name = route_name(snapshot, snapshot.egress_name_v4, index);
    const InterfaceAssessment* view = interface_view(snapshot, index);

    if (snapshot.egress_tunnel_like) {
        const std::string tun =
            draw_tun_node(builder, index, 1, tun_reason(snapshot, index, "OS selected default route"));
        builder.add_row(kSourceNodeId, make_row("default", "default", name, kStatusOk,
                                                "selected route · adapter role " +
                                                    (view != nullptr ? view->role : "tunnel-like"),
                                                kRoleOut));
        builder.add_edge(
            kSourceNodeId, "default", tun, kEdgeMain, 1.0,
            "OS selected default route (route selection confirmed; adapter role separately scored)");
        return;
    }
    if (view == nullptr || view->role != kRoleCarrier) {
        builder.add_row(kSourceNodeId, make_row("default", "default?", name, kStatusWarn,
                                                "selected OS route · adapter role " +
                                                    (view != nullptr ? view->role : "unknown") +
                                                    "; not labelled direct/physical",
                                                kRoleProp));
        return;
    }
    CarrierRoute route;
    route.if_index = index;
    route.gateway = snapshot.gateway_v4.value_or("");
    route.in_use = true;
    route.endpoints = {kInternetTargetV4};
    route.family = kFamilyIpv4;
    const std::string head = draw_carrier_chain(pass, route);
    builder.add_row(kSourceNodeId, make_row("default", "default", name, kStatusOk,
                                            "selected route · assessed carrier", kRoleOut));
    builder.add_edge(kSourceNodeId, "default", head, kEdgeMain, 1.0, "OS selected default route");
    builder.carrier_state().carriers_drawn.emplace(kFamilyIpv4, index);
}

void draw_default_route_v6(GraphPass& pass) {
    const FactSnapshot& snapshot = pass.snapshot();
    if (!snapshot.best_route_v6) return;
    GraphBuilder& builder = pass.builder;
    const std::uint32_t index = snapshot.best_route_v6->if_index;
    const std::string name = route_name(snapshot, snapshot.egress_name_v6, index);
    const InterfaceAssessment* view = interface_view(snapshot, index);
    const bool carrier = view != nullptr && view->role == kRoleCarrier;

    CarrierRoute route;
    route.if_index = index;
    route.gateway = snapshot.gateway_v6.value_or("");
    route.in_use = snapshot.internet_v6_ok;
    route.endpoints = {kInternetTargetV6};
    route.family = kFamilyIpv6;

    if (snapshot.best_route_v4 && snapshot.best_route_v4->if_index == index) {
        builder.add_row(kSourceNodeId, make_row("default-v6", "IPv6 default", name, kStatusOk,
                                                "same interface as IPv4 selected route", kRoleProp));
        // The shared adapter node carries the IPv6 gateway; the IPv4 row already leads there.
        if (carrier) {
            draw_carrier_chain(pass, route);
            builder.carrier_state().carriers_drawn.emplace(kFamilyIpv6, index);
        }
        return;
    }
    if (carrier) {
        const std::string head = draw_carrier_chain(pass, route);
        builder.add_row(kSourceNodeId, make_row("default-v6", "IPv6 default", name, kStatusOk,
                                                "selected IPv6 route", kRoleOut));
        builder.add_edge(kSourceNodeId, "default-v6", head, kEdgeMain, 1.0, "OS selected IPv6 default route");
        builder.carrier_state().carriers_drawn.emplace(kFamilyIpv6, index);
        return;
    }
    if (is_tunnel_like(view)) {
        const std::string tun =
            draw_tun_node(builder, index, 1, tun_reason(snapshot, index, "OS selected IPv6 default route"));
        builder.add_row(kSourceNodeId, make_row("default-v6", "IPv6 default", name, kStatusOk,
                                                "selected IPv6 route", kRoleOut));
        builder.add_edge(kSourceNodeId, "default-v6", tun, kEdgeMain, 1.0, "OS selected IPv6 default route");
        return;
    }
    builder.add_row(kSourceNodeId, make_row("default-v6", "IPv6 default", name, kStatusWarn,
                                            "selected IPv6 route · interface type unclassified", kRoleProp));
}

void draw_alternate_routes(GraphPass& pass) {
    const FactSnapshot& snapshot = pass.snapshot();
    GraphBuilder& builder = pass.builder;
    const auto& drawn = builder.carrier_state().carriers_drawn;

    for (const PhysicalCandidate& candidate : snapshot.physical_candidates_v4) {
        if (drawn.contains({kFamilyIpv4, candidate.if_index})) continue;
        const std::string head = draw_standby_chain(pass, candidate);
        const std::string row_id = alternate_row_id("alt-", candidate);
        const std::string metric = std::to_string(candidate.effective_metric);
        builder.add_row(kSourceNodeId,
                        make_row(row_id, "route(alt)", candidate.name, kStatusWarn,
                                 "UP default-route candidate · effective metric " + metric, kRoleOut));
        builder.add_edge(kSourceNodeId, row_id, head, kEdgeAlt, 0.45,
                         "standby IPv4 default route · not selected by the OS · effective metric " + metric);
    }
    for (const PhysicalCandidate& candidate : snapshot.physical_candidates_v6) {
        if (drawn.contains({kFamilyIpv6, candidate.if_index})) {
            // The selected IPv6 route on the carrier the IPv4 route already drew: its chain hangs on
            // the shared adapter node, and the row names it without a second edge to that node.
            const bool selected = snapshot.best_route_v6 && snapshot.best_route_v6->if_index == candidate.if_index;
            const bool shared = snapshot.best_route_v4 && snapshot.best_route_v4->if_index == candidate.if_index;
            if (selected && shared)
                builder.add_row(kSourceNodeId, make_row(alternate_row_id("route6-", candidate), "route6",
                                                        candidate.name, kStatusOk, "selected IPv6 default route",
                                                        kRoleProp));
            continue;
        }
        const std::string head = draw_standby_chain(pass, candidate);
        const std::string row_id = alternate_row_id("route6-", candidate);
        builder.add_row(kSourceNodeId, make_row(row_id, "route6(alt)", candidate.name, kStatusWarn,
                                                "UP IPv6 default-route candidate", kRoleOut));
        builder.add_edge(kSourceNodeId, row_id, head, kEdgeAlt, 0.45,
                         "standby IPv6 default route · not selected by the OS · effective metric " +
                             std::to_string(candidate.effective_metric));
    }
}

} // namespace wirelux
