#pragma once
// Forwarding-table and best-route answers of IP Helper, converted to plain records.

#include "model/snapshot.h"
#include "win/ip_helper.h"

#include <optional>
#include <vector>

namespace wirelux::platform {

// Appends every row of the table, in table order, tagged with the family of the call that produced it.
void append_route_rows(const MIB_IPFORWARD_TABLE2& table, std::uint16_t family, std::vector<RouteRow>& rows);

// The answer of GetBestRoute2: absent unless the call succeeded.
std::optional<BestRoute> convert_best_route(DWORD status, const MIB_IPFORWARD_ROW2& row,
                                            const SOCKADDR_INET& source, std::uint16_t family);

} // namespace wirelux::platform
