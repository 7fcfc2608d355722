#pragma once
// The targets the driver pre-probes before the graph is built.

#include "model/probe_results.h"
#include "model/snapshot.h"

#include <cstdint>
#include <map>
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

} // namespace wirelux
