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

// The same, for a caller that has read the route table already: where the system's adapter records
// name no gateways (Linux), they are taken from the default routes among these rows instead of from
// a second reading of the table. Empty rows: adapters without gateways.
std::vector<AdapterInfo> enumerate_adapters(const std::vector<RouteRow>& routes);

// Network-class devices keyed by lower-cased NetCfgInstanceId (on Linux: the adapter's stable key);
// empty when the enumeration fails.
std::unordered_map<std::string, PnpDevice> enumerate_pnp_devices();

} // namespace wirelux::platform
