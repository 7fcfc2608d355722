#include "probe/dns_probe.h"

#include "platform/process_id.h"
#include "platform/socket.h"
#include "probe/dns_message.h"

#include <array>
#include <chrono>

namespace wirelux {

namespace {

constexpr std::size_t kReplyBufferSize = 2048;

} // namespace

DnsProbeResult dns_probe(std::string_view resolver, unsigned timeout_ms) {
    const auto start = std::chrono::steady_clock::now();
    // The time-out bounds the probe as a whole, so datagrams that are not the reply cannot prolong it.
    const Deadline deadline = start + std::chrono::milliseconds(timeout_ms);

    const auto server = resolve(resolver, kDnsPort);
    if (!server) return {};
    auto socket = Socket::open_udp(SocketAddress::any(server->family()));
    if (!socket) return {};

    const auto id = static_cast<std::uint16_t>(platform::current_process_id() % 65536);
    const std::vector<std::uint8_t> query = build_dns_query(id, kDnsProbeName);
    if (query.empty() || !socket->send_to(query, *server, deadline)) return {};

    std::array<std::uint8_t, kReplyBufferSize> buffer{};
    for (;;) {
        const auto datagram = socket->receive_from(buffer, deadline);
        if (!datagram) return {};
        const std::span<const std::uint8_t> reply(buffer.data(), datagram->size);
        // Anything but the resolver's reply to this query (a stray or forged datagram, another
        // query's late answer) is not the answer and is passed over.
        if (datagram->from != *server || !is_dns_reply_to(reply, id)) continue;
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                .count();
        DnsProbeResult result;
        result.answer = first_a_record(reply);
        result.elapsed = elapsed;
        result.ok = !result.answer.empty();
        return result;
    }
}

} // namespace wirelux
