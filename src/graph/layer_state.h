#pragma once
// Bookkeeping of the carrier and process layers, kept by the builder for the whole build so that
// every carrier, gateway, ISP and process is drawn once and only re-used afterwards.

#include "facts/snapshot.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
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

struct ProcessLayerState {
    std::map<std::string, std::string> nodes; // "{layer}|{pid}" -> node id
    std::vector<std::string> node_order;      // node ids in drawing order
    std::set<std::uint32_t> drawn_pids;
    std::map<std::uint32_t, ProcessSockets> sockets;
};

} // namespace wirelux
