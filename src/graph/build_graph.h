#pragma once
// The whole evidence graph of one run, built from the run context in the fixed pass order.

#include "facts/echo_run.h"
#include "graph/graph_model.h"
#include "graph/run_context.h"

namespace wirelux {

// Runs the graph passes over the context's snapshot and returns the document. Targets missing from
// the ping cache are echoed once through echo and cached in the context.
GraphDocument build_graph(RunContext& context, const EchoFn& echo);

} // namespace wirelux
