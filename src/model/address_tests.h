#pragma once
// The address tests that scoring, probes and the graph share: what counts as the same address, as
// loopback, as "any address", and as this machine.

#include <set>
#include <string>
#include <string_view>

namespace wirelux {

// Trimmed, one pair of surrounding brackets and any zone ("%...") removed; an IP address in canonical
// form (an IPv4-mapped IPv6 address as its IPv4 form); lower case.
std::string normalised_address(std::string_view text);

// "localhost", any 127.x.x.x address (also written IPv4-mapped) or ::1.
bool is_loopback_host(std::string_view text);

// 0.0.0.0 or ::.
bool is_unspecified_address(std::string_view text);

// A loopback host, or a name in own_names (lower case) or an address in own_addresses (normalised).
// Empty text and unspecified addresses are not local.
bool is_local_host(std::string_view text, const std::set<std::string>& own_names,
                   const std::set<std::string>& own_addresses);

// Both texts non-empty and equal once normalised.
bool same_address(std::string_view a, std::string_view b);

// 198.18.0.0/15 in IPv4, or an IPv6 text beginning with "fdfe:" in any letter case: the address ranges
// proxy cores hand out as fake IPs.
bool is_fake_ip(std::string_view address);

// A resolver on this machine: "127." followed by anything, or "::1".
bool is_loopback_dns(std::string_view address);

} // namespace wirelux
