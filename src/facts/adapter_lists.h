#pragma once
// The address lists of one adapter that the console summary and the report both show, so that the two
// list the same addresses.

#include "model/snapshot.h"

#include <string>
#include <vector>

namespace wirelux {

// The adapter's IPv4 addresses, in order.
std::vector<std::string> ipv4_address_texts(const AdapterInfo& adapter);

// The adapter's IPv6 addresses without loopback, link-local and unique-local ones, in order.
std::vector<std::string> global_ipv6_address_texts(const AdapterInfo& adapter);

// The IPv4 servers among the adapter's DNS servers, in order.
std::vector<std::string> ipv4_dns_servers(const AdapterInfo& adapter);

} // namespace wirelux
