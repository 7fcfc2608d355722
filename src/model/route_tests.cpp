#include "model/route_tests.h"

namespace wirelux {

bool is_default_route(const RouteRow& row) {
    if (row.prefix_len != 0 || !row.destination) return false;
    return row.family == kFamilyIpv6 ? *row.destination == "::" : *row.destination == "0.0.0.0";
}

std::optional<std::string> default_route_gateway(const RouteRow& row) {
    if (!is_default_route(row) || !row.next_hop) return std::nullopt;
    const std::string& hop = *row.next_hop;
    if (hop.empty() || hop == "0.0.0.0" || hop == "::") return std::nullopt;
    return hop;
}

std::string gateway_echo_target(const std::string& next_hop, std::uint32_t if_index) {
    const bool ipv6 = next_hop.find(':') != std::string::npos;
    if (ipv6 && next_hop.starts_with("fe80:") && next_hop.find('%') == std::string::npos)
        return next_hop + "%" + std::to_string(if_index);
    return next_hop;
}

} // namespace wirelux
