#include "run/probe_targets.h"

#include "model/route_tests.h"

#include <gtest/gtest.h>

namespace wirelux {
namespace {

RouteRow route(std::string dest, std::string hop, std::uint32_t if_index, std::uint16_t family = kFamilyIpv4,
               std::uint8_t prefix = 0) {
    RouteRow r;
    r.destination = std::move(dest);
    r.next_hop = std::move(hop);
    r.if_index = if_index;
    r.family = family;
    r.prefix_len = prefix;
    return r;
}

const std::vector<std::string> kFixed = {"223.5.5.5",  "2400:3200::1", "10.0.0.55",
                                         "10.0.0.54",  "10.0.32.32",   "10.0.32.33"};

TEST(PingTargets, WithoutDefaultRoutesOnlyTheFixedTargets) {
    FactSnapshot s;
    s.routes.push_back(route("192.168.1.0", "0.0.0.0", 7, kFamilyIpv4, 24));
    EXPECT_EQ(ping_targets(s, {}), kFixed);
}

TEST(PingTargets, GatewaysFirstInTableOrderWithoutDuplicates) {
    FactSnapshot s;
    s.routes.push_back(route("0.0.0.0", "192.168.1.1", 7));
    s.routes.push_back(route("0.0.0.0", "0.0.0.0", 9)); // on-link default: no gateway
    s.routes.push_back(route("0.0.0.0", "192.168.1.1", 8));
    s.routes.push_back(route("0.0.0.0", "10.0.0.55", 8)); // a gateway that is also a fixed target
    s.routes.push_back(route("::", "::", 9, kFamilyIpv6));
    s.routes.push_back(route("10.0.0.0", "192.168.1.9", 7, kFamilyIpv4, 8)); // not a default route
    std::vector<std::string> expected = {"192.168.1.1", "10.0.0.55", "223.5.5.5", "2400:3200::1",
                                         "10.0.0.54",   "10.0.32.32", "10.0.32.33"};
    EXPECT_EQ(ping_targets(s, {}), expected);
}

TEST(PingTargets, LinkLocalGatewaysCarryTheirInterface) {
    FactSnapshot s;
    s.routes.push_back(route("::", "fe80::1", 12, kFamilyIpv6));
    s.routes.push_back(route("::", "fe80::2%5", 12, kFamilyIpv6));
    s.routes.push_back(route("::", "2001:db8::1", 12, kFamilyIpv6));
    const auto targets = ping_targets(s, {});
    ASSERT_GE(targets.size(), 3u);
    EXPECT_EQ(targets[0], "fe80::1%12");
    EXPECT_EQ(targets[1], "fe80::2%5");
    EXPECT_EQ(targets[2], "2001:db8::1");
}

TEST(PingTargets, CachedTargetsAreDropped) {
    FactSnapshot s;
    std::map<std::string, EchoResult> cache{{"223.5.5.5", {}}, {"10.0.32.33", {}}};
    EXPECT_EQ(ping_targets(s, cache),
              (std::vector<std::string>{"2400:3200::1", "10.0.0.55", "10.0.0.54", "10.0.32.32"}));
}

TEST(DnsTargets, QueriedServersOfUpAdaptersOnceThenCampusResolvers) {
    FactSnapshot s;
    AdapterInfo a;
    a.oper_up = true;
    a.dns_servers = {"192.168.1.1", "fe80::1", "2001:db8::53", "fec0:0:0:ffff::1%1", "fd00::1"};
    AdapterInfo b;
    b.oper_up = true;
    b.dns_servers = {"192.168.1.1", "10.0.32.32", "8.8.4.4"};
    AdapterInfo down;
    down.oper_up = false;
    down.dns_servers = {"9.9.9.9"};
    s.adapters = {a, down, b};
    // Global and unique-local IPv6 resolvers are asked; link-local and site-local ones are not.
    EXPECT_EQ(dns_targets(s, {}), (std::vector<std::string>{"192.168.1.1", "2001:db8::53", "fd00::1", "10.0.32.32",
                                                            "8.8.4.4", "10.0.32.33"}));
    std::map<std::string, DnsProbeResult> cache{{"8.8.4.4", {}}};
    EXPECT_EQ(dns_targets(s, cache),
              (std::vector<std::string>{"192.168.1.1", "2001:db8::53", "fd00::1", "10.0.32.32", "10.0.32.33"}));
}

TEST(DefaultRoute, NeedsTheFamilysUnspecifiedDestinationAndPrefixZero) {
    EXPECT_TRUE(is_default_route(route("0.0.0.0", "1.2.3.4", 1)));
    EXPECT_TRUE(is_default_route(route("::", "fe80::1", 1, kFamilyIpv6)));
    EXPECT_FALSE(is_default_route(route("0.0.0.0", "1.2.3.4", 1, kFamilyIpv4, 1)));
    EXPECT_FALSE(is_default_route(route("::", "fe80::1", 1, kFamilyIpv4)));
    RouteRow no_destination;
    EXPECT_FALSE(is_default_route(no_destination));
}

} // namespace
} // namespace wirelux
