#pragma once
// Which local processes a TUN adapter carries traffic for, as far as a proxy core's runtime API shows
// it: one capture row per attributed process on the TUN node, the process drawn one layer below it,
// and, when that process is itself a proxy core with runtime data, its own captures one layer further.

#include "graph/graph_builder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace wirelux {

// The connections a TUN carries. The snapshot does not tie a core to a particular adapter, so every
// core whose configuration enables a TUN stack is taken to feed every TUN node: a core without one
// only sees what applications send to its listeners, and those connections never touched a TUN.
std::vector<const AttributedConnection*> tun_connections(GraphBuilder& builder);

// The connections that reached the core of this pid through its runtime API.
std::vector<const AttributedConnection*> core_connections(GraphBuilder& builder, std::uint32_t pid);

// Capture rows and process nodes for every TUN node drawn so far; a TUN with nothing attributed gets
// the "owner" row instead.
void draw_tun_captures(GraphBuilder& builder);

} // namespace wirelux
