#pragma once
// The role of each network interface: identified tunnel, suspected tunnel, physical carrier, ambiguous
// route owner or something else, scored from the adapter record, its device identity and its routes.
// Pure functions of snapshot data, so hand-made records drive them exactly as live ones do.

#include "model/address_tests.h"
#include "model/snapshot.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace wirelux {

inline constexpr const char* kRoleTunnel = "Tunnel";
inline constexpr const char* kRoleSuspectedTunnel = "SuspectedTunnel";
inline constexpr const char* kRoleCarrier = "Carrier";
inline constexpr const char* kRoleAmbiguousRoute = "AmbiguousRoute";
inline constexpr const char* kRoleOther = "Other";

// Driver Characteristics flags (NCF_VIRTUAL, NCF_PHYSICAL).
inline constexpr std::uint32_t kNcfVirtual = 0x1;
inline constexpr std::uint32_t kNcfPhysical = 0x4;

// The adapter's device: the entry under its lower-cased GUID, or null without a GUID or a match.
const PnpDevice* device_of(const AdapterInfo& adapter,
                           const std::unordered_map<std::string, PnpDevice>& pnp_by_guid);

// Friendly name, description, driver service, provider and INF path joined by single spaces (missing
// device fields leave empty places).
std::string identity_text(const AdapterInfo& adapter, const PnpDevice* device);


// The role of one interface. device is the adapter's PnP device or null; routes is the whole route
// table (only the rows of this interface count).
InterfaceAssessment assess_interface(const AdapterInfo& adapter, const PnpDevice* device,
                                     const std::vector<RouteRow>& routes);

// One assessment per adapter, keyed by interface index; an adapter later in the list replaces an
// earlier one with the same index.
std::unordered_map<std::uint32_t, InterfaceAssessment> assess_interfaces(const FactSnapshot& snapshot);

} // namespace wirelux
