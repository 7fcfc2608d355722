#include "graph/carrier_chain.h"

#include "facts/egress.h"
#include "facts/if_type_word.h"
#include "facts/interface_assessment.h"
#include "graph/graph_words.h"
#include "graph/sidecar_layer.h"
#include "graph/wifi_signal.h"
#include "model/route_tests.h"
#include "util/text.h"

#include <algorithm>
#include <optional>

namespace wirelux {
namespace {

constexpr std::size_t kObservedRowCap = 3;
constexpr const char* kWirelessTypeWord = "Native 802.11";

std::string lower_family(std::uint16_t family) {
    return family == kFamilyIpv6 ? "ipv6" : "ipv4";
}

std::optional<NodeItem> metric_row(const FactSnapshot& snapshot, const AdapterInfo& adapter,
                                   std::uint16_t family) {
    std::optional<std::uint32_t> route_metric;
    for (const RouteRow& row : snapshot.routes) {
        if (row.family != family || row.if_index != adapter.if_index || !is_default_route(row)) continue;
        if (!route_metric || row.metric < *route_metric) route_metric = row.metric;
    }
    if (!route_metric) return std::nullopt;
    const std::uint32_t interface_metric = family == kFamilyIpv6 ? adapter.ipv6_metric : adapter.ipv4_metric;
    return make_row("metric", "metric", std::to_string(*route_metric), "",
                    family_word(family) + " default route · interface metric " +
                        std::to_string(interface_metric) + " · effective " +
                        std::to_string(std::uint64_t{*route_metric} + interface_metric),
                    kRoleProp);
}

std::optional<NodeItem> link_row(const RunContext& context, const AdapterInfo& adapter) {
    std::vector<std::string> parts;
    const std::string type_word = adapter.if_type != 0 ? if_type_word(adapter.if_type) : std::string();
    if (!type_word.empty()) parts.push_back(type_word);
    if (adapter.link_speed_bps > 0) parts.push_back(format_bps(adapter.link_speed_bps));
    if (type_word == kWirelessTypeWord) {
        if (auto signal = wifi_signal_text(context.wlan_text, adapter.friendly_name))
            parts.push_back("signal " + *signal);
    }
    if (parts.empty()) return std::nullopt;
    return make_row("link", "link", join(parts, " · "), "", "", kRoleProp);
}

// The selected route of the family runs through this interface and gateway: its ISP is probed.
bool is_selected_route(const FactSnapshot& snapshot, const CarrierRoute& route) {
    const bool v6 = route.family == kFamilyIpv6;
    const auto& best = v6 ? snapshot.best_route_v6 : snapshot.best_route_v4;
    const auto& gateway = v6 ? snapshot.gateway_v6 : snapshot.gateway_v4;
    return best && best->if_index == route.if_index && route.gateway == gateway.value_or("");
}

std::string probe_target(std::uint16_t family) {
    return family == kFamilyIpv6 ? kInternetTargetV6 : kInternetTargetV4;
}

void draw_remote_node(GraphBuilder& builder, const std::string& isp_id,
                      const std::vector<std::string>& endpoints) {
    const std::string& first = endpoints.front();
    std::vector<NodeItem> rows;
    rows.push_back(make_row("address", "remote", first, kStatusOk,
                            "passively observed established socket · not probed", kRoleAddr));
    for (std::size_t i = 1; i < endpoints.size(); ++i)
        rows.push_back(make_row("endpoint-" + id_token(endpoints[i]), "remote", endpoints[i], "",
                                "passive socket observation", kRoleProp));
    rows.push_back(make_row("mode", "mode", "passive only", "", "no reachability probe issued", kRoleProp));
    const std::string remote_id = builder.add_node("remote-" + id_token(first), "Remote endpoint(s)",
                                                   "observed beyond ISP · identity/role not assumed",
                                                   kNodeRemote, kStatusOk, false, std::move(rows));
    builder.add_row(
        isp_id, make_row("remote-hop", "remote", first, kStatusOk, "passively observed; no probe", kRoleOut));
    builder.add_edge(isp_id, "remote-hop", remote_id, kEdgeMain, 1.0, "passive established socket endpoint");
}

struct IspHop {
    std::string key;
    std::string id;
    std::string from;      // node the ISP edge leaves
    std::string from_item; // and its row
    bool gateway_less = false;
};

std::string main_evidence(const IspHop& hop, bool pinged, const CarrierRoute& route) {
    if (!hop.gateway_less)
        return route.in_use ? "established socket beyond gateway" : "active internet probe";
    if (pinged) return "active internet probe on gateway-less carrier";
    if (!route.endpoints.empty()) return "established socket on gateway-less carrier";
    return "observed routed connection · gateway-less carrier";
}

NodeItem passive_probe_row(const CarrierRoute& route) {
    return make_row("probe", "remote", route.endpoints.front(), kStatusOk, "established · passive",
                    kRoleAddr);
}

void draw_isp(GraphPass& pass, const CarrierRoute& route, const IspHop& hop) {
    GraphBuilder& builder = pass.builder;
    const FactSnapshot& snapshot = pass.snapshot();
    const std::string family = family_word(route.family);
    const bool observed = route.in_use && !route.endpoints.empty();

    if (builder.carrier_state().isp_keys.contains(hop.key)) {
        if (!observed) return;
        builder.set_status(hop.id, kStatusOk);
        if (!hop.gateway_less) builder.set_sub(hop.id, "observed routed connection");
        // An active probe outcome says more than a passive sighting; it stays.
        const GraphNode* isp = builder.find_node(hop.id);
        const bool probed =
            isp != nullptr && std::any_of(isp->items.begin(), isp->items.end(),
                                          [](const NodeItem& row) { return row.id == "probe" && row.probe; });
        if (!probed) builder.put_row(hop.id, passive_probe_row(route));
        builder.add_edge(hop.from, hop.from_item, hop.id, kEdgeMain, 1.0, main_evidence(hop, false, route));
        draw_remote_node(builder, hop.id, route.endpoints);
        return;
    }
    builder.carrier_state().isp_keys.insert(hop.key);

    const bool pinged = route.probe_allowed && is_selected_route(snapshot, route);
    NodeItem probe;
    if (pinged) {
        const std::string target = probe_target(route.family);
        const EchoResult echo = cached_ping(pass.context.ping_cache, pass.echo, target);
        probe = make_row("probe", family, target, echo.ok ? kStatusOk : kStatusFail,
                         latency_text(echo.ok, echo.rtt_ms), kRoleAddr);
        probe.probe = true;
    } else if (observed) {
        probe = passive_probe_row(route);
    } else {
        probe = make_row("probe", "route", adapter_label(snapshot, route.if_index), kStatusWarn,
                         family + " candidate · not actively probed", kRoleAddr);
    }
    const std::string status = probe.status;
    std::vector<NodeItem> rows;
    rows.push_back(std::move(probe));
    // Endpoints count as observed only on a route that traffic is known to take.
    if (route.in_use) {
        for (std::size_t i = 0; i < route.endpoints.size() && i < kObservedRowCap; ++i)
            rows.push_back(make_row("remote-" + id_token(route.endpoints[i]), "observed", route.endpoints[i],
                                    "", "passive socket", kRoleProp));
    }
    std::string sub = hop.gateway_less ? "no conventional gateway"
                      : pinged         ? "active " + family + " reachability"
                      : route.in_use   ? "observed routed connection"
                                       : "alternate route candidate";
    builder.add_node(hop.id, "Internet / ISP", std::move(sub), kNodeIsp, status, false, std::move(rows));

    if (pinged || route.in_use) {
        builder.add_edge(hop.from, hop.from_item, hop.id, kEdgeMain, 1.0, main_evidence(hop, pinged, route));
    } else {
        builder.add_edge(hop.from, hop.from_item, hop.id, kEdgeAlt, 0.45,
                         hop.gateway_less ? "gateway-less route candidate" : "standby route candidate");
    }
    if (observed) draw_remote_node(builder, hop.id, route.endpoints);
}

NodeItem internet_row(const CarrierRoute& route) {
    if (route.in_use) {
        const std::string v = route.endpoints.empty() ? "route candidate" : route.endpoints.front();
        return make_row("internet", "Internet", v, kStatusOk, "established socket", kRoleOut);
    }
    return make_row("internet", "Internet", "route candidate", kStatusWarn, "not constrained/probed",
                    kRoleOut);
}

void draw_gateway_hop(GraphPass& pass, const CarrierRoute& route, const std::string& nic_id) {
    GraphBuilder& builder = pass.builder;
    const FactSnapshot& snapshot = pass.snapshot();
    const std::string family = family_word(route.family);
    const std::string fam = lower_family(route.family);
    const std::string gateway = zoned_gateway(route.gateway, route.if_index);
    const std::string token = id_token(gateway);
    const std::string index = std::to_string(route.if_index);
    const std::string key = index + "|" + family + "|" + gateway;
    const std::string gw_id = "gw-" + index + "-" + fam + "-" + token;
    const std::string adapter = adapter_label(snapshot, route.if_index);

    if (!builder.carrier_state().gateway_keys.contains(key)) {
        builder.carrier_state().gateway_keys.insert(key);
        const EchoResult echo = cached_ping(pass.context.ping_cache, pass.echo, gateway);
        const std::string status = echo.ok ? kStatusOk : kStatusFail;
        const std::string latency = latency_text(echo.ok, echo.rtt_ms);
        const std::string gateway_row = "gateway-" + fam + "-" + token;
        builder.add_row(nic_id,
                        make_row(gateway_row, "gateway " + family, gateway, status, latency, kRoleOut));

        std::vector<NodeItem> rows;
        rows.push_back(make_row("address", family, gateway, status, latency, kRoleAddr));
        rows.push_back(internet_row(route));
        rows.push_back(make_row("ifindex", "ifIndex", index, "", "", kRoleProp));
        const AdapterInfo* info = find_adapter(snapshot, route.if_index);
        if (info != nullptr && info->dhcp_server && !info->dhcp_server->empty())
            rows.push_back(make_row("dhcp", "DHCP", *info->dhcp_server, "", "", kRoleProp));
        builder.add_node(gw_id, "Gateway", family + " · " + gateway + " via " + adapter, kNodeGateway, status,
                         false, std::move(rows));
        builder.add_edge(nic_id, gateway_row, gw_id, kEdgeMain, 1.0, "interface " + adapter + " next hop",
                         !echo.ok);
    } else if (route.in_use) {
        builder.put_row(gw_id, internet_row(route));
    }
    draw_isp(pass, route, IspHop{key, "isp-" + index + "-" + fam + "-" + token, gw_id, "internet", false});
}

void draw_direct_hop(GraphPass& pass, const CarrierRoute& route, const std::string& nic_id) {
    GraphBuilder& builder = pass.builder;
    const FactSnapshot& snapshot = pass.snapshot();
    const std::string family = family_word(route.family);
    const std::string fam = lower_family(route.family);
    const std::string index = std::to_string(route.if_index);
    const std::string key = index + "|" + family + "|DIRECT";
    const std::string row_id = "internet-" + fam + "-direct";

    const bool pinged = route.probe_allowed && is_selected_route(snapshot, route);
    const bool carries = pinged || route.in_use;
    NodeItem row = make_row(row_id, "Internet", "on-link / point-to-point", carries ? kStatusOk : kStatusWarn,
                            carries ? "gateway-less " + family + " carrier via " +
                                          adapter_label(snapshot, route.if_index)
                                    : family + " on-link candidate · not actively probed",
                            kRoleOut);
    if (!builder.carrier_state().isp_keys.contains(key)) {
        builder.add_row(nic_id, std::move(row));
    } else if (carries) {
        builder.put_row(nic_id, std::move(row));
    }
    draw_isp(pass, route, IspHop{key, "isp-" + index + "-" + fam + "-direct", nic_id, row_id, true});
}

} // namespace

std::string address_list(const std::vector<IfAddress>& addresses) {
    return join(addresses, ", ", [](const IfAddress& a) -> const std::string& { return a.address; });
}

std::string family_word(std::uint16_t family) {
    return family == kFamilyIpv6 ? "IPv6" : "IPv4";
}

std::string zoned_gateway(const std::string& gateway, std::uint32_t if_index) {
    return gateway_echo_target(gateway, if_index);
}

const InterfaceAssessment* interface_view(const FactSnapshot& snapshot, std::uint32_t if_index) {
    const auto found = snapshot.interfaces.find(if_index);
    return found == snapshot.interfaces.end() ? nullptr : &found->second;
}

bool is_tunnel_like(const InterfaceAssessment* view) {
    return view != nullptr && (view->role == kRoleTunnel || view->role == kRoleSuspectedTunnel);
}

std::string adapter_label(const FactSnapshot& snapshot, std::uint32_t if_index) {
    const AdapterInfo* adapter = find_adapter(snapshot, if_index);
    return adapter != nullptr ? adapter->friendly_name : "ifIndex " + std::to_string(if_index);
}

std::string draw_nic_node(GraphPass& pass, std::uint32_t if_index, std::uint16_t family) {
    GraphBuilder& builder = pass.builder;
    auto& nic_ids = builder.carrier_state().nic_ids;
    if (const auto found = nic_ids.find(if_index); found != nic_ids.end()) return found->second;

    const FactSnapshot& snapshot = pass.snapshot();
    const AdapterInfo* adapter = find_adapter(snapshot, if_index);
    const InterfaceAssessment* view = interface_view(snapshot, if_index);
    const bool up = adapter != nullptr && adapter->oper_up;
    std::string sub = "carrier / route interface";
    if (view != nullptr) sub += " · assessed " + view->role + " " + two_decimals_text(view->role_confidence);

    std::vector<NodeItem> rows;
    if (adapter != nullptr) {
        const std::string v4 = address_list(adapter->ipv4);
        rows.push_back(
            make_row("ipv4", "IPv4", v4.empty() ? "--" : v4, up ? kStatusOk : kStatusDown, "", kRoleAddr));
        if (!adapter->ipv6.empty())
            rows.push_back(make_row("ipv6", "IPv6", address_list(adapter->ipv6), "", "", kRoleProp));
        rows.push_back(make_row("ifindex", "ifIndex", std::to_string(if_index), "", "", kRoleProp));
        if (auto metric = metric_row(snapshot, *adapter, family)) rows.push_back(std::move(*metric));
        if (auto link = link_row(pass.context, *adapter)) rows.push_back(std::move(*link));
    }
    const std::string id =
        builder.add_node("nic-" + std::to_string(if_index), adapter_label(snapshot, if_index), std::move(sub),
                         kNodeNic, up ? kStatusOk : kStatusDown, false, std::move(rows));
    builder.set_if_index(id, if_index);
    add_resolver_rows(pass, id, if_index, kPhysicalDnsTitle);
    nic_ids.emplace(if_index, id);
    return id;
}

std::string draw_carrier_chain(GraphPass& pass, const CarrierRoute& route) {
    const std::string nic_id = draw_nic_node(pass, route.if_index, route.family);
    if (route.gateway.empty()) {
        if (route.gateway_less_allowed) draw_direct_hop(pass, route, nic_id);
        return nic_id;
    }
    draw_gateway_hop(pass, route, nic_id);
    return nic_id;
}

} // namespace wirelux
