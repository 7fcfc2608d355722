// A reply datagram to the DNS probe, as any host that answers on the resolver's address may send it.
#include "common/harness.h"
#include "probe/dns_message.h"
#include "util/ip_text.h"

namespace wirelux::fuzz {

void fuzz_one_input(std::string_view input) {
    const auto datagram = bytes_of(input);
    const std::uint16_t id = input.size() >= 2 ? static_cast<std::uint16_t>(datagram[0] << 8 | datagram[1]) : 0;
    check(is_dns_reply_to(datagram, id) == (input.size() >= 12), "a whole header carrying the id is a reply");
    const std::string address = first_a_record(datagram);
    check(address.empty() || parse_ip(address).has_value(), "an A record reads as an address");
}

} // namespace wirelux::fuzz
