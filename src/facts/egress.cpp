#include "facts/egress.h"

#include "facts/interface_assessment.h"
#include "model/route_tests.h"

#include <algorithm>

namespace wirelux {

namespace {

std::optional<std::string> gateway_of(const std::optional<RouteRow>& route) {
    return route ? default_route_gateway(*route) : std::nullopt;
}

// The source address the system reported when the adapter owns it, else its first usable address.
std::optional<std::string> source_cidr(const AdapterInfo& adapter, const std::optional<std::string>& source) {
    const auto cidr = [](const IfAddress& a) { return a.address + "/" + std::to_string(a.prefix_len); };
    if (source && !source->empty()) {
        for (const IfAddress& a : adapter.ipv4)
            if (a.address == *source) return cidr(a);
    }
    for (const IfAddress& a : adapter.ipv4)
        if (a.address != "0.0.0.0") return cidr(a);
    return std::nullopt;
}

} // namespace

std::optional<RouteRow> choose_default_route(const std::vector<RouteRow>& routes, const BestRoute& best) {
    std::vector<RouteRow> qualifying;
    for (const RouteRow& row : routes) {
        if (row.family != best.family || !is_default_route(row) || row.if_index != best.if_index) continue;
        if (!best.next_hop.empty() && row.next_hop != best.next_hop) continue;
        qualifying.push_back(row);
    }
    if (qualifying.empty()) return std::nullopt;
    std::stable_sort(qualifying.begin(), qualifying.end(),
                     [](const RouteRow& a, const RouteRow& b) { return a.metric < b.metric; });
    return qualifying.front();
}

void assess_egress(FactSnapshot& snapshot, std::optional<BestRoute> best_v4,
                   std::optional<BestRoute> best_v6) {
    FactSnapshot& s = snapshot;
    s.best_route_v4 = std::move(best_v4);
    s.best_route_v6 = std::move(best_v6);

    s.egress_if_index_v4 = s.best_route_v4 ? s.best_route_v4->if_index : 0;
    s.egress_adapter_v4.reset();
    s.egress_name_v4.reset();
    s.egress_source_v4.reset();
    s.default_route_v4.reset();
    if (s.best_route_v4) {
        if (const AdapterInfo* adapter = find_adapter(s, s.best_route_v4->if_index)) {
            s.egress_adapter_v4 = *adapter;
            s.egress_name_v4 = adapter->friendly_name;
        }
        s.egress_source_v4 = s.best_route_v4->source_address;
        s.default_route_v4 = choose_default_route(s.routes, *s.best_route_v4);
    }

    s.egress_name_v6.reset();
    s.egress_source_v6.reset();
    s.default_route_v6.reset();
    if (s.best_route_v6) {
        if (const AdapterInfo* adapter = find_adapter(s, s.best_route_v6->if_index))
            s.egress_name_v6 = adapter->friendly_name;
        s.egress_source_v6 = s.best_route_v6->source_address;
        s.default_route_v6 = choose_default_route(s.routes, *s.best_route_v6);
    }

    s.gateway_v4 = gateway_of(s.default_route_v4);
    s.gateway_v6 = gateway_of(s.default_route_v6);

    s.egress_assessment.reset();
    s.egress_source_cidr_v4.reset();
    if (s.egress_adapter_v4) {
        const auto it = s.interfaces.find(s.egress_adapter_v4->if_index);
        if (it != s.interfaces.end()) s.egress_assessment = it->second;
        s.egress_source_cidr_v4 = source_cidr(*s.egress_adapter_v4, s.egress_source_v4);
    }
    s.egress_tunnel_like = s.egress_assessment && (s.egress_assessment->role == kRoleTunnel ||
                                                   s.egress_assessment->role == kRoleSuspectedTunnel);
}

void check_internet_reachability(FactSnapshot& snapshot, const EchoFn& echo) {
    const std::vector<std::string> targets{kInternetTargetV4, kInternetTargetV6};
    const std::vector<EchoResult> results = echo_all(targets, echo, kInternetReachabilityLabel);
    snapshot.internet_v4_ok = results[0].ok;
    snapshot.internet_v6_ok = results[1].ok;
    snapshot.echo_refusal.reset();
    if (results[0].refused || results[1].refused)
        snapshot.echo_refusal = kEchoRefusedText;
}

} // namespace wirelux
