#include "facts/interception.h"

#include "facts/interface_assessment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wirelux {
namespace {

using Reasons = std::vector<std::string>;

constexpr const char* kSuspected =
    "selected default-route adapter is tunnel-like but not conclusively identified";
constexpr const char* kTunnel = "selected default-route adapter is an identified tunnel";
constexpr const char* kProtocol =
    "proxy protocol detected on local listener owner process(es), endpoint multiplicity collapsed";
constexpr const char* kProxyLike = "proxy/tunnel-like local listener owner process(es)";
constexpr const char* kVpn = "running VPN/TUN/redirect/filter driver or service identity";
constexpr const char* kMismatch = "active TCP socket source interface disagrees with Find-NetRoute";
constexpr const char* kFakeIp = "selected adapter exposes fake-IP style address/DNS";

InterfaceAssessment assessment_with_role(const char* role) {
    InterfaceAssessment a;
    a.name = "Uplink";
    a.if_index = 12;
    a.role = role;
    return a;
}

FactSnapshot with_egress(const char* role) {
    FactSnapshot s;
    s.egress_if_index_v4 = 12;
    s.egress_assessment = assessment_with_role(role);
    s.interfaces[12] = *s.egress_assessment;
    return s;
}

ListenerAssessment listener(std::uint32_t pid, std::uint16_t port) {
    ListenerAssessment l;
    l.address = "127.0.0.1";
    l.port = port;
    l.endpoint = "127.0.0.1:" + std::to_string(port);
    l.pid = pid;
    l.tier = kTierCandidate;
    l.is_candidate = true;
    return l;
}

// Protocol-confirmed candidate listeners, with the pid lists the listener assessment derives from them.
void add_protocol_listeners(FactSnapshot& s, const std::vector<std::uint32_t>& pids) {
    std::uint16_t port = 7890;
    for (const std::uint32_t pid : pids) {
        s.candidate_listeners.push_back(listener(pid, port++));
        s.protocol_proxy_listeners.push_back(s.candidate_listeners.back());
        s.protocol_proxy_pids.push_back(pid);
        s.proxy_like_listener_pids.push_back(pid);
    }
}

ServiceInfo service(const char* name) {
    ServiceInfo info;
    info.name = name;
    info.display_name = name;
    return info;
}

TEST(InterceptionWorkedCases, CarrierEgressWithSocksListenerAndWireGuardServiceIsPossible) {
    FactSnapshot s = with_egress("Carrier");
    add_protocol_listeners(s, {4242});
    s.vpn_services = {service("WireGuardTunnel$wg0")};
    const InterceptionVerdict v = assess_interception(s);
    EXPECT_EQ(v.score, 7.0);
    EXPECT_EQ(v.level, "POSSIBLE");
    EXPECT_EQ(v.confidence, 0.58);
    EXPECT_EQ(v.reasons, (Reasons{kProtocol, kVpn}));
}

TEST(InterceptionWorkedCases, HandMadeSnapshotWithAnIdentifiedTunnelIsAVisibleTunnel) {
    FactSnapshot s;
    AdapterInfo adapter;
    adapter.friendly_name = "Meta";
    adapter.if_index = 41;
    adapter.if_type = 131;
    s.adapters = {adapter};
    RouteRow route;
    route.destination = "0.0.0.0";
    route.next_hop = "0.0.0.0";
    route.if_index = 41;
    s.routes = {route};
    InterfaceAssessment tunnel;
    tunnel.name = "Meta";
    tunnel.if_index = 41;
    tunnel.role = "Tunnel";
    tunnel.role_confidence = 0.98;
    s.interfaces[41] = tunnel;
    s.best_route_v4 = BestRoute{"0.0.0.0", "198.18.0.1", 41, kFamilyIpv4};
    s.egress_if_index_v4 = 41;
    s.egress_adapter_v4 = adapter;
    s.egress_assessment = tunnel;
    s.default_route_v4 = route;

    record_interception(s);
    EXPECT_EQ(s.intercept_level, "VISIBLE-TUNNEL");
    EXPECT_EQ(s.intercept_confidence, 1.0);
    EXPECT_EQ(s.intercept_score, 0.0);
    EXPECT_EQ(s.intercept_reasons, (Reasons{kTunnel}));
}

TEST(InterceptionProxyListeners, ProcessesCountNotEndpoints) {
    struct Case {
        std::vector<std::uint32_t> pids;
        double score;
    };
    for (const Case& c :
         {Case{{100}, 4.0}, Case{{100, 100}, 4.0}, Case{{100, 200}, 5.0}, Case{{100, 200, 100}, 5.0},
          Case{{100, 200, 300}, 6.0}, Case{{1, 2, 3, 4, 5}, 6.0}}) {
        FactSnapshot s;
        add_protocol_listeners(s, c.pids);
        const InterceptionVerdict v = assess_interception(s);
        EXPECT_EQ(v.score, c.score) << c.pids.size() << " listeners";
        EXPECT_EQ(v.reasons, (Reasons{kProtocol}));
    }
}

TEST(InterceptionProxyListeners, ProxyLikeListenersCountOnlyWithoutAProtocolConfirmation) {
    FactSnapshot only_like;
    only_like.proxy_like_listener_pids = {300, 301};
    const InterceptionVerdict weak = assess_interception(only_like);
    EXPECT_EQ(weak.score, 2.0);
    EXPECT_EQ(weak.level, "NONE");
    EXPECT_EQ(weak.confidence, 0.2);
    EXPECT_EQ(weak.reasons, (Reasons{kProxyLike}));

    FactSnapshot both;
    add_protocol_listeners(both, {300});
    both.proxy_like_listener_pids.push_back(301);
    const InterceptionVerdict strong = assess_interception(both);
    EXPECT_EQ(strong.score, 4.0);
    EXPECT_EQ(strong.reasons, (Reasons{kProtocol}));
}

TEST(InterceptionLevels, ThresholdsAtFourAndEight) {
    FactSnapshot three;
    three.vpn_drivers = {service("wintun")};
    EXPECT_EQ(assess_interception(three).score, 3.0);
    EXPECT_EQ(assess_interception(three).level, "NONE");
    EXPECT_EQ(assess_interception(three).confidence, 0.2);

    const FactSnapshot four = with_egress("SuspectedTunnel");
    const InterceptionVerdict possible = assess_interception(four);
    EXPECT_EQ(possible.score, 4.0);
    EXPECT_EQ(possible.level, "POSSIBLE");
    EXPECT_EQ(possible.confidence, 0.58);
    EXPECT_EQ(possible.reasons, (Reasons{kSuspected}));

    FactSnapshot eight = with_egress("SuspectedTunnel");
    add_protocol_listeners(eight, {77});
    const InterceptionVerdict likely = assess_interception(eight);
    EXPECT_EQ(likely.score, 8.0);
    EXPECT_EQ(likely.level, "LIKELY");
    EXPECT_EQ(likely.confidence, 0.86);
}

TEST(InterceptionLevels, RouteSourceMismatchAndFakeIpOnTheEgressReachLikely) {
    FactSnapshot s = with_egress("Carrier");
    s.egress_assessment->fake_ip_dns = "198.18.0.2";
    s.route_source_probe = RouteSourceProbe{};
    const InterceptionVerdict agreeing = assess_interception(s);
    EXPECT_EQ(agreeing.score, 3.0);
    EXPECT_EQ(agreeing.level, "NONE");

    s.route_source_probe->mismatch = true;
    const InterceptionVerdict v = assess_interception(s);
    EXPECT_EQ(v.score, 8.0);
    EXPECT_EQ(v.level, "LIKELY");
    EXPECT_EQ(v.reasons, (Reasons{kMismatch, kFakeIp}));
}

TEST(InterceptionLevels, AnIdentifiedTunnelIsVisibleWhateverTheScore) {
    // The tunnel as the role assessment itself sees it, with a fake-IP address on it.
    FactSnapshot s;
    AdapterInfo wintun;
    wintun.friendly_name = "Meta";
    wintun.description = "Wintun Userspace Tunnel";
    wintun.if_index = 41;
    wintun.if_type = 131;
    wintun.ipv4 = {{"198.18.0.1", 30}};
    s.adapters = {wintun};
    RouteRow route;
    route.destination = "0.0.0.0";
    route.next_hop = "0.0.0.0";
    route.if_index = 41;
    s.routes = {route};
    s.interfaces = assess_interfaces(s);
    s.egress_if_index_v4 = 41;
    s.egress_assessment = s.interfaces.at(41);
    ASSERT_EQ(s.egress_assessment->role, "Tunnel");

    const InterceptionVerdict low = assess_interception(s);
    EXPECT_EQ(low.score, 3.0);
    EXPECT_EQ(low.level, "VISIBLE-TUNNEL");
    EXPECT_EQ(low.confidence, 1.0);
    EXPECT_EQ(low.reasons, (Reasons{kTunnel, kFakeIp}));

    add_protocol_listeners(s, {10, 11});
    s.vpn_drivers = {service("wintun")};
    const InterceptionVerdict high = assess_interception(s);
    EXPECT_EQ(high.score, 11.0);
    EXPECT_EQ(high.level, "VISIBLE-TUNNEL");
    EXPECT_EQ(high.confidence, 1.0);
}

TEST(InterceptionEvidence, EveryRuleInScoringOrder) {
    FactSnapshot s = with_egress("SuspectedTunnel");
    s.egress_assessment->fake_ip_addresses = "198.18.0.1";
    add_protocol_listeners(s, {10, 11});
    s.vpn_drivers = {service("wintun")};
    s.route_source_probe = RouteSourceProbe{};
    s.route_source_probe->mismatch = true;
    const InterceptionVerdict v = assess_interception(s);
    EXPECT_EQ(v.score, 20.0); // 4 + 5 + 3 + 5 + 3
    EXPECT_EQ(v.level, "LIKELY");
    EXPECT_EQ(v.reasons, (Reasons{kSuspected, kProtocol, kVpn, kMismatch, kFakeIp}));
}

TEST(InterceptionEvidence, WithoutAnEgressAssessmentOnlyTheMachineWideEvidenceCounts) {
    FactSnapshot s;
    InterfaceAssessment tunnel = assessment_with_role("Tunnel");
    tunnel.fake_ip_addresses = "198.18.0.1";
    s.interfaces[12] = tunnel; // a tunnel exists, but no default route leads through it
    s.vpn_services = {service("OpenVPNService")};
    const InterceptionVerdict v = assess_interception(s);
    EXPECT_EQ(v.score, 3.0);
    EXPECT_EQ(v.level, "NONE");
    EXPECT_EQ(v.reasons, (Reasons{kVpn}));

    const InterceptionVerdict nothing = assess_interception(FactSnapshot{});
    EXPECT_EQ(nothing.score, 0.0);
    EXPECT_EQ(nothing.level, "NONE");
    EXPECT_EQ(nothing.confidence, 0.2);
    EXPECT_TRUE(nothing.reasons.empty());
}

TEST(InterceptionRecord, ReplacesEarlierValuesInsteadOfAppending) {
    FactSnapshot s = with_egress("Carrier");
    add_protocol_listeners(s, {4242});
    s.intercept_level = "LIKELY";
    s.intercept_score = 12.0;
    s.intercept_confidence = 0.86;
    s.intercept_reasons = {"stale"};

    record_interception(s);
    record_interception(s);
    EXPECT_EQ(s.intercept_score, 4.0);
    EXPECT_EQ(s.intercept_level, "POSSIBLE");
    EXPECT_EQ(s.intercept_confidence, 0.58);
    EXPECT_EQ(s.intercept_reasons, (Reasons{kProtocol}));
}

} // namespace
} // namespace wirelux
