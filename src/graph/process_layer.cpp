#include "graph/process_layer.h"

#include "graph/flow_contexts.h"
#include "graph/graph_words.h"
#include "graph/local_relations.h"
#include "graph/route_relations.h"

#include <algorithm>
#include <string_view>
#include <type_traits>

namespace wirelux {
namespace {

bool is_ipv6_text(std::string_view address) {
    return address.find(':') != std::string_view::npos;
}

std::string process_name(const FactSnapshot& snapshot, std::uint32_t pid) {
    const auto found = snapshot.processes.find(pid);
    if (found == snapshot.processes.end() || found->second.name.empty()) return "PID " + std::to_string(pid);
    return found->second.name;
}

const CoreInfo* core_of(const FactSnapshot& snapshot, std::uint32_t pid) {
    for (const CoreInfo& core : snapshot.core_infos)
        if (core.pid == pid) return &core;
    return nullptr;
}

const ProcessSockets& sockets_of(GraphBuilder& builder, std::uint32_t pid) {
    ProcessLayerState& state = builder.process_state();
    auto found = state.sockets.find(pid);
    if (found == state.sockets.end()) {
        if (!state.socket_index) state.socket_index = index_process_sockets(builder.snapshot());
        found =
            state.sockets.emplace(pid, gather_process_sockets(builder.snapshot(), *state.socket_index, pid))
                .first;
    }
    return found->second;
}

// The first cap sockets as rows, then one "more" row for the rest.
template <class Row, class Endpoint>
std::vector<NodeItem> capped_rows(const std::vector<Row>& sockets, std::size_t cap, const Endpoint& endpoint,
                                  const std::string& prefix, const std::string& row_k,
                                  const std::string& more_word, const std::string& more_meta) {
    std::vector<NodeItem> rows;
    for (std::size_t i = 0; i < sockets.size() && i < cap; ++i)
        rows.push_back(
            make_row(prefix + "-" + std::to_string(i + 1), row_k, endpoint(sockets[i]), "", "", kRoleProp));
    if (sockets.size() > cap)
        rows.push_back(make_row(prefix + "-more", "more",
                                std::to_string(sockets.size() - cap) + " additional " + more_word, "",
                                more_meta, kRoleProp));
    return rows;
}

template <class Row, class Endpoint>
std::string summary_value(const std::vector<Row>& sockets, const Endpoint& endpoint) {
    return std::to_string(sockets.size()) + " · " + endpoint(sockets.front());
}

std::string tcp_endpoint(const TcpRow& row) {
    return endpoint_text(row.local_address, row.local_port);
}
std::string udp_endpoint(const UdpRow& row) {
    return endpoint_text(row.local_address, row.local_port);
}

} // namespace

std::string endpoint_text(const std::string& address, std::uint16_t port) {
    if (is_ipv6_text(address)) return "[" + address + "]:" + std::to_string(port);
    return address + ":" + std::to_string(port);
}

ProcessSocketIndex index_process_sockets(const FactSnapshot& snapshot) {
    ProcessSocketIndex index;
    for (std::size_t i = 0; i < snapshot.tcp_listeners.size(); ++i)
        index.listeners[snapshot.tcp_listeners[i].pid].push_back(i);
    for (std::size_t i = 0; i < snapshot.udp_rows.size(); ++i)
        index.udp[snapshot.udp_rows[i].pid].push_back(i);
    for (std::size_t i = 0; i < snapshot.tcp_rows.size(); ++i)
        if (snapshot.tcp_rows[i].state == kTcpStateEstablished)
            index.established[snapshot.tcp_rows[i].pid].push_back(i);
    return index;
}

ProcessSockets gather_process_sockets(const FactSnapshot& snapshot, const ProcessSocketIndex& index,
                                      std::uint32_t pid) {
    const auto rows_of = [pid](const auto& positions, const auto& list) {
        std::vector<std::decay_t<decltype(list.front())>> rows;
        const auto found = positions.find(pid);
        if (found == positions.end()) return rows;
        rows.reserve(found->second.size());
        for (const std::size_t i : found->second)
            rows.push_back(list[i]);
        return rows;
    };
    ProcessSockets sockets;
    sockets.listeners = rows_of(index.listeners, snapshot.tcp_listeners);
    sockets.udp = rows_of(index.udp, snapshot.udp_rows);
    sockets.established = rows_of(index.established, snapshot.tcp_rows);
    return sockets;
}

std::string draw_process_node(GraphBuilder& builder, std::uint32_t pid, std::int64_t layer) {
    layer = std::max<std::int64_t>(layer, 0);
    ProcessLayerState& state = builder.process_state();
    const std::string key = std::to_string(layer) + "|" + std::to_string(pid);
    if (const auto drawn = state.nodes.find(key); drawn != state.nodes.end()) {
        attach_flow_contexts(builder, drawn->second, pid);
        return drawn->second;
    }
    if (!builder.node_budget_left()) return {};

    const FactSnapshot& snapshot = builder.snapshot();
    const std::string name = process_name(snapshot, pid);
    const std::string layer_text = std::to_string(layer);
    const ProcessSockets& sockets = sockets_of(builder, pid);
    const CoreInfo* core = core_of(snapshot, pid);
    const bool is_core = core != nullptr || snapshot.core_pids.contains(pid);
    const std::string owner = name + " · PID " + std::to_string(pid);

    std::vector<NodeItem> rows;
    rows.push_back(make_row("pid", "PID", std::to_string(pid), "", "entity layer " + layer_text, kRoleProp));
    if (!sockets.listeners.empty()) {
        NodeItem row = make_row("listeners", "listeners", summary_value(sockets.listeners, tcp_endpoint), "",
                                "click to inspect; endpoints merged by process", kRoleProp);
        row.detail = make_detail("TCP listeners", owner, "socket", "",
                                 capped_rows(sockets.listeners, kListenerRowCap, tcp_endpoint, "listen",
                                             "listen", "listeners",
                                             "visual detail capped; full inventory remains in report table"));
        rows.push_back(std::move(row));
    }
    if (!sockets.udp.empty()) {
        NodeItem row = make_row("udp", "UDP binds", summary_value(sockets.udp, udp_endpoint), "",
                                "click to inspect", kRoleProp);
        row.detail = make_detail("UDP bindings", owner, "socket", "",
                                 capped_rows(sockets.udp, kUdpRowCap, udp_endpoint, "udp", "UDP", "bindings",
                                             "visual detail capped"));
        rows.push_back(std::move(row));
    }
    if (auto remote = remote_sockets_row(snapshot, sockets.established)) rows.push_back(std::move(*remote));
    if (core != nullptr && core->answered && !core->live_controller.empty())
        rows.push_back(make_row("api", "API", core->live_controller, kStatusOk, "", kRoleProp));
    if (core != nullptr && !core->find_process_mode.empty())
        rows.push_back(make_row("findproc", "find-process", core->find_process_mode, "", "", kRoleProp));

    const std::string sub =
        (is_core ? "proxy core · entity layer " : "local connector/process · entity layer ") + layer_text;
    const std::string id = builder.add_node("proc-" + std::to_string(pid) + "-l" + layer_text, name, sub,
                                            kNodeCore, kStatusOk, false, std::move(rows));
    state.drawn_pids.insert(pid);
    builder.set_process_id(id, pid);
    builder.set_layer(id, layer);
    state.nodes.emplace(key, id);
    state.node_order.push_back(id);
    attach_flow_contexts(builder, id, pid);
    draw_local_relations(builder, id, pid);
    return id;
}

} // namespace wirelux
