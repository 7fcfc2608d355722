#pragma once
// What the egress and proxy passes share: the builder, the run context with its probe caches, and the
// echo used for a target the driver did not pre-warm. The echo is passed in so that the passes run
// on hand-made answers in tests and never touch the network there.

#include "facts/echo_run.h"
#include "graph/graph_builder.h"
#include "graph/run_context.h"

#include <map>
#include <string>

namespace wirelux {

struct GraphPass {
    GraphBuilder& builder;
    RunContext& context;
    EchoFn echo;

    const FactSnapshot& snapshot() const { return builder.snapshot(); }
};

// The cached answer for the target, or one echo whose answer is cached: each address is pinged at
// most once per run. A missing or throwing echo counts as unanswered.
EchoResult cached_ping(std::map<std::string, EchoResult>& cache, const EchoFn& echo,
                       const std::string& target);

} // namespace wirelux
