#include "platform/routes.h"

#include "linux/route_records.h"
#include "linux/rtnl_dump.h"

#include <arpa/inet.h>
#include <cstring>
#include <sys/socket.h>

namespace wirelux::platform {

std::vector<RouteRow> read_route_table() {
    std::vector<RouteRow> rows;
    auto socket = netlink::Socket::open();
    if (!socket) return rows;
    const netlink::RouteSelection selection(netlink::dump_rules(*socket).value_or(std::vector<netlink::RuleRecord>()));
    for (const std::uint8_t family : {AF_INET, AF_INET6}) {
        std::vector<RouteRow> family_rows;
        const bool complete = netlink::dump_route_messages(*socket, family, [&](const netlink::Message& m) {
            if (auto route = netlink::parse_route(m); route && selection.keeps(*route))
                netlink::append_route_rows(*route, family_rows, selection.rule_priority(*route));
        });
        if (!complete) continue;
        if (rows.empty()) {
            rows = std::move(family_rows);
        } else {
            rows.insert(rows.end(), std::make_move_iterator(family_rows.begin()),
                        std::make_move_iterator(family_rows.end()));
        }
    }
    return rows;
}

std::optional<BestRoute> best_route(std::string_view destination) {
    const std::string text(destination);
    std::uint8_t address[16];
    std::uint8_t family = AF_INET;
    std::size_t size = 4;
    if (::inet_pton(AF_INET, text.c_str(), address) != 1) {
        if (::inet_pton(AF_INET6, text.c_str(), address) != 1) return std::nullopt;
        family = AF_INET6;
        size = 16;
    }
    auto socket = netlink::Socket::open();
    if (!socket) return std::nullopt;

    std::optional<netlink::RouteRecord> answer;
    const auto result =
        socket->exchange(netlink::route_get_request(family, std::span<const std::uint8_t>(address, size), 0),
                         [&](const netlink::Message& m) {
                             if (!answer) answer = netlink::parse_route(m);
                         });
    if (!result.complete || result.error != 0 || !answer) return std::nullopt;
    return netlink::best_route_from(*answer);
}

} // namespace wirelux::platform
