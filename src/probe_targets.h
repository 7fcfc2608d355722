#pragma once
// The targets the driver pre-probes before the graph is built.

#include "facts/snapshot.h"
#include "probe/probe_results.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace wirelux {

inline constexpr const char* kFixedPingTargets[] = {"223.5.5.5",  "2400:3200::1", "10.0.0.55",
                                                    "10.0.0.54",  "10.0.32.32",   "10.0.32.33"};
inline constexpr const char* kFixedDnsTargets[] = {"10.0.32.32", "10.0.32.33"};

// Default-route gateways (IPv6 link-local ones with their "%ifIndex" scope), then the fixed
// targets; no duplicates, nothing already cached.
std::vector<std::string> ping_targets(const FactSnapshot& snapshot, const std::map<std::string, EchoResult>& cache);

// IPv4 DNS servers of up adapters, then the campus resolvers; no duplicates, nothing already cached.
std::vector<std::string> dns_targets(const FactSnapshot& snapshot, const std::map<std::string, DnsProbeResult>& cache);

// A default route: destination 0.0.0.0/0 (IPv4) or ::/0 (IPv6).
bool is_default_route(const RouteRow& row);

// The next hop of a default route that goes through a gateway; absent for other routes and for
// on-link default routes (no next hop, "0.0.0.0" or "::"), which tunnels typically have.
std::optional<std::string> default_route_gateway(const RouteRow& row);

// The address text an echo to a gateway is sent to. A link-local IPv6 gateway is ambiguous without
// its interface, so it gets the interface index as zone unless it already carries one.
std::string gateway_echo_target(const std::string& next_hop, std::uint32_t if_index);

} // namespace wirelux
