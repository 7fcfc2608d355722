// The socket and process readers of the platform the suite runs on, on this process's own sockets (the
// suite runs in an empty network namespace, so these are nearly the only ones there). Under Wine the
// owning process of a socket is reported only once the process sent something on it, listeners show 0,
// and only the IPv4 connection is checked.
#include "platform/process_id.h"
#include "platform/socket.h"
#include "platform/sockets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace wirelux::platform {
namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
constexpr const char* kImageName = "wirelux_tests.exe";
#else
constexpr bool kWindows = false;
constexpr const char* kImageName = "wirelux_tests";
#endif

const TcpRow* find_tcp(const std::vector<TcpRow>& rows, const std::string& address, std::uint16_t port,
                       std::uint32_t state) {
    for (const TcpRow& row : rows)
        if (row.local_address == address && row.local_port == port && row.state == state) return &row;
    return nullptr;
}

TEST(SocketReaders, FindTheTestsOwnListenersConnectionsAndUdpSockets) {
    const std::uint32_t self = current_process_id();
    auto listener4 = Socket::listen_tcp(*SocketAddress::parse("127.0.0.1"));
    auto listener6 = Socket::listen_tcp(*SocketAddress::parse("::1"));
    ASSERT_TRUE(listener4 && listener6);
    const std::uint16_t port4 = listener4->local_address()->port();
    const std::uint16_t port6 = listener6->local_address()->port();

    // Linux exercises the IPv6 connection rows, Windows the IPv4 ones.
    const char* const loopback = kWindows ? "127.0.0.1" : "::1";
    Socket& listener = kWindows ? *listener4 : *listener6;
    const std::uint16_t server_port = kWindows ? port4 : port6;
    auto client = Socket::connect_tcp(*SocketAddress::parse(loopback, server_port), 2000);
    ASSERT_TRUE(client);
    auto accepted = listener.accept(deadline_after(2000));
    ASSERT_TRUE(accepted);
    ASSERT_TRUE(client.socket.send_all("x", deadline_after(2000)));
    const std::uint16_t client_port = client.socket.local_address()->port();

    std::vector<std::pair<const char*, std::optional<Socket>>> udp;
    for (const char* address : kWindows ? std::vector{"127.0.0.1"} : std::vector{"127.0.0.1", "::1"}) {
        udp.emplace_back(address, Socket::open_udp(*SocketAddress::parse(address)));
        ASSERT_TRUE(udp.back().second) << address;
        const std::uint8_t byte = 0;
        Socket& socket = *udp.back().second;
        ASSERT_TRUE(socket.send_to({&byte, 1}, *socket.local_address(), deadline_after(2000)));
    }

    const std::vector<TcpRow> rows = read_tcp_table();
    const TcpRow* l4 = find_tcp(rows, "127.0.0.1", port4, 2);
    const TcpRow* l6 = find_tcp(rows, "::1", port6, 2);
    const TcpRow* out = find_tcp(rows, loopback, client_port, 5);
    ASSERT_TRUE(l4 && l6 && out);
    for (const TcpRow* row : {l4, l6})
        EXPECT_TRUE(row->pid == self || (kWindows && row->pid == 0)) << row->local_address << " " << row->pid;
    EXPECT_EQ(out->pid, self);
    EXPECT_EQ(out->remote_address, loopback);
    EXPECT_EQ(out->remote_port, server_port);
    // IPv4 rows come before IPv6 rows.
    EXPECT_LT(l4 - rows.data(), l6 - rows.data());
    if (!kWindows) {
        EXPECT_EQ(l4->remote_address, "0.0.0.0");
        EXPECT_EQ(l6->remote_address, "::");
        const TcpRow* in = find_tcp(rows, loopback, server_port, 5);
        ASSERT_TRUE(in);
        EXPECT_EQ(in->pid, self);
        EXPECT_EQ(in->remote_port, client_port);
    }

    const std::vector<UdpRow> udp_rows = read_udp_table();
    for (const auto& [bound, socket] : udp) {
        const std::string& address = bound;
        const std::uint16_t port = socket->local_address()->port();
        const auto row = std::find_if(udp_rows.begin(), udp_rows.end(), [&](const UdpRow& r) {
            return r.local_address == address && r.local_port == port;
        });
        ASSERT_NE(row, udp_rows.end()) << address;
        EXPECT_EQ(row->pid, self) << address;
    }
}

TEST(ProcessList, ListsThisProcessUnderItsImageName) {
    const std::uint32_t self = current_process_id();
    const std::vector<ProcessInfo> processes = read_process_list();
    ASSERT_FALSE(processes.empty());
    if (!kWindows) {
        EXPECT_TRUE(std::is_sorted(processes.begin(), processes.end(),
                                   [](const ProcessInfo& a, const ProcessInfo& b) { return a.pid < b.pid; }));
    }
    const auto me =
        std::find_if(processes.begin(), processes.end(), [&](const ProcessInfo& p) { return p.pid == self; });
    ASSERT_NE(me, processes.end());
    EXPECT_EQ(me->name, kImageName);
}

} // namespace
} // namespace wirelux::platform
