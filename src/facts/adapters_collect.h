#pragma once
// The adapter inventory, the device identities and the forwarding table in the fact snapshot, and the
// look-ups the later phases make on them.

#include "model/snapshot.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace wirelux {

// Fills adapters, pnp_by_guid and routes from the platform.
void collect_adapters_and_routes(FactSnapshot& snapshot);

// Enumerates the adapters afresh and returns the one with the interface index, if any.
std::optional<AdapterInfo> find_adapter(std::uint32_t if_index);

} // namespace wirelux
