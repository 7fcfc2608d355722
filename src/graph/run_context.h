#pragma once
// What the graph builder works from: the finished snapshot, the Wi-Fi status text, the two probe
// caches the driver pre-fills, and the graph limits.

#include "model/probe_results.h"
#include "model/snapshot.h"

#include <cstdint>
#include <map>
#include <string>

namespace wirelux {

struct RunContext {
    explicit RunContext(const FactSnapshot& s) : snapshot(s) {}

    const FactSnapshot& snapshot;
    std::string wlan_text; // netsh wlan show interfaces
    std::map<std::string, EchoResult> ping_cache;
    std::map<std::string, DnsProbeResult> dns_cache;

    std::int64_t max_depth = 10;
    std::int64_t max_nodes = 90;
    std::int64_t max_repeat_per_pid = 3;
};

} // namespace wirelux
