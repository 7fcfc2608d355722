#pragma once
// Network adapters and the devices behind them.

#include "model/snapshot.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace wirelux::platform {

// Every adapter with its addresses, gateways, DNS servers and metrics, in the system's order;
// empty when the enumeration fails.
std::vector<AdapterInfo> enumerate_adapters();

// Network-class devices keyed by lower-cased NetCfgInstanceId (on Linux: the adapter's stable key);
// empty when the enumeration fails.
std::unordered_map<std::string, PnpDevice> enumerate_pnp_devices();

} // namespace wirelux::platform
