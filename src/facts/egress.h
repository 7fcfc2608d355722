#pragma once
// The default egress: which interface internet traffic leaves by, through which default route and
// gateway, and whether the internet answers. The system's best-route answer decides the interface;
// the forwarding table only supplies the matching default route.

#include "facts/echo_run.h"
#include "model/snapshot.h"

#include <optional>
#include <vector>

namespace wirelux {

// The fixed internet destinations, used for the best-route query and the reachability echo alike.
inline constexpr const char* kInternetTargetV4 = "223.5.5.5";
inline constexpr const char* kInternetTargetV6 = "2400:3200::1";
inline constexpr const char* kInternetReachabilityLabel = "internet reachability";
inline constexpr const char* kEchoRefusedText =
    "not permitted for this user: the system allows it neither a ping socket (net.ipv4.ping_group_range) "
    "nor a raw socket (CAP_NET_RAW), so no echo was sent and every echo result reads FAIL";

// Fills the best routes, the egress adapter, name, source and source CIDR, the default routes, the
// gateways and the egress assessment from the best-route answers (absent when the system gave none)
// and the adapters, routes and interface assessments already in the snapshot.
void assess_egress(FactSnapshot& snapshot, std::optional<BestRoute> best_v4,
                   std::optional<BestRoute> best_v6);

// The default route of the best route's family on its interface, through its next hop when it names
// one; the lowest metric wins, table order breaks ties. Absent when nothing qualifies.
std::optional<RouteRow> choose_default_route(const std::vector<RouteRow>& routes, const BestRoute& best);

// Echoes both internet targets in one parallel run and records whether each answered.
void check_internet_reachability(FactSnapshot& snapshot, const EchoFn& echo);

} // namespace wirelux
