#pragma once
// The campus block of the snapshot: whether each KAM address answers an echo, which route the
// machine would take to it, and what the campus service probes found.

#include "facts/echo_run.h"
#include "model/snapshot.h"
#include "parallel/background.h"
#include "probe/campus_probes.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux {

inline constexpr const char* kCampusReachabilityLabel = "KAM reachability";

// The route the forwarding table picks for an IPv4 or IPv6 address: where routing rules rank the
// routes' tables, the route the earliest rule reaches; then the longest matching prefix, then the lowest
// route plus interface metric, then table order. Null when no route of the address's family matches.
const RouteRow* route_for(std::string_view target, const std::vector<RouteRow>& routes,
                          const std::vector<AdapterInfo>& adapters);

// The same for an IPv4 address only; null for any other text.
const RouteRow* ipv4_route_for(std::string_view target, const std::vector<RouteRow>& routes,
                               const std::vector<AdapterInfo>& adapters);

// The text of that route: the adapter's name with its
// interface index, then " gw " and the next hop unless the route is on-link. Absent when no IPv4 route
// matches.
std::optional<std::string> campus_route_text(std::string_view target, const std::vector<RouteRow>& routes,
                                             const std::vector<AdapterInfo>& adapters);

// The campus echoes and service probes, started at once in the background. They show on the progress
// meter only when joined, with the same counts and labels as when the phase runs them itself.
class CampusProbeRun {
public:
    CampusProbeRun(EchoFn echo, CampusNetwork network);

    // Waits for both runs, counts them on the meter and fills the campus block, the routes read from
    // the snapshot. Once only.
    void join_into(FactSnapshot& snapshot);

private:
    Background<std::vector<EchoResult>> echoes_;
    Background<std::vector<CampusTaskResult>> results_;
};

// Echoes the campus addresses, reads their routes from the snapshot and runs the service probes.
void collect_campus_facts(FactSnapshot& snapshot, const EchoFn& echo, const CampusNetwork& network);

} // namespace wirelux
