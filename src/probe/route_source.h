#pragma once

#include "probe/probe_results.h"

#include <optional>

namespace wirelux {

// Compares the interface of the best route to 1.1.1.1 with the one a real TCP connection leaves from.
// Absent until the check can be made on this platform.
std::optional<RouteSourceProbe> probe_route_source();

} // namespace wirelux
