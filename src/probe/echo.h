#pragma once

#include "probe/probe_results.h"

#include <string_view>

namespace wirelux {

inline constexpr unsigned kEchoTimeoutMs = 1400;

// One ICMP echo (IPv4 or IPv6; an IPv6 target may carry a "%zone" suffix) with the 1400 ms time-out.
EchoResult icmp_echo(std::string_view target);

} // namespace wirelux
