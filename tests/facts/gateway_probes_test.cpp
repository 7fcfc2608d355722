#include "facts/gateway_probes.h"

#include "route_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace wirelux {
namespace {

using test::default_v4;
using test::default_v6;
using test::FakeEcho;
using test::route;

std::vector<std::string> targets_of(const std::vector<GatewayEchoTarget>& list) {
    std::vector<std::string> out;
    for (const GatewayEchoTarget& t : list)
        out.push_back(t.target);
    return out;
}

TEST(GatewayEchoTargets, LinkLocalIpv6GatewayGetsItsInterfaceAsZone) {
    const auto list =
        gateway_echo_targets({default_v6(12, "fe80::1", 0), default_v6(12, "fe80::2%5", 0),
                              default_v6(12, "2001:db8::1", 0), default_v4(3, "192.168.1.1", 0)});
    EXPECT_EQ(targets_of(list),
              (std::vector<std::string>{"fe80::1%12", "fe80::2%5", "2001:db8::1", "192.168.1.1"}));
    // The row keeps the route's own next hop; only the echo target carries the zone.
    EXPECT_EQ(list[0].gateway, "fe80::1");
    EXPECT_EQ(list[0].family_word, "IPv6");
    EXPECT_EQ(list[3].family_word, "IPv4");
    EXPECT_EQ(list[3].if_index, 3U);
}

TEST(GatewayEchoTargets, OnLinkAndNonDefaultRoutesHaveNoGatewayToProbe) {
    const auto list =
        gateway_echo_targets({default_v4(1, "0.0.0.0", 0), default_v6(1, "::", 0), default_v4(1, "", 0),
                              default_v4(1, std::nullopt, 0), route("10.0.0.0", 8, "10.0.0.1", 1, 0)});
    EXPECT_TRUE(list.empty());
}

TEST(GatewayEchoTargets, EachInterfaceAndGatewayIsProbedOnce) {
    const auto list = gateway_echo_targets({default_v4(4, "192.168.0.1", 0), default_v4(4, "192.168.0.1", 50),
                                            default_v4(7, "192.168.0.1", 0), default_v6(4, "fe80::1", 0),
                                            default_v6(4, "fe80::1", 9), default_v6(5, "fe80::1", 0)});
    EXPECT_EQ(targets_of(list),
              (std::vector<std::string>{"192.168.0.1", "192.168.0.1", "fe80::1%4", "fe80::1%5"}));
    EXPECT_EQ(list[1].if_index, 7U);
}

TEST(ProbeGateways, EachAnswerLandsOnItsOwnRowWhateverOrderTheyArriveIn) {
    FactSnapshot s;
    s.routes = {default_v4(4, "192.168.0.1", 0), default_v6(12, "fe80::1", 0), default_v4(7, "10.0.0.1", 0),
                default_v4(4, "192.168.0.1", 9)};
    // Earlier targets answer later, so completion order is the reverse of task order.
    FakeEcho echo({{"192.168.0.1", {true, 200}}, {"fe80::1%12", {false, 100}}, {"10.0.0.1", {true, 0}}});
    probe_gateways(s, std::ref(echo));

    ASSERT_EQ(s.gateway_probes.size(), 3U);
    EXPECT_EQ(s.gateway_probes[0].gateway, "192.168.0.1");
    EXPECT_EQ(s.gateway_probes[0].status, "OK");
    EXPECT_EQ(s.gateway_probes[0].if_index, 4U);
    EXPECT_EQ(s.gateway_probes[1].gateway, "fe80::1");
    EXPECT_EQ(s.gateway_probes[1].family_word, "IPv6");
    EXPECT_EQ(s.gateway_probes[1].status, "FAIL");
    EXPECT_EQ(s.gateway_probes[1].if_index, 12U);
    EXPECT_EQ(s.gateway_probes[2].gateway, "10.0.0.1");
    EXPECT_EQ(s.gateway_probes[2].status, "OK");

    std::vector<std::string> asked = echo.asked();
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, (std::vector<std::string>{"10.0.0.1", "192.168.0.1", "fe80::1%12"}));
}

TEST(ProbeGateways, NoGatewaysMeansNoEchoAndNoRows) {
    FactSnapshot s;
    s.routes = {default_v4(30, "0.0.0.0", 0)};
    FakeEcho echo({});
    probe_gateways(s, std::ref(echo));
    EXPECT_TRUE(s.gateway_probes.empty());
    EXPECT_TRUE(echo.asked().empty());
}

} // namespace
} // namespace wirelux
