// ICMP echo answers: the reply buffer the Windows ICMP calls fill (the first four bytes give the reply
// count the call reported) and the packets a Linux ICMP socket receives. The first byte picks which.
#include "common/harness.h"
#include "platform/icmp_packet.h"
#include "platform/icmp_reply_buffer.h"

#include <cstring>

namespace wirelux::fuzz {

using namespace platform;

void fuzz_one_input(std::string_view input) {
    const auto [selector, rest] = take_selector(input);
    switch (selector % 5) {
    case 0:
    case 1: {
        std::uint32_t count = 0;
        if (rest.size() >= sizeof count) std::memcpy(&count, rest.data(), sizeof count);
        const auto buffer = bytes_of(rest.substr(std::min(rest.size(), sizeof count)));
        const EchoResult result =
            echo_result_from_reply_buffer(buffer, count, selector % 5 == 0 ? kIcmpEchoReplyLayout : kIcmpv6EchoReplyLayout);
        check(result.ok == (result.rtt_ms >= 0), "a round trip only with success");
        break;
    }
    default: {
        const IcmpFamily family = selector % 5 == 4 ? IcmpFamily::v6 : IcmpFamily::v4;
        const auto message = parse_icmp_packet(bytes_of(rest), family, selector % 5 == 2);
        if (!message) break;
        check(message->payload.size() <= rest.size(), "the payload lies in the packet");
        const EchoExpectation expected{.family = family, .identifier = 7, .sequence = 1, .payload = kEchoPayload};
        (void)is_echo_reply(*message, expected);
        break;
    }
    }
}

} // namespace wirelux::fuzz
