#include "graph/build_graph.h"

#include "graph/egress_layer.h"
#include "graph/graph_pass.h"
#include "graph/policy_layer.h"
#include "graph/proxy_layers.h"
#include "graph/route_relations.h"
#include "graph/sidecar_layer.h"
#include "graph/tun_capture.h"

namespace wirelux {

GraphDocument build_graph(RunContext& context, const EchoFn& echo, const DnsFn& dns) {
    GraphBuilder builder(context.snapshot, graph_limits(context));
    GraphPass pass{builder, context, echo, dns};

    draw_source_node(builder);
    draw_adapter_inventory(builder);
    draw_default_route_v4(pass);
    draw_default_route_v6(pass);
    add_tun_resolver_rows(pass);
    draw_configured_proxies(builder);
    draw_policy_rows(builder);
    draw_tun_captures(builder);
    draw_proxy_layers(builder);
    // A core whose live sockets show where it sends traffic is not idle, so the observed routes go
    // first; the second run links the carriers only the alternate routes draw.
    draw_route_relations(builder);
    draw_idle_core_routes(pass);
    draw_alternate_routes(pass);
    draw_route_relations(builder);
    draw_intercept_sidecar(builder);
    builder.order_source_rows();
    draw_campus_nodes(pass);
    return builder.document();
}

} // namespace wirelux
