#pragma once
// The physical path: the carrier interfaces that own a default route, ranked the way the system
// would prefer them, so the report can name the underlying network even when a tunnel carries the
// traffic.

#include "model/snapshot.h"

#include <cstdint>
#include <vector>

namespace wirelux {

// Carrier candidates of one family (kFamilyIpv4 or kFamilyIpv6), best first: lowest effective
// metric, then lowest interface index; an interface and gateway pair appears once.
std::vector<PhysicalCandidate> physical_candidates_for(const FactSnapshot& snapshot, std::uint16_t family);

// Fills physical_candidates_v4, physical_candidates_v6 and physical_candidates (IPv4 then IPv6).
void find_physical_candidates(FactSnapshot& snapshot);

// Fills physical_gateway from the best IPv4 candidate and dhcp_or_gateway from the first adapter
// with a DHCP server, falling back to the physical gateway.
void choose_physical_gateway(FactSnapshot& snapshot);

} // namespace wirelux
