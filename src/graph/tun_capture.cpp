#include "graph/tun_capture.h"

#include "graph/flow_contexts.h"
#include "graph/graph_words.h"
#include "graph/process_layer.h"
#include "graph/tun_node.h"

#include <algorithm>

namespace wirelux {
namespace {

struct CapturedProcess {
    std::uint32_t pid = 0;
    double confidence = -1.0;
    std::string attribution;
    std::vector<const AttributedConnection*> connections;
};

// One entry per process in first-seen order, with the best attribution among its connections.
std::vector<CapturedProcess> by_process(const std::vector<const AttributedConnection*>& connections) {
    std::vector<CapturedProcess> processes;
    for (const AttributedConnection* connection : connections) {
        auto process = std::find_if(processes.begin(), processes.end(),
                                    [&](const CapturedProcess& p) { return p.pid == connection->pid; });
        if (process == processes.end()) {
            processes.push_back(CapturedProcess{connection->pid, -1.0, {}, {}});
            process = processes.end() - 1;
        }
        process->connections.push_back(connection);
        if (connection->confidence > process->confidence) {
            process->confidence = connection->confidence;
            process->attribution = connection->attribution;
        }
    }
    return processes;
}

std::string name_of(const FactSnapshot& snapshot, std::uint32_t pid) {
    const auto found = snapshot.processes.find(pid);
    if (found == snapshot.processes.end() || found->second.name.empty()) return "PID " + std::to_string(pid);
    return found->second.name;
}

bool is_proxy_process(const FactSnapshot& snapshot, std::uint32_t pid) {
    if (snapshot.core_pids.contains(pid)) return true;
    const auto& protocol = snapshot.protocol_proxy_pids;
    if (std::find(protocol.begin(), protocol.end(), pid) != protocol.end()) return true;
    const auto is_pid = [pid](const auto& record) { return record.pid == pid; };
    return std::any_of(snapshot.core_infos.begin(), snapshot.core_infos.end(), is_pid) ||
           std::any_of(snapshot.candidate_processes.begin(), snapshot.candidate_processes.end(), is_pid);
}

NodeItem capture_row(const FactSnapshot& snapshot, const CapturedProcess& process, const std::string& what) {
    const std::string pid = std::to_string(process.pid);
    const std::string name = name_of(snapshot, process.pid);
    const std::vector<FlowContext> contexts = group_flow_contexts(process.connections);
    std::vector<NodeItem> flows;
    for (std::size_t i = 0; i < contexts.size() && i < kFlowRowCap; ++i) {
        const std::string n = std::to_string(i + 1);
        flows.push_back(make_row("flow-" + n, "flow " + n, flow_context_label(contexts[i]),
                                 status_from_confidence(contexts[i].confidence),
                                 confidence_word(contexts[i].confidence, contexts[i].attribution),
                                 kRoleProp));
    }
    if (contexts.size() > kFlowRowCap)
        flows.push_back(make_row("more", "more",
                                 std::to_string(contexts.size() - kFlowRowCap) + " additional contexts", "",
                                 "visual detail capped", kRoleProp));
    NodeItem row = make_row("capture-" + pid, "process", name, status_from_confidence(process.confidence),
                            confidence_word(process.confidence, process.attribution), kRoleOut);
    row.detail = make_detail(what + " · PID " + pid + " · merged by entity",
                             name + " · " + std::to_string(process.connections.size()) + " flows", "flow", "",
                             std::move(flows));
    return row;
}

struct Descent {
    GraphBuilder& builder;
    std::vector<std::uint32_t> path; // pids met from the TUN down to the current node
};

void capture_from(Descent& descent, const std::string& source, std::int64_t source_layer,
                  const std::vector<const AttributedConnection*>& connections, const std::string& what) {
    GraphBuilder& builder = descent.builder;
    const FactSnapshot& snapshot = builder.snapshot();
    const GraphLimits& limits = builder.limits();
    const std::vector<CapturedProcess> processes = by_process(connections);
    const auto depth = static_cast<std::int64_t>(descent.path.size()) + 1;

    for (std::size_t i = 0; i < processes.size(); ++i) {
        const CapturedProcess& process = processes[i];
        if (!builder.node_budget_left()) {
            builder.put_row(source, make_row("capture-more", "more",
                                             std::to_string(processes.size() - i) + " additional processes",
                                             "", "node budget reached; kept in runtime evidence", kRoleProp));
            return;
        }
        const auto seen = std::count(descent.path.begin(), descent.path.end(), process.pid);
        if (seen >= limits.max_repeat_per_pid) {
            builder.put_row(source,
                            make_row("cyclecap", "trace", "repeat limit reached", kStatusWarn,
                                     "same process already observed repeatedly in this path", kRoleProp));
            continue;
        }
        builder.put_row(source, capture_row(snapshot, process, what));
        const std::string node = draw_process_node(builder, process.pid, source_layer + 1);
        if (node.empty()) continue;
        const std::string row_id = "capture-" + std::to_string(process.pid);
        builder.add_edge(source, row_id, node, kEdgeMain, process.confidence, process.attribution);
        if (is_proxy_process(snapshot, process.pid)) builder.note_runtime_proxy_process(process.pid);

        if (depth > limits.max_depth) continue;
        const bool rule_known = std::any_of(process.connections.begin(), process.connections.end(),
                                            [](const AttributedConnection* c) { return !c->rule.empty(); });
        record_trace(builder, TraceRecord{source, trace_kind(process.attribution, rule_known), node,
                                          process.attribution, depth, process.confidence, true});

        // A captured process that is itself a core hands its own connections one layer further down.
        const std::vector<const AttributedConnection*> forwarded = core_connections(builder, process.pid);
        if (forwarded.empty() || depth >= limits.max_depth) continue;
        descent.path.push_back(process.pid);
        capture_from(descent, node, source_layer + 1, forwarded, "runtime capture");
        descent.path.pop_back();
    }
}

} // namespace

std::vector<const AttributedConnection*> tun_connections(GraphBuilder& builder) {
    const FactSnapshot& snapshot = builder.snapshot();
    std::vector<const AttributedConnection*> connections;
    for (const AttributedConnection& connection : attributed_connections(builder))
        if (snapshot.core_infos[connection.core].tun_enabled) connections.push_back(&connection);
    return connections;
}

std::vector<const AttributedConnection*> core_connections(GraphBuilder& builder, std::uint32_t pid) {
    const FactSnapshot& snapshot = builder.snapshot();
    std::vector<const AttributedConnection*> connections;
    for (const AttributedConnection& connection : attributed_connections(builder))
        if (snapshot.core_infos[connection.core].pid == pid) connections.push_back(&connection);
    return connections;
}

void draw_tun_captures(GraphBuilder& builder) {
    const std::vector<std::string> tuns = builder.carrier_state().tun_nodes;
    const std::vector<const AttributedConnection*> connections = tun_connections(builder);
    for (const std::string& tun : tuns) {
        const GraphNode* node = builder.find_node(tun);
        if (node == nullptr) continue;
        // Drawing below may move the node list; keep what is needed of the node now.
        const std::int64_t layer = node->layer.value_or(1);
        const auto if_index = static_cast<std::uint32_t>(node->if_index.value_or(0));
        // A core whose configuration names another device routes nothing into this TUN.
        std::vector<const AttributedConnection*> into;
        for (const AttributedConnection* connection : connections)
            if (core_runs_tun(builder.snapshot(), builder.snapshot().core_infos[connection->core], if_index))
                into.push_back(connection);
        if (into.empty()) {
            builder.put_row(tun, make_row("owner", "capture", "owner not exposed", kStatusWarn,
                                          "no matching runtime API/process evidence", kRoleProp));
            continue;
        }
        builder.note_runtime_proxy_seen();
        Descent descent{builder, {}};
        capture_from(descent, tun, layer, into, "TUN capture");
    }
}

} // namespace wirelux
