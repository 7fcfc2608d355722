#pragma once

#include "model/probe_results.h"

#include <string_view>

namespace wirelux::platform {

inline constexpr unsigned kEchoTimeoutMs = 1400;

// One ICMP echo request to an address text (IPv4, or IPv6 with an optional "%zone" suffix) with a
// 2-byte payload; ok when a successful reply arrives within the time-out.
EchoResult icmp_echo(std::string_view target, unsigned timeout_ms = kEchoTimeoutMs);

} // namespace wirelux::platform
