#include "graph/local_relations.h"

#include "graph/flow_contexts.h"
#include "graph/graph_words.h"
#include "graph/process_layer.h"
#include "model/address_tests.h"
#include "util/text_memo.h"

#include <algorithm>
#include <string_view>

namespace wirelux {
namespace {

constexpr double kConfigured = 0.8;
constexpr double kReversePeer = 0.9;
constexpr double kListenerFallback = 0.6;

// The owner of the established loopback row with these ends; nothing when no row has them.
std::optional<std::uint32_t> established_owner(const LoopbackSocketIndex& index, const std::string& local,
                                               std::uint16_t local_port, const std::string& remote,
                                               std::uint16_t remote_port) {
    const auto local_number = index.address_numbers.find(normalised_address(local));
    const auto remote_number = index.address_numbers.find(normalised_address(remote));
    if (local_number == index.address_numbers.end() || remote_number == index.address_numbers.end())
        return std::nullopt;
    const auto found = index.established.find(
        LoopbackSocketIndex::Ends{local_number->second, remote_number->second, local_port, remote_port});
    if (found == index.established.end()) return std::nullopt;
    return found->second;
}

// The owner of a listener that accepts connections to the address and port.
std::optional<std::uint32_t> listener_owner(const FactSnapshot& snapshot, const LoopbackSocketIndex& index,
                                            const std::string& address, std::uint16_t port) {
    const auto found = index.listeners.find(port);
    if (found == index.listeners.end()) return std::nullopt;
    for (const std::size_t i : found->second) {
        const TcpRow& listener = snapshot.tcp_listeners[i];
        if (same_address(listener.local_address, address) || is_unspecified_address(listener.local_address))
            return listener.pid;
    }
    return std::nullopt;
}

void keep(std::vector<LocalRelation>& relations, LocalRelation relation) {
    const auto same = std::find_if(relations.begin(), relations.end(),
                                   [&](const LocalRelation& r) { return r.pid == relation.pid; });
    if (same == relations.end()) {
        relations.push_back(std::move(relation));
        return;
    }
    same->sockets += relation.sockets;
    if (relation.confidence > same->confidence) {
        same->confidence = relation.confidence;
        same->evidence = std::move(relation.evidence);
        same->endpoint = std::move(relation.endpoint);
    }
}

std::string name_of(const FactSnapshot& snapshot, std::uint32_t pid) {
    const auto found = snapshot.processes.find(pid);
    if (found == snapshot.processes.end() || found->second.name.empty()) return "PID " + std::to_string(pid);
    return found->second.name;
}

} // namespace

LoopbackSocketIndex index_loopback_sockets(const FactSnapshot& snapshot) {
    LoopbackSocketIndex index;
    // Each distinct address text is tested and numbered once: the rows repeat a few of them. Texts
    // that spell the same address get the same number.
    TextMemo<bool> loopback([](std::string_view text) { return is_loopback_host(text); });
    TextMemo<std::uint32_t> number([&index](std::string_view text) {
        const auto next = static_cast<std::uint32_t>(index.address_numbers.size());
        return index.address_numbers.try_emplace(normalised_address(text), next).first->second;
    });
    for (std::size_t i = 0; i < snapshot.tcp_rows.size(); ++i) {
        const TcpRow& row = snapshot.tcp_rows[i];
        if (row.state != kTcpStateEstablished || !loopback(row.remote_address)) continue;
        index.established.emplace(LoopbackSocketIndex::Ends{number(row.local_address),
                                                            number(row.remote_address), row.local_port,
                                                            row.remote_port},
                                  row.pid);
        index.loopback_rows[row.pid].push_back(i);
    }
    for (std::size_t i = 0; i < snapshot.tcp_listeners.size(); ++i) {
        const TcpRow& listener = snapshot.tcp_listeners[i];
        index.listeners[listener.local_port].push_back(i);
        index.listener_ports[listener.pid].push_back(listener.local_port);
    }
    return index;
}

std::vector<LocalRelation> local_relations(const FactSnapshot& snapshot, const LoopbackSocketIndex& index,
                                           std::uint32_t pid) {
    std::vector<LocalRelation> relations;
    for (const CoreInfo& core : snapshot.core_infos) {
        if (core.pid != pid) continue;
        for (const OutboundProxy& proxy : core.outbound_proxies) {
            if (!is_loopback_host(proxy.server)) continue;
            const std::string address = proxy.server == "localhost" ? "127.0.0.1" : proxy.server;
            const auto owner = listener_owner(snapshot, index, address, proxy.port);
            if (!owner || *owner == pid || *owner == 0) continue;
            keep(relations,
                 LocalRelation{*owner, kConfigured, "runtime-config local endpoint + listener owner", 0,
                               endpoint_text(address, proxy.port)});
        }
    }
    static const std::vector<std::uint16_t> kNoPorts;
    static const std::vector<std::size_t> kNoRows;
    const auto ports = index.listener_ports.find(pid);
    const std::vector<std::uint16_t>& own_ports =
        ports == index.listener_ports.end() ? kNoPorts : ports->second;
    const auto rows = index.loopback_rows.find(pid);
    for (const std::size_t i : rows == index.loopback_rows.end() ? kNoRows : rows->second) {
        const TcpRow& row = snapshot.tcp_rows[i];
        if (std::find(own_ports.begin(), own_ports.end(), row.local_port) != own_ports.end()) continue;
        const std::string endpoint = endpoint_text(row.remote_address, row.remote_port);
        if (const auto peer = established_owner(index, row.remote_address, row.remote_port, row.local_address,
                                                row.local_port)) {
            if (*peer != pid && *peer != 0)
                keep(relations,
                     LocalRelation{*peer, kReversePeer, "live local TCP + reverse peer owner", 1, endpoint});
            continue;
        }
        const auto owner = listener_owner(snapshot, index, row.remote_address, row.remote_port);
        if (owner && *owner != pid && *owner != 0)
            keep(relations, LocalRelation{*owner, kListenerFallback,
                                          "live local TCP + listener owner fallback", 1, endpoint});
    }
    return relations;
}

void draw_local_relations(GraphBuilder& builder, const std::string& node_id, std::uint32_t pid) {
    const FactSnapshot& snapshot = builder.snapshot();
    FlowLayerState& state = builder.flow_state();
    if (!state.loopback_index) state.loopback_index = index_loopback_sockets(snapshot);
    const std::vector<LocalRelation> relations = local_relations(snapshot, *state.loopback_index, pid);

    std::size_t drawn = 0;
    for (const LocalRelation& relation : relations) {
        if (drawn == kRelationRowCap || !builder.node_budget_left()) break;
        const std::string target_pid = std::to_string(relation.pid);
        const std::string name = name_of(snapshot, relation.pid);
        const std::string target = builder.add_node(
            "local-pid-" + target_pid, name,
            "local process relation · PID " + target_pid + " · merged by entity", kNodeCore, kStatusOk, false,
            {make_row("pid", "PID", target_pid, "", "local peer process", kRoleProp)});
        builder.set_process_id(target, relation.pid);
        const std::string row_id = "route-local-" + target_pid;
        const std::string meta = relation.sockets > 1
                                     ? "merged by target process · " + name
                                     : "local · process-wide relation; logical flow not correlated";
        builder.add_row(node_id, make_row(row_id, "local", name + " · " + relation.endpoint,
                                          status_from_confidence(relation.confidence), meta, kRoleOut));
        builder.add_edge(node_id, row_id, target, kEdgeEvidence, relation.confidence, relation.evidence);
        record_trace(builder, TraceRecord{node_id, trace_kind(relation.evidence, false), target,
                                          relation.evidence, 1, relation.confidence, false});
        ++drawn;
    }
    if (drawn < relations.size())
        builder.add_row(node_id,
                        make_row("route-local-more", "more",
                                 std::to_string(relations.size() - drawn) + " additional relation contexts",
                                 "", "compact visual cap", kRoleProp));
}

} // namespace wirelux
