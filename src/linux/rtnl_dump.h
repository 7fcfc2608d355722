#pragma once
// Whole-table dumps over one route-netlink socket. A dump that does not complete cleanly gives nothing,
// so that a partial table is never taken for the whole.

#include "linux/netlink_socket.h"
#include "linux/route_rules.h"

#include <functional>
#include <optional>
#include <vector>

namespace wirelux::platform::netlink {

std::optional<std::vector<LinkRecord>> dump_links(Socket& socket);

// Addresses of both families.
std::optional<std::vector<AddressRecord>> dump_addresses(Socket& socket);

// Routing policy rules of both families.
std::optional<std::vector<RuleRecord>> dump_rules(Socket& socket);

// Hands every route message of one family (AF_INET or AF_INET6) to on_message as it arrives, so that
// a table of any size is never held twice; true when the dump completed cleanly.
bool dump_route_messages(Socket& socket, std::uint8_t address_family,
                         const std::function<void(const Message&)>& on_message);

} // namespace wirelux::platform::netlink
