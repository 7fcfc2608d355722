#pragma once
// Tests on listener and endpoint address texts, shared by proxy scoring, the proxy probes and the graph.

#include <string>
#include <string_view>

namespace wirelux {

// Trimmed, without one pair of surrounding brackets and without a zone; an IP address in canonical
// text (an IPv4-mapped IPv6 address as its IPv4 form); lower case.
std::string normalised_address(std::string_view text);

// "localhost", any 127.x.x.x address, or ::1 (brackets and zone allowed).
bool is_loopback_host(std::string_view text);

// The IPv4 or IPv6 wildcard address, in any spelling.
bool is_unspecified_address(std::string_view text);

} // namespace wirelux
