#pragma once
// A TUN adapter that carries a default route, drawn as one node per interface and layer.

#include "graph/graph_builder.h"

#include <cstdint>
#include <string>

namespace wirelux {

struct TunReason {
    std::string reason;      // why the node is drawn, e.g. "OS selected default route"
    double confidence = 0.0; // that the adapter is a tunnel
    std::string reason_text; // the evidence behind the confidence
};

// The reason confidence and text of a tunnel-like interface: its assessment's role confidence and
// evidence, or 0.7 and the route-selection evidence when the interface was not assessed.
// Whether the core's configuration enables a TUN that may be this adapter: the TUN its device names,
// or any TUN when it names none.
bool core_runs_tun(const FactSnapshot& snapshot, const CoreInfo& core, std::uint32_t if_index);

TunReason tun_reason(const FactSnapshot& snapshot, std::uint32_t if_index, std::string reason);

// Draws "tun-{ifIndex}-l{layer}" once and returns its id.
std::string draw_tun_node(GraphBuilder& builder, std::uint32_t if_index, std::int64_t layer,
                          const TunReason& reason);

} // namespace wirelux
