// The campus block as collection fills it: which route each campus address takes, the echoes, and
// the probes' outcomes as the console then prints them.
#include "facts/campus_collect.h"

#include "route_fixtures.h"
#include "run/console_summary.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace wirelux {
namespace {

using test::adapter;
using test::default_v4;
using test::FakeEcho;
using test::route;

TEST(CampusRouteText, TheLongestMatchingPrefixWins) {
    const std::vector<AdapterInfo> adapters = {adapter(7, "Ethernet"), adapter(9, "KAM VPN")};
    const std::vector<RouteRow> routes = {
        default_v4(7, "192.168.1.1", 25), route("10.0.0.0", 8, "10.8.0.1", 9, 5),
        route("10.0.32.0", 24, "0.0.0.0", 7, 1), route("10.0.0.55", 32, "10.8.0.9", 9, 500)};
    EXPECT_EQ(campus_route_text("10.0.0.54", routes, adapters), "KAM VPN (ifIndex 9) gw 10.8.0.1");
    EXPECT_EQ(campus_route_text("10.0.0.55", routes, adapters), "KAM VPN (ifIndex 9) gw 10.8.0.9");
    EXPECT_EQ(campus_route_text("10.0.32.33", routes, adapters), "Ethernet (ifIndex 7)"); // on-link
    EXPECT_EQ(campus_route_text("10.1.0.1", routes, adapters), "KAM VPN (ifIndex 9) gw 10.8.0.1");
    EXPECT_EQ(campus_route_text("11.0.0.1", routes, adapters), "Ethernet (ifIndex 7) gw 192.168.1.1");
}

TEST(CampusRouteText, EqualPrefixesGoToTheLowerRoutePlusInterfaceMetric) {
    std::vector<AdapterInfo> adapters = {adapter(3, "Wi-Fi"), adapter(4, "Ethernet")};
    adapters[0].ipv4_metric = 50;
    adapters[1].ipv4_metric = 5;
    // Wi-Fi's route metric is lower, but its interface metric makes it the more expensive one.
    const std::vector<RouteRow> routes = {default_v4(3, "192.168.1.1", 0), default_v4(4, "10.1.0.1", 25)};
    EXPECT_EQ(campus_route_text("10.0.0.55", routes, adapters), "Ethernet (ifIndex 4) gw 10.1.0.1");
    // A tie keeps the first in table order.
    adapters[0].ipv4_metric = 30;
    EXPECT_EQ(campus_route_text("10.0.0.55", routes, adapters), "Wi-Fi (ifIndex 3) gw 192.168.1.1");
}

TEST(CampusRouteText, RowsThatCannotMatchAreSkipped) {
    const std::vector<AdapterInfo> adapters = {adapter(7, "Ethernet")};
    RouteRow no_destination = route("10.0.0.0", 8, "10.0.0.1", 7, 0);
    no_destination.destination.reset();
    const std::vector<RouteRow> routes = {no_destination, route("::", 0, "fe80::1", 7, 0, kFamilyIpv6),
                                          route("10.0.0.256", 24, "10.0.0.1", 7, 0),
                                          route("10.0.0", 8, "", 7, 0),
                                          route("10.0.0.0", 33, "10.0.0.1", 7, 0)};
    EXPECT_EQ(campus_route_text("10.0.0.55", routes, adapters), std::nullopt);
    EXPECT_EQ(campus_route_text("10.0.0.55", {}, adapters), std::nullopt);
    EXPECT_EQ(campus_route_text("not an address", {default_v4(7, "10.0.0.1", 0)}, adapters), std::nullopt);
}

TEST(CampusRouteText, ARouteWithoutAKnownAdapterNamesOnlyItsIndexAndNoNextHopIsOnLink) {
    RouteRow no_hop = route("10.0.0.0", 16, "", 12, 0);
    no_hop.next_hop.reset();
    EXPECT_EQ(campus_route_text("10.0.0.55", {no_hop}, {}), "ifIndex 12");
    EXPECT_EQ(campus_route_text("10.0.0.55", {route("10.0.0.0", 16, "10.0.0.1", 12, 0)}, {}),
              "ifIndex 12 gw 10.0.0.1");
}

std::vector<std::string> campus_section(const FactSnapshot& s) {
    const std::string text = build_console_summary(s, [](std::uint32_t) { return std::string(); });
    std::istringstream in(text.substr(text.find("11. KAM campus infra")));
    std::vector<std::string> lines;
    std::string line;
    std::getline(in, line); // the title
    std::getline(in, line); // the banner's closing rule
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

TEST(CollectCampusFacts, OnCampusTheConsoleShowsEveryProbe) {
    FactSnapshot s;
    s.adapters = {adapter(7, "Ethernet")};
    s.routes = {default_v4(7, "10.0.0.1", 0), route("10.0.0.0", 19, "0.0.0.0", 7, 0)};
    FakeEcho echo({{"10.0.0.55", {true, 30}}, {"10.0.0.54", {false, 0}}, {"10.0.32.32", {true, 0}}});

    CampusNetwork network;
    network.get = [](std::string_view host, std::uint16_t port, std::string_view path,
                     unsigned) -> std::optional<HttpGetResult> {
        if (host == "10.0.0.55" && port == 80 && path == "/")
            return HttpGetResult{"<title>KAM Login</title>", 20, 200};
        if (host == "10.0.0.55" && path == "/cgi-bin/rad_user_info")
            return HttpGetResult{"s2301,1,2,5000,60,0,0,0,10.0.3.4", 5, 200};
        return std::nullopt;
    };
    network.dns = [](std::string_view resolver, unsigned) {
        return resolver == "10.0.32.32" ? DnsProbeResult{"198.18.0.9", 2, true} : DnsProbeResult{};
    };
    network.connect = [](std::string_view, std::uint16_t, unsigned) { return true; };

    collect_campus_facts(s, std::ref(echo), network);
    const std::vector<std::string> expected = {
        "  10.0.0.55       OK",
        "      via Ethernet (ifIndex 7)",
        "  10.0.0.54       FAIL",
        "      via Ethernet (ifIndex 7)",
        "  10.0.32.32      OK",
        "      via Ethernet (ifIndex 7) gw 10.0.0.1",
        "  10.0.32.33      FAIL",
        "      via Ethernet (ifIndex 7) gw 10.0.0.1",
        "  Portal 10.0.0.55 HTTP : OK",
        "      title = KAM Login",
        "  Login 10.0.0.55 rad_user_info : OK",
        "      id = s2301   ip = 10.0.3.4   sum_bytes = 5000   sum_seconds = 60",
        "  DNS 10.0.32.32      OK",
        "      -> 198.18.0.9 [proxy-intercepted]",
        "  DNS 10.0.32.33      FAIL",
        "      -> ",
        "  API 10.0.0.54:8800 HTTP : OK",
        "      (fallback: tcp probe)",
    };
    EXPECT_EQ(campus_section(s), expected);
    EXPECT_EQ(s.campus.reachable.size(), 4u);
}

TEST(CollectCampusFacts, OffCampusNothingAnswersAndNoRouteIsNamed) {
    FactSnapshot s;
    collect_campus_facts(s, EchoFn(), CampusNetwork{});
    EXPECT_EQ(s.campus.reachable.size(), 4u);
    for (const auto& [target, ok] : s.campus.reachable)
        EXPECT_FALSE(ok) << target;
    EXPECT_TRUE(s.campus.route.empty());
    const std::vector<std::string> lines = campus_section(s);
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[1], "      via none");
    EXPECT_EQ(lines[8], "  Portal 10.0.0.55 HTTP : FAIL");
    EXPECT_EQ(lines[10], "  Login 10.0.0.55 rad_user_info : FAIL");
    EXPECT_EQ(lines[11], "      (unrecognized response shape)");
    EXPECT_EQ(lines[16], "  API 10.0.0.54:8800 HTTP : FAIL");
    EXPECT_EQ(lines[17], "      (fallback: tcp probe)");
}

} // namespace
} // namespace wirelux
