#pragma once
// Local processes that carry traffic, one node per process and layer. Listeners and UDP bindings
// become drill-down rows, capped so the node stays readable; the full inventory stays in the report's
// tables. Where the established sockets lead is drawn once every node exists (route_relations.h).

#include "graph/graph_builder.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wirelux {

inline constexpr std::size_t kListenerRowCap = 24;
inline constexpr std::size_t kUdpRowCap = 16;

// "{address}:{port}", an IPv6 address in brackets.
std::string endpoint_text(const std::string& address, std::uint16_t port);

// Every process's listeners, UDP bindings and established sockets, found in one pass.
ProcessSocketIndex index_process_sockets(const FactSnapshot& snapshot);

// The process's listeners, UDP bindings and established sockets in snapshot order. The index must
// have been built from this snapshot.
ProcessSockets gather_process_sockets(const FactSnapshot& snapshot, const ProcessSocketIndex& index,
                                      std::uint32_t pid);

// Draws "proc-{pid}-l{layer}" (a negative layer counts as 0), or returns the node already drawn for
// the pid at that layer. Empty when the node would be new but the node budget is spent. Either way a
// drawn node gets the process's flow contexts merged into its "entry" row.
std::string draw_process_node(GraphBuilder& builder, std::uint32_t pid, std::int64_t layer);

} // namespace wirelux
