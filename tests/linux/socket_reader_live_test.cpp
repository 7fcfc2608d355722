#ifdef __linux__
// The Linux readers on this process's own sockets (the suite runs in an empty network namespace, so
// these are nearly the only ones there).
#include "platform/process_id.h"
#include "platform/sockets.h"
#include "probe/socket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace wirelux::platform {
namespace {

const TcpRow* find_tcp(const std::vector<TcpRow>& rows, const std::string& address, std::uint16_t port,
                       std::uint32_t state) {
    for (const TcpRow& row : rows)
        if (row.local_address == address && row.local_port == port && row.state == state) return &row;
    return nullptr;
}

TEST(LinuxSocketReaders, FindTheTestsOwnListenersConnectionsAndUdpSockets) {
    const std::uint32_t self = current_process_id();
    auto listener4 = Socket::listen_tcp(*SocketAddress::parse("127.0.0.1"));
    auto listener6 = Socket::listen_tcp(*SocketAddress::parse("::1"));
    ASSERT_TRUE(listener4 && listener6);
    const std::uint16_t port4 = listener4->local_address()->port();
    const std::uint16_t port6 = listener6->local_address()->port();

    auto client = Socket::connect_tcp(*SocketAddress::parse("::1", port6), 2000);
    ASSERT_TRUE(client);
    auto accepted = listener6->accept(deadline_after(2000));
    ASSERT_TRUE(accepted);
    const std::uint16_t client_port = client.socket.local_address()->port();

    auto udp4 = Socket::open_udp(*SocketAddress::parse("127.0.0.1"));
    auto udp6 = Socket::open_udp(*SocketAddress::parse("::1"));
    ASSERT_TRUE(udp4 && udp6);

    const std::vector<TcpRow> rows = read_tcp_table();
    const TcpRow* l4 = find_tcp(rows, "127.0.0.1", port4, 2);
    const TcpRow* l6 = find_tcp(rows, "::1", port6, 2);
    const TcpRow* out = find_tcp(rows, "::1", client_port, 5);
    const TcpRow* in = find_tcp(rows, "::1", port6, 5);
    ASSERT_TRUE(l4 && l6 && out && in);
    for (const TcpRow* row : {l4, l6, out, in})
        EXPECT_EQ(row->pid, self) << row->local_address << ":" << row->local_port;
    EXPECT_EQ(l4->remote_address, "0.0.0.0");
    EXPECT_EQ(l6->remote_address, "::");
    EXPECT_EQ(out->remote_port, port6);
    EXPECT_EQ(in->remote_port, client_port);
    EXPECT_LT(l4 - rows.data(), l6 - rows.data()); // IPv4 rows first

    const std::vector<UdpRow> udp = read_udp_table();
    for (const auto& [address, socket] : {std::pair{"127.0.0.1", &*udp4}, std::pair{"::1", &*udp6}}) {
        const std::uint16_t port = socket->local_address()->port();
        const auto row = std::find_if(udp.begin(), udp.end(), [&](const UdpRow& r) {
            return r.local_address == address && r.local_port == port;
        });
        ASSERT_NE(row, udp.end()) << address;
        EXPECT_EQ(row->pid, self) << address;
    }
}

TEST(LinuxProcessList, ListsThisProcessUnderItsExecutablesFileName) {
    const std::uint32_t self = current_process_id();
    const std::vector<ProcessInfo> processes = read_process_list();
    ASSERT_FALSE(processes.empty());
    EXPECT_TRUE(std::is_sorted(processes.begin(), processes.end(),
                               [](const ProcessInfo& a, const ProcessInfo& b) { return a.pid < b.pid; }));
    const auto me =
        std::find_if(processes.begin(), processes.end(), [&](const ProcessInfo& p) { return p.pid == self; });
    ASSERT_NE(me, processes.end());
    EXPECT_EQ(me->name, "wirelux_tests");
}

} // namespace
} // namespace wirelux::platform
#endif
