#pragma once
// The address lists of one adapter that the console summary and the report both show, so that the two
// list the same addresses.

#include "model/snapshot.h"

#include <string>
#include <string_view>
#include <vector>

namespace wirelux {

// The adapter's IPv4 addresses, in order.
std::vector<std::string> ipv4_address_texts(const AdapterInfo& adapter);

// The adapter's IPv6 addresses without loopback, link-local and unique-local ones, in order.
std::vector<std::string> global_ipv6_address_texts(const AdapterInfo& adapter);

// The IPv4 servers among the adapter's DNS servers, in order.
std::vector<std::string> ipv4_dns_servers(const AdapterInfo& adapter);

// Why a resolver address is not queried; empty for IPv4 and global IPv6 resolvers. A link-local one
// (fe80::/10) cannot be reached without the interface zone the address lacks, and a site-local one
// (fec0::/10) is one of the deprecated placeholders a system lists when none was configured.
std::string dns_server_skip_reason(std::string_view server);

// The adapter's resolvers that are queried, in order: IPv4 and global IPv6 ones.
std::vector<std::string> queried_dns_servers(const AdapterInfo& adapter);

} // namespace wirelux
