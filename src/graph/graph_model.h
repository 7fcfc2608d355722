#pragma once
// The evidence graph as the report's viewer receives it: one node per entity, the entity's facts as
// rows inside the node, and edges that leave from a particular row so that one node can fan out
// into several branches.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wirelux {

inline constexpr double kGraphVersion = 5.2;
inline constexpr const char* kGraphProfile = "general-fit-flow-first-entity-compact";
inline constexpr const char* kGraphEvidenceModel =
    "entity-level topology; same PID+layer merged; strong-evidence proxy scoring with common-app negative "
    "prior; multi-snapshot runtime sockets/routes; adapter/PnP identity; interception corroboration";
// The socket collector always takes this many TCP table snapshots.
inline constexpr std::uint32_t kGraphTcpSnapshots = 3;

inline constexpr const char* kSourceNodeId = "app";
inline constexpr const char* kInterceptEvidenceId = "intercept-evidence";
inline constexpr const char* kDisplayExplicitProxy = "EXPLICIT-PROXY";

// Status words of nodes and rows; the empty text means "no verdict".
inline constexpr const char* kStatusOk = "OK";
inline constexpr const char* kStatusWarn = "WARN";
inline constexpr const char* kStatusFail = "FAIL";
inline constexpr const char* kStatusDown = "DOWN";

// Row roles: "out" rows start an outgoing edge.
inline constexpr const char* kRoleOut = "out";
inline constexpr const char* kRoleAddr = "addr";
inline constexpr const char* kRoleProp = "prop";

inline constexpr const char* kNodeSource = "source";
inline constexpr const char* kNodeTun = "tun";
inline constexpr const char* kNodeCore = "core";
inline constexpr const char* kNodeNic = "nic";
inline constexpr const char* kNodeGateway = "gw";
inline constexpr const char* kNodeIsp = "isp";
inline constexpr const char* kNodeRemote = "remote";
inline constexpr const char* kNodeKam = "kam";

inline constexpr const char* kEdgeMain = "main";
inline constexpr const char* kEdgeAlt = "alt";
inline constexpr const char* kEdgePossible = "possible";
inline constexpr const char* kEdgePolicy = "policy";
inline constexpr const char* kEdgeEvidence = "evidence";
inline constexpr const char* kEdgeKam = "kam";

struct NodeItem;

// Drill-down panel opened from a row; its rows may open further panels.
struct ItemDetail {
    std::string label;
    std::string sub;
    std::string kind;
    std::string status;
    std::vector<NodeItem> items;
};

struct NodeItem {
    std::string id; // unique within its node; edges name it in from_item
    std::string k;
    std::string v;
    std::string status;
    std::string meta;
    std::string role;
    bool probe = false; // the outcome of an active probe rather than a passive fact
    std::optional<ItemDetail> detail;
};

struct GraphNode {
    std::string id;
    std::string label;
    std::string sub;
    std::string kind;
    std::string status;
    bool sel = false;
    std::vector<NodeItem> items;
    std::optional<std::int64_t> if_index;
    std::optional<std::int64_t> layer;
    std::optional<std::int64_t> process_id;
    std::optional<std::string> layout_lane;
};

struct GraphEdge {
    std::string from;
    std::string from_item; // empty when the edge leaves the node as a whole
    std::string to;
    std::string kind;
    bool dead = false;
    bool bad = false; // the path is known broken
    double confidence = 0.0;
    std::string evidence;
};

struct InterceptionSummary {
    std::string level;
    std::string display_level;
    double score = 0.0;
    std::vector<std::string> signals;
    std::uint64_t proxy_like_listeners = 0;
    std::uint64_t proxy_candidate_processes = 0;
    std::uint64_t protocol_proxy_listeners = 0;
    std::uint64_t protocol_proxy_processes = 0;
    std::uint64_t driver_hits = 0;
    std::uint64_t service_hits = 0;
    bool route_source_mismatch = false;
};

struct GraphLimits {
    std::int64_t max_depth = 10;         // deepest traced relation
    std::int64_t max_nodes = 90;         // no further process, capture or relation nodes beyond this
    std::int64_t max_repeat_per_pid = 3; // recurrences of one process along one traced path
};

struct GraphDocument {
    double version = kGraphVersion;
    std::string profile = kGraphProfile;
    std::string evidence_model = kGraphEvidenceModel;
    InterceptionSummary interception;
    std::uint32_t tcp_snapshots = kGraphTcpSnapshots;
    GraphLimits limits;
    std::vector<GraphNode> nodes;
    std::vector<GraphEdge> edges;
    // Not serialised: the report's display mode, equal to interception.display_level.
    std::string display_mode;
};

} // namespace wirelux
