#pragma once
// Which other local process a drawn process hands traffic to, as its live loopback sockets and its
// core's configuration show it, without any runtime flow to confirm what travels there.

#include "graph/graph_builder.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wirelux {

inline constexpr std::size_t kRelationRowCap = 12;

struct LocalRelation {
    std::uint32_t pid = 0; // the process traffic is handed to
    double confidence = 0.0;
    std::string evidence;    // how the pairing was made
    std::size_t sockets = 0; // live sockets behind it; 0 for a configured relation
    std::string endpoint;    // the local endpoint the traffic goes to
};

LoopbackSocketIndex index_loopback_sockets(const FactSnapshot& snapshot);

// The processes this one is a client of, one entry per target in first-seen order, each with its
// strongest pairing: the core's configured outbound endpoint on a local listener, the peer socket of
// a loopback connection, or else the owner of the listening port. Connections this process accepted
// on its own listeners are left out: their peers send traffic to it, not the other way round.
std::vector<LocalRelation> local_relations(const FactSnapshot& snapshot, const LoopbackSocketIndex& index,
                                           std::uint32_t pid);

// Rows "route-local-{pid}" on the node, each with an evidence edge to the relation node
// "local-pid-{pid}", capped with a "more" row; relation nodes are subject to the node budget.
void draw_local_relations(GraphBuilder& builder, const std::string& node_id, std::uint32_t pid);

} // namespace wirelux
