#pragma once
// Bookkeeping of the carrier and process layers, kept by the builder for the whole build so that
// every carrier, gateway, ISP and process is drawn once and only re-used afterwards.

#include "facts/snapshot.h"

#include <cstddef>
#include <cstdint>
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

} // namespace wirelux
