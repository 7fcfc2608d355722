#ifdef __linux__

#include "linux/netlink_builders.h"
#include "linux/route_records.h"
#include "linux/route_rules.h"

#include <gtest/gtest.h>

#include <linux/fib_rules.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

namespace wirelux::platform::netlink {
namespace {

using test::attribute;
using test::u32_bytes;

// A rule message as the kernel writes it for `ip rule` lines.
struct Rule {
    std::uint32_t priority;
    std::uint32_t table;
    std::uint8_t src_len = 0;
    std::uint32_t flags = 0;
    std::optional<std::uint32_t> mark = std::nullopt;
    std::optional<std::uint32_t> mask = std::nullopt;
    std::optional<std::uint32_t> suppress = std::nullopt;
    std::string extra = {};
    std::uint8_t action = FR_ACT_TO_TBL;
    std::uint8_t family = AF_INET;

    std::string payload() const {
        fib_rule_hdr h{};
        h.family = family;
        h.src_len = src_len;
        h.table = static_cast<std::uint8_t>(table < 256 ? table : std::uint32_t{RT_TABLE_COMPAT});
        h.action = action;
        h.flags = flags;
        std::string p(reinterpret_cast<const char*>(&h), sizeof h);
        p += attribute(FRA_TABLE, u32_bytes(table));
        p += attribute(FRA_PRIORITY, u32_bytes(priority));
        if (mark) p += attribute(FRA_FWMARK, u32_bytes(*mark));
        if (mask) p += attribute(FRA_FWMASK, u32_bytes(*mask));
        p += attribute(FRA_SUPPRESS_PREFIXLEN, u32_bytes(suppress.value_or(0xFFFFFFFFu)));
        return p + extra;
    }
    RuleRecord parsed() const {
        const std::string p = payload();
        return parse_rule(Message{RTM_NEWRULE, 0, 1, p}).value();
    }
};

TEST(RoutingRules, OnlyRulesWithoutConditionsOnUnmarkedTrafficApplyToAll) {
    struct Case {
        const char* line;
        Rule rule;
        bool applies;
        std::optional<std::uint8_t> suppress;
    };
    const Case cases[] = {
        {"from all lookup main", {32766, RT_TABLE_MAIN}, true, std::nullopt},
        {"not from all fwmark 0xca6c lookup 51820", {32765, 51820, 0, FIB_RULE_INVERT, 0xca6c, 0xFFFFFFFFu}, true,
         std::nullopt},
        {"from all lookup main suppress_prefixlength 0", {32764, RT_TABLE_MAIN, 0, 0, {}, {}, 0u}, true, 0},
        {"from all fwmark 0x80000/0xff0000 lookup main", {5210, RT_TABLE_MAIN, 0, 0, 0x80000, 0xff0000}, false,
         std::nullopt},
        {"from all fwmark 0/0xff0000 lookup 7 (unmarked traffic matches)", {90, 7, 0, 0, 0, 0xff0000}, true,
         std::nullopt},
        {"not from all lookup 7", {91, 7, 0, FIB_RULE_INVERT}, false, std::nullopt},
        {"from 10.0.0.2 lookup 100", {100, 100, 32}, false, std::nullopt},
        {"ipproto tcp dport 443 lookup 100",
         {101, 100, 0, 0, {}, {}, {}, attribute(FRA_IP_PROTO, std::string(1, '\x06')) +
                                         attribute(FRA_DPORT_RANGE, u32_bytes(443u | 443u << 16))},
         false, std::nullopt},
        {"iif wg0 lookup 9", {102, 9, 0, 0, {}, {}, {}, attribute(FRA_IIFNAME, std::string("wg0\0", 4))}, false,
         std::nullopt},
    };
    for (const Case& c : cases) {
        const RuleRecord r = c.rule.parsed();
        EXPECT_EQ(r.applies_to_all, c.applies) << c.line;
        EXPECT_EQ(r.suppress_prefix_length, c.suppress) << c.line;
        EXPECT_EQ(r.table, c.rule.table) << c.line;
        EXPECT_EQ(r.priority, c.rule.priority) << c.line;
        EXPECT_EQ(r.family, 2u) << c.line;
    }
    EXPECT_EQ((Rule{1, 5, 0, 0, {}, {}, {}, {}, FR_ACT_TO_TBL, AF_INET6}.parsed().family), 23u);

    const std::string good = Rule{1, 5}.payload();
    EXPECT_FALSE(parse_rule(Message{RTM_NEWRULE, 0, 1, std::string_view(good).substr(0, 8)}));
    EXPECT_FALSE(parse_rule(Message{RTM_NEWROUTE, 0, 1, good}));
    EXPECT_FALSE(parse_rule(Message{RTM_NEWRULE, 0, 1, good + std::string("\x40\x00\x06\x00", 4)}))
        << "an attribute longer than the message";
    std::string packet = good;
    packet[0] = AF_PACKET;
    EXPECT_FALSE(parse_rule(Message{RTM_NEWRULE, 0, 1, packet}));
}

RouteRecord route(std::uint32_t table, std::uint8_t prefix_len, std::uint8_t type = RTN_UNICAST,
                  std::uint16_t family = 2) {
    RouteRecord r;
    r.family = family;
    r.table = table;
    r.prefix_len = prefix_len;
    r.type = type;
    r.destination = "0.0.0.0";
    r.next_hops.push_back({std::nullopt, 7});
    return r;
}

TEST(RoutingRules, TablesRulesSelectAddTheirDefaultRoutesRankedByTheFirstRuleTakingAllTraffic) {
    // wg-quick's rules, plus a source rule for table 100; table 200 has a default route no rule reaches.
    std::vector<RuleRecord> rules = {
        Rule{0, RT_TABLE_LOCAL}.parsed(),
        Rule{100, 100, 32}.parsed(),
        Rule{32764, RT_TABLE_MAIN, 0, 0, {}, {}, 0u}.parsed(),
        Rule{32765, 51820, 0, FIB_RULE_INVERT, 0xca6c, 0xFFFFFFFFu}.parsed(),
        Rule{32766, RT_TABLE_MAIN}.parsed(),
        Rule{32767, RT_TABLE_DEFAULT}.parsed(),
    };
    const RouteSelection selection(rules);
    const RouteSelection main_only;
    struct Case {
        const char* what;
        RouteRecord route;
        bool kept;
        bool kept_without_rules;
        std::optional<std::uint32_t> rank; // asked only of the routes kept
    };
    const Case cases[] = {
        {"tunnel default", route(51820, 0), true, false, 32765},
        {"tunnel's other route", route(51820, 24), false, false, std::nullopt},
        {"main default, passed over by the suppressing rule", route(RT_TABLE_MAIN, 0), true, true, 32766},
        {"main subnet route", route(RT_TABLE_MAIN, 24), true, true, 32764},
        {"source-routed default", route(100, 0), true, false, std::nullopt},
        {"unreached table", route(200, 0), false, false, std::nullopt},
        {"local table", route(RT_TABLE_LOCAL, 0, RTN_LOCAL), false, false, std::nullopt},
        {"blackhole default", route(51820, 0, RTN_BLACKHOLE), false, false, std::nullopt},
        {"IPv6 default of the tunnel table, no IPv6 rule", route(51820, 0, RTN_UNICAST, 23), false, false,
         std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(selection.keeps(c.route), c.kept) << c.what;
        EXPECT_EQ(main_only.keeps(c.route), c.kept_without_rules) << c.what;
        if (c.kept) {
            EXPECT_EQ(selection.rule_priority(c.route), c.rank) << c.what;
        }
        EXPECT_FALSE(main_only.rule_priority(c.route)) << c.what;
    }

    std::vector<RouteRow> rows;
    append_route_rows(route(51820, 0), rows, selection.rule_priority(route(51820, 0)));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].table, 51820u);
    EXPECT_EQ(rows[0].rule_priority, 32765u);
}

} // namespace
} // namespace wirelux::platform::netlink

#endif
