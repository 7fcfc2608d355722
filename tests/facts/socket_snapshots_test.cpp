#include "facts/socket_snapshots.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace wirelux {
namespace {

TcpRow tcp(std::string local, std::uint16_t local_port, std::string remote, std::uint16_t remote_port,
           std::uint32_t state, std::uint32_t pid) {
    TcpRow row;
    row.local_address = std::move(local);
    row.local_port = local_port;
    row.remote_address = std::move(remote);
    row.remote_port = remote_port;
    row.state = state;
    row.pid = pid;
    return row;
}

// Hands out one prepared read per call and records the calls in order.
struct ScriptedReaders {
    std::vector<std::vector<TcpRow>> tcp_reads;
    std::vector<UdpRow> udp_rows;
    std::vector<std::string> calls;

    SocketReaders readers() {
        return {
            [this] {
                const std::size_t n = static_cast<std::size_t>(std::count(calls.begin(), calls.end(), "tcp"));
                calls.push_back("tcp");
                return n < tcp_reads.size() ? tcp_reads[n] : std::vector<TcpRow>{};
            },
            [this] {
                calls.push_back("udp");
                return udp_rows;
            },
            [this](std::chrono::milliseconds d) { calls.push_back("sleep " + std::to_string(d.count())); }};
    }
};

std::vector<std::string> keys(const std::vector<TcpRow>& rows) {
    std::vector<std::string> list;
    for (const TcpRow& row : rows)
        list.push_back(tcp_row_key(row));
    return list;
}

TEST(SocketSnapshots, ReadsTcpThreeTimes180MsApartThenUdpOnce) {
    ScriptedReaders script;
    FactSnapshot s;
    collect_socket_snapshots(s, script.readers());
    EXPECT_EQ(script.calls, (std::vector<std::string>{"tcp", "sleep 180", "tcp", "sleep 180", "tcp", "udp"}));
}

TEST(SocketSnapshots, KeepsEachRowOnceInFirstOccurrenceOrder) {
    const TcpRow listener = tcp("127.0.0.1", 7890, "0.0.0.0", 0, 2, 10);
    const TcpRow steady = tcp("192.168.1.5", 50000, "1.1.1.1", 443, 5, 20);
    const TcpRow late = tcp("192.168.1.5", 50001, "1.1.1.1", 443, 5, 20);
    const TcpRow gone = tcp("192.168.1.5", 49999, "8.8.8.8", 53, 11, 0);
    ScriptedReaders script;
    script.tcp_reads = {{listener, gone, steady}, {steady, listener}, {late, steady, listener}};
    FactSnapshot s;
    collect_socket_snapshots(s, script.readers());
    EXPECT_EQ(keys(s.tcp_rows), keys({listener, gone, steady, late}));
}

TEST(SocketSnapshots, TheStateAndTheOwnerArePartOfTheIdentity) {
    const TcpRow connecting = tcp("10.0.0.2", 50000, "10.0.0.1", 80, 3, 30);
    TcpRow connected = connecting;
    connected.state = 5;
    TcpRow other_owner = connected;
    other_owner.pid = 31;
    ScriptedReaders script;
    script.tcp_reads = {{connecting}, {connected}, {connected, other_owner}};
    FactSnapshot s;
    collect_socket_snapshots(s, script.readers());
    ASSERT_EQ(s.tcp_rows.size(), 3u);
    EXPECT_EQ(s.tcp_rows[0].state, 3u);
    EXPECT_EQ(s.tcp_rows[1].state, 5u);
    EXPECT_EQ(s.tcp_rows[2].pid, 31u);
    EXPECT_EQ(tcp_row_key(connecting), "30|3|10.0.0.2|50000|10.0.0.1|80");
}

TEST(SocketSnapshots, ListenersAreTheListenRowsInOrderOnePerFamily) {
    const TcpRow v4 = tcp("0.0.0.0", 1080, "0.0.0.0", 0, 2, 7);
    const TcpRow v6 = tcp("::", 1080, "::", 0, 2, 7);
    const TcpRow established = tcp("127.0.0.1", 1080, "127.0.0.1", 50000, 5, 7);
    const TcpRow other = tcp("127.0.0.1", 9090, "0.0.0.0", 0, 2, 8);
    ScriptedReaders script;
    script.tcp_reads = {{v4, established, v6}, {other}, {}};
    FactSnapshot s;
    collect_socket_snapshots(s, script.readers());
    EXPECT_EQ(keys(s.tcp_listeners), keys({v4, v6, other}));
    EXPECT_EQ(s.tcp_rows.size(), 4u);
}

TEST(SocketSnapshots, UdpRowsAreTakenAsReadWithoutMerging) {
    UdpRow a{"0.0.0.0", 5, 5353};
    UdpRow b{"::", 5, 5353};
    ScriptedReaders script;
    script.udp_rows = {a, b, a};
    FactSnapshot s;
    collect_socket_snapshots(s, script.readers());
    ASSERT_EQ(s.udp_rows.size(), 3u);
    EXPECT_EQ(s.udp_rows[1].local_address, "::");
}

} // namespace
} // namespace wirelux
