#pragma once
// Traffic steered by configuration rather than by routes: the proxy endpoints named in the WinINET,
// WinHTTP and environment settings, and the dynamic policy and bypass lists. Everything drawn here is
// worded as configuration; only a local endpoint whose listener owner is known is treated as a
// resolved path.

#include "facts/proxy_endpoints.h"
#include "graph/graph_builder.h"

#include <string>
#include <vector>

namespace wirelux {

struct ConfiguredProxy {
    std::string source; // "WinINET", "WinHTTP", or the environment variable's name
    ProxyEndpoint endpoint;
    bool local = false; // the host is this machine
};

// The configured endpoints in setting order: WinINET (only while enabled), WinHTTP, then the proxy
// environment variables the snapshot recorded.
std::vector<ConfiguredProxy> configured_proxies(const FactSnapshot& snapshot);

// A local endpoint's owner drawn at layer 1 with a policy edge, a dead local endpoint or a remote one
// as a "Configured Proxy" node; when an owner was drawn the OS default route becomes the bypass branch.
void draw_configured_proxies(GraphBuilder& builder);

// The PAC, WPAD, WinINET bypass and NO_PROXY rows of the source node; they have no edges because
// what they select is decided per request.
void draw_policy_rows(GraphBuilder& builder);

} // namespace wirelux
