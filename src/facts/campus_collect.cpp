#include "facts/campus_collect.h"

#include "parallel/progress.h"
#include "util/ip_text.h"

#include <cstdint>

namespace wirelux {

namespace {

bool prefix_holds(const IpAddress& network, std::uint8_t prefix_len, const IpAddress& address) {
    const std::size_t width = address.is_v6 ? 128 : 32;
    if (network.is_v6 != address.is_v6 || prefix_len > width) return false;
    std::size_t bits = prefix_len;
    for (std::size_t i = 0; bits > 0; ++i) {
        const unsigned take = bits >= 8 ? 8u : static_cast<unsigned>(bits);
        const auto mask = static_cast<std::uint8_t>(0xFFu << (8 - take));
        if ((network.bytes[i] & mask) != (address.bytes[i] & mask)) return false;
        bits -= take;
    }
    return true;
}

} // namespace

const RouteRow* route_for(std::string_view target, const std::vector<RouteRow>& routes,
                          const std::vector<AdapterInfo>& adapters) {
    const auto address = parse_ip(target);
    if (!address) return nullptr;
    const std::uint16_t family = address->is_v6 ? kFamilyIpv6 : kFamilyIpv4;

    const RouteRow* best = nullptr;
    std::uint32_t best_rank = 0;
    std::uint64_t best_metric = 0;
    for (const RouteRow& route : routes) {
        if (route.family != family || !route.destination) continue;
        const auto network = parse_ip(*route.destination);
        if (!network || !prefix_holds(*network, route.prefix_len, *address)) continue;
        const AdapterInfo* adapter = find_adapter(adapters, route.if_index);
        const std::uint32_t interface_metric =
            adapter == nullptr ? 0 : (address->is_v6 ? adapter->ipv6_metric : adapter->ipv4_metric);
        const std::uint64_t metric = std::uint64_t{route.metric} + interface_metric;
        const std::uint32_t rank = route.rule_priority.value_or(UINT32_MAX);
        const bool better = !best || rank < best_rank ||
                            (rank == best_rank && (route.prefix_len > best->prefix_len ||
                                                   (route.prefix_len == best->prefix_len && metric < best_metric)));
        if (better) {
            best = &route;
            best_rank = rank;
            best_metric = metric;
        }
    }
    return best;
}

const RouteRow* ipv4_route_for(std::string_view target, const std::vector<RouteRow>& routes,
                               const std::vector<AdapterInfo>& adapters) {
    const auto address = parse_ip(target);
    return address && !address->is_v6 ? route_for(target, routes, adapters) : nullptr;
}

std::optional<std::string> campus_route_text(std::string_view target, const std::vector<RouteRow>& routes,
                                             const std::vector<AdapterInfo>& adapters) {
    const RouteRow* best = ipv4_route_for(target, routes, adapters);
    if (!best) return std::nullopt;

    const bool on_link = !best->next_hop || best->next_hop->empty() || *best->next_hop == "0.0.0.0";
    const AdapterInfo* adapter = find_adapter(adapters, best->if_index);
    const std::string index_text = "ifIndex " + std::to_string(best->if_index);
    std::string text = adapter && !adapter->friendly_name.empty()
                           ? adapter->friendly_name + " (" + index_text + ")"
                           : index_text;
    if (!on_link) text += " gw " + *best->next_hop;
    return text;
}

namespace {

std::vector<std::string> campus_targets() { return {std::begin(kCampusTargets), std::end(kCampusTargets)}; }

void count_on_meter(std::size_t n, std::string_view label) {
    progress_add_total(n);
    for (std::size_t i = 0; i < n; ++i) progress_tick(label);
}

std::vector<CampusTaskResult> unanswered_campus_tasks() {
    std::vector<CampusTaskResult> results;
    for (const CampusTask task : kCampusTasks) results.push_back(run_campus_task(task, CampusNetwork{}));
    return results;
}

} // namespace

CampusProbeRun::CampusProbeRun(EchoFn echo, CampusNetwork network)
    : echoes_(
          [echo = std::move(echo)] {
              return echo_all(campus_targets(), echo, kCampusReachabilityLabel, {0, MapProgress::silent});
          },
          std::vector<EchoResult>(std::size(kCampusTargets))),
      results_([network = std::move(network)] { return run_campus_probes(network, {std::size(kCampusTasks),
                                                                                     MapProgress::silent}); },
               unanswered_campus_tasks()) {}

void CampusProbeRun::join_into(FactSnapshot& snapshot) {
    const std::vector<std::string> targets = campus_targets();
    const std::vector<EchoResult> echoes = echoes_.join();
    count_on_meter(echoes.size(), kCampusReachabilityLabel);
    const std::vector<CampusTaskResult> results = results_.join();
    count_on_meter(results.size(), kCampusProbesLabel);

    CampusFacts& campus = snapshot.campus;
    for (std::size_t i = 0; i < targets.size() && i < echoes.size(); ++i) {
        campus.reachable[targets[i]] = echoes[i].ok;
        if (auto route = campus_route_text(targets[i], snapshot.routes, snapshot.adapters))
            campus.route[targets[i]] = std::move(*route);
    }
    store_campus_results(campus, results);
}

void collect_campus_facts(FactSnapshot& snapshot, const EchoFn& echo, const CampusNetwork& network) {
    CampusProbeRun(echo, network).join_into(snapshot);
}

} // namespace wirelux
