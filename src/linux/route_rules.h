#pragma once
// Routing policy rules and what they make of the route tables: which tables traffic can be sent to,
// and which rule sends ordinary traffic to a route.

#include "linux/netlink_parse.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace wirelux::platform::netlink {

struct RuleRecord {
    std::uint16_t family = 0; // 2 or 23
    std::uint32_t priority = 0;
    std::uint8_t action = 0; // FR_ACT_*
    std::uint32_t table = 0;
    // The rule applies to every packet this host sends that no one marked: no source, destination,
    // interface, protocol, port, user or type-of-service condition, and a mark condition only when
    // inverted ("not fwmark X").
    bool applies_to_all = false;
    std::optional<std::uint8_t> suppress_prefix_length; // routes this long or shorter are passed over
};

// Parsed like the other route-netlink messages: nothing for another message type, a short payload, a
// family other than IPv4/IPv6 or malformed attributes.
std::optional<RuleRecord> parse_rule(const Message& message);

// Which routes the forwarding facts show. Without rules (none could be read) only the main table's
// unicast routes; with them also the unicast default routes of every other table a rule sends traffic
// to, the way policy-routed tunnels install theirs. The local table never counts.
class RouteSelection {
public:
    RouteSelection() = default;
    explicit RouteSelection(std::vector<RuleRecord> rules);

    bool keeps(const RouteRecord& route) const;

    // Priority of the first rule that sends all ordinary traffic of the route's family to its table
    // without passing over a route of its length; absent when only conditional rules do, or when no
    // rules are known.
    std::optional<std::uint32_t> rule_priority(const RouteRecord& route) const;

private:
    std::vector<RuleRecord> rules_;
};

} // namespace wirelux::platform::netlink
