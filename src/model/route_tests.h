#pragma once
// What a route row is: the tests that adapters, egress, the graph and the driver's target lists share.

#include "model/snapshot.h"

#include <cstdint>
#include <optional>
#include <string>

namespace wirelux {

// A default route: destination 0.0.0.0/0 (IPv4) or ::/0 (IPv6).
bool is_default_route(const RouteRow& row);

// The next hop of a default route that goes through a gateway; absent for other routes and for
// on-link default routes (no next hop, "0.0.0.0" or "::"), which tunnels typically have.
std::optional<std::string> default_route_gateway(const RouteRow& row);

// The address text an echo to a gateway is sent to. A link-local IPv6 gateway is ambiguous without
// its interface, so it gets the interface index as zone unless it already carries one.
std::string gateway_echo_target(const std::string& next_hop, std::uint32_t if_index);

} // namespace wirelux
