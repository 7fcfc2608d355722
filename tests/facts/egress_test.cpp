#include "facts/egress.h"

#include "route_fixtures.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>

namespace wirelux {
namespace {

using test::adapter;
using test::add_interface;
using test::default_v4;
using test::default_v6;
using test::FakeEcho;
using test::route;

BestRoute best_v4(std::uint32_t if_index, std::string next_hop, std::string source = "192.168.1.20") {
    return {std::move(next_hop), std::move(source), if_index, kFamilyIpv4};
}

BestRoute best_v6(std::uint32_t if_index, std::string next_hop, std::string source = "2001:db8::20") {
    return {std::move(next_hop), std::move(source), if_index, kFamilyIpv6};
}

// --- choosing the default route -------------------------------------------------------------------

TEST(ChooseDefaultRoute, LowestMetricWinsAmongRoutesThroughTheSameHop) {
    const std::vector<RouteRow> routes{default_v4(7, "192.168.1.1", 25), default_v4(7, "192.168.1.1", 5)};
    const auto chosen = choose_default_route(routes, best_v4(7, "192.168.1.1"));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->metric, 5U);
}

TEST(ChooseDefaultRoute, OnlyTheBestRoutesNextHopQualifiesWhateverTheMetrics) {
    const std::vector<RouteRow> routes{default_v4(7, "192.168.1.1", 50), default_v4(7, "192.168.1.254", 1)};
    const auto chosen = choose_default_route(routes, best_v4(7, "192.168.1.1"));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->next_hop, "192.168.1.1");
    EXPECT_EQ(chosen->metric, 50U);
}

TEST(ChooseDefaultRoute, WithoutABestNextHopAnyHopQualifiesAndTableOrderBreaksTies) {
    const std::vector<RouteRow> routes{default_v4(7, "192.168.1.254", 5), default_v4(7, "192.168.1.1", 5),
                                       default_v4(7, "192.168.1.2", 9)};
    const auto chosen = choose_default_route(routes, best_v4(7, ""));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->next_hop, "192.168.1.254");
}

TEST(ChooseDefaultRoute, IgnoresOtherInterfacesFamiliesAndNonDefaultRoutes) {
    const std::vector<RouteRow> routes{
        default_v4(3, "192.168.1.1", 0),                 // another interface
        route("0.0.0.0", 1, "192.168.1.1", 7, 0),        // a split half, not a default route
        route("10.0.0.0", 8, "192.168.1.1", 7, 0),       // a plain route
        route("::", 0, "192.168.1.1", 7, 0, kFamilyIpv6) // wrong family
    };
    EXPECT_FALSE(choose_default_route(routes, best_v4(7, "192.168.1.1")));
}

TEST(ChooseDefaultRoute, RouteWithoutNextHopDoesNotMatchANamedHop) {
    const std::vector<RouteRow> routes{default_v4(7, std::nullopt, 0), default_v4(7, "192.168.1.1", 30)};
    const auto chosen = choose_default_route(routes, best_v4(7, "192.168.1.1"));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->metric, 30U);
}

// --- the egress fields ----------------------------------------------------------------------------

FactSnapshot home_network() {
    FactSnapshot s;
    AdapterInfo wifi = adapter(7, "Wi-Fi");
    wifi.ipv4 = {{"169.254.3.4", 16}, {"192.168.1.20", 24}};
    add_interface(s, wifi, "Carrier");
    s.routes = {default_v4(7, "192.168.1.1", 0), default_v6(7, "fe80::1", 0)};
    return s;
}

TEST(AssessEgress, FillsEveryFieldFromTheBestRoutesAndTheSnapshot) {
    FactSnapshot s = home_network();
    assess_egress(s, best_v4(7, "192.168.1.1"), best_v6(7, "fe80::1"));

    EXPECT_EQ(s.egress_if_index_v4, 7U);
    ASSERT_TRUE(s.egress_adapter_v4);
    EXPECT_EQ(s.egress_adapter_v4->friendly_name, "Wi-Fi");
    EXPECT_EQ(s.egress_name_v4, "Wi-Fi");
    EXPECT_EQ(s.egress_name_v6, "Wi-Fi");
    EXPECT_EQ(s.egress_source_v4, "192.168.1.20");
    EXPECT_EQ(s.egress_source_v6, "2001:db8::20");
    EXPECT_EQ(s.gateway_v4, "192.168.1.1");
    EXPECT_EQ(s.gateway_v6, "fe80::1");
    ASSERT_TRUE(s.default_route_v6);
    EXPECT_EQ(s.default_route_v6->family, kFamilyIpv6);
    ASSERT_TRUE(s.egress_assessment);
    EXPECT_EQ(s.egress_assessment->role, "Carrier");
    EXPECT_FALSE(s.egress_tunnel_like);
    // The source the system reported wins over the adapter's first address.
    EXPECT_EQ(s.egress_source_cidr_v4, "192.168.1.20/24");
}

TEST(AssessEgress, TunnelWithOnLinkDefaultRouteHasARouteButNoGateway) {
    FactSnapshot s = home_network();
    AdapterInfo tun = adapter(30, "Meta");
    tun.ipv4 = {{"198.18.0.1", 16}};
    add_interface(s, tun, "Tunnel");
    s.routes.push_back(default_v4(30, "0.0.0.0", 0));

    assess_egress(s, best_v4(30, "0.0.0.0", "198.18.0.1"), std::nullopt);
    ASSERT_TRUE(s.default_route_v4);
    EXPECT_EQ(s.default_route_v4->if_index, 30U);
    EXPECT_FALSE(s.gateway_v4);
    EXPECT_TRUE(s.egress_tunnel_like);
    EXPECT_EQ(s.egress_name_v4, "Meta");
}

TEST(AssessEgress, SuspectedTunnelIsTunnelLikeButOtherRolesAreNot) {
    for (const auto& [role, expected] : std::vector<std::pair<std::string, bool>>{
             {"SuspectedTunnel", true}, {"Tunnel", true}, {"AmbiguousRoute", false}, {"Other", false}}) {
        FactSnapshot s = home_network();
        s.interfaces[7].role = role;
        assess_egress(s, best_v4(7, "192.168.1.1"), std::nullopt);
        EXPECT_EQ(s.egress_tunnel_like, expected) << role;
    }
}

TEST(AssessEgress, SourceCidrFallsBackToTheFirstUsableAddress) {
    FactSnapshot s = home_network();
    s.adapters[0].ipv4 = {{"0.0.0.0", 0}, {"10.1.2.3", 8}, {"192.168.1.20", 24}};
    assess_egress(s, best_v4(7, "192.168.1.1", "172.16.0.9"), std::nullopt);
    EXPECT_EQ(s.egress_source_cidr_v4, "10.1.2.3/8");

    assess_egress(s, best_v4(7, "192.168.1.1", ""), std::nullopt);
    EXPECT_EQ(s.egress_source_cidr_v4, "10.1.2.3/8");

    s.adapters[0].ipv4 = {{"0.0.0.0", 0}};
    assess_egress(s, best_v4(7, "192.168.1.1"), std::nullopt);
    EXPECT_FALSE(s.egress_source_cidr_v4);
}

TEST(AssessEgress, UnknownEgressInterfaceStillChoosesTheDefaultRoute) {
    FactSnapshot s = home_network();
    s.routes.push_back(default_v4(99, "10.0.0.1", 0));
    assess_egress(s, best_v4(99, "10.0.0.1", "10.0.0.5"), std::nullopt);
    EXPECT_EQ(s.egress_if_index_v4, 99U);
    EXPECT_FALSE(s.egress_adapter_v4);
    EXPECT_FALSE(s.egress_name_v4);
    EXPECT_FALSE(s.egress_assessment);
    EXPECT_FALSE(s.egress_tunnel_like);
    EXPECT_FALSE(s.egress_source_cidr_v4);
    EXPECT_EQ(s.egress_source_v4, "10.0.0.5");
    EXPECT_EQ(s.gateway_v4, "10.0.0.1");
}

TEST(AssessEgress, NoBestRouteLeavesEveryEgressFieldAbsent) {
    FactSnapshot s = home_network();
    s.adapters.push_back(adapter(0, "index zero")); // must not be mistaken for the egress adapter
    s.interfaces[0] = test::assessed(0, "Tunnel");
    assess_egress(s, std::nullopt, std::nullopt);
    EXPECT_EQ(s.egress_if_index_v4, 0U);
    EXPECT_FALSE(s.egress_adapter_v4);
    EXPECT_FALSE(s.egress_name_v4);
    EXPECT_FALSE(s.egress_source_v4);
    EXPECT_FALSE(s.default_route_v4);
    EXPECT_FALSE(s.gateway_v4);
    EXPECT_FALSE(s.egress_assessment);
    EXPECT_FALSE(s.egress_tunnel_like);
    EXPECT_FALSE(s.egress_source_cidr_v4);
}

TEST(AssessEgress, MachineWithoutIpv6LeavesEveryIpv6FieldAbsent) {
    FactSnapshot s = home_network();
    s.routes = {default_v4(7, "192.168.1.1", 0)};
    assess_egress(s, best_v4(7, "192.168.1.1"), std::nullopt);
    FakeEcho echo({{kInternetTargetV4, {true, 0}}});
    check_internet_reachability(s, std::ref(echo));

    EXPECT_FALSE(s.best_route_v6);
    EXPECT_FALSE(s.default_route_v6);
    EXPECT_FALSE(s.gateway_v6);
    EXPECT_FALSE(s.egress_name_v6);
    EXPECT_FALSE(s.egress_source_v6);
    EXPECT_FALSE(s.internet_v6_ok);
    // The IPv4 side is untouched by the missing family.
    EXPECT_EQ(s.gateway_v4, "192.168.1.1");
    EXPECT_TRUE(s.internet_v4_ok);
}

// --- internet reachability ------------------------------------------------------------------------

TEST(InternetReachability, AnswersLandOnTheirOwnFamilyWhateverOrderTheyArriveIn) {
    // The slow answer is the successful one, so a mix-up of completion order would show.
    {
        FactSnapshot s;
        FakeEcho echo({{kInternetTargetV4, {true, 150}}, {kInternetTargetV6, {false, 0}}});
        check_internet_reachability(s, std::ref(echo));
        EXPECT_TRUE(s.internet_v4_ok);
        EXPECT_FALSE(s.internet_v6_ok);
        EXPECT_EQ(echo.asked().size(), 2U);
    }
    {
        FactSnapshot s;
        FakeEcho echo({{kInternetTargetV4, {false, 0}}, {kInternetTargetV6, {true, 150}}});
        check_internet_reachability(s, std::ref(echo));
        EXPECT_FALSE(s.internet_v4_ok);
        EXPECT_TRUE(s.internet_v6_ok);
    }
}

TEST(InternetReachability, ARefusedEchoSocketIsNotedBesideTheFailures) {
    FactSnapshot s;
    s.echo_refusal = "left from an earlier check";
    check_internet_reachability(s, [](const std::string&) { return EchoResult{}; });
    EXPECT_FALSE(s.echo_refusal) << "an unanswered echo is no refusal";

    check_internet_reachability(s, [](const std::string&) { return EchoResult{false, -1, true}; });
    EXPECT_FALSE(s.internet_v4_ok);
    EXPECT_FALSE(s.internet_v6_ok);
    EXPECT_EQ(s.echo_refusal, kEchoRefusedText);
}

TEST(InternetReachability, AnEchoThatThrowsCountsAsUnanswered) {
    FactSnapshot s;
    const EchoFn echo = [](const std::string& target) -> EchoResult {
        if (target == kInternetTargetV6) throw std::runtime_error("no socket");
        return {true, 1};
    };
    check_internet_reachability(s, echo);
    EXPECT_TRUE(s.internet_v4_ok);
    EXPECT_FALSE(s.internet_v6_ok);

    check_internet_reachability(s, EchoFn{});
    EXPECT_FALSE(s.internet_v4_ok);
}

} // namespace
} // namespace wirelux
