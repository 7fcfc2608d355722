#pragma once
// Which interface a drawn process's outbound sockets leave on. A live socket shows that the process
// talks to the outside through that interface, but not which logical flow each socket carries, so
// every relation is process-wide and says how it was tied to the interface.

#include "graph/graph_builder.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wirelux {

inline constexpr const char* kRouteBySource = "live established socket + local source/interface";
inline constexpr const char* kRouteByLookup = "live established socket + Find-NetRoute";
inline constexpr const char* kUnknownInterface = "Unknown";

// Confidence that a socket leaves on the interface: an address the adapter owns pins the interface;
// a forwarding-table lookup is what the OS would pick, which a bound or policy-routed socket may not
// follow; nothing found is a guess.
inline constexpr double kSourceConfidence = 0.8;
inline constexpr double kLookupConfidence = 0.6;
inline constexpr double kUnknownConfidence = 0.3;

// The interface one outbound socket leaves on.
struct SocketInterface {
    std::optional<std::uint32_t> if_index; // absent when neither the source nor a route names one
    std::string name;                      // the adapter's name, or "Unknown"
    std::string evidence;                  // how it was found; empty when it was not
    double confidence = kUnknownConfidence;
};

// The first adapter owning the socket's local address; else, for an IPv4 peer, the forwarding
// table's route to the peer (longest prefix, then route plus interface metric); else "Unknown".
// IPv6 peers are tied by their source address only.
SocketInterface socket_interface(const FactSnapshot& snapshot, const TcpRow& socket);

// The sockets of one process that leave on one interface.
struct RouteRelation {
    SocketInterface interface; // the strongest pairing among its sockets
    std::size_t sockets = 0;
};

// Established sockets to peers outside this machine, one relation per interface in first-seen
// order. Loopback, unspecified and own-address peers are local relations and are left out.
std::vector<RouteRelation> route_relations(const FactSnapshot& snapshot,
                                           const std::vector<TcpRow>& established);

// The sockets of one process to one address family that leave on one interface.
struct RemoteSocketGroup {
    const char* family = ""; // "IPv4" or "IPv6"
    SocketInterface interface;
    std::size_t sockets = 0;
};

// The sockets route_relations takes, grouped by family and interface in first-seen order.
std::vector<RemoteSocketGroup> remote_socket_groups(const FactSnapshot& snapshot,
                                                    const std::vector<TcpRow>& established);

// The process node's "remote-sockets" summary row, its drill-down one "remote-route-{group}" row per
// group ("{family} · {route}", "{n} socket(s)"); absent without a group. The relations themselves,
// with their edges, are the "route-" rows.
std::optional<NodeItem> remote_sockets_row(const FactSnapshot& snapshot, const std::vector<TcpRow>& established);

// Why the process's sockets may carry the traffic that reached the node: the configured local
// proxy's owner, then a process whose runtime flows name a rule, else nothing ties them to a flow.
std::string route_relation_note(const GraphBuilder& builder, const std::string& node_id, std::uint32_t pid);

// Rows "route-if-{ifIndex}" (or "route-unknown") on every drawn process node, capped with
// "route-more", each with an evidence edge to the interface's TUN or carrier node when the graph
// has one. Adds no nodes. Running it again adds only the edges to interface nodes drawn since.
void draw_route_relations(GraphBuilder& builder);

} // namespace wirelux
