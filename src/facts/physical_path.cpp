#include "facts/physical_path.h"

#include "facts/if_type_word.h"
#include "facts/interface_assessment.h"
#include "model/route_tests.h"
#include "util/text.h"

#include <algorithm>
#include <limits>

namespace wirelux {

namespace {

bool is_carrier(const FactSnapshot& snapshot, std::uint32_t if_index) {
    const auto it = snapshot.interfaces.find(if_index);
    return it != snapshot.interfaces.end() && it->second.role == kRoleCarrier;
}

bool is_ipv6_text(const std::string& address) {
    return address.find(':') != std::string::npos;
}

// The route's own next hop when it names one; for an on-link default route, the adapter's first
// gateway of the same family (an IPv4 candidate must not be shown behind an IPv6 gateway or the
// reverse).
std::string candidate_gateway(const RouteRow& route, const AdapterInfo& adapter, std::uint16_t family) {
    const bool want_ipv6 = family == kFamilyIpv6;
    const char* unspecified = want_ipv6 ? "::" : "0.0.0.0";
    if (route.next_hop && !route.next_hop->empty() && *route.next_hop != unspecified) return *route.next_hop;
    for (const std::string& gateway : adapter.gateways)
        if (is_ipv6_text(gateway) == want_ipv6) return gateway;
    return {};
}

std::string joined_ipv4(const AdapterInfo& adapter) {
    return join(adapter.ipv4, ", ", [](const IfAddress& a) -> const std::string& { return a.address; });
}

// Metrics near the top of the range would wrap when summed and rank the worst route first.
std::uint32_t saturating_sum(std::uint32_t a, std::uint32_t b) {
    const std::uint32_t max = std::numeric_limits<std::uint32_t>::max();
    return a > max - b ? max : a + b;
}

PhysicalCandidate make_candidate(const RouteRow& route, const AdapterInfo& adapter, std::uint16_t family) {
    PhysicalCandidate c;
    c.name = adapter.friendly_name;
    c.description = adapter.description;
    c.if_type_word = if_type_word(adapter.if_type);
    c.speed_text = format_bps(adapter.link_speed_bps);
    if (family == kFamilyIpv4) c.ipv4_text = joined_ipv4(adapter);
    c.gateway = candidate_gateway(route, adapter, family);
    c.if_index = route.if_index;
    c.interface_metric = family == kFamilyIpv4 ? adapter.ipv4_metric : adapter.ipv6_metric;
    c.route_metric = route.metric;
    c.effective_metric = saturating_sum(c.route_metric, c.interface_metric);
    c.family = family;
    return c;
}

} // namespace

std::vector<PhysicalCandidate> physical_candidates_for(const FactSnapshot& snapshot, std::uint16_t family) {
    std::vector<PhysicalCandidate> candidates;
    for (const RouteRow& route : snapshot.routes) {
        if (route.family != family || !is_default_route(route)) continue;
        const AdapterInfo* adapter = find_adapter(snapshot, route.if_index);
        if (!adapter || !adapter->oper_up || !is_carrier(snapshot, route.if_index)) continue;
        candidates.push_back(make_candidate(route, *adapter, family));
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const PhysicalCandidate& a, const PhysicalCandidate& b) {
                         if (a.effective_metric != b.effective_metric)
                             return a.effective_metric < b.effective_metric;
                         return a.if_index < b.if_index;
                     });

    std::vector<PhysicalCandidate> unique;
    for (PhysicalCandidate& c : candidates) {
        const bool seen = std::any_of(unique.begin(), unique.end(), [&c](const PhysicalCandidate& u) {
            return u.if_index == c.if_index && u.gateway == c.gateway;
        });
        if (!seen) unique.push_back(std::move(c));
    }
    return unique;
}

void find_physical_candidates(FactSnapshot& snapshot) {
    snapshot.physical_candidates_v4 = physical_candidates_for(snapshot, kFamilyIpv4);
    snapshot.physical_candidates_v6 = physical_candidates_for(snapshot, kFamilyIpv6);
    snapshot.physical_candidates = snapshot.physical_candidates_v4;
    snapshot.physical_candidates.insert(snapshot.physical_candidates.end(),
                                        snapshot.physical_candidates_v6.begin(),
                                        snapshot.physical_candidates_v6.end());
}

void choose_physical_gateway(FactSnapshot& snapshot) {
    snapshot.physical_gateway.reset();
    if (!snapshot.physical_candidates_v4.empty() && !snapshot.physical_candidates_v4.front().gateway.empty())
        snapshot.physical_gateway = snapshot.physical_candidates_v4.front().gateway;

    snapshot.dhcp_or_gateway = snapshot.physical_gateway;
    for (const AdapterInfo& adapter : snapshot.adapters) {
        if (adapter.dhcp_server && !adapter.dhcp_server->empty()) {
            snapshot.dhcp_or_gateway = adapter.dhcp_server;
            break;
        }
    }
}

} // namespace wirelux
