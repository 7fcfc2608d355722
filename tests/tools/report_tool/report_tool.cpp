// Writes the report of a hand-built host whose every name, description and text holds markup, so that
// the browser tests can check that the page shows such text as text and never runs it:
//   wirelux_report_tool hostile <output.html>
// The host has a TUN egress, a carrier with its gateway, a proxy core with its runtime connections, a
// candidate proxy listener, drivers, services, software hits and campus facts, so that the chain, the
// tables, the sections and most graph layers all draw from the hostile texts. Nothing is sent on the
// network: every echo the graph asks for fails at once.
#include "graph/build_graph.h"
#include "graph/run_context.h"
#include "model/snapshot.h"
#include "report/report_page.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>

namespace {

using namespace wirelux;

// Closes the script element that holds the graph document, opens an HTML comment that would swallow
// the rest of the page, and carries both quote kinds and an entity that must stay literal.
constexpr std::string_view kHostile = R"(</script><img src=x onerror=window.__pwned=1><!--"'&amp;)";

std::string hostile(std::string_view label) {
    return std::string(label) + " " + std::string(kHostile);
}

constexpr std::uint32_t kTunIndex = 7;
constexpr std::uint32_t kLanIndex = 3;
constexpr std::uint32_t kProxyPid = 4242;
constexpr std::uint32_t kCorePid = 5151;
constexpr std::uint16_t kProxyPort = 7890;

AdapterInfo adapter(std::uint32_t if_index, std::string_view label, std::string address,
                    std::string gateway) {
    AdapterInfo a;
    a.if_index = if_index;
    a.ipv6_if_index = if_index;
    a.friendly_name = hostile(label);
    a.description = hostile(std::string(label) + " description");
    a.mac = hostile("mac");
    a.ipv4.push_back({std::move(address), 24});
    if (!gateway.empty()) a.gateways.push_back(std::move(gateway));
    a.dns_servers = {"192.168.1.1", hostile("dns server")};
    a.dhcp_server = hostile("dhcp server");
    a.guid = hostile("guid");
    a.if_type = 6;
    a.mtu = 1500;
    a.link_speed_bps = 1000000000;
    a.oper_up = true;
    a.dhcp_enabled = true;
    return a;
}

InterfaceAssessment assessment(const AdapterInfo& a, std::string role, double tunnel, double carrier) {
    InterfaceAssessment v;
    v.if_index = a.if_index;
    v.name = a.friendly_name;
    v.role = std::move(role);
    v.role_confidence = 0.9;
    v.tunnel_score = tunnel;
    v.carrier_score = carrier;
    v.evidence = {hostile("evidence"), "plain evidence"};
    v.if_type_word = "Ethernet";
    v.instance_id = hostile("instance");
    v.service = hostile("service");
    v.provider_name = hostile("provider");
    v.inf_path = hostile("inf");
    v.driver_version = hostile("driver version");
    v.is_virtual = tunnel > carrier;
    v.is_physical = !v.is_virtual;
    v.has_default_v4 = true;
    return v;
}

ProcessInfo process(std::uint32_t pid, std::string_view label) {
    return ProcessInfo{hostile(label), hostile(std::string(label) + " path"),
                       hostile(std::string(label) + " command"), pid};
}

void add_network(FactSnapshot& s) {
    AdapterInfo tun = adapter(kTunIndex, "tunnel", "198.18.0.1", "");
    AdapterInfo lan = adapter(kLanIndex, "carrier", "192.168.1.20", "192.168.1.1");
    s.interfaces[kTunIndex] = assessment(tun, "Tunnel", 0.95, 0.1);
    s.interfaces[kLanIndex] = assessment(lan, "Carrier", 0.1, 0.9);
    s.adapter_assessments = {s.interfaces[kTunIndex], s.interfaces[kLanIndex]};
    s.pnp_by_guid[*lan.guid] = PnpDevice{*lan.guid,
                                         hostile("pnp instance"),
                                         hostile("pnp service"),
                                         hostile("pnp provider"),
                                         hostile("pnp inf"),
                                         hostile("pnp version"),
                                         0};
    s.adapters = {tun, lan};

    s.routes = {{"0.0.0.0", "0.0.0.0", kTunIndex, 5, kFamilyIpv4, 0},
                {"0.0.0.0", "192.168.1.1", kLanIndex, 100, kFamilyIpv4, 0}};
    s.best_route_v4 = BestRoute{"0.0.0.0", "198.18.0.1", kTunIndex, kFamilyIpv4};
    s.egress_if_index_v4 = kTunIndex;
    s.egress_adapter_v4 = tun;
    s.egress_assessment = s.interfaces[kTunIndex];
    s.egress_tunnel_like = true;
    s.default_route_v4 = s.routes.front();
    s.gateway_v4 = "0.0.0.0";
    s.egress_name_v4 = tun.friendly_name;
    s.egress_source_v4 = "198.18.0.1";
    s.egress_source_cidr_v4 = "198.18.0.1/24";
    s.internet_v4_ok = true;

    PhysicalCandidate carrier;
    carrier.name = lan.friendly_name;
    carrier.description = lan.description;
    carrier.if_type_word = hostile("if type");
    carrier.speed_text = hostile("speed");
    carrier.ipv4_text = "192.168.1.20/24";
    carrier.gateway = "192.168.1.1";
    carrier.if_index = kLanIndex;
    carrier.interface_metric = 25;
    carrier.route_metric = 100;
    carrier.effective_metric = 125;
    s.physical_candidates_v4 = {carrier};
    s.physical_candidates = {carrier};
    s.physical_gateway = "192.168.1.1";
    s.dhcp_or_gateway = "192.168.1.1";
    s.gateway_probes = {GatewayProbe{"192.168.1.1", "IPv4", "OK", kLanIndex}};
    s.own_addresses = {"198.18.0.1", "192.168.1.20"};
    s.own_names = {hostile("own name")};
}

void add_proxies(FactSnapshot& s) {
    s.wininet_enable = true;
    s.wininet_active = true;
    s.wininet_server = "127.0.0.1:7890";
    s.wininet_override = hostile("bypass");
    s.wininet_autoconfig_url = "http://" + hostile("pac");
    s.wininet_endpoints = {WinInetEndpoint{"127.0.0.1:7890", kProxyPort}};
    s.wininet_owner_name = hostile("owner");
    s.wininet_owner_pid = std::to_string(kProxyPid);
    s.winhttp_text = hostile("winhttp");

    s.processes[kProxyPid] = process(kProxyPid, "proxy.exe");
    s.processes[kCorePid] = process(kCorePid, "core.exe");
    s.proxy_like_processes = {s.processes[kProxyPid], s.processes[kCorePid]};
    s.tcp_listeners = {TcpRow{"127.0.0.1", "0.0.0.0", kTcpStateListen, kProxyPid, kProxyPort, 0},
                       TcpRow{"127.0.0.1", "0.0.0.0", kTcpStateListen, kCorePid, 9090, 0}};
    s.tcp_rows = s.tcp_listeners;
    s.tcp_rows.push_back(TcpRow{"192.168.1.20", "203.0.113.9", kTcpStateEstablished, kCorePid, 50000, 443});
    s.udp_rows = {UdpRow{"0.0.0.0", kCorePid, 53}};

    ListenerAssessment listener;
    listener.endpoint = "127.0.0.1:7890";
    listener.address = "127.0.0.1";
    listener.process_name = s.processes[kProxyPid].name;
    listener.tier = kTierCandidate;
    listener.signals = hostile("signal");
    listener.score = 0.91;
    listener.pid = kProxyPid;
    listener.port = kProxyPort;
    listener.is_candidate = true;
    s.listener_assessments = {listener};
    s.candidate_listeners = {listener};
    s.protocol_proxy_listeners = {listener};
    s.protocol_proxy_pids = {kProxyPid};
    s.proxy_like_listener_pids = {kProxyPid};

    ProcessAssessment owner;
    owner.process_name = listener.process_name;
    owner.tier = kTierCandidate;
    owner.signal_digest = hostile("digest");
    owner.best_score = 0.91;
    owner.listener_count = 1;
    owner.candidate_count = 1;
    owner.protocol_confirmed_count = 1;
    owner.pid = kProxyPid;
    s.process_assessments = {owner};
    s.candidate_processes = {owner};

    CoreInfo core;
    core.pid = kCorePid;
    core.config_path = hostile("config path");
    core.controller = "127.0.0.1:9090";
    core.secret = hostile("secret");
    core.find_process_mode = hostile("find mode");
    core.tun_stack = hostile("tun stack");
    core.outbound_proxies = {OutboundProxy{hostile("outbound"), "ss", hostile("outbound server"), 8388}};
    core.controller_probes = {ControllerProbe{"http://127.0.0.1:9090", true}};
    core.live_controller = "http://127.0.0.1:9090";
    core.answered = true;
    core.connections = {RuntimeConnection{R"({"metadata":{"host":"x"}})", hostile("flow process"),
                                          hostile("flow path"), hostile("rule")}};
    s.core_infos = {core};
    s.core_pids = {kCorePid};
}

void add_findings(FactSnapshot& s) {
    s.vpn_drivers = {
        ServiceInfo{hostile("driver"), hostile("driver display"), "Running", hostile("driver binary")}};
    s.vpn_services = {
        ServiceInfo{hostile("service"), hostile("service display"), "Running", hostile("service binary")}};
    s.software_hits = {SoftwareHit{"uninstall", hostile("software"), hostile("software detail")},
                       SoftwareHit{"config:7890", hostile("config software"), hostile("config detail")}};
    s.route_source_probe = RouteSourceProbe{"1.1.1.1:443", "192.168.1.20", true, kTunIndex, kLanIndex, true};
    s.intercept_score = 0.55;
    s.intercept_level = "POSSIBLE";
    s.intercept_confidence = 0.6;
    s.intercept_reasons = {hostile("reason"), "plain reason"};

    s.campus.reachable = {{"10.0.0.55", false}};
    s.campus.route = {{"10.0.0.55", hostile("campus route")}};
    s.campus.portal_ok = true;
    s.campus.portal_elapsed = 12;
    s.campus.portal_title = hostile("portal title");
    s.campus.login =
        CampusLogin{hostile("campus user"), "10.1.2.3", hostile("bytes"), hostile("seconds"), true};
    s.campus.dns_primary = DnsProbeResult{hostile("dns answer"), 5, true};
    s.campus.dns_primary_kind = hostile("dns kind");
    s.campus.api_reachable = true;
    s.campus.api_status = 200;
    s.campus.api_elapsed = 9;
    s.campus.api_title = hostile("api title");
}

FactSnapshot hostile_snapshot() {
    FactSnapshot s;
    s.computer_name = hostile("host");
    s.os_name = hostile("os");
    s.collected_at = hostile("time");
    add_network(s);
    add_proxies(s);
    add_findings(s);
    return s;
}

int usage() {
    std::fputs("usage: wirelux_report_tool hostile <output.html>\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::string_view(argv[1]) != "hostile") return usage();
    const FactSnapshot snapshot = hostile_snapshot();
    RunContext context(snapshot);
    context.wlan_text = "    Name                   : " + hostile("wlan") +
                        "\n    SSID                   : " + hostile("ssid") +
                        "\n    Signal                 : 80%\n";
    context.ping_cache["192.168.1.1"] = EchoResult{true, 1};
    std::size_t echoes = 0;
    const GraphDocument graph = build_graph(context, [&](const std::string&) {
        ++echoes;
        return EchoResult{};
    });
    const std::string page = render_report(snapshot, graph, context.ping_cache);

    // Written as the program writes its report: UTF-8 behind a byte order mark.
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << "\xEF\xBB\xBF" << page;
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("nodes=%zu edges=%zu echoes=%zu bytes=%zu\n", graph.nodes.size(), graph.edges.size(), echoes,
                page.size());
    return 0;
}
