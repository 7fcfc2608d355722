#include "facts/adapters_collect.h"

#include "platform/adapters.h"
#include "platform/pnp_map.h"
#include "platform/routes.h"

namespace wirelux {

void collect_adapters_and_routes(FactSnapshot& snapshot) {
    // The route table is read once and serves the adapters' gateways too.
    snapshot.routes = platform::read_route_table();
    snapshot.adapters = platform::enumerate_adapters(snapshot.routes);
    snapshot.pnp_by_guid = platform::enumerate_pnp_devices();
}

std::optional<AdapterInfo> find_adapter(std::uint32_t if_index) {
    FactSnapshot fresh;
    fresh.adapters = platform::enumerate_adapters();
    if (const AdapterInfo* adapter = find_adapter(fresh, if_index)) return *adapter;
    return std::nullopt;
}

} // namespace wirelux
