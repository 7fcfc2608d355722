#pragma once

#include <cstdint>
#include <string>

namespace wirelux {

// The word shown for an IANA interface type: "802.3", "IP", "Loopback", "Native 802.11" or "IfType <n>".
std::string if_type_word(std::uint32_t if_type);

} // namespace wirelux
