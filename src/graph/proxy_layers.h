#pragma once
// The local proxy processes the assessment found, drawn as process nodes below the source node, and
// the carrier an idle proxy core would use.

#include "graph/graph_pass.h"

namespace wirelux {

// Proxy cores, processes whose listeners answered a proxy protocol, then the remaining candidate
// processes, each at layer 1 and reached from "app" by a "possible" edge (their use by applications
// is not observed). A process an earlier pass already drew keeps the relation that pass gave it.
void draw_proxy_layers(GraphBuilder& builder);

// A drawn proxy core with no outgoing edge gets the row "idle-route" and a "possible" edge to the
// carrier it would use: the OS-selected carrier, else the best carrier candidate.
void draw_idle_core_routes(GraphPass& pass);

} // namespace wirelux
