#include "facts/egress_entries.h"

#include <algorithm>

namespace wirelux {

std::vector<EgressEntry> default_egress_entries(const FactSnapshot& snapshot) {
    std::vector<EgressEntry> entries;
    for (const RouteRow& route : snapshot.routes) {
        if (route.family != kFamilyIpv4 || route.prefix_len != 0 || route.destination != "0.0.0.0") continue;
        const AdapterInfo* adapter = find_adapter(snapshot, route.if_index);
        EgressEntry entry;
        entry.marker = route.if_index == snapshot.egress_if_index_v4 ? ">>" : "";
        entry.effective_metric = std::uint64_t{adapter ? adapter->ipv4_metric : 0U} + route.metric;
        entry.name = adapter ? adapter->friendly_name : std::string();
        entry.next_hop = route.next_hop.value_or(std::string());
        entry.if_index = route.if_index;
        entry.rule_rank = route.rule_priority.value_or(UINT32_MAX);
        entries.push_back(std::move(entry));
    }
    std::stable_sort(entries.begin(), entries.end(), [](const EgressEntry& a, const EgressEntry& b) {
        if (a.rule_rank != b.rule_rank) return a.rule_rank < b.rule_rank;
        if (a.effective_metric != b.effective_metric) return a.effective_metric < b.effective_metric;
        return a.if_index < b.if_index;
    });
    return entries;
}

} // namespace wirelux
