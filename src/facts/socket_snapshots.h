#pragma once
// The socket snapshot: three reads of the TCP tables 180 ms apart, merged so that short-lived
// connections seen by any read are kept, and one read of the UDP tables.

#include "model/snapshot.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace wirelux {

inline constexpr int kTcpReads = 3;
inline constexpr std::chrono::milliseconds kTcpReadSpacing{180};

// Where the rows come from; the live readers by default, hand-made rows in tests.
struct SocketReaders {
    std::function<std::vector<TcpRow>()> read_tcp; // IPv4 rows, then IPv6 rows
    std::function<std::vector<UdpRow>()> read_udp; // IPv4 rows, then IPv6 rows
    std::function<void(std::chrono::milliseconds)> sleep;
};

SocketReaders live_socket_readers();

// pid|state|local address|local port|remote address|remote port
std::string tcp_row_key(const TcpRow& row);

// Fills tcp_rows (the union of the reads, each row where it first appeared), tcp_listeners (the rows
// in LISTEN state, same order) and udp_rows.
void collect_socket_snapshots(FactSnapshot& snapshot, const SocketReaders& readers);

} // namespace wirelux
