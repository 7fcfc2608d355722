#ifdef _WIN32
// The live readers (the buffer layouts are checked at compile time in src/win). Under Wine the owning
// process of a socket is reported only once the process sent something on it; listeners show 0.
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

TEST(WindowsSocketReaders, FindTheTestsOwnSockets) {
    const std::uint32_t self = current_process_id();
    auto listener4 = Socket::listen_tcp(*SocketAddress::parse("127.0.0.1"));
    auto listener6 = Socket::listen_tcp(*SocketAddress::parse("::1"));
    ASSERT_TRUE(listener4 && listener6);
    const std::uint16_t port4 = listener4->local_address()->port();
    const std::uint16_t port6 = listener6->local_address()->port();

    auto client = Socket::connect_tcp(*SocketAddress::parse("127.0.0.1", port4), 2000);
    ASSERT_TRUE(client);
    auto accepted = listener4->accept(deadline_after(2000));
    ASSERT_TRUE(accepted);
    ASSERT_TRUE(client.socket.send_all("x", deadline_after(2000))); // Wine names the owner only after I/O
    const std::uint16_t client_port = client.socket.local_address()->port();

    auto udp = Socket::open_udp(*SocketAddress::parse("127.0.0.1"));
    ASSERT_TRUE(udp);
    const std::uint8_t byte = 0;
    ASSERT_TRUE(udp->send_to({&byte, 1}, *udp->local_address(), deadline_after(2000)));
    const std::uint16_t udp_port = udp->local_address()->port();

    const std::vector<TcpRow> rows = read_tcp_table();
    const TcpRow* l4 = find_tcp(rows, "127.0.0.1", port4, 2);
    const TcpRow* l6 = find_tcp(rows, "::1", port6, 2);
    const TcpRow* c = find_tcp(rows, "127.0.0.1", client_port, 5);
    ASSERT_TRUE(l4 && l6 && c);
    EXPECT_TRUE(l4->pid == self || l4->pid == 0) << l4->pid;
    EXPECT_TRUE(l6->pid == self || l6->pid == 0) << l6->pid;
    EXPECT_EQ(c->pid, self);
    EXPECT_EQ(c->remote_address, "127.0.0.1");
    EXPECT_EQ(c->remote_port, port4);
    // IPv4 rows come before IPv6 rows.
    EXPECT_LT(l4 - rows.data(), l6 - rows.data());

    const std::vector<UdpRow> udp_rows = read_udp_table();
    const auto u = std::find_if(udp_rows.begin(), udp_rows.end(), [&](const UdpRow& r) {
        return r.local_address == "127.0.0.1" && r.local_port == udp_port;
    });
    ASSERT_NE(u, udp_rows.end());
    EXPECT_EQ(u->pid, self);
}

TEST(WindowsProcessList, ListsThisProcessUnderItsImageName) {
    const std::uint32_t self = current_process_id();
    const std::vector<ProcessInfo> processes = read_process_list();
    const auto me =
        std::find_if(processes.begin(), processes.end(), [&](const ProcessInfo& p) { return p.pid == self; });
    ASSERT_NE(me, processes.end());
    EXPECT_EQ(me->name, "wirelux_tests.exe");
}

} // namespace
} // namespace wirelux::platform
#endif
