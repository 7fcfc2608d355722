#pragma once
// The carrier chain: adapter ("nic"), gateway ("gw"), Internet / ISP ("isp") and the passively seen
// remote endpoints ("remote"). The default routes, the alternate routes and the idle proxy cores all
// draw their carriers through it, so each carrier, gateway and ISP exists once in the graph.

#include "graph/graph_pass.h"

#include <cstdint>
#include <string>
#include <vector>

namespace wirelux {

struct CarrierRoute {
    std::uint32_t if_index = 0;
    std::string gateway;                // empty for an on-link or point-to-point route
    bool in_use = false;                // traffic is known to leave through this route
    std::vector<std::string> endpoints; // remote endpoints seen on the route
    std::uint16_t family = kFamilyIpv4;
    bool gateway_less_allowed = true;
    // Alternates are drawn without an active probe even when they match the selected route.
    bool probe_allowed = true;
};

// The address texts joined with ", ".
std::string address_list(const std::vector<IfAddress>& addresses);

// "IPv4" or "IPv6".
std::string family_word(std::uint16_t family);

// A link-local IPv6 gateway names its interface as zone ("fe80::1%12"); every other gateway is
// used as it is. The result keys the gateway, its ids and its ping.
std::string zoned_gateway(const std::string& gateway, std::uint32_t if_index);

// The interface's role assessment, or null.
const InterfaceAssessment* interface_view(const FactSnapshot& snapshot, std::uint32_t if_index);

// "Tunnel" or "SuspectedTunnel"; no view is not tunnel-like.
bool is_tunnel_like(const InterfaceAssessment* view);

// The adapter's friendly name, or "ifIndex {n}" when the snapshot has no such adapter.
std::string adapter_label(const FactSnapshot& snapshot, std::uint32_t if_index);

// The adapter node, drawn once per interface; returns its id.
std::string draw_nic_node(GraphPass& pass, std::uint32_t if_index, std::uint16_t family);

// Draws (or re-uses) the chain of the route and returns its head, the adapter node id.
std::string draw_carrier_chain(GraphPass& pass, const CarrierRoute& route);

} // namespace wirelux
