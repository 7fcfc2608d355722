#include "linux/rtnl_dump.h"

#include <linux/rtnetlink.h>
#include <sys/socket.h>

namespace wirelux::platform::netlink {

namespace {

template <typename Record, typename Parse>
std::optional<std::vector<Record>> dump(Socket& socket, std::uint16_t type, std::uint8_t family,
                                        Parse parse) {
    std::vector<Record> records;
    const ExchangeResult result = socket.exchange(dump_request(type, family, 0), [&](const Message& m) {
        if (auto record = parse(m)) records.push_back(std::move(*record));
    });
    if (!result.complete || result.error != 0) return std::nullopt;
    return records;
}

} // namespace

std::optional<std::vector<LinkRecord>> dump_links(Socket& socket) {
    return dump<LinkRecord>(socket, RTM_GETLINK, AF_UNSPEC, parse_link);
}

std::optional<std::vector<AddressRecord>> dump_addresses(Socket& socket) {
    return dump<AddressRecord>(socket, RTM_GETADDR, AF_UNSPEC, parse_address);
}

std::optional<std::vector<RuleRecord>> dump_rules(Socket& socket) {
    return dump<RuleRecord>(socket, RTM_GETRULE, AF_UNSPEC, parse_rule);
}

bool dump_route_messages(Socket& socket, std::uint8_t address_family,
                         const std::function<void(const Message&)>& on_message) {
    const ExchangeResult result = socket.exchange(dump_request(RTM_GETROUTE, address_family, 0), on_message);
    return result.complete && result.error == 0;
}

} // namespace wirelux::platform::netlink
