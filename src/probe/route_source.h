#pragma once
// Whether the interface the routing table names for an internet destination is the one a real TCP
// connection to it leaves from. A transparent tunnel, a TUN-mode proxy or a redirecting driver can
// make the two differ.

#include "model/probe_results.h"
#include "model/snapshot.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace wirelux {

inline constexpr const char* kRouteSourceTarget = "1.1.1.1";
inline constexpr std::uint16_t kRouteSourcePort = 443;
inline constexpr unsigned kRouteSourceConnectTimeoutMs = 900;

// What the check asks of the machine. Each operation reports its own failure as an empty value.
struct RouteSourceOps {
    // Interface index of the system's best route to the address; 0 when it cannot say.
    std::function<std::uint32_t(const std::string& address)> route_interface;
    // Connects (no data is sent) and returns the connection's local address text; absent when the
    // connection failed, empty when it connected but the local address could not be read.
    std::function<std::optional<std::string>(const std::string& address, std::uint16_t port, unsigned timeout_ms)>
        connect_source;
    // The adapters in the system's order.
    std::function<std::vector<AdapterInfo>()> adapters;
};

// Interface index of the first adapter (in the given order) that has the address configured; 0 when
// none has it. Zones and spelling differences of IPv6 text do not matter.
std::uint32_t interface_owning_address(const std::vector<AdapterInfo>& adapters, const std::string& address);

// A real TCP connection (no data is sent): its local address text; absent when the connection
// failed, empty when the local address could not be read or is of another family than the peer.
std::optional<std::string> connect_source_address(const std::string& address, std::uint16_t port, unsigned timeout_ms);

// The check over the given operations.
RouteSourceProbe run_route_source_probe(const RouteSourceOps& ops);

// The check against the live machine: best route, a real connection to 1.1.1.1:443, the adapters.
RouteSourceProbe probe_route_source();

} // namespace wirelux
