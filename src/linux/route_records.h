#pragma once
// Route messages turned into forwarding-table rows and best-route answers.

#include "linux/netlink_parse.h"
#include "model/snapshot.h"

#include <optional>
#include <vector>

namespace wirelux::platform::netlink {

// A unicast route of the main table. Local, broadcast and multicast entries, other tables and
// unreachable/blackhole/prohibit/throw routes are left out.
bool is_main_unicast(const RouteRecord& route);

// One row per next hop, so that each path of a multipath route stands as its own row (the way the
// Windows table lists them). A next hop without a gateway has no next-hop text. The rows name the
// route's table and the rule priority given.
void append_route_rows(const RouteRecord& route, std::vector<RouteRow>& rows,
                       std::optional<std::uint32_t> rule_priority = std::nullopt);

// The answer to a route look-up; absent unless the route leads somewhere (unicast or local).
std::optional<BestRoute> best_route_from(const RouteRecord& route);

} // namespace wirelux::platform::netlink
