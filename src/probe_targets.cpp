#include "probe_targets.h"

#include "facts/adapter_lists.h"

#include <algorithm>

namespace wirelux {

namespace {

template <class Cache>
void add_target(std::vector<std::string>& list, const Cache& cache, std::string target) {
    if (cache.contains(target)) return;
    if (std::find(list.begin(), list.end(), target) != list.end()) return;
    list.push_back(std::move(target));
}

} // namespace

bool is_default_route(const RouteRow& row) {
    if (row.prefix_len != 0 || !row.destination) return false;
    return row.family == kFamilyIpv6 ? *row.destination == "::" : *row.destination == "0.0.0.0";
}

std::optional<std::string> default_route_gateway(const RouteRow& row) {
    if (!is_default_route(row) || !row.next_hop) return std::nullopt;
    const std::string& hop = *row.next_hop;
    if (hop.empty() || hop == "0.0.0.0" || hop == "::") return std::nullopt;
    return hop;
}

std::string gateway_echo_target(const std::string& next_hop, std::uint32_t if_index) {
    const bool ipv6 = next_hop.find(':') != std::string::npos;
    if (ipv6 && next_hop.starts_with("fe80:") && next_hop.find('%') == std::string::npos)
        return next_hop + "%" + std::to_string(if_index);
    return next_hop;
}

std::vector<std::string> ping_targets(const FactSnapshot& snapshot, const std::map<std::string, EchoResult>& cache) {
    std::vector<std::string> list;
    for (const RouteRow& row : snapshot.routes) {
        if (const auto gateway = default_route_gateway(row))
            add_target(list, cache, gateway_echo_target(*gateway, row.if_index));
    }
    for (const char* target : kFixedPingTargets) add_target(list, cache, target);
    return list;
}

std::vector<std::string> dns_targets(const FactSnapshot& snapshot, const std::map<std::string, DnsProbeResult>& cache) {
    std::vector<std::string> list;
    for (const AdapterInfo& adapter : snapshot.adapters) {
        if (!adapter.oper_up) continue;
        for (const std::string& server : ipv4_dns_servers(adapter))
            add_target(list, cache, server);
    }
    for (const char* target : kFixedDnsTargets) add_target(list, cache, target);
    return list;
}

} // namespace wirelux
