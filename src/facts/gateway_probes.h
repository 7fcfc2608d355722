#pragma once
// ICMP reachability of every distinct default-route gateway.

#include "facts/echo_run.h"
#include "model/snapshot.h"

#include <cstdint>
#include <string>
#include <vector>

namespace wirelux {

inline constexpr const char* kGatewayReachabilityLabel = "gateway reachability";

// One gateway to echo: the route's next hop, its family word, its interface and the echo target
// (a link-local IPv6 next hop carries the interface as its zone).
struct GatewayEchoTarget {
    std::string gateway;
    std::string family_word; // "IPv4" or "IPv6"
    std::string target;
    std::uint32_t if_index = 0;
};

// The gateways of the default routes in table order, each (interface, family, next hop) once.
std::vector<GatewayEchoTarget> gateway_echo_targets(const std::vector<RouteRow>& routes);

// Echoes every gateway in one parallel run and fills gateway_probes, one row per target, in order.
void probe_gateways(FactSnapshot& snapshot, const EchoFn& echo);

} // namespace wirelux
