#pragma once
// Diagnostic sidecars of the graph that are not traffic hops: the host's interception evidence, the
// resolvers of each carrier and TUN, and the KAM campus portal with its API.

#include "graph/graph_pass.h"

#include <cstdint>
#include <map>
#include <string>

namespace wirelux {

inline constexpr const char* kPhysicalDnsTitle = "Physical DNS";
inline constexpr const char* kTunDnsTitle = "TUN DNS";
// Endpoint rows of the interception sidecar beyond this many collapse into one "more" row.
inline constexpr std::size_t kInterceptEndpointCap = 6;

// The cached answer of the resolver, or one query whose answer is cached: each resolver is asked at
// most once per run. A missing or throwing query counts as unanswered.
DnsProbeResult cached_dns(std::map<std::string, DnsProbeResult>& cache, const DnsFn& dns,
                          const std::string& resolver);

// The "DNS" / "DNS(备)" rows of the interface's IPv4 resolvers on the node.
void add_resolver_rows(GraphPass& pass, const std::string& node_id, std::uint32_t if_index,
                       const std::string& title);
// The resolver rows of every TUN node drawn so far.
void add_tun_resolver_rows(GraphPass& pass);

// The interception-evidence row, node and edge, when the host shows interception that neither a
// tunnel egress nor a resolved local proxy policy explains.
void draw_intercept_sidecar(GraphBuilder& builder);

// The "kamportal" and "kamapi" nodes, when the campus probes ran.
void draw_campus_nodes(GraphPass& pass);

} // namespace wirelux
