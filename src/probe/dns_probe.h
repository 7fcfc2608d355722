#pragma once

#include "model/probe_results.h"

#include <string_view>

namespace wirelux {

// Asks the resolver (an address text) for the IPv4 address of the fixed probe name over UDP.
DnsProbeResult dns_probe(std::string_view resolver, unsigned timeout_ms);

} // namespace wirelux
