#pragma once
// The whole evidence graph of one run, built from the run context in the fixed pass order.

#include "facts/echo_run.h"
#include "graph/graph_model.h"
#include "graph/graph_pass.h"
#include "graph/run_context.h"

namespace wirelux {

// Runs the graph passes over the context's snapshot and returns the document. Targets missing from
// the ping cache are echoed once through echo, resolvers missing from the DNS cache are asked once
// through dns, and both answers are cached in the context.
GraphDocument build_graph(RunContext& context, const EchoFn& echo, const DnsFn& dns = {});

} // namespace wirelux
