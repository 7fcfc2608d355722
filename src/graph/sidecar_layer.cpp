#include "graph/sidecar_layer.h"

#include "facts/adapter_lists.h"
#include "facts/campus_collect.h"
#include "facts/interface_assessment.h"
#include "graph/carrier_chain.h"
#include "graph/graph_words.h"
#include "model/campus_facts.h"
#include "probe/dns_message.h"
#include "util/text.h"

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace wirelux {
namespace {

constexpr const char* kPortalId = "kamportal";
constexpr const char* kApiId = "kamapi";
constexpr const char* kPortalAddress = "10.0.0.55";
constexpr const char* kApiEndpoint = "10.0.0.54:8800";

// A score as the sidecar shows it: whole scores without decimals ("score 7"), others with two.
std::string score_text(double score) {
    const double rounded = round_two_decimals(score);
    const auto whole = static_cast<long long>(rounded);
    if (static_cast<double>(whole) == rounded) return std::to_string(whole);
    return two_decimals_text(rounded);
}

// A resolver that replied without an address still has its measured time; only no reply is "T/O".
std::string dns_latency(const DnsProbeResult& result) {
    return latency_text(true, result.elapsed);
}

NodeItem resolver_row(std::string id, std::string k, const std::string& address, const DnsProbeResult& result,
                      std::string sub, std::vector<NodeItem> extra_items = {}) {
    const std::string status = result.ok ? kStatusOk : kStatusFail;
    NodeItem row = make_row(std::move(id), std::move(k), address, status, dns_latency(result), kRoleProp);
    row.probe = true;
    std::vector<NodeItem> items;
    items.push_back(make_row("resolve", "resolve", std::string(kDnsProbeName), "", "", kRoleProp));
    items.push_back(
        make_row("answer", "answer", result.answer.empty() ? "--" : result.answer, status, "", kRoleProp));
    for (NodeItem& item : extra_items)
        items.push_back(std::move(item));
    items.push_back(make_row("time", "time", dns_latency(result), "", "", kRoleProp));
    row.detail = make_detail("resolver · " + address, std::move(sub), "dns", status, std::move(items));
    return row;
}

// Groups the candidate listeners by process in the order the processes first appear.
struct CandidateGroup {
    std::uint32_t pid = 0;
    std::string name;
    std::vector<std::string> endpoints;
};

std::vector<CandidateGroup> candidate_groups(const FactSnapshot& snapshot) {
    std::vector<CandidateGroup> groups;
    for (const ListenerAssessment& listener : snapshot.candidate_listeners) {
        CandidateGroup* group = nullptr;
        for (CandidateGroup& existing : groups)
            if (existing.pid == listener.pid) group = &existing;
        if (group == nullptr) {
            groups.push_back({listener.pid, listener.process_name, {}});
            group = &groups.back();
        }
        group->endpoints.push_back(listener.endpoint);
    }
    return groups;
}

// The IPv4 route the OS would pick for the address: longest prefix, then lowest effective metric.
const RouteRow* route_for(const FactSnapshot& snapshot, std::string_view target) {
    return ipv4_route_for(target, snapshot.routes, snapshot.adapters);
}

bool has_gateway(const RouteRow& route) {
    return route.next_hop && !route.next_hop->empty() && *route.next_hop != "0.0.0.0";
}

struct CampusCarrier {
    std::uint32_t if_index = 0;
    double confidence = 0.0;
    std::string evidence;
};

// The carrier(s) the portal is reached through, with the evidence for each.
std::vector<CampusCarrier> campus_carriers(const FactSnapshot& snapshot) {
    const RouteRow* route = route_for(snapshot, kPortalAddress);
    if (route != nullptr && !is_tunnel_like(interface_view(snapshot, route->if_index))) {
        if (has_gateway(*route))
            return {{route->if_index, 1.0, "Find-NetRoute(10.0.0.55) -> carrier gateway"}};
        return {{route->if_index, 0.9, "Find-NetRoute(10.0.0.55) -> gateway-less carrier"}};
    }
    std::vector<CampusCarrier> carriers;
    if (route != nullptr) {
        for (const PhysicalCandidate& candidate : snapshot.physical_candidates_v4) {
            if (candidate.gateway.empty()) continue;
            carriers.push_back({candidate.if_index, 0.6,
                                "target route enters TUN; viable underlying carrier candidate · metric " +
                                    std::to_string(candidate.effective_metric)});
        }
        if (!carriers.empty()) return carriers;
    }
    for (const PhysicalCandidate& candidate : snapshot.physical_candidates_v4) {
        if (candidate.gateway.empty()) continue;
        return {{candidate.if_index, 0.4, "no target-specific carrier evidence; existing gateway candidate"}};
    }
    return carriers;
}

std::string portal_http_text(const CampusFacts& campus) {
    if (campus.portal_ok && to_lower_ascii(campus.portal_title).find("srun") != std::string::npos)
        return "srun_portal";
    if (campus.portal_ok) return "HTTP 200 · " + latency_text(true, campus.portal_elapsed);
    if (campus.portal_elapsed >= 0) return "unexpected response";
    return "no response";
}

std::string api_http_text(const CampusFacts& campus) {
    if (campus.api_status != 0) return "HTTP " + std::to_string(campus.api_status);
    if (campus.api_reachable) return "TCP open · no HTTP answer";
    return "closed";
}

bool reached(const CampusFacts& campus, const char* target) {
    const auto found = campus.reachable.find(target);
    return found != campus.reachable.end() && found->second;
}

} // namespace

DnsProbeResult cached_dns(std::map<std::string, DnsProbeResult>& cache, const DnsFn& dns,
                          const std::string& resolver) {
    if (const auto found = cache.find(resolver); found != cache.end()) return found->second;
    DnsProbeResult result;
    if (dns) {
        try {
            result = dns(resolver);
        } catch (...) {
            result = {};
        }
    }
    // A reply without an address is no answer, whatever the query said about its timing.
    result.ok = !result.answer.empty();
    cache.emplace(resolver, result);
    return result;
}

void add_resolver_rows(GraphPass& pass, const std::string& node_id, std::uint32_t if_index,
                       const std::string& title) {
    const AdapterInfo* adapter = find_adapter(pass.snapshot(), if_index);
    if (adapter == nullptr) return;
    const std::vector<std::string>& servers = adapter->dns_servers;
    for (std::size_t i = 0; i < servers.size(); ++i) {
        const std::string id = "dns-" + id_token(servers[i]);
        const char* k = i == 0 ? "DNS" : "DNS(备)";
        if (const std::string skipped = dns_server_skip_reason(servers[i]); !skipped.empty()) {
            pass.builder.add_row(node_id, make_row(id, k, servers[i], "", skipped, kRoleProp));
            continue;
        }
        const DnsProbeResult result = cached_dns(pass.context.dns_cache, pass.dns, servers[i]);
        const std::string sub = i == 0 ? "primary" : "backup " + std::to_string(i);
        pass.builder.add_row(node_id, resolver_row(id, k, servers[i], result, title + " · " + sub));
    }
}

void add_tun_resolver_rows(GraphPass& pass) {
    const std::vector<std::string> tuns = pass.builder.carrier_state().tun_nodes;
    for (const std::string& id : tuns) {
        const GraphNode* node = pass.builder.find_node(id);
        if (node == nullptr || !node->if_index) continue;
        add_resolver_rows(pass, id, static_cast<std::uint32_t>(*node->if_index), kTunDnsTitle);
    }
}

void draw_intercept_sidecar(GraphBuilder& builder) {
    const FactSnapshot& snapshot = builder.snapshot();
    if (snapshot.intercept_level == kLevelNone) return;
    if (snapshot.egress_assessment && snapshot.egress_assessment->role == kRoleTunnel) return;
    if (!builder.configured_owner_pids().empty() && !builder.runtime_proxy_observed()) return;

    const std::string score = score_text(snapshot.intercept_score);
    builder.add_row(kSourceNodeId,
                    make_row(kInterceptEvidenceId, "evidence", snapshot.intercept_level, kStatusWarn,
                             "diagnostic only · score " + score + " · not a traffic hop", kRoleOut));

    std::vector<NodeItem> rows;
    rows.push_back(make_row("score", "assessment", "score " + score, kStatusWarn, "", kRoleProp));
    for (std::size_t i = 0; i < snapshot.intercept_reasons.size(); ++i)
        rows.push_back(make_row("signal-" + std::to_string(i), "signal", snapshot.intercept_reasons[i],
                                kStatusWarn, "", kRoleProp));
    std::size_t shown = 0;
    std::size_t collapsed = 0;
    for (const CandidateGroup& group : candidate_groups(snapshot)) {
        const std::string pid = std::to_string(group.pid);
        rows.push_back(make_row("candidate-" + pid, "process", "proxy candidate · PID " + pid, kStatusWarn,
                                group.name + " · " + std::to_string(group.endpoints.size()) + " endpoints",
                                kRoleProp));
        for (const std::string& endpoint : group.endpoints) {
            if (shown == kInterceptEndpointCap) {
                ++collapsed;
                continue;
            }
            ++shown;
            rows.push_back(
                make_row("ep-" + id_token(endpoint), "endpoint", endpoint, "", group.name, kRoleProp));
        }
    }
    if (collapsed > 0)
        rows.push_back(make_row("more", "more", std::to_string(collapsed) + " additional endpoints", "",
                                "collapsed by process", kRoleProp));

    builder.add_node(kInterceptEvidenceId, "Interception evidence", "diagnostic sidecar · NOT a traffic hop",
                     kNodeCore, kStatusWarn, false, std::move(rows));
    builder.set_layout_lane(kInterceptEvidenceId, "evidence");
    builder.add_edge(kSourceNodeId, kInterceptEvidenceId, kInterceptEvidenceId, kEdgeEvidence,
                     snapshot.intercept_confidence,
                     "host-level interception evidence; diagnostic relation only");
}

void draw_campus_nodes(GraphPass& pass) {
    const FactSnapshot& snapshot = pass.snapshot();
    const CampusFacts& campus = snapshot.campus;
    if (campus.reachable.empty()) return; // the campus probes did not run
    GraphBuilder& builder = pass.builder;

    std::vector<NodeItem> portal;
    NodeItem address =
        make_row("address", "IPv4", kPortalAddress, reached(campus, kPortalAddress) ? kStatusOk : kStatusFail,
                 "ICMP echo", kRoleAddr);
    address.probe = true;
    portal.push_back(std::move(address));
    NodeItem http = make_row("http", "HTTP", portal_http_text(campus),
                             campus.portal_ok ? kStatusOk : kStatusFail, campus.portal_title, kRoleProp);
    http.probe = true;
    portal.push_back(std::move(http));
    const bool logged_in = campus.login.recognized && !campus.login.user_name.empty();
    portal.push_back(make_row("login", "login", logged_in ? campus.login.user_name : "not detected",
                              logged_in ? kStatusOk : kStatusWarn, logged_in ? campus.login.online_ip : "",
                              kRoleProp));
    const struct {
        const char* id;
        const char* k;
        const char* sub;
        const std::optional<DnsProbeResult>& result;
        const std::string& kind;
    } resolvers[] = {
        {"kam-dns-primary", "KAM resolver · primary", "primary", campus.dns_primary, campus.dns_primary_kind},
        {"kam-dns-backup", "KAM resolver · backup", "backup 1", campus.dns_backup, campus.dns_backup_kind}};
    for (std::size_t i = 0; i < 2; ++i) {
        const auto& r = resolvers[i];
        std::vector<NodeItem> flag;
        flag.push_back(make_row("flag", "flag", r.kind.empty() ? "--" : r.kind,
                                r.kind == "proxy" ? kStatusWarn : "", "", kRoleProp));
        portal.push_back(resolver_row(r.id, r.k, kCampusResolvers[i], r.result.value_or(DnsProbeResult{}),
                                      r.sub, std::move(flag)));
    }
    portal.push_back(make_row("api", "KAM API", kApiEndpoint, campus.api_reachable ? kStatusOk : kStatusFail,
                              "", kRoleOut));
    builder.add_node(kPortalId, "KAM Portal", "HTTP probe · srun login", kNodeKam,
                     campus.portal_ok ? kStatusOk : kStatusFail, false, std::move(portal));

    std::vector<NodeItem> api;
    NodeItem api_address = make_row("address", "IPv4", kApiEndpoint,
                                    campus.api_reachable ? kStatusOk : kStatusFail, "", kRoleAddr);
    api_address.probe = true;
    api.push_back(std::move(api_address));
    api.push_back(make_row("http8800", "HTTP:8800", api_http_text(campus),
                           campus.api_reachable ? kStatusOk : kStatusFail,
                           campus.api_elapsed >= 0 ? latency_text(true, campus.api_elapsed) : "", kRoleProp));
    api.push_back(
        make_row("title", "title", campus.api_title.empty() ? "--" : campus.api_title, "", "", kRoleProp));
    builder.add_node(kApiId, "KAM API", "MsgApiPortal-associated API probe", kNodeKam,
                     campus.api_reachable ? kStatusOk : kStatusFail, false, std::move(api));

    // Only a carrier already on the graph is linked: a fresh adapter node here would float without
    // any traffic path leading to it.
    const auto& nics = builder.carrier_state().nic_ids;
    for (const CampusCarrier& carrier : campus_carriers(snapshot)) {
        if (const auto nic = nics.find(carrier.if_index); nic != nics.end())
            builder.add_edge(nic->second, "", kPortalId, kEdgeKam, carrier.confidence, carrier.evidence);
    }
    builder.add_edge(kPortalId, "api", kApiId, kEdgeKam, 1.0, "Portal-associated API probe");
}

} // namespace wirelux
