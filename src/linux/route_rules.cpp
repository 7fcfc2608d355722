#include "linux/route_rules.h"

#include <linux/fib_rules.h>
#include <linux/rtnetlink.h>

namespace wirelux::platform::netlink {

namespace {

constexpr std::size_t kRuleHeaderSize = (sizeof(fib_rule_hdr) + 3u) & ~std::size_t{3};

bool sends_to_table(const RuleRecord& rule, const RouteRecord& route) {
    return rule.action == FR_ACT_TO_TBL && rule.family == route.family && rule.table == route.table;
}

} // namespace

std::optional<RuleRecord> parse_rule(const Message& message) {
    if (message.type != RTM_NEWRULE || message.payload.size() < sizeof(fib_rule_hdr)) return std::nullopt;
    fib_rule_hdr header;
    std::memcpy(&header, message.payload.data(), sizeof header);
    const std::uint16_t family = windows_family(header.family);
    if (family == 0) return std::nullopt;
    const auto attrs = parse_attributes<FRA_MAX + 1>(message.payload.substr(kRuleHeaderSize));
    if (attrs.malformed) return std::nullopt;

    RuleRecord rule;
    rule.family = family;
    rule.priority = attribute_u32(attrs.get(FRA_PRIORITY)).value_or(0);
    rule.action = header.action;
    rule.table = attribute_u32(attrs.get(FRA_TABLE)).value_or(header.table);
    // The kernel writes -1 when the rule suppresses nothing.
    if (auto suppress = attribute_u32(attrs.get(FRA_SUPPRESS_PREFIXLEN)); suppress && *suppress <= 128)
        rule.suppress_prefix_length = static_cast<std::uint8_t>(*suppress);

    const bool inverted = (header.flags & FIB_RULE_INVERT) != 0;
    const std::uint32_t mark = attribute_u32(attrs.get(FRA_FWMARK)).value_or(0);
    const std::uint32_t mask = attribute_u32(attrs.get(FRA_FWMASK)).value_or(0xFFFFFFFFu);
    const bool mark_condition = mark != 0 || attrs.get(FRA_FWMASK).has_value();
    bool conditional = header.src_len != 0 || header.dst_len != 0 || header.tos != 0;
    for (const int selector : {FRA_IIFNAME, FRA_OIFNAME, FRA_L3MDEV, FRA_UID_RANGE, FRA_IP_PROTO, FRA_SPORT_RANGE,
                               FRA_DPORT_RANGE, FRA_TUN_ID})
        conditional = conditional || attrs.get(static_cast<std::size_t>(selector)).has_value();
    // Unmarked traffic carries mark 0: "fwmark X" takes it only when X is 0 under the mask, and an
    // inverted rule with nothing but a mark condition takes it exactly when that mark does not.
    const bool mark_takes_unmarked = !mark_condition || (mark & mask) == 0;
    rule.applies_to_all = !conditional && (inverted ? mark_condition && !mark_takes_unmarked : mark_takes_unmarked);
    return rule;
}

RouteSelection::RouteSelection(std::vector<RuleRecord> rules) : rules_(std::move(rules)) {}

bool RouteSelection::keeps(const RouteRecord& route) const {
    if (route.type != RTN_UNICAST || route.table == RT_TABLE_LOCAL) return false;
    if (route.table == RT_TABLE_MAIN) return true;
    if (route.prefix_len != 0) return false;
    for (const RuleRecord& rule : rules_)
        if (sends_to_table(rule, route)) return true;
    return false;
}

std::optional<std::uint32_t> RouteSelection::rule_priority(const RouteRecord& route) const {
    std::optional<std::uint32_t> first;
    for (const RuleRecord& rule : rules_) {
        if (!rule.applies_to_all || !sends_to_table(rule, route)) continue;
        if (rule.suppress_prefix_length && route.prefix_len <= *rule.suppress_prefix_length) continue;
        if (!first || rule.priority < *first) first = rule.priority;
    }
    return first;
}

} // namespace wirelux::platform::netlink
