#pragma once
// The IPv4 default routes ranked the way the system picks among them, shared by the console summary
// and the report so that both show the same order and the same marker.

#include "model/snapshot.h"

#include <cstdint>
#include <string>
#include <vector>

namespace wirelux {

struct EgressEntry {
    std::string marker;                 // ">>" on the selected IPv4 egress interface, else empty
    std::uint64_t effective_metric = 0; // wide enough that a maximal route metric cannot wrap
    std::string name;                   // adapter friendly name; empty when no adapter has the index
    std::string next_hop;
    std::uint32_t if_index = 0;
    std::uint32_t rule_rank = 0; // the route's rule priority; routes no rule ranks come last
};

// Every IPv4 0.0.0.0/0 route with the adapter's IPv4 interface metric added to the route metric;
// ascending by the priority of the rule that sends traffic to the route's table (where routing rules
// choose among tables, the earlier rule wins whatever the metrics), then by effective metric, then
// interface index, otherwise in route-table order.
std::vector<EgressEntry> default_egress_entries(const FactSnapshot& snapshot);

} // namespace wirelux
