#include "graph/graph_builder.h"

#include "graph/graph_words.h"
#include "graph/run_context.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace wirelux {
namespace {

std::string edge_key(const std::string& from, const std::string& from_item, const std::string& to) {
    return from + "|" + from_item + "|" + to;
}

bool has_row(const GraphNode& node, const std::string& row_id) {
    return std::any_of(node.items.begin(), node.items.end(),
                       [&](const NodeItem& item) { return item.id == row_id; });
}

} // namespace

NodeItem make_row(std::string id, std::string k, std::string v, std::string status, std::string meta,
                  std::string role) {
    NodeItem row;
    row.id = std::move(id);
    row.k = std::move(k);
    row.v = std::move(v);
    row.status = std::move(status);
    row.meta = std::move(meta);
    row.role = std::move(role);
    return row;
}

ItemDetail make_detail(std::string label, std::string sub, std::string kind, std::string status,
                       std::vector<NodeItem> items) {
    return ItemDetail{std::move(label), std::move(sub), std::move(kind), std::move(status), std::move(items)};
}

InterceptionSummary summarize_interception(const FactSnapshot& snapshot) {
    InterceptionSummary summary;
    summary.level = snapshot.intercept_level;
    summary.display_level = snapshot.intercept_level;
    summary.score = round_two_decimals(snapshot.intercept_score);
    summary.signals = snapshot.intercept_reasons;
    summary.proxy_like_listeners = snapshot.candidate_listeners.size();
    summary.proxy_candidate_processes = snapshot.candidate_processes.size();
    summary.protocol_proxy_listeners = snapshot.protocol_proxy_listeners.size();
    summary.protocol_proxy_processes = snapshot.protocol_proxy_pids.size();
    summary.driver_hits = snapshot.vpn_drivers.size();
    summary.service_hits = snapshot.vpn_services.size();
    summary.route_source_mismatch = snapshot.route_source_probe && snapshot.route_source_probe->mismatch;
    return summary;
}

GraphLimits graph_limits(const RunContext& context) {
    return GraphLimits{context.max_depth, context.max_nodes, context.max_repeat_per_pid};
}

int source_row_rank(const std::string& row_id, bool egress_tunnel_like) {
    const std::string_view id = row_id;
    if (id == "default") return egress_tunnel_like ? 20 : 10;
    if (id.starts_with("policy-")) return egress_tunnel_like ? 10 : 20;
    if (id == "default-v6") return 25;
    if (id.starts_with("alt-") || id.starts_with("route6-")) return 40;
    if (id.starts_with("adapter-")) return 60;
    if (id == "proxy-bypass" || id == "no-proxy" || id == "pac") return 70;
    if (id == kInterceptEvidenceId) return 90;
    return 50;
}

GraphBuilder::GraphBuilder(const FactSnapshot& snapshot, GraphLimits limits)
    : snapshot_(&snapshot), limits_(limits) {}

std::string GraphBuilder::add_node(std::string id, std::string label, std::string sub, std::string kind,
                                   std::string status, bool sel, std::vector<NodeItem> items) {
    if (node_index_.count(id) != 0) return id;
    GraphNode node;
    node.id = id;
    node.label = std::move(label);
    node.sub = std::move(sub);
    node.kind = std::move(kind);
    node.status = std::move(status);
    node.sel = sel;
    for (NodeItem& item : items) {
        if (!has_row(node, item.id)) node.items.push_back(std::move(item));
    }
    node_index_.emplace(id, nodes_.size());
    nodes_.push_back(std::move(node));
    return id;
}

GraphNode* GraphBuilder::node_mut(const std::string& node_id) {
    const auto found = node_index_.find(node_id);
    return found == node_index_.end() ? nullptr : &nodes_[found->second];
}

const GraphNode* GraphBuilder::find_node(const std::string& node_id) const {
    const auto found = node_index_.find(node_id);
    return found == node_index_.end() ? nullptr : &nodes_[found->second];
}

void GraphBuilder::set_if_index(const std::string& node_id, std::int64_t value) {
    if (GraphNode* node = node_mut(node_id)) node->if_index = value;
}

void GraphBuilder::set_layer(const std::string& node_id, std::int64_t value) {
    if (GraphNode* node = node_mut(node_id)) node->layer = value;
}

void GraphBuilder::set_process_id(const std::string& node_id, std::int64_t value) {
    if (GraphNode* node = node_mut(node_id)) node->process_id = value;
}

void GraphBuilder::set_layout_lane(const std::string& node_id, std::string value) {
    if (GraphNode* node = node_mut(node_id)) node->layout_lane = std::move(value);
}

void GraphBuilder::set_status(const std::string& node_id, std::string value) {
    if (GraphNode* node = node_mut(node_id)) node->status = std::move(value);
}

void GraphBuilder::set_sub(const std::string& node_id, std::string value) {
    if (GraphNode* node = node_mut(node_id)) node->sub = std::move(value);
}

void GraphBuilder::add_row(const std::string& node_id, NodeItem row) {
    GraphNode* node = node_mut(node_id);
    if (node == nullptr || has_row(*node, row.id)) return;
    node->items.push_back(std::move(row));
}

void GraphBuilder::put_row(const std::string& node_id, NodeItem row) {
    GraphNode* node = node_mut(node_id);
    if (node == nullptr) return;
    const auto same = std::find_if(node->items.begin(), node->items.end(),
                                   [&](const NodeItem& item) { return item.id == row.id; });
    if (same != node->items.end()) {
        *same = std::move(row);
    } else {
        node->items.push_back(std::move(row));
    }
}

void GraphBuilder::add_edge(std::string from, std::string from_item, std::string to, std::string kind,
                            double confidence, std::string evidence, bool bad) {
    if (from.empty() || to.empty() || from == to) return;
    std::string key = edge_key(from, from_item, to);
    const auto found = edge_index_.find(key);
    if (found == edge_index_.end()) {
        GraphEdge edge;
        edge.from = std::move(from);
        edge.from_item = std::move(from_item);
        edge.to = std::move(to);
        edge.kind = std::move(kind);
        edge.bad = bad;
        edge.confidence = round_two_decimals(confidence);
        edge.evidence = std::move(evidence);
        edge_index_.emplace(std::move(key), edges_.size());
        edges_.push_back(std::move(edge));
        return;
    }
    // The unrounded value is compared, so 0.456 after a stored 0.46 changes nothing.
    GraphEdge& edge = edges_[found->second];
    if (!(confidence > edge.confidence)) return;
    edge.kind = std::move(kind);
    edge.bad = bad;
    edge.confidence = round_two_decimals(confidence);
    edge.evidence = std::move(evidence);
}

void GraphBuilder::amend_edge(std::size_t position, std::string kind, std::string evidence) {
    if (position >= edges_.size()) return;
    edges_[position].kind = std::move(kind);
    edges_[position].evidence = std::move(evidence);
}

std::optional<std::size_t> GraphBuilder::find_edge(const std::string& from, const std::string& from_item,
                                                   const std::string& to) const {
    const auto found = edge_index_.find(edge_key(from, from_item, to));
    if (found == edge_index_.end()) return std::nullopt;
    return found->second;
}

bool GraphBuilder::node_budget_left() const {
    return static_cast<std::int64_t>(nodes_.size()) < limits_.max_nodes;
}

bool GraphBuilder::runtime_proxy_observed() const {
    return !runtime_proxy_pids_.empty() || runtime_proxy_seen_;
}

void GraphBuilder::order_source_rows() {
    GraphNode* source = node_mut(kSourceNodeId);
    if (source == nullptr || source->items.size() < 2) return;
    const bool tunnel_like = snapshot_->egress_tunnel_like;
    std::stable_sort(source->items.begin(), source->items.end(), [&](const NodeItem& a, const NodeItem& b) {
        const int rank_a = source_row_rank(a.id, tunnel_like);
        const int rank_b = source_row_rank(b.id, tunnel_like);
        if (rank_a != rank_b) return rank_a < rank_b;
        return a.id < b.id;
    });
}

std::string GraphBuilder::display_level() const {
    const bool explicit_proxy = !configured_owner_pids_.empty() &&
                                find_node(kInterceptEvidenceId) == nullptr && !runtime_proxy_observed();
    return explicit_proxy ? std::string(kDisplayExplicitProxy) : snapshot_->intercept_level;
}

GraphDocument GraphBuilder::document() const {
    GraphDocument doc;
    doc.interception = summarize_interception(*snapshot_);
    doc.interception.display_level = display_level();
    doc.limits = limits_;
    doc.nodes = nodes_;
    doc.edges = edges_;
    doc.display_mode = doc.interception.display_level;
    return doc;
}

} // namespace wirelux
