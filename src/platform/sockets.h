#pragma once
// Processes and the sockets they own, as the system reports them at one moment.

#include "model/snapshot.h"

#include <vector>

namespace wirelux::platform {

// Every process of the system's process list with its image file name (path and command line left
// empty); empty when the list cannot be taken.
std::vector<ProcessInfo> read_process_list();

// One read of the TCP tables with owning process ids: IPv4 rows, then IPv6 rows. A family whose table
// cannot be read adds no rows.
std::vector<TcpRow> read_tcp_table();

// One read of the UDP tables with owning process ids: IPv4 rows, then IPv6 rows.
std::vector<UdpRow> read_udp_table();

} // namespace wirelux::platform
