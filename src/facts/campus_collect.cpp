#include "facts/campus_collect.h"

#include "parallel/progress.h"

#include <charconv>
#include <cstdint>

namespace wirelux {

namespace {

std::optional<std::uint32_t> ipv4_value(std::string_view text) {
    std::uint32_t value = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (!text.starts_with('.')) return std::nullopt;
            text.remove_prefix(1);
        }
        unsigned octet = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), octet);
        const auto digits = static_cast<std::size_t>(end - text.data());
        if (error != std::errc{} || digits == 0 || digits > 3 || octet > 255) return std::nullopt;
        value = (value << 8) | octet;
        text.remove_prefix(digits);
    }
    if (!text.empty()) return std::nullopt;
    return value;
}

bool prefix_holds(std::uint32_t network, std::uint8_t prefix_len, std::uint32_t address) {
    if (prefix_len == 0) return true;
    if (prefix_len > 32) return false;
    const std::uint32_t mask = prefix_len == 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> prefix_len);
    return (network & mask) == (address & mask);
}

} // namespace

const RouteRow* ipv4_route_for(std::string_view target, const std::vector<RouteRow>& routes,
                               const std::vector<AdapterInfo>& adapters) {
    const auto address = ipv4_value(target);
    if (!address) return nullptr;

    const RouteRow* best = nullptr;
    std::uint64_t best_metric = 0;
    for (const RouteRow& route : routes) {
        if (route.family != kFamilyIpv4 || !route.destination) continue;
        const auto network = ipv4_value(*route.destination);
        if (!network || !prefix_holds(*network, route.prefix_len, *address)) continue;
        const AdapterInfo* adapter = find_adapter(adapters, route.if_index);
        const std::uint64_t metric = std::uint64_t{route.metric} + (adapter ? adapter->ipv4_metric : 0);
        if (!best || route.prefix_len > best->prefix_len ||
            (route.prefix_len == best->prefix_len && metric < best_metric)) {
            best = &route;
            best_metric = metric;
        }
    }
    return best;
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
