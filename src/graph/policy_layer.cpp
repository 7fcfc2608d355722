#include "graph/policy_layer.h"

#include "facts/proxy_scoring.h"
#include "graph/egress_layer.h"
#include "graph/graph_words.h"
#include "graph/process_layer.h"
#include "model/address_tests.h"
#include "util/text.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace wirelux {
namespace {

constexpr std::int64_t kOwnerLayer = 1;
constexpr const char* kHiddenOwner = "owner not visible to this user";
constexpr const char* kBypassSuffix = "direct/bypass OS route; explicit local proxy policy resolved";

std::string source_word(std::string_view source) {
    const std::string_view prefix = kProxySourceEnvPrefix;
    if (source.substr(0, prefix.size()) == prefix) source.remove_prefix(prefix.size());
    return std::string(source);
}

void add_configured(std::vector<ConfiguredProxy>& list, const FactSnapshot& snapshot, std::string_view text,
                    std::string_view source) {
    for (ProxyEndpoint& endpoint : parse_proxy_endpoints(text, source)) {
        const bool local = is_unspecified_address(endpoint.host) ||
                           is_local_host(endpoint.host, snapshot.own_names, snapshot.own_addresses);
        list.push_back(ConfiguredProxy{source_word(source), std::move(endpoint), local});
    }
}

// The listener serving a local endpoint: one bound to exactly that address, else, for a loopback host,
// one on loopback or on every address, else, for another own address, one on every address.
const TcpRow* listener_for(const FactSnapshot& snapshot, const ProxyEndpoint& endpoint) {
    const TcpRow* loopback_or_any = nullptr;
    const TcpRow* any = nullptr;
    for (const TcpRow& listener : snapshot.tcp_listeners) {
        if (listener.local_port != endpoint.port) continue;
        if (same_address(listener.local_address, endpoint.host)) return &listener;
        const bool unspecified = is_unspecified_address(listener.local_address);
        if (unspecified && any == nullptr) any = &listener;
        if ((unspecified || is_loopback_host(listener.local_address)) && loopback_or_any == nullptr)
            loopback_or_any = &listener;
    }
    if (is_loopback_host(endpoint.host)) return loopback_or_any;
    if (is_unspecified_address(endpoint.host)) return loopback_or_any != nullptr ? loopback_or_any : any;
    return any;
}

// The entry as configured, without anything that was written in front of the host (credentials).
std::string policy_entry(const ProxyEndpoint& endpoint) {
    if (endpoint.scheme.empty()) return endpoint.endpoint;
    return to_lower_ascii(endpoint.scheme) + "://" + endpoint.endpoint;
}

bool draw_owner(GraphBuilder& builder, const ConfiguredProxy& proxy, const std::string& row_id,
                std::uint32_t pid) {
    const std::string node = draw_process_node(builder, pid, kOwnerLayer);
    if (node.empty()) return false; // node budget spent
    const std::string& endpoint = proxy.endpoint.endpoint;
    builder.add_row(node,
                    make_row("policy", "policy", endpoint, "", "application proxy policy entry", kRoleProp));
    builder.add_row(kSourceNodeId,
                    make_row(row_id, "proxy", endpoint, kStatusOk,
                             proxy.source + " + configured endpoint + local listener owner", kRoleOut));
    builder.add_edge(kSourceNodeId, row_id, node, kEdgePolicy, 1.0,
                     proxy.source + " configured endpoint + listener owner");
    builder.note_configured_owner(pid);
    return true;
}

void draw_dead_endpoint(GraphBuilder& builder, const ConfiguredProxy& proxy, const std::string& row_id,
                        const std::string& key) {
    const std::string& endpoint = proxy.endpoint.endpoint;
    const std::string node =
        builder.add_node("cfgproxy-dead-" + key, "Configured Proxy",
                         endpoint + " · local endpoint unavailable", kNodeCore, kStatusFail, false,
                         {make_row("address", "addr", endpoint, kStatusFail,
                                   "configured local endpoint has no TCP listener", kRoleAddr)});
    builder.add_row(kSourceNodeId, make_row(row_id, "proxy", endpoint, kStatusFail,
                                            proxy.source + " · configured but unavailable", kRoleOut));
    builder.add_edge(kSourceNodeId, row_id, node, kEdgePolicy, 1.0, proxy.source + " configuration", true);
}

void draw_remote_endpoint(GraphBuilder& builder, const ConfiguredProxy& proxy, const std::string& row_id,
                          const std::string& key) {
    const std::string& endpoint = proxy.endpoint.endpoint;
    const std::string node =
        builder.add_node("cfgproxy-" + key, "Configured Proxy",
                         "remote policy endpoint · application dependent", kNodeCore, kStatusWarn, false,
                         {make_row("address", "addr", endpoint, kStatusWarn,
                                   "configured remote endpoint · not actively probed", kRoleAddr),
                          make_row("policy", "policy", policy_entry(proxy.endpoint), "", "", kRoleProp)});
    builder.add_row(kSourceNodeId, make_row(row_id, "proxy?", endpoint, kStatusWarn,
                                            proxy.source + " configuration only", kRoleOut));
    builder.add_edge(kSourceNodeId, row_id, node, kEdgePolicy, 0.65,
                     proxy.source + " · configuration only; runtime use not observed");
}

// A listener serves the endpoint, but the socket table could not name its process (another user's,
// seen without the privilege to read its sockets): the entry is resolved to a listener, not an owner.
void draw_hidden_owner(GraphBuilder& builder, const ConfiguredProxy& proxy, const std::string& row_id,
                       const std::string& key) {
    const std::string& endpoint = proxy.endpoint.endpoint;
    const std::string node = builder.add_node(
        "cfgproxy-hidden-" + key, "Configured Proxy", endpoint + " · " + kHiddenOwner, kNodeCore, kStatusWarn,
        false,
        {make_row("address", "addr", endpoint, kStatusOk, "configured local endpoint has a TCP listener",
                  kRoleAddr),
         make_row("owner", "owner", kHiddenOwner, kStatusWarn, "listener owner process id not reported",
                  kRoleProp)});
    builder.add_row(kSourceNodeId, make_row(row_id, "proxy", endpoint, kStatusWarn,
                                            proxy.source + " + configured endpoint + local listener · " +
                                                kHiddenOwner,
                                            kRoleOut));
    builder.add_edge(kSourceNodeId, row_id, node, kEdgePolicy, 1.0,
                     proxy.source + " configured endpoint + local listener · " + kHiddenOwner);
}

std::vector<std::string> parts_of(std::string_view text) {
    constexpr std::string_view separator = " · ";
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        parts.emplace_back(
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + separator.size();
    }
}

// The evidence with the suffix's " · " parts appended, each only when the evidence lacks it.
std::string extend_evidence(const std::string& evidence, std::string_view suffix) {
    std::vector<std::string> parts = parts_of(evidence);
    std::string extended = evidence;
    for (const std::string& part : parts_of(suffix)) {
        if (std::find(parts.begin(), parts.end(), part) != parts.end()) continue;
        extended += extended.empty() ? part : " · " + part;
        parts.push_back(part);
    }
    return extended;
}

// With a resolved local proxy the applications' traffic goes to the proxy; the OS route remains the
// path of whatever bypasses it, and of the proxy's own outbound sockets.
void relabel_default_route(GraphBuilder& builder) {
    const GraphNode* source = builder.find_node(kSourceNodeId);
    if (source == nullptr) return;
    const auto current = std::find_if(source->items.begin(), source->items.end(),
                                      [](const NodeItem& row) { return row.id == "default"; });
    if (current != source->items.end()) {
        NodeItem row = *current;
        if (builder.snapshot().egress_tunnel_like) {
            row.k = "OS/TUN route";
            row.meta = "direct/non-policy branch · local proxy process may itself egress through this tunnel";
        } else {
            row.k = "OS route";
            row.meta = "direct/bypass branch · also carrier transport for local proxy-core outbound sockets";
        }
        row.status = kStatusOk;
        builder.put_row(kSourceNodeId, std::move(row));
    }
    for (std::size_t i = 0; i < builder.edges().size(); ++i) {
        const GraphEdge& edge = builder.edges()[i];
        if (edge.from != kSourceNodeId || edge.kind != kEdgeMain) continue;
        if (edge.from_item != "default" && edge.from_item != "default-v6") continue;
        builder.amend_edge(i, kEdgeAlt, extend_evidence(edge.evidence, kBypassSuffix));
    }
}

} // namespace

std::vector<ConfiguredProxy> configured_proxies(const FactSnapshot& snapshot) {
    std::vector<ConfiguredProxy> list;
    if (snapshot.wininet_enable && !snapshot.wininet_server.empty())
        add_configured(list, snapshot, snapshot.wininet_server, kProxySourceWinInet);
    if (!snapshot.winhttp_text.empty())
        add_configured(list, snapshot, snapshot.winhttp_text, kProxySourceWinHttp);
    for (const char* name : kProxyEnvironmentVariables) {
        const auto found = snapshot.proxy_environment.find(name);
        if (found == snapshot.proxy_environment.end() || found->second.empty()) continue;
        add_configured(list, snapshot, found->second, std::string(kProxySourceEnvPrefix) + name);
    }
    return list;
}

void draw_configured_proxies(GraphBuilder& builder) {
    const FactSnapshot& snapshot = builder.snapshot();
    bool owner_drawn = false;
    for (const ConfiguredProxy& proxy : configured_proxies(snapshot)) {
        const std::string key = id_token(proxy.endpoint.endpoint);
        const std::string row_id = "policy-" + key;
        // The same endpoint named by several settings is one policy entry; the first setting speaks.
        if (const GraphNode* source = builder.find_node(kSourceNodeId);
            source != nullptr && std::any_of(source->items.begin(), source->items.end(),
                                             [&](const NodeItem& row) { return row.id == row_id; }))
            continue;
        if (!proxy.local) {
            if (builder.node_budget_left()) draw_remote_endpoint(builder, proxy, row_id, key);
            continue;
        }
        const TcpRow* listener = listener_for(snapshot, proxy.endpoint);
        if (listener == nullptr) {
            if (builder.node_budget_left()) draw_dead_endpoint(builder, proxy, row_id, key);
            continue;
        }
        // A listener whose owner the socket table could not name is neither a resolved owner nor a
        // dead endpoint.
        if (listener->pid == 0) {
            if (builder.node_budget_left()) draw_hidden_owner(builder, proxy, row_id, key);
            continue;
        }
        owner_drawn = draw_owner(builder, proxy, row_id, listener->pid) || owner_drawn;
    }
    if (owner_drawn) relabel_default_route(builder);
}

void draw_policy_rows(GraphBuilder& builder) {
    const FactSnapshot& snapshot = builder.snapshot();
    if (!snapshot.wininet_autoconfig_url.empty())
        builder.add_row(kSourceNodeId, make_row("pac", "PAC", snapshot.wininet_autoconfig_url, kStatusWarn,
                                                "dynamic per-URL proxy policy; not expanded", kRoleProp));
    if (snapshot.wininet_autodetect)
        builder.add_row(kSourceNodeId, make_row("wpad", "WPAD", "enabled", kStatusWarn,
                                                "dynamic auto-discovery; not expanded", kRoleProp));
    if (!snapshot.wininet_override.empty())
        builder.add_row(kSourceNodeId, make_row("proxy-bypass", "WinINET bypass", snapshot.wininet_override,
                                                "", "policy exception list", kRoleProp));
    if (const auto found = snapshot.proxy_environment.find(kNoProxyVariable);
        found != snapshot.proxy_environment.end())
        builder.add_row(kSourceNodeId, make_row("no-proxy", "NO_PROXY", found->second, "",
                                                "environment bypass list", kRoleProp));
}

} // namespace wirelux
