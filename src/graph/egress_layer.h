#pragma once
// The main traffic path as rows of the source node "app": the collapsed inventory of other adapters,
// the OS-selected IPv4 and IPv6 default routes with their carrier chains or TUN nodes, and the
// alternate routes that could carry traffic instead.

#include "graph/graph_pass.h"

namespace wirelux {

inline constexpr const char* kSourceNodeLabel = "Applications";

// The node "app", without rows.
void draw_source_node(GraphBuilder& builder);

// The row "adapter-inventory": every adapter that is neither loopback nor on a drawn or candidate
// default route, in a drill-down.
void draw_adapter_inventory(GraphBuilder& builder);

// The row "default" and the chain or TUN node it leads to; nothing without an IPv4 best route.
void draw_default_route_v4(GraphPass& pass);

// The row "default-v6" and, by the interface's role, its chain or TUN node; nothing without an IPv6
// best route.
void draw_default_route_v6(GraphPass& pass);

// An "alt-" row per further IPv4 carrier candidate and a "route6-" row per further IPv6 one, each with
// its chain drawn without an active probe.
void draw_alternate_routes(GraphPass& pass);

} // namespace wirelux
