#pragma once
// What the egress and proxy passes share: the builder, the run context with its probe caches, and the
// echo and DNS query used for a target the driver did not pre-warm. They are passed in so that the
// passes run on hand-made answers in tests and never touch the network there.

#include "facts/echo_run.h"
#include "graph/graph_builder.h"
#include "graph/run_context.h"
#include "model/probe_results.h"

#include <functional>
#include <map>
#include <string>

namespace wirelux {

// Asks one resolver (an address text) for the probe name.
using DnsFn = std::function<DnsProbeResult(const std::string& resolver)>;

struct GraphPass {
    GraphBuilder& builder;
    RunContext& context;
    EchoFn echo;
    DnsFn dns; // for a resolver the driver did not pre-warm

    const FactSnapshot& snapshot() const { return builder.snapshot(); }
};

// The cached answer for the target, or one echo whose answer is cached: each address is pinged at
// most once per run. A missing or throwing echo counts as unanswered.
EchoResult cached_ping(std::map<std::string, EchoResult>& cache, const EchoFn& echo,
                       const std::string& target);

} // namespace wirelux
