#include "probe/route_source.h"

#include "platform/adapters.h"
#include "platform/routes.h"
#include "platform/socket.h"

namespace wirelux {

namespace {

// Canonical text of an address literal, zone dropped; the text itself when it is not one.
std::string canonical_address(const std::string& text) {
    const std::string bare = text.substr(0, text.find('%'));
    const auto parsed = SocketAddress::parse(bare);
    return parsed ? parsed->address_text() : bare;
}

bool owns(const std::vector<IfAddress>& addresses, const std::string& wanted) {
    for (const IfAddress& a : addresses)
        if (canonical_address(a.address) == wanted) return true;
    return false;
}

} // namespace

std::uint32_t interface_owning_address(const std::vector<AdapterInfo>& adapters, const std::string& address) {
    if (address.empty()) return 0;
    const std::string wanted = canonical_address(address);
    const bool v6 = wanted.find(':') != std::string::npos;
    for (const AdapterInfo& adapter : adapters) {
        if (!owns(v6 ? adapter.ipv6 : adapter.ipv4, wanted)) continue;
        // An adapter with IPv6 only has no IPv4 interface index; its IPv6 one is the same interface.
        return adapter.if_index != 0 ? adapter.if_index : adapter.ipv6_if_index;
    }
    return 0;
}

RouteSourceProbe run_route_source_probe(const RouteSourceOps& ops) {
    RouteSourceProbe probe;
    probe.target = std::string(kRouteSourceTarget) + ":" + std::to_string(kRouteSourcePort);
    probe.route_interface = ops.route_interface(kRouteSourceTarget);

    const auto source = ops.connect_source(kRouteSourceTarget, kRouteSourcePort, kRouteSourceConnectTimeoutMs);
    if (!source) return probe;
    probe.connected = true;
    probe.source = *source;
    if (!probe.source.empty()) probe.socket_interface = interface_owning_address(ops.adapters(), probe.source);

    probe.mismatch = probe.connected && probe.route_interface != 0 && probe.socket_interface != 0 &&
                     probe.route_interface != probe.socket_interface;
    return probe;
}

std::optional<std::string> connect_source_address(const std::string& address, std::uint16_t port, unsigned timeout_ms) {
    const auto peer = SocketAddress::parse(address, port);
    if (!peer) return std::nullopt;
    ConnectResult connection = Socket::connect_tcp(*peer, timeout_ms);
    if (!connection) return std::nullopt;
    // Only an address of the peer's family is a source the routing table could have chosen.
    const auto local = connection.socket.local_address();
    if (!local || local->family() != peer->family()) return std::string();
    return local->address_text();
}

RouteSourceProbe probe_route_source() {
    RouteSourceOps ops;
    ops.route_interface = [](const std::string& address) -> std::uint32_t {
        const auto best = platform::best_route(address);
        return best ? best->if_index : 0;
    };
    ops.connect_source = connect_source_address;
    // Only the adapters' addresses are wanted: no route table for gateways.
    ops.adapters = [] { return platform::enumerate_adapters(std::vector<RouteRow>{}); };
    return run_route_source_probe(ops);
}

} // namespace wirelux
