#include "facts/interception.h"

#include "facts/interface_assessment.h"

#include <algorithm>
#include <set>

namespace wirelux {

namespace {

constexpr const char* kReasonSuspectedTunnel =
    "selected default-route adapter is tunnel-like but not conclusively identified";
constexpr const char* kReasonTunnel = "selected default-route adapter is an identified tunnel";
constexpr const char* kReasonProtocolProxy =
    "proxy protocol detected on local listener owner process(es), endpoint multiplicity collapsed";
constexpr const char* kReasonProxyLikeListener = "proxy/tunnel-like local listener owner process(es)";
constexpr const char* kReasonVpnDriverOrService =
    "running VPN/TUN/redirect/filter driver or service identity";
constexpr const char* kReasonRouteSourceMismatch =
    "active TCP socket source interface disagrees with Find-NetRoute";
constexpr const char* kReasonFakeIp = "selected adapter exposes fake-IP style address/DNS";

} // namespace

InterceptionVerdict assess_interception(const FactSnapshot& snapshot) {
    InterceptionVerdict verdict;
    const auto add = [&verdict](double points, const char* reason) {
        verdict.score += points;
        verdict.reasons.emplace_back(reason);
    };

    const std::optional<InterfaceAssessment>& egress = snapshot.egress_assessment;
    const bool egress_tunnel = egress && egress->role == kRoleTunnel;
    if (egress && egress->role == kRoleSuspectedTunnel) add(4.0, kReasonSuspectedTunnel);
    if (egress_tunnel) add(0.0, kReasonTunnel);

    // Processes, not endpoints: one proxy program listening on many ports is still one program.
    std::set<std::uint32_t> proxy_pids;
    for (const ListenerAssessment& listener : snapshot.protocol_proxy_listeners)
        proxy_pids.insert(listener.pid);
    if (!proxy_pids.empty()) {
        add(static_cast<double>(std::min<std::size_t>(proxy_pids.size() + 3, 6)), kReasonProtocolProxy);
    } else if (!snapshot.proxy_like_listener_pids.empty()) {
        add(2.0, kReasonProxyLikeListener);
    }

    if (!snapshot.vpn_drivers.empty() || !snapshot.vpn_services.empty()) add(3.0, kReasonVpnDriverOrService);
    if (snapshot.route_source_probe && snapshot.route_source_probe->mismatch)
        add(5.0, kReasonRouteSourceMismatch);
    if (egress && (!egress->fake_ip_addresses.empty() || !egress->fake_ip_dns.empty()))
        add(3.0, kReasonFakeIp);

    if (egress_tunnel) {
        verdict.level = kLevelVisibleTunnel;
        verdict.confidence = 1.0;
    } else if (verdict.score >= 8.0) {
        verdict.level = kLevelLikely;
        verdict.confidence = 0.86;
    } else if (verdict.score >= 4.0) {
        verdict.level = kLevelPossible;
        verdict.confidence = 0.58;
    } else {
        verdict.level = kLevelNone;
        verdict.confidence = 0.2;
    }
    return verdict;
}

void record_interception(FactSnapshot& snapshot) {
    InterceptionVerdict verdict = assess_interception(snapshot);
    snapshot.intercept_score = verdict.score;
    snapshot.intercept_level = std::move(verdict.level);
    snapshot.intercept_confidence = verdict.confidence;
    snapshot.intercept_reasons = std::move(verdict.reasons);
}

} // namespace wirelux
