#include "facts/socket_snapshots.h"

#include "platform/sleep.h"
#include "platform/sockets.h"

#include <unordered_set>

namespace wirelux {

SocketReaders live_socket_readers() {
    return {platform::read_tcp_table, platform::read_udp_table, platform::sleep_precisely};
}

std::string tcp_row_key(const TcpRow& row) {
    std::string key = std::to_string(row.pid);
    key += '|';
    key += std::to_string(row.state);
    key += '|';
    key += row.local_address;
    key += '|';
    key += std::to_string(row.local_port);
    key += '|';
    key += row.remote_address;
    key += '|';
    key += std::to_string(row.remote_port);
    return key;
}

void collect_socket_snapshots(FactSnapshot& snapshot, const SocketReaders& readers) {
    std::vector<TcpRow> rows;
    std::unordered_set<std::string> seen;
    for (int read = 0; read < kTcpReads; ++read) {
        if (read > 0) readers.sleep(kTcpReadSpacing);
        for (TcpRow& row : readers.read_tcp()) {
            if (seen.insert(tcp_row_key(row)).second) rows.push_back(std::move(row));
        }
    }

    std::vector<TcpRow> listeners;
    for (const TcpRow& row : rows)
        if (row.state == kTcpStateListen) listeners.push_back(row);

    snapshot.tcp_rows = std::move(rows);
    snapshot.tcp_listeners = std::move(listeners);
    snapshot.udp_rows = readers.read_udp();
}

} // namespace wirelux
