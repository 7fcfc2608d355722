#include "graph/build_graph.h"

#include "graph/egress_layer.h"
#include "graph/graph_pass.h"
#include "graph/policy_layer.h"
#include "graph/proxy_layers.h"

namespace wirelux {

GraphDocument build_graph(RunContext& context, const EchoFn& echo) {
    GraphBuilder builder(context.snapshot, graph_limits(context));
    GraphPass pass{builder, context, echo};

    draw_source_node(builder);
    draw_adapter_inventory(builder);
    draw_default_route_v4(pass);
    draw_default_route_v6(pass);
    draw_configured_proxies(builder);
    draw_policy_rows(builder);
    draw_proxy_layers(builder);
    draw_idle_core_routes(pass);
    draw_alternate_routes(pass);
    builder.order_source_rows();
    return builder.document();
}

} // namespace wirelux
