#include "graph/route_relations.h"

#include "facts/campus_collect.h"
#include "graph/flow_contexts.h"
#include "graph/graph_words.h"
#include "graph/local_relations.h"
#include "model/address_tests.h"
#include "util/text_memo.h"

#include <algorithm>
#include <string_view>

namespace wirelux {
namespace {

constexpr const char* kConfiguredOwnerNote =
    "configured local proxy owner + live proxy-process outbound socket";
constexpr const char* kRuntimeRuleNote = "runtime rule present; socket-to-flow pairing inferred";
constexpr const char* kUncorrelatedNote = "process-wide socket; logical pass not correlated";

bool is_local_peer(const FactSnapshot& snapshot, std::string_view remote) {
    const std::string address = normalised_address(remote);
    if (address.empty() || is_unspecified_address(address)) return true;
    return is_local_host(address, {}, snapshot.own_addresses);
}

const AdapterInfo* adapter_owning(const FactSnapshot& snapshot, std::string_view local) {
    const auto owns = [&](const IfAddress& own) { return same_address(own.address, local); };
    for (const AdapterInfo& adapter : snapshot.adapters)
        if (std::any_of(adapter.ipv4.begin(), adapter.ipv4.end(), owns) ||
            std::any_of(adapter.ipv6.begin(), adapter.ipv6.end(), owns))
            return &adapter;
    return nullptr;
}

std::string adapter_name(const FactSnapshot& snapshot, std::uint32_t if_index) {
    const AdapterInfo* adapter = find_adapter(snapshot, if_index);
    return adapter == nullptr || adapter->friendly_name.empty() ? kUnknownInterface : adapter->friendly_name;
}

bool same_interface(const SocketInterface& a, const SocketInterface& b) {
    return a.if_index == b.if_index && (a.if_index || a.name == b.name);
}

// The node the relation's edge ends on: the interface's TUN node, else its carrier node.
std::string interface_node(const GraphBuilder& builder, std::uint32_t if_index) {
    const CarrierLayerState& carriers = builder.carrier_state();
    for (const std::string& id : carriers.tun_nodes) {
        const GraphNode* node = builder.find_node(id);
        if (node != nullptr && node->if_index == static_cast<std::int64_t>(if_index)) return id;
    }
    if (const auto nic = carriers.nic_ids.find(if_index);
        nic != carriers.nic_ids.end() && builder.find_node(nic->second) != nullptr)
        return nic->second;
    return {};
}

void draw_node_relations(GraphBuilder& builder, const std::string& node_id, std::uint32_t pid,
                         const std::vector<TcpRow>& established) {
    const std::vector<RouteRelation> relations = route_relations(builder.snapshot(), established);
    if (relations.empty()) return;
    const std::string note = route_relation_note(builder, node_id, pid);
    const bool rule_known = note == kRuntimeRuleNote;

    std::size_t drawn = 0;
    for (const RouteRelation& relation : relations) {
        if (drawn == kRelationRowCap) break;
        const SocketInterface& to = relation.interface;
        const std::string row_id =
            to.if_index ? "route-if-" + std::to_string(*to.if_index) : std::string("route-unknown");
        builder.add_row(node_id, make_row(row_id, "route",
                                          to.name + " · " + std::to_string(relation.sockets) + " socket(s)",
                                          status_from_confidence(to.confidence), note, kRoleOut));
        ++drawn;
        if (!to.if_index) continue;
        const std::string target = interface_node(builder, *to.if_index);
        if (target.empty()) continue;
        builder.add_edge(node_id, row_id, target, kEdgeEvidence, to.confidence, to.evidence);
        record_trace(builder, TraceRecord{node_id, trace_kind(to.evidence, rule_known), target, to.evidence,
                                          1, to.confidence, false});
    }
    if (drawn < relations.size())
        builder.add_row(node_id,
                        make_row("route-more", "more",
                                 std::to_string(relations.size() - drawn) + " additional relation contexts",
                                 "", "compact visual cap", kRoleProp));
}

SocketInterface interface_by_source(const AdapterInfo& adapter) {
    return SocketInterface{adapter.if_index,
                           adapter.friendly_name.empty() ? kUnknownInterface : adapter.friendly_name,
                           kRouteBySource, kSourceConfidence};
}

SocketInterface interface_by_route(const FactSnapshot& snapshot, std::string_view remote) {
    const std::string peer = normalised_address(remote);
    if (const RouteRow* route = route_for(peer, snapshot.routes, snapshot.adapters))
        return SocketInterface{route->if_index, adapter_name(snapshot, route->if_index), kRouteByLookup,
                               kLookupConfidence};
    return SocketInterface{std::nullopt, kUnknownInterface, "", kUnknownConfidence};
}

// What the relations ask of each socket row, answered once per distinct address text: a process's
// sockets share a few local addresses and repeat their peers, and each answer parses addresses
// against every adapter address or route.
class SocketQuestions {
public:
    explicit SocketQuestions(const FactSnapshot& snapshot)
        : local_peer_([&snapshot](std::string_view remote) { return is_local_peer(snapshot, remote); }),
          ipv6_peer_([](std::string_view remote) {
              return normalised_address(remote).find(':') != std::string::npos;
          }),
          owner_([&snapshot](std::string_view local) { return adapter_owning(snapshot, local); }),
          routed_([&snapshot](std::string_view remote) { return interface_by_route(snapshot, remote); }) {}

    // Established to a peer outside this machine.
    bool outbound(const TcpRow& socket) {
        return socket.state == kTcpStateEstablished && !local_peer_(socket.remote_address);
    }
    bool ipv6_peer(const TcpRow& socket) { return ipv6_peer_(socket.remote_address); }
    SocketInterface interface_of(const TcpRow& socket) {
        if (const AdapterInfo* adapter = owner_(socket.local_address)) return interface_by_source(*adapter);
        return routed_(socket.remote_address);
    }

private:
    TextMemo<bool> local_peer_;
    TextMemo<bool> ipv6_peer_;
    TextMemo<const AdapterInfo*> owner_;
    TextMemo<SocketInterface> routed_;
};

} // namespace

SocketInterface socket_interface(const FactSnapshot& snapshot, const TcpRow& socket) {
    if (const AdapterInfo* adapter = adapter_owning(snapshot, socket.local_address))
        return interface_by_source(*adapter);
    return interface_by_route(snapshot, socket.remote_address);
}

std::vector<RouteRelation> route_relations(const FactSnapshot& snapshot,
                                           const std::vector<TcpRow>& established) {
    std::vector<RouteRelation> relations;
    SocketQuestions ask(snapshot);
    for (const TcpRow& socket : established) {
        if (!ask.outbound(socket)) continue;
        SocketInterface to = ask.interface_of(socket);
        auto relation = std::find_if(relations.begin(), relations.end(),
                                     [&](const RouteRelation& r) { return same_interface(r.interface, to); });
        if (relation == relations.end()) {
            relations.push_back(RouteRelation{std::move(to), 1});
            continue;
        }
        ++relation->sockets;
        if (to.confidence > relation->interface.confidence) relation->interface = std::move(to);
    }
    return relations;
}

std::vector<RemoteSocketGroup> remote_socket_groups(const FactSnapshot& snapshot,
                                                    const std::vector<TcpRow>& established) {
    std::vector<RemoteSocketGroup> groups;
    SocketQuestions ask(snapshot);
    for (const TcpRow& socket : established) {
        if (!ask.outbound(socket)) continue;
        const char* family = ask.ipv6_peer(socket) ? "IPv6" : "IPv4";
        SocketInterface to = ask.interface_of(socket);
        auto group = std::find_if(groups.begin(), groups.end(), [&](const RemoteSocketGroup& g) {
            return std::string_view(g.family) == family && same_interface(g.interface, to);
        });
        if (group == groups.end()) {
            groups.push_back(RemoteSocketGroup{family, std::move(to), 1});
            continue;
        }
        ++group->sockets;
        if (to.confidence > group->interface.confidence) group->interface = std::move(to);
    }
    return groups;
}

std::optional<NodeItem> remote_sockets_row(const FactSnapshot& snapshot, const std::vector<TcpRow>& established) {
    const std::vector<RemoteSocketGroup> groups = remote_socket_groups(snapshot, established);
    if (groups.empty()) return std::nullopt;
    std::vector<NodeItem> rows;
    for (const RemoteSocketGroup& group : groups) {
        const SocketInterface& to = group.interface;
        const std::string key = std::string(group.family) + "-" +
                                (to.if_index ? std::to_string(*to.if_index) : std::string("unknown"));
        rows.push_back(make_row("remote-route-" + id_token(key), std::string(group.family) + " · " + to.name,
                                std::to_string(group.sockets) + " socket(s)", status_from_confidence(to.confidence),
                                to.evidence, kRoleProp));
    }
    NodeItem row = make_row("remote-sockets", "remote sockets", std::to_string(groups.size()), "",
                            "process-wide established sockets; click to inspect route groups", kRoleProp);
    row.detail = make_detail("Remote socket groups", "passive process-wide evidence", "socket", "", std::move(rows));
    return row;
}

std::string route_relation_note(const GraphBuilder& builder, const std::string& node_id, std::uint32_t pid) {
    if (builder.configured_owner_pids().contains(pid)) return kConfiguredOwnerNote;
    const auto& contexts = builder.flow_state().node_contexts;
    if (const auto found = contexts.find(node_id); found != contexts.end())
        if (std::any_of(found->second.begin(), found->second.end(),
                        [](const FlowContext& context) { return !context.rule.empty(); }))
            return kRuntimeRuleNote;
    return kUncorrelatedNote;
}

void draw_route_relations(GraphBuilder& builder) {
    const std::vector<std::string> order = builder.process_state().node_order;
    for (const std::string& id : order) {
        const GraphNode* node = builder.find_node(id);
        if (node == nullptr || !node->process_id) continue;
        const auto pid = static_cast<std::uint32_t>(*node->process_id);
        const auto& sockets = builder.process_state().sockets;
        const auto found = sockets.find(pid);
        if (found == sockets.end()) continue;
        draw_node_relations(builder, id, pid, found->second.established);
    }
}

} // namespace wirelux
