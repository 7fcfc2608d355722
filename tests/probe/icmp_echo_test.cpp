// ICMP echo on the loopback of the unit suite's empty network namespace (root there, so raw sockets
// and the Windows ICMP calls work).
#include "platform/icmp.h"
#include "platform/socket.h"

#include <gtest/gtest.h>

#include <chrono>

#ifdef _WIN32
#include <windows.h>
#endif

namespace wirelux::platform {
namespace {

// Wine has no ICMPv6 (Icmp6CreateFile fails), so there the IPv6 echo must degrade to "no reply".
bool under_wine() {
#ifdef _WIN32
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

std::int64_t ms_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

// Only in a namespace without routes may an echo to a documentation address be sent: nothing can leave.
bool has_route_to(std::string_view address) {
    const auto target = SocketAddress::parse(address, 9);
    auto socket = Socket::open_udp(SocketAddress::any(target->family()));
    return socket && socket->connect_datagram(*target).kind == SocketErrorKind::none;
}

TEST(IcmpEcho, LoopbackAnswersOverIpv4) {
    const EchoResult result = icmp_echo("127.0.0.1", kEchoTimeoutMs);
    EXPECT_TRUE(result.ok);
    EXPECT_GE(result.rtt_ms, 0);
    EXPECT_LE(result.rtt_ms, kEchoTimeoutMs);
}

TEST(IcmpEcho, LoopbackAnswersOverIpv6ExceptUnderWine) {
    const EchoResult result = icmp_echo("::1", kEchoTimeoutMs);
    if (under_wine()) {
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.rtt_ms, -1);
        return;
    }
    EXPECT_TRUE(result.ok);
    EXPECT_GE(result.rtt_ms, 0);
    EXPECT_LE(result.rtt_ms, kEchoTimeoutMs);
}

TEST(IcmpEcho, AZoneSuffixNamesTheInterface) {
    if (under_wine()) GTEST_SKIP() << "no ICMPv6 under Wine";
    const EchoResult by_number = icmp_echo("::1%1", kEchoTimeoutMs);
    EXPECT_TRUE(by_number.ok);
#ifndef _WIN32
    EXPECT_TRUE(icmp_echo("::1%lo", kEchoTimeoutMs).ok);
#endif
    EXPECT_FALSE(icmp_echo("::1%no-such-interface", kEchoTimeoutMs).ok);
}

TEST(IcmpEcho, WithoutARouteFailsWithinTheTimeOut) {
    if (has_route_to("192.0.2.1") || has_route_to("2001:db8::1"))
        GTEST_SKIP()
            << "documentation addresses are routed here; run the suite in an empty network namespace";
    constexpr unsigned kTimeoutMs = 800;
    for (const char* target : {"192.0.2.1", "2001:db8::1"}) {
        const auto start = std::chrono::steady_clock::now();
        const EchoResult result = icmp_echo(target, kTimeoutMs);
        EXPECT_FALSE(result.ok) << target;
        EXPECT_EQ(result.rtt_ms, -1) << target;
        EXPECT_LT(ms_since(start), kTimeoutMs + 500) << target;
    }
}

TEST(IcmpEcho, TextThatIsNoAddressIsNotSent) {
    for (const char* target : {"", "localhost", "300.1.1.1", "127.0.0.1%1", "fe80::1%", "::1 ", "[::1]"}) {
        const auto start = std::chrono::steady_clock::now();
        const EchoResult result = icmp_echo(target, kEchoTimeoutMs);
        EXPECT_FALSE(result.ok) << target;
        EXPECT_EQ(result.rtt_ms, -1) << target;
        EXPECT_LT(ms_since(start), 200) << target;
    }
}

} // namespace
} // namespace wirelux::platform
