// Route-netlink datagrams as the kernel answers link, address and route dumps and route look-ups, and
// the records they give carried on into adapters and the route a campus address takes.
#include "common/harness.h"
#include "facts/campus_collect.h"
#include "linux/adapter_assembly.h"
#include "linux/netlink_parse.h"
#include "linux/route_records.h"

namespace wirelux::fuzz {

using namespace platform::netlink;

void fuzz_one_input(std::string_view input) {
    // The sequence of the first header, so that the fuzzer's messages answer the request.
    const std::uint32_t seq = input.size() >= 12 ? load_u32(input.data() + 8) : 0;
    const DatagramScan scan = scan_datagram(input, seq);
    platform::linux_net::AdapterSources sources;
    std::vector<RouteRow> rows;
    for (const Message& message : scan.messages) {
        check(message.payload.data() >= input.data() &&
                  message.payload.data() + message.payload.size() <= input.data() + input.size(),
              "a payload lies in the datagram");
        if (auto link = parse_link(message)) sources.links.push_back(std::move(*link));
        if (auto address = parse_address(message)) {
            check(address->family == 2 || address->family == 23, "an address is IPv4 or IPv6");
            sources.addresses.push_back(std::move(*address));
        }
        (void)route_prefix_length(message);
        if (auto route = parse_route(message)) {
            (void)best_route_from(*route);
            if (!is_main_unicast(*route)) continue;
            append_route_rows(*route, rows);
            if (route->prefix_len == 0) sources.default_routes.push_back(std::move(*route));
        }
    }
    sources.resolver_servers = {"192.0.2.53"};
    const std::vector<AdapterInfo> adapters = platform::linux_net::assemble_adapters(sources);
    check(adapters.size() == sources.links.size(), "one adapter per link");
    (void)campus_route_text("10.0.0.55", rows, adapters);
}

} // namespace wirelux::fuzz
