#pragma once
// Bookkeeping of the carrier and process layers, kept by the builder for the whole build so that
// every carrier, gateway, ISP and process is drawn once and only re-used afterwards.

#include "model/snapshot.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace wirelux {

struct CarrierLayerState {
    // (family, ifIndex) of the interfaces the OS-selected default routes were drawn on.
    std::set<std::pair<std::uint16_t, std::uint32_t>> carriers_drawn;
    std::set<std::string> gateway_keys; // "{ifIndex}|{family}|{gateway}"
    std::set<std::string> isp_keys;     // the same, or "{ifIndex}|{family}|DIRECT"
    std::map<std::uint32_t, std::string> nic_ids;
    std::vector<std::string> tun_nodes; // for the capture pass, in drawing order
};

// One process's sockets, gathered once however often the process is drawn.
struct ProcessSockets {
    std::vector<TcpRow> listeners;
    std::vector<UdpRow> udp;
    std::vector<TcpRow> established;
};

// Where each process's sockets sit in the snapshot's lists, in snapshot order. Built in one pass the
// first time a process is drawn: a busy host has 100,000 TCP rows, and scanning them once per drawn
// process would make the graph cost grow with rows times processes.
struct ProcessSocketIndex {
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> listeners;   // into tcp_listeners
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> udp;         // into udp_rows
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> established; // into tcp_rows
};

struct ProcessLayerState {
    std::map<std::string, std::string> nodes; // "{layer}|{pid}" -> node id
    std::vector<std::string> node_order;      // node ids in drawing order
    std::set<std::uint32_t> drawn_pids;
    std::map<std::uint32_t, ProcessSockets> sockets;
    std::optional<ProcessSocketIndex> socket_index;
};

// A runtime connection of a proxy core tied to the local process that opened it.
struct AttributedConnection {
    std::size_t core = 0;       // position in the snapshot's core_infos
    std::size_t connection = 0; // position in that core's connections
    std::uint32_t pid = 0;
    double confidence = 0.0;
    std::string attribution; // which evidence tied it to the process
    std::string rule;        // rule with its payload; empty when the core named none
    std::string chain;       // proxy chain joined with " / "; may be empty
};

// Attributed connections of one process that share rule and chain.
struct FlowContext {
    std::string rule;
    std::string chain;
    std::set<std::pair<std::size_t, std::size_t>> connections; // (core, connection) positions
    double confidence = 0.0;                                   // the best of its connections
    std::string attribution;                                   // the text of that best one
};

// One relation met while following a path, kept once per "{source}|{kind}|{target}".
struct TraceRecord {
    std::string source;
    std::string kind; // "configured", "rule" or "generic"
    std::string target;
    std::string evidence;
    std::int64_t depth = 0;
    double value = 0.0;    // the relation's confidence
    bool observed = false; // seen in runtime data rather than inferred from sockets
};

// Loopback TCP sockets by their endpoints, so that the other end of a local connection is found
// without scanning every row for every socket.
struct LoopbackSocketIndex {
    // The two ends of a connection, each address by its number in address_numbers.
    struct Ends {
        std::uint32_t local = 0;
        std::uint32_t remote = 0;
        std::uint16_t local_port = 0;
        std::uint16_t remote_port = 0;
        bool operator==(const Ends&) const = default;
    };
    struct EndsHash {
        std::size_t operator()(const Ends& ends) const {
            const std::uint64_t addresses = (std::uint64_t{ends.local} << 32) | ends.remote;
            const std::uint64_t ports = (std::uint64_t{ends.local_port} << 16) | ends.remote_port;
            return std::hash<std::uint64_t>{}(addresses * 0x9E3779B97F4A7C15ULL ^ ports);
        }
    };
    // Each normalised address text of the established loopback rows, numbered in first-seen order
    std::unordered_map<std::string, std::uint32_t> address_numbers;
    // The ends of each established loopback row -> owning pid
    std::unordered_map<Ends, std::uint32_t, EndsHash> established;
    std::unordered_map<std::uint16_t, std::vector<std::size_t>> listeners; // port -> into tcp_listeners
    // pid -> its established loopback rows (into tcp_rows) and its listening ports, in table order,
    // so that each drawn process looks at its own sockets only
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> loopback_rows;
    std::unordered_map<std::uint32_t, std::vector<std::uint16_t>> listener_ports;
};

struct FlowLayerState {
    // Every core's connections attributed once per build, in core and connection order.
    std::optional<std::vector<AttributedConnection>> attributed;
    std::map<std::string, std::vector<FlowContext>> node_contexts; // process node id -> merged contexts
    std::vector<TraceRecord> traces;
    std::set<std::string> trace_keys;
    std::optional<LoopbackSocketIndex> loopback_index;
};

} // namespace wirelux
