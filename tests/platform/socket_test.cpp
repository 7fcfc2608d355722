#include "platform/socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifdef _WIN32
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace wirelux {
namespace {

using Clock = std::chrono::steady_clock;

std::int64_t ms_since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(SocketAddress, ParsesLiteralsToCanonicalText) {
    struct Case {
        const char* literal;
        IpFamily family;
        const char* text;
    };
    for (const Case& c : {
             Case{"127.0.0.1", IpFamily::v4, "127.0.0.1"},
             Case{"0.0.0.0", IpFamily::v4, "0.0.0.0"},
             Case{"::1", IpFamily::v6, "::1"},
             Case{"0:0:0:0:0:0:0:1", IpFamily::v6, "::1"},
             Case{"2001:0DB8:0000:0000:0000:0000:0000:00A1", IpFamily::v6, "2001:db8::a1"},
             Case{"2400:3200::1", IpFamily::v6, "2400:3200::1"},
             Case{"fe80::1:2", IpFamily::v6, "fe80::1:2"},
         }) {
        const auto address = SocketAddress::parse(c.literal, 53);
        ASSERT_TRUE(address) << c.literal;
        EXPECT_EQ(address->family(), c.family) << c.literal;
        EXPECT_EQ(address->address_text(), c.text) << c.literal;
        EXPECT_EQ(address->port(), 53) << c.literal;
        EXPECT_EQ(address->scope_id(), 0u) << c.literal;
    }
    EXPECT_EQ(SocketAddress::parse("192.0.2.1")->bytes().size(), 4u);
    EXPECT_EQ(SocketAddress::any(IpFamily::v6).address_text(), "::");
    EXPECT_EQ(SocketAddress::any(IpFamily::v4).address_text(), "0.0.0.0");
}

TEST(SocketAddress, AZoneBecomesTheScopeId) {
    const auto numbered = SocketAddress::parse("fe80::1%12");
    ASSERT_TRUE(numbered);
    EXPECT_EQ(numbered->scope_id(), 12u);
    EXPECT_EQ(numbered->address_text(), "fe80::1");
#ifndef _WIN32
    const auto named = SocketAddress::parse("fe80::1%lo");
    ASSERT_TRUE(named);
    EXPECT_EQ(named->scope_id(), 1u); // the loopback device is always interface 1
#endif
    EXPECT_FALSE(SocketAddress::parse("fe80::1%no-such-interface"));
    EXPECT_FALSE(SocketAddress::parse("fe80::1%"));
    EXPECT_FALSE(SocketAddress::parse("fe80::1%4294967296"));
    EXPECT_FALSE(SocketAddress::parse("127.0.0.1%1")); // IPv4 has no zones
}

TEST(SocketAddress, RefusesWhatIsNoAddressLiteral) {
    for (const std::string& text : std::vector<std::string>{
             "", "1.2.3", "1.2.3.256", "1.2.3.4.5", "::1 ", " ::1", "[::1]", "localhost", "1.2.3.4:80", "::g",
             std::string("127.0.0.1\0.9", 11), std::string(400, '1')})
        EXPECT_FALSE(SocketAddress::parse(text)) << text;
}

TEST(SocketAddress, SurvivesTheSystemStructureAndComparesEveryField) {
    const auto original = SocketAddress::parse("fe80::a:b%7", 8080);
    ASSERT_TRUE(original);
    unsigned char native[128];
    const std::size_t size = original->to_native(native, sizeof native);
    ASSERT_GT(size, 0u);
    EXPECT_EQ(original->to_native(native, size - 1), 0u);
    const auto back = SocketAddress::from_native(native, size);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, *original);
    EXPECT_EQ(back->port(), 8080);
    EXPECT_EQ(back->scope_id(), 7u);

    EXPECT_NE(*original, original->with_port(8081));
    EXPECT_NE(*original, *SocketAddress::parse("fe80::a:b%8", 8080));
    EXPECT_NE(*SocketAddress::parse("127.0.0.1"), *SocketAddress::parse("127.0.0.2"));
    EXPECT_FALSE(SocketAddress::from_native(native, 4));
}

TEST(Resolve, UsesLiteralsAsTheyAreAndRefusesEmptyHosts) {
    const auto literal = resolve("10.0.0.55", 80);
    ASSERT_TRUE(literal);
    EXPECT_EQ(literal->address_text(), "10.0.0.55");
    EXPECT_EQ(literal->port(), 80);
    EXPECT_FALSE(resolve("", 80));
    const auto local = resolve("localhost", 8080);
    ASSERT_TRUE(local);
    EXPECT_TRUE(local->address_text() == "127.0.0.1" || local->address_text() == "::1")
        << local->address_text();
    EXPECT_EQ(local->port(), 8080);
}

TEST(TcpSocket, ConnectsExchangesAndSeesTheClose) {
    for (const char* loopback : {"127.0.0.1", "::1"}) {
        auto listener = Socket::listen_tcp(*SocketAddress::parse(loopback));
        ASSERT_TRUE(listener) << loopback;
        const auto where = listener->local_address();
        ASSERT_TRUE(where);
        ConnectResult client = Socket::connect_tcp(loopback, where->port(), 1000);
        ASSERT_TRUE(client) << client.error.text();
        EXPECT_EQ(client.error.kind, SocketErrorKind::none);
        EXPECT_EQ(client.socket.local_address_text(), loopback);
        auto server = listener->accept(deadline_after(1000));
        ASSERT_TRUE(server);

        ASSERT_TRUE(client.socket.send_all(std::string_view("hello"), deadline_after(1000)));
        std::vector<std::uint8_t> buffer(64);
        std::string got;
        while (got.size() < 5) {
            const auto n = server->receive(buffer, deadline_after(1000));
            ASSERT_TRUE(n && *n > 0);
            got.append(buffer.begin(), buffer.begin() + static_cast<long>(*n));
        }
        EXPECT_EQ(got, "hello");

        server->close();
        EXPECT_EQ(client.socket.receive(buffer, deadline_after(1000)), std::optional<std::size_t>(0));
    }
}

TEST(TcpSocket, AReceiveWithoutDataEndsAtTheDeadline) {
    auto listener = Socket::listen_tcp(*SocketAddress::parse("127.0.0.1"));
    ASSERT_TRUE(listener);
    ConnectResult client = Socket::connect_tcp(*listener->local_address(), 1000);
    ASSERT_TRUE(client);
    std::vector<std::uint8_t> buffer(16);
    const auto start = Clock::now();
    EXPECT_FALSE(client.socket.receive(buffer, deadline_after(300)));
    EXPECT_GE(ms_since(start), 290);
    EXPECT_LT(ms_since(start), 1000);
}

// A peer written with the system's own calls, since the program's sockets never send urgent data:
// accepts one connection and sends it one urgent byte. While it is queued, Winsock's exception set
// signals the socket on every wait and a plain read still would block.
class UrgentBytePeer {
public:
    UrgentBytePeer() {
#ifdef _WIN32
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
#endif
        listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(listener_, 1) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        port_ = ntohs(address.sin_port);
    }
    ~UrgentBytePeer() {
        close_peer();
        close_native(listener_);
    }
    std::uint16_t port() const { return port_; }
    bool accept_and_send_urgent_byte() {
        peer_ = ::accept(listener_, nullptr, nullptr);
        return ::send(peer_, "!", 1, MSG_OOB) == 1;
    }
    void close_peer() { close_native(std::exchange(peer_, kNone)); }

private:
#ifdef _WIN32
    using Native = SOCKET;
    static constexpr Native kNone = INVALID_SOCKET;
    static void close_native(Native s) {
        if (s != kNone) ::closesocket(s);
    }
#else
    using Native = int;
    static constexpr Native kNone = -1;
    static void close_native(Native s) {
        if (s != kNone) ::close(s);
    }
#endif
    Native listener_ = kNone;
    Native peer_ = kNone;
    std::uint16_t port_ = 0;
};

TEST(TcpSocket, AnUrgentByteDoesNotHoldAReceivePastItsDeadline) {
    UrgentBytePeer peer;
    ASSERT_NE(peer.port(), 0);
    ConnectResult client = Socket::connect_tcp("127.0.0.1", peer.port(), 1000);
    ASSERT_TRUE(client) << client.error.text();
    ASSERT_TRUE(peer.accept_and_send_urgent_byte());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto start = Clock::now();
    auto received = std::async(std::launch::async, [&] {
        std::vector<std::uint8_t> buffer(16);
        return client.socket.receive(buffer, deadline_after(300));
    });
    const bool ended = received.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    EXPECT_TRUE(ended) << "the receive was still waiting 5 s after its 300 ms deadline";
    // Closing the peer ends a receive that ignored its deadline, so a failure does not hang the suite.
    peer.close_peer();
    const auto result = received.get();
    if (ended) {
        EXPECT_FALSE(result.has_value());
        EXPECT_GE(ms_since(start), 290);
    }
}

TEST(TcpSocket, ConnectFailuresAreValues) {
    std::uint16_t closed_port = 0;
    {
        auto listener = Socket::listen_tcp(*SocketAddress::parse("127.0.0.1"));
        ASSERT_TRUE(listener);
        closed_port = listener->local_address()->port();
    }
    const auto start = Clock::now();
    const ConnectResult refused = Socket::connect_tcp("127.0.0.1", closed_port, 1000);
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.error.kind, SocketErrorKind::refused);
    EXPECT_EQ(refused.error.text(), "connection refused");
    EXPECT_LT(ms_since(start), 900);

    const ConnectResult unresolved = Socket::connect_tcp("", 80, 1000);
    EXPECT_FALSE(unresolved);
    EXPECT_EQ(unresolved.error.text(), "resolve failed");
}

TEST(UdpSocket, ExchangesDatagramsAndNamesTheSender) {
    for (const char* loopback : {"127.0.0.1", "::1"}) {
        auto a = Socket::open_udp(*SocketAddress::parse(loopback));
        auto b = Socket::open_udp(*SocketAddress::parse(loopback));
        ASSERT_TRUE(a && b) << loopback;
        const std::vector<std::uint8_t> message = {1, 2, 3};
        ASSERT_TRUE(a->send_to(message, *b->local_address(), deadline_after(1000)));
        std::vector<std::uint8_t> buffer(16);
        const auto datagram = b->receive_from(buffer, deadline_after(1000));
        ASSERT_TRUE(datagram);
        EXPECT_EQ(datagram->size, 3u);
        EXPECT_EQ(datagram->from, *a->local_address());
        EXPECT_EQ(datagram->from.address_text(), loopback);
    }
}

TEST(UdpSocket, ALargerDatagramIsCutToTheBuffer) {
    auto a = Socket::open_udp(*SocketAddress::parse("127.0.0.1"));
    auto b = Socket::open_udp(*SocketAddress::parse("127.0.0.1"));
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(a->send_to(std::vector<std::uint8_t>(3000, 0x41), *b->local_address(), deadline_after(1000)));
    std::vector<std::uint8_t> buffer(100);
    const auto datagram = b->receive_from(buffer, deadline_after(1000));
    ASSERT_TRUE(datagram);
    EXPECT_EQ(datagram->size, 100u);
    EXPECT_EQ(buffer[99], 0x41);
}

TEST(UdpSocket, AReceiveWithoutDataEndsAtTheDeadline) {
    auto socket = Socket::open_udp(SocketAddress::any(IpFamily::v4));
    ASSERT_TRUE(socket);
    std::vector<std::uint8_t> buffer(16);
    const auto start = Clock::now();
    EXPECT_FALSE(socket->receive_from(buffer, deadline_after(250)));
    EXPECT_GE(ms_since(start), 240);
    EXPECT_LT(ms_since(start), 1000);
}

TEST(UdpSocket, AConnectedSocketKnowsItsSourceAddress) {
    auto socket = Socket::open_udp(SocketAddress::any(IpFamily::v4));
    ASSERT_TRUE(socket);
    EXPECT_EQ(socket->local_address_text(), "0.0.0.0");
    EXPECT_EQ(socket->connect_datagram(*SocketAddress::parse("127.0.0.1", 9)).kind, SocketErrorKind::none);
    EXPECT_EQ(socket->local_address_text(), "127.0.0.1");
}

TEST(UdpSocket, BindingAnAddressInUseFails) {
    auto first = Socket::open_udp(*SocketAddress::parse("127.0.0.1"));
    ASSERT_TRUE(first);
    EXPECT_FALSE(Socket::open_udp(*first->local_address()));
}

} // namespace
} // namespace wirelux
