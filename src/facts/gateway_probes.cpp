#include "facts/gateway_probes.h"

#include "model/route_tests.h"

#include <algorithm>

namespace wirelux {

std::vector<GatewayEchoTarget> gateway_echo_targets(const std::vector<RouteRow>& routes) {
    std::vector<GatewayEchoTarget> list;
    for (const RouteRow& route : routes) {
        const auto gateway = default_route_gateway(route);
        if (!gateway) continue;
        GatewayEchoTarget t;
        t.gateway = *gateway;
        t.family_word = gateway->find(':') != std::string::npos ? "IPv6" : "IPv4";
        t.target = gateway_echo_target(*gateway, route.if_index);
        t.if_index = route.if_index;
        const bool repeated = std::any_of(list.begin(), list.end(), [&t](const GatewayEchoTarget& e) {
            return e.if_index == t.if_index && e.family_word == t.family_word && e.gateway == t.gateway;
        });
        if (!repeated) list.push_back(std::move(t));
    }
    return list;
}

void probe_gateways(FactSnapshot& snapshot, const EchoFn& echo) {
    const std::vector<GatewayEchoTarget> gateways = gateway_echo_targets(snapshot.routes);
    std::vector<std::string> targets;
    targets.reserve(gateways.size());
    for (const GatewayEchoTarget& g : gateways)
        targets.push_back(g.target);
    const std::vector<EchoResult> results = echo_all(targets, echo, kGatewayReachabilityLabel);

    snapshot.gateway_probes.clear();
    for (std::size_t i = 0; i < gateways.size(); ++i) {
        snapshot.gateway_probes.push_back({gateways[i].gateway, gateways[i].family_word,
                                           results[i].ok ? "OK" : "FAIL", gateways[i].if_index});
    }
}

} // namespace wirelux
