#pragma once
// The DNS probe's wire format: one A query, and the reading of whatever comes back. The reading never
// trusts a length or a count from the reply; every read is checked against the bytes received.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux {

// A stable public name that normally has an A record.
inline constexpr std::string_view kDnsProbeName = "www.baidu.com";

inline constexpr std::uint16_t kDnsPort = 53;

// A recursive query of type A, class IN, for `name` (split at dots, empty labels skipped). Empty when
// the name cannot be encoded (a label longer than 63 bytes or a name longer than 255).
std::vector<std::uint8_t> build_dns_query(std::uint16_t id, std::string_view name);

// Whether a datagram can be the reply to the query with this id: a whole header carrying the id.
bool is_dns_reply_to(std::span<const std::uint8_t> datagram, std::uint16_t id);

// The first A record of the answer section as a dotted address; empty when there is none or the reply
// breaks off first.
std::string first_a_record(std::span<const std::uint8_t> reply);

} // namespace wirelux
