#include "run/probe_targets.h"

#include "facts/adapter_lists.h"
#include "model/route_tests.h"

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
        for (const std::string& server : queried_dns_servers(adapter))
            add_target(list, cache, server);
    }
    for (const char* target : kFixedDnsTargets) add_target(list, cache, target);
    return list;
}

} // namespace wirelux
