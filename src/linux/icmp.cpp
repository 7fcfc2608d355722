#include "platform/icmp.h"

#include "linux/unique_fd.h"
#include "platform/icmp_packet.h"
#include "platform/process_id.h"
#include "platform/socket.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>

namespace wirelux::platform {

namespace {

struct EchoSocket {
    UniqueFd fd;
    bool raw = false;
    bool refused = false; // both kinds were refused for want of permission
};

// A datagram ICMP socket needs no privilege where net.ipv4.ping_group_range admits the caller's group
// (the system then assigns and filters the identifier); otherwise a raw socket, which needs CAP_NET_RAW.
EchoSocket open_echo_socket(IpFamily family) {
    const int domain = family == IpFamily::v4 ? AF_INET : AF_INET6;
    const int protocol = family == IpFamily::v4 ? int{IPPROTO_ICMP} : int{IPPROTO_ICMPV6};
    UniqueFd datagram(::socket(domain, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol));
    if (datagram.valid()) return {std::move(datagram), false};
    const bool datagram_refused = errno == EACCES || errno == EPERM;
    UniqueFd raw(::socket(domain, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol));
    const bool raw_refused = !raw.valid() && (errno == EACCES || errno == EPERM);
    return {std::move(raw), true, datagram_refused && raw_refused};
}

// Raw sockets see every echo reply of the host, and echoes of this process run in parallel under one
// identifier, so each echo gets its own sequence number.
std::uint16_t next_sequence() {
    static std::atomic<std::uint16_t> counter{0};
    return static_cast<std::uint16_t>(counter.fetch_add(1) + 1);
}

int remaining_ms(std::chrono::steady_clock::time_point deadline) {
    const auto now = std::chrono::steady_clock::now();
    if (deadline <= now) return 0;
    return static_cast<int>(
        std::min<long long>(std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count(), INT_MAX));
}

} // namespace

EchoResult icmp_echo(std::string_view target, unsigned timeout_ms) {
    const auto address = SocketAddress::parse(target);
    if (!address) return {};
    const IcmpFamily family = address->family() == IpFamily::v4 ? IcmpFamily::v4 : IcmpFamily::v6;
    const EchoSocket echo = open_echo_socket(address->family());
    if (!echo.fd.valid()) return {false, -1, echo.refused};

    const auto identifier = static_cast<std::uint16_t>(current_process_id());
    const std::uint16_t sequence = next_sequence();
    const std::vector<std::uint8_t> request = build_echo_request(family, identifier, sequence, kEchoPayload);
    sockaddr_storage destination{};
    const std::size_t destination_size = address->to_native(&destination, sizeof destination);

    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::milliseconds(timeout_ms);
    // Without a route the system refuses the send at once, which ends the echo without waiting.
    if (::sendto(echo.fd.get(), request.data(), request.size(), 0,
                 reinterpret_cast<const sockaddr*>(&destination),
                 static_cast<socklen_t>(destination_size)) != static_cast<ssize_t>(request.size()))
        return {};

    const EchoExpectation expected{family, echo.raw ? std::optional(identifier) : std::nullopt, sequence,
                                   kEchoPayload};
    const bool with_ip_header = echo.raw && family == IcmpFamily::v4;
    std::array<std::uint8_t, 2048> buffer{};
    // Other ICMP traffic (our own request looped back, other programs' echoes) is passed over until the
    // reply arrives or the deadline passes.
    for (;;) {
        pollfd entry{echo.fd.get(), POLLIN, 0};
        const int ready = ::poll(&entry, 1, remaining_ms(deadline));
        if (ready < 0 && errno != EINTR) return {};
        if (ready <= 0) {
            if (std::chrono::steady_clock::now() >= deadline) return {};
            continue;
        }
        sockaddr_storage from{};
        socklen_t from_size = sizeof from;
        const ssize_t received = ::recvfrom(echo.fd.get(), buffer.data(), buffer.size(), 0,
                                            reinterpret_cast<sockaddr*>(&from), &from_size);
        if (received < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            return {};
        }
        const auto sender = SocketAddress::from_native(&from, from_size);
        if (!sender || !std::ranges::equal(sender->bytes(), address->bytes())) continue;
        const auto message = parse_icmp_packet(std::span(buffer.data(), static_cast<std::size_t>(received)),
                                               family, with_ip_header);
        if (!message || !is_echo_reply(*message, expected)) continue;
        const auto rtt =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                .count();
        return {true, rtt};
    }
}

} // namespace wirelux::platform
