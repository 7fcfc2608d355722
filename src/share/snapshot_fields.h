#pragma once
// Every field of the fact snapshot and its records, each listed once with its JSON key (lower camel
// case, as the graph document spells its keys). The facts JSON writer and the redaction pass both walk
// these lists, so a field added here is written and redacted alike; a field missing here is neither,
// which the unit tests catch by comparing each list with its record's member count.
//
// visit_fields(record, visit) calls visit(key, member) for every member in declaration order, with the
// record's constness.

#include "model/snapshot.h"

#include <algorithm>
#include <concepts>
#include <type_traits>
#include <vector>

namespace wirelux {

template <class T, class Record>
concept FieldsOf = std::same_as<std::remove_const_t<T>, Record>;

template <FieldsOf<IfAddress> R, class V> void visit_fields(R& r, V&& visit) {
    visit("address", r.address);
    visit("prefixLen", r.prefix_len);
}

template <FieldsOf<AdapterInfo> R, class V> void visit_fields(R& r, V&& visit) {
    visit("friendlyName", r.friendly_name);
    visit("description", r.description);
    visit("mac", r.mac);
    visit("ipv4", r.ipv4);
    visit("ipv6", r.ipv6);
    visit("gateways", r.gateways);
    visit("dnsServers", r.dns_servers);
    visit("dhcpServer", r.dhcp_server);
    visit("guid", r.guid);
    visit("luid", r.luid);
    visit("linkSpeedBps", r.link_speed_bps);
    visit("ifIndex", r.if_index);
    visit("ipv6IfIndex", r.ipv6_if_index);
    visit("ifType", r.if_type);
    visit("mtu", r.mtu);
    visit("ipv4Metric", r.ipv4_metric);
    visit("ipv6Metric", r.ipv6_metric);
    visit("operUp", r.oper_up);
    visit("dhcpEnabled", r.dhcp_enabled);
}

template <FieldsOf<PnpDevice> R, class V> void visit_fields(R& r, V&& visit) {
    visit("netCfgInstanceId", r.net_cfg_instance_id);
    visit("instanceId", r.instance_id);
    visit("service", r.service);
    visit("providerName", r.provider_name);
    visit("infPath", r.inf_path);
    visit("driverVersion", r.driver_version);
    visit("characteristics", r.characteristics);
}

template <FieldsOf<RouteRow> R, class V> void visit_fields(R& r, V&& visit) {
    visit("destination", r.destination);
    visit("nextHop", r.next_hop);
    visit("ifIndex", r.if_index);
    visit("metric", r.metric);
    visit("family", r.family);
    visit("prefixLen", r.prefix_len);
    visit("table", r.table);
    visit("rulePriority", r.rule_priority);
}

template <FieldsOf<BestRoute> R, class V> void visit_fields(R& r, V&& visit) {
    visit("nextHop", r.next_hop);
    visit("sourceAddress", r.source_address);
    visit("ifIndex", r.if_index);
    visit("family", r.family);
}

template <FieldsOf<InterfaceAssessment> R, class V> void visit_fields(R& r, V&& visit) {
    visit("name", r.name);
    visit("role", r.role);
    visit("roleConfidence", r.role_confidence);
    visit("tunnelScore", r.tunnel_score);
    visit("carrierScore", r.carrier_score);
    visit("evidence", r.evidence);
    visit("ifIndex", r.if_index);
    visit("ifTypeWord", r.if_type_word);
    visit("instanceId", r.instance_id);
    visit("service", r.service);
    visit("providerName", r.provider_name);
    visit("infPath", r.inf_path);
    visit("driverVersion", r.driver_version);
    visit("characteristics", r.characteristics);
    visit("hasDefaultV4", r.has_default_v4);
    visit("hasDefaultV6", r.has_default_v6);
    visit("hasConventionalGateway", r.has_conventional_gateway);
    visit("isVirtual", r.is_virtual);
    visit("isPhysical", r.is_physical);
    visit("fakeIpAddresses", r.fake_ip_addresses);
    visit("fakeIpDns", r.fake_ip_dns);
    visit("loopbackDns", r.loopback_dns);
}

template <FieldsOf<PhysicalCandidate> R, class V> void visit_fields(R& r, V&& visit) {
    visit("name", r.name);
    visit("description", r.description);
    visit("ifTypeWord", r.if_type_word);
    visit("speedText", r.speed_text);
    visit("ipv4Text", r.ipv4_text);
    visit("gateway", r.gateway);
    visit("ifIndex", r.if_index);
    visit("interfaceMetric", r.interface_metric);
    visit("routeMetric", r.route_metric);
    visit("effectiveMetric", r.effective_metric);
    visit("family", r.family);
}

template <FieldsOf<GatewayProbe> R, class V> void visit_fields(R& r, V&& visit) {
    visit("gateway", r.gateway);
    visit("familyWord", r.family_word);
    visit("status", r.status);
    visit("ifIndex", r.if_index);
}

template <FieldsOf<ProcessInfo> R, class V> void visit_fields(R& r, V&& visit) {
    visit("name", r.name);
    visit("path", r.path);
    visit("commandLine", r.command_line);
    visit("pid", r.pid);
}

template <FieldsOf<TcpRow> R, class V> void visit_fields(R& r, V&& visit) {
    visit("localAddress", r.local_address);
    visit("remoteAddress", r.remote_address);
    visit("state", r.state);
    visit("pid", r.pid);
    visit("localPort", r.local_port);
    visit("remotePort", r.remote_port);
}

template <FieldsOf<UdpRow> R, class V> void visit_fields(R& r, V&& visit) {
    visit("localAddress", r.local_address);
    visit("pid", r.pid);
    visit("localPort", r.local_port);
}

template <FieldsOf<ServiceInfo> R, class V> void visit_fields(R& r, V&& visit) {
    visit("name", r.name);
    visit("displayName", r.display_name);
    visit("state", r.state);
    visit("binaryPath", r.binary_path);
}

template <FieldsOf<SoftwareHit> R, class V> void visit_fields(R& r, V&& visit) {
    visit("source", r.source);
    visit("name", r.name);
    visit("detail", r.detail);
}

template <FieldsOf<WinInetEndpoint> R, class V> void visit_fields(R& r, V&& visit) {
    visit("text", r.text);
    visit("port", r.port);
}

template <FieldsOf<ListenerAssessment> R, class V> void visit_fields(R& r, V&& visit) {
    visit("endpoint", r.endpoint);
    visit("address", r.address);
    visit("processName", r.process_name);
    visit("tier", r.tier);
    visit("signals", r.signals);
    visit("liveLocalClients", r.live_local_clients);
    visit("remoteEstablished", r.remote_established);
    visit("score", r.score);
    visit("pid", r.pid);
    visit("port", r.port);
    visit("commonApp", r.common_app);
    visit("isCandidate", r.is_candidate);
}

template <FieldsOf<ProcessAssessment> R, class V> void visit_fields(R& r, V&& visit) {
    visit("processName", r.process_name);
    visit("tier", r.tier);
    visit("signalDigest", r.signal_digest);
    visit("bestScore", r.best_score);
    visit("listenerCount", r.listener_count);
    visit("candidateCount", r.candidate_count);
    visit("protocolConfirmedCount", r.protocol_confirmed_count);
    visit("maxLiveLocalClients", r.max_live_local_clients);
    visit("maxRemoteEstablished", r.max_remote_established);
    visit("pid", r.pid);
    visit("commonApp", r.common_app);
}

template <FieldsOf<RouteSourceProbe> R, class V> void visit_fields(R& r, V&& visit) {
    visit("target", r.target);
    visit("source", r.source);
    visit("connected", r.connected);
    visit("routeInterface", r.route_interface);
    visit("socketInterface", r.socket_interface);
    visit("mismatch", r.mismatch);
}

template <FieldsOf<OutboundProxy> R, class V> void visit_fields(R& r, V&& visit) {
    visit("name", r.name);
    visit("type", r.type);
    visit("server", r.server);
    visit("port", r.port);
}

template <FieldsOf<ControllerProbe> R, class V> void visit_fields(R& r, V&& visit) {
    visit("address", r.address);
    visit("answered", r.answered);
}

template <FieldsOf<RuntimeConnection> R, class V> void visit_fields(R& r, V&& visit) {
    visit("json", r.json);
    visit("processName", r.process_name);
    visit("processPath", r.process_path);
    visit("ruleText", r.rule_text);
}

template <FieldsOf<CoreInfo> R, class V> void visit_fields(R& r, V&& visit) {
    visit("pid", r.pid);
    visit("configPath", r.config_path);
    visit("controller", r.controller);
    visit("secret", r.secret);
    visit("findProcessMode", r.find_process_mode);
    visit("tunStack", r.tun_stack);
    visit("tunEnabled", r.tun_enabled);
    visit("tunDevice", r.tun_device);
    visit("outboundProxies", r.outbound_proxies);
    visit("controllerProbes", r.controller_probes);
    visit("liveController", r.live_controller);
    visit("answered", r.answered);
    visit("connections", r.connections);
}

template <FieldsOf<DnsProbeResult> R, class V> void visit_fields(R& r, V&& visit) {
    visit("answer", r.answer);
    visit("elapsed", r.elapsed);
    visit("ok", r.ok);
}

template <FieldsOf<CampusLogin> R, class V> void visit_fields(R& r, V&& visit) {
    visit("userName", r.user_name);
    visit("onlineIp", r.online_ip);
    visit("sumBytes", r.sum_bytes);
    visit("sumSeconds", r.sum_seconds);
    visit("recognized", r.recognized);
}

template <FieldsOf<CampusFacts> R, class V> void visit_fields(R& r, V&& visit) {
    visit("reachable", r.reachable);
    visit("route", r.route);
    visit("portalOk", r.portal_ok);
    visit("portalElapsed", r.portal_elapsed);
    visit("portalTitle", r.portal_title);
    visit("login", r.login);
    visit("dnsPrimary", r.dns_primary);
    visit("dnsBackup", r.dns_backup);
    visit("dnsPrimaryKind", r.dns_primary_kind);
    visit("dnsBackupKind", r.dns_backup_kind);
    visit("apiReachable", r.api_reachable);
    visit("apiStatus", r.api_status);
    visit("apiElapsed", r.api_elapsed);
    visit("apiTitle", r.api_title);
}

template <FieldsOf<FactSnapshot> R, class V> void visit_fields(R& r, V&& visit) {
    visit("computerName", r.computer_name);
    visit("osName", r.os_name);
    visit("collectedAt", r.collected_at);

    visit("adapters", r.adapters);
    visit("routes", r.routes);
    visit("pnpByGuid", r.pnp_by_guid);
    visit("interfaces", r.interfaces);
    visit("adapterAssessments", r.adapter_assessments);

    visit("bestRouteV4", r.best_route_v4);
    visit("bestRouteV6", r.best_route_v6);
    visit("egressIfIndexV4", r.egress_if_index_v4);
    visit("egressAdapterV4", r.egress_adapter_v4);
    visit("egressAssessment", r.egress_assessment);
    visit("egressTunnelLike", r.egress_tunnel_like);
    visit("defaultRouteV4", r.default_route_v4);
    visit("defaultRouteV6", r.default_route_v6);
    visit("gatewayV4", r.gateway_v4);
    visit("gatewayV6", r.gateway_v6);
    visit("egressNameV4", r.egress_name_v4);
    visit("egressSourceV4", r.egress_source_v4);
    visit("egressNameV6", r.egress_name_v6);
    visit("egressSourceV6", r.egress_source_v6);
    visit("egressSourceCidrV4", r.egress_source_cidr_v4);
    visit("internetV4Ok", r.internet_v4_ok);
    visit("internetV6Ok", r.internet_v6_ok);
    visit("echoRefusal", r.echo_refusal);
    visit("physicalCandidatesV4", r.physical_candidates_v4);
    visit("physicalCandidatesV6", r.physical_candidates_v6);
    visit("physicalCandidates", r.physical_candidates);
    visit("physicalGateway", r.physical_gateway);
    visit("dhcpOrGateway", r.dhcp_or_gateway);
    visit("gatewayProbes", r.gateway_probes);

    visit("wininetEnable", r.wininet_enable);
    visit("wininetServer", r.wininet_server);
    visit("wininetOverride", r.wininet_override);
    visit("wininetAutoconfigUrl", r.wininet_autoconfig_url);
    visit("wininetAutodetect", r.wininet_autodetect);
    visit("wininetActive", r.wininet_active);
    visit("wininetEndpoints", r.wininet_endpoints);
    visit("wininetOwnerName", r.wininet_owner_name);
    visit("wininetOwnerPid", r.wininet_owner_pid);
    visit("wininetUnowned", r.wininet_unowned);
    visit("winhttpText", r.winhttp_text);
    visit("proxyEnvironment", r.proxy_environment);

    visit("processes", r.processes);
    visit("proxyLikeProcesses", r.proxy_like_processes);
    visit("tcpRows", r.tcp_rows);
    visit("udpRows", r.udp_rows);
    visit("tcpListeners", r.tcp_listeners);
    visit("ownAddresses", r.own_addresses);
    visit("ownNames", r.own_names);

    visit("vpnDrivers", r.vpn_drivers);
    visit("vpnServices", r.vpn_services);
    visit("softwareHits", r.software_hits);

    visit("listenerAssessments", r.listener_assessments);
    visit("candidateListeners", r.candidate_listeners);
    visit("processAssessments", r.process_assessments);
    visit("candidateProcesses", r.candidate_processes);
    visit("protocolProxyListeners", r.protocol_proxy_listeners);
    visit("protocolProxyPids", r.protocol_proxy_pids);
    visit("proxyLikeListenerPids", r.proxy_like_listener_pids);
    visit("routeSourceProbe", r.route_source_probe);
    visit("interceptScore", r.intercept_score);
    visit("interceptLevel", r.intercept_level);
    visit("interceptConfidence", r.intercept_confidence);
    visit("interceptReasons", r.intercept_reasons);

    visit("coreInfos", r.core_infos);
    visit("corePids", r.core_pids);
    visit("campus", r.campus);
}

// A record these lists describe.
struct IgnoreField {
    template <class T> void operator()(const char*, T&) const {}
};
template <class T>
concept SnapshotRecord = requires(T& record) {
    visit_fields(record, IgnoreField{});
};

// The entries of a map in the order of their keys, so that walks over the hashed maps come out the
// same in every run.
template <class Map> auto sorted_entries(Map& map) {
    std::vector<decltype(&*map.begin())> entries;
    entries.reserve(map.size());
    for (auto& entry : map)
        entries.push_back(&entry);
    std::sort(entries.begin(), entries.end(),
              [](const auto* a, const auto* b) { return a->first < b->first; });
    return entries;
}

} // namespace wirelux
