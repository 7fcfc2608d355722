#include "linux/route_records.h"

#include <linux/rtnetlink.h>

namespace wirelux::platform::netlink {

bool is_main_unicast(const RouteRecord& route) {
    return route.table == RT_TABLE_MAIN && route.type == RTN_UNICAST;
}

void append_route_rows(const RouteRecord& route, std::vector<RouteRow>& rows,
                       std::optional<std::uint32_t> rule_priority) {
    for (const NextHop& hop : route.next_hops) {
        RouteRow row;
        row.destination = route.destination;
        row.next_hop = hop.gateway;
        row.if_index = hop.if_index;
        row.metric = route.priority;
        row.family = route.family;
        row.prefix_len = route.prefix_len;
        row.table = route.table;
        row.rule_priority = rule_priority;
        rows.push_back(std::move(row));
    }
}

std::optional<BestRoute> best_route_from(const RouteRecord& route) {
    if ((route.type != RTN_UNICAST && route.type != RTN_LOCAL) || route.next_hops.empty())
        return std::nullopt;
    const NextHop& hop = route.next_hops.front();
    BestRoute best;
    best.next_hop = hop.gateway.value_or(std::string());
    best.source_address = route.preferred_source.value_or(std::string());
    best.if_index = hop.if_index;
    best.family = route.family;
    return best;
}

} // namespace wirelux::platform::netlink
