#pragma once
// The graph under construction. Every pass adds to the graph only through these primitives, so the
// de-duplication rules hold whatever order the passes run in: a node or row id is taken by its
// first writer, and an edge only ever gains confidence.

#include "graph/graph_model.h"
#include "graph/layer_state.h"
#include "model/snapshot.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace wirelux {

struct RunContext;

// A row with probe false and no drill-down; callers set those before adding it.
NodeItem make_row(std::string id, std::string k, std::string v, std::string status, std::string meta,
                  std::string role);

ItemDetail make_detail(std::string label, std::string sub, std::string kind, std::string status,
                       std::vector<NodeItem> items);

// The interception block of the document as the snapshot states it; display_level equals level.
InterceptionSummary summarize_interception(const FactSnapshot& snapshot);

GraphLimits graph_limits(const RunContext& context);

// Rank of a row of the source node when its rows are put in display order.
int source_row_rank(const std::string& row_id, bool egress_tunnel_like);

class GraphBuilder {
public:
    explicit GraphBuilder(const FactSnapshot& snapshot, GraphLimits limits = {});
    // The builder keeps a reference; a temporary snapshot would dangle.
    GraphBuilder(FactSnapshot&&, GraphLimits = {}) = delete;

    const FactSnapshot& snapshot() const { return *snapshot_; }
    const GraphLimits& limits() const { return limits_; }

    // Appends the node unless its id is taken; an existing node keeps its fields and rows. Within
    // the given rows a repeated row id is dropped like a repeated add_row. Returns the id.
    std::string add_node(std::string id, std::string label, std::string sub, std::string kind,
                         std::string status, bool sel, std::vector<NodeItem> items);

    // Attribute setters; an unknown id is ignored.
    void set_if_index(const std::string& node_id, std::int64_t value);
    void set_layer(const std::string& node_id, std::int64_t value);
    void set_process_id(const std::string& node_id, std::int64_t value);
    void set_layout_lane(const std::string& node_id, std::string value);
    void set_status(const std::string& node_id, std::string value);
    void set_sub(const std::string& node_id, std::string value);

    // Appends the row unless the node is unknown or already has a row with this id.
    void add_row(const std::string& node_id, NodeItem row);
    // Replaces the node's row with the same id in place, or appends it; an unknown node is ignored.
    void put_row(const std::string& node_id, NodeItem row);

    // Stores the edge "{from}|{from_item}|{to}" with its confidence rounded to two decimals. An
    // existing edge is replaced (kind, confidence, evidence, bad) only by a strictly higher
    // confidence. Self edges and edges with an empty end are refused.
    void add_edge(std::string from, std::string from_item, std::string to, std::string kind,
                  double confidence, std::string evidence, bool bad = false);
    // Changes kind and evidence of the edge at this position; key, confidence and flags stay.
    void amend_edge(std::size_t position, std::string kind, std::string evidence);

    const GraphNode* find_node(const std::string& node_id) const;
    std::optional<std::size_t> find_edge(const std::string& from, const std::string& from_item,
                                         const std::string& to) const;
    const std::vector<GraphNode>& nodes() const { return nodes_; }
    const std::vector<GraphEdge>& edges() const { return edges_; }
    // False once the graph holds max_nodes nodes: no further process, capture or relation nodes.
    bool node_budget_left() const;

    // What the policy and flow passes found, read back when the display level is decided.
    void note_configured_owner(std::uint32_t pid) { configured_owner_pids_.insert(pid); }
    void note_runtime_proxy_process(std::uint32_t pid) { runtime_proxy_pids_.push_back(pid); }
    void note_runtime_proxy_seen() { runtime_proxy_seen_ = true; }
    const std::set<std::uint32_t>& configured_owner_pids() const { return configured_owner_pids_; }

    CarrierLayerState& carrier_state() { return carrier_state_; }
    const CarrierLayerState& carrier_state() const { return carrier_state_; }
    ProcessLayerState& process_state() { return process_state_; }
    const ProcessLayerState& process_state() const { return process_state_; }
    FlowLayerState& flow_state() { return flow_state_; }
    const FlowLayerState& flow_state() const { return flow_state_; }
    // A TUN-captured or runtime-observed proxy process exists; the traffic then does not simply
    // follow the explicit proxy setting.
    bool runtime_proxy_observed() const;

    // Puts the rows of the source node in display order (rank, then id byte-wise).
    void order_source_rows();
    // "EXPLICIT-PROXY" when a configured local proxy owner was drawn, no interception-evidence node
    // exists and no runtime proxy process was observed; otherwise the snapshot's interception level.
    std::string display_level() const;
    // The document: fixed fields, the interception block with its display level, and copies of the
    // node and edge lists.
    GraphDocument document() const;

private:
    GraphNode* node_mut(const std::string& node_id);

    const FactSnapshot* snapshot_;
    GraphLimits limits_;
    std::vector<GraphNode> nodes_;
    std::unordered_map<std::string, std::size_t> node_index_;
    std::vector<GraphEdge> edges_;
    std::unordered_map<std::string, std::size_t> edge_index_;
    std::set<std::uint32_t> configured_owner_pids_;
    std::vector<std::uint32_t> runtime_proxy_pids_;
    bool runtime_proxy_seen_ = false;
    CarrierLayerState carrier_state_;
    ProcessLayerState process_state_;
    FlowLayerState flow_state_;
};

} // namespace wirelux
