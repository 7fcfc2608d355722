#pragma once
// The blocks of the default egress chain: applications, the tunnel the traffic enters, the proxy
// core behind it, the physical carrier, the LAN gateway and the internet.

#include "model/probe_results.h"
#include "model/snapshot.h"
#include "report/hash_chain.h"

#include <map>
#include <string>
#include <vector>

namespace wirelux {

// The driver's ping cache: echo outcome by target text.
using PingCache = std::map<std::string, EchoResult>;

// The proxy-like process the chain shows as the proxy core, or null when none qualifies.
const ProcessInfo* chain_proxy_core(const FactSnapshot& snapshot);

// The chain's blocks in order; the tunnel and proxy-core blocks appear only when their facts do.
std::vector<ChainBlock> default_egress_blocks(const FactSnapshot& snapshot, const PingCache& pings);

} // namespace wirelux
