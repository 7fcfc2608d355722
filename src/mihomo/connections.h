#pragma once
// The proxy core's /connections reply: one record per live connection, with the owning process and the
// rule and proxy chain that carried it.

#include "model/core_info.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux {

// A busy core lists a few hundred connections; more than this is not a reply worth keeping whole.
inline constexpr std::size_t kMaxRuntimeConnections = 4096;

// Deeper JSON than this is refused before it is parsed: no reply of a core nests so deep, and the
// values' recursive writing and destruction must not run the stack out.
inline constexpr std::size_t kMaxConnectionsDepth = 64;

// The records of the "connections" array of a reply body, in order, at most kMaxRuntimeConnections.
// Elements that are not objects carry no connection and are skipped. Empty when the body is not
// JSON, nests too deep or has no "connections" array.
std::vector<RuntimeConnection> parse_connections(std::string_view body);

// The deepest nesting of arrays and objects in a JSON text (strings and their escapes skipped).
std::size_t json_nesting_depth(std::string_view text);

} // namespace wirelux
