#pragma once
// The forwarding table and the system's own choice of route.

#include "model/snapshot.h"

#include <optional>
#include <string_view>
#include <vector>

namespace wirelux::platform {

// Every IPv4 route, then every IPv6 route, in table order; a family that cannot be read adds nothing.
std::vector<RouteRow> read_route_table();

// The system's best route toward the destination address text; absent when it cannot say.
std::optional<BestRoute> best_route(std::string_view destination);

} // namespace wirelux::platform
