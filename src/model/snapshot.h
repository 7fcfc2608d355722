#pragma once
// The fact snapshot: every collected fact in one record. Collection fills it; everything downstream
// (assessments, console summary, graph, report) only reads it, so a snapshot built by hand drives the
// same logic as a live one.

#include "model/campus_facts.h"
#include "model/core_info.h"
#include "model/probe_results.h"
#include "model/proxy_assessment.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace wirelux {

inline constexpr std::uint16_t kFamilyIpv4 = 2;
inline constexpr std::uint16_t kFamilyIpv6 = 23;
inline constexpr std::uint32_t kTcpStateListen = 2;
inline constexpr std::uint32_t kTcpStateEstablished = 5;

inline constexpr const char* kLevelNone = "NONE";

struct IfAddress {
    std::string address;
    std::uint8_t prefix_len = 0;
};

struct AdapterInfo {
    std::string friendly_name;
    std::string description;
    std::string mac; // "AA-BB-..."; empty when the address length is 0
    std::vector<IfAddress> ipv4;
    std::vector<IfAddress> ipv6;
    std::vector<std::string> gateways;
    std::vector<std::string> dns_servers;
    std::optional<std::string> dhcp_server;
    std::optional<std::string> guid; // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    std::uint64_t luid = 0;
    std::uint64_t link_speed_bps = 0;
    std::uint32_t if_index = 0;
    std::uint32_t ipv6_if_index = 0;
    std::uint32_t if_type = 0;
    std::uint32_t mtu = 0;
    std::uint32_t ipv4_metric = 0;
    std::uint32_t ipv6_metric = 0;
    bool oper_up = false;
    bool dhcp_enabled = false;
};

struct PnpDevice {
    std::string net_cfg_instance_id;
    std::string instance_id; // "PCI\...", "USB\...", "ROOT\..."
    std::string service;
    std::optional<std::string> provider_name;
    std::optional<std::string> inf_path;
    std::optional<std::string> driver_version;
    std::uint32_t characteristics = 0;
};

struct RouteRow {
    std::optional<std::string> destination;
    std::optional<std::string> next_hop;
    std::uint32_t if_index = 0;
    std::uint32_t metric = 0; // route metric only
    std::uint16_t family = kFamilyIpv4;
    std::uint8_t prefix_len = 0;
    std::optional<std::uint32_t> table{};         // the routing table it is in, where the system has several
    std::optional<std::uint32_t> rule_priority{}; // the first rule sending all ordinary traffic there
};

struct BestRoute {
    std::string next_hop;
    std::string source_address;
    std::uint32_t if_index = 0;
    std::uint16_t family = kFamilyIpv4;
};

struct InterfaceAssessment {
    std::string name;
    std::string role = "Other";
    double role_confidence = 0.0;
    double tunnel_score = 0.0;
    double carrier_score = 0.0;
    std::vector<std::string> evidence;
    std::uint32_t if_index = 0;
    std::string if_type_word;
    std::string instance_id;
    std::string service;
    std::string provider_name;
    std::string inf_path;
    std::string driver_version;
    std::uint32_t characteristics = 0;
    bool has_default_v4 = false;
    bool has_default_v6 = false;
    bool has_conventional_gateway = false;
    bool is_virtual = false;
    bool is_physical = false;
    std::string fake_ip_addresses;
    std::string fake_ip_dns;
    std::string loopback_dns;
};

struct PhysicalCandidate {
    std::string name;
    std::string description;
    std::string if_type_word;
    std::string speed_text;
    std::string ipv4_text;
    std::string gateway;
    std::uint32_t if_index = 0;
    std::uint32_t interface_metric = 0;
    std::uint32_t route_metric = 0;
    std::uint32_t effective_metric = 0;
    std::uint16_t family = kFamilyIpv4;
};

struct GatewayProbe {
    std::string gateway;
    std::string family_word; // "IPv4" or "IPv6"
    std::string status;      // "OK" or "FAIL"
    std::uint32_t if_index = 0;
};

struct ProcessInfo {
    std::string name;
    std::string path;
    std::string command_line;
    std::uint32_t pid = 0;
};

struct TcpRow {
    std::string local_address;
    std::string remote_address;
    std::uint32_t state = 0; // MIB_TCP_STATE numbering
    std::uint32_t pid = 0;
    std::uint16_t local_port = 0;
    std::uint16_t remote_port = 0;
};

struct UdpRow {
    std::string local_address;
    std::uint32_t pid = 0;
    std::uint16_t local_port = 0;
};

struct ServiceInfo {
    std::string name;
    std::string display_name;
    std::string state = "Running";
    std::string binary_path;
};

struct SoftwareHit {
    std::string source; // "uninstall", "autostart", "startmenu", "installdir", "config:<port>"
    std::string name;
    std::string detail;
};

struct WinInetEndpoint {
    std::string text;
    std::uint16_t port = 0;
};

struct FactSnapshot {
    // Identity
    std::string computer_name;
    std::string os_name;
    std::string collected_at;

    // Adapters, devices and routes
    std::vector<AdapterInfo> adapters;
    std::vector<RouteRow> routes;
    std::unordered_map<std::string, PnpDevice> pnp_by_guid;
    std::unordered_map<std::uint32_t, InterfaceAssessment> interfaces;
    std::vector<InterfaceAssessment> adapter_assessments;

    // Egress and reachability
    std::optional<BestRoute> best_route_v4;
    std::optional<BestRoute> best_route_v6;
    std::uint32_t egress_if_index_v4 = 0;
    std::optional<AdapterInfo> egress_adapter_v4;
    std::optional<InterfaceAssessment> egress_assessment;
    bool egress_tunnel_like = false;
    std::optional<RouteRow> default_route_v4;
    std::optional<RouteRow> default_route_v6;
    std::optional<std::string> gateway_v4;
    std::optional<std::string> gateway_v6;
    std::optional<std::string> egress_name_v4;
    std::optional<std::string> egress_source_v4;
    std::optional<std::string> egress_name_v6;
    std::optional<std::string> egress_source_v6;
    std::optional<std::string> egress_source_cidr_v4;
    bool internet_v4_ok = false;
    bool internet_v6_ok = false;
    std::optional<std::string> echo_refusal; // why no echo could be sent at all, when the system refused it
    std::vector<PhysicalCandidate> physical_candidates_v4;
    std::vector<PhysicalCandidate> physical_candidates_v6;
    std::vector<PhysicalCandidate> physical_candidates;
    std::optional<std::string> physical_gateway;
    std::optional<std::string> dhcp_or_gateway;
    std::vector<GatewayProbe> gateway_probes;

    // Proxy settings
    bool wininet_enable = false;
    std::string wininet_server;
    std::string wininet_override;
    std::string wininet_autoconfig_url;
    bool wininet_autodetect = false;
    bool wininet_active = false;
    std::vector<WinInetEndpoint> wininet_endpoints;
    std::optional<std::string> wininet_owner_name;
    std::optional<std::string> wininet_owner_pid;
    bool wininet_unowned = false;
    std::string winhttp_text;
    // The proxy environment variables that are set (HTTP_PROXY ... SOCKS_PROXY and NO_PROXY), by name.
    // Read once, so that scoring and the graph see the same values and the graph never reads the OS.
    std::map<std::string, std::string> proxy_environment;

    // Processes and sockets
    std::unordered_map<std::uint32_t, ProcessInfo> processes;
    std::vector<ProcessInfo> proxy_like_processes;
    std::vector<TcpRow> tcp_rows;
    std::vector<UdpRow> udp_rows;
    std::vector<TcpRow> tcp_listeners;
    std::set<std::string> own_addresses;
    std::set<std::string> own_names;

    // Services, drivers and installed software
    std::vector<ServiceInfo> vpn_drivers;
    std::vector<ServiceInfo> vpn_services;
    std::vector<SoftwareHit> software_hits;

    // Assessments
    std::vector<ListenerAssessment> listener_assessments;
    std::vector<ListenerAssessment> candidate_listeners;
    std::vector<ProcessAssessment> process_assessments;
    std::vector<ProcessAssessment> candidate_processes;
    std::vector<ListenerAssessment> protocol_proxy_listeners;
    std::vector<std::uint32_t> protocol_proxy_pids;
    std::vector<std::uint32_t> proxy_like_listener_pids;
    std::optional<RouteSourceProbe> route_source_probe;
    double intercept_score = 0.0;
    std::string intercept_level = kLevelNone;
    double intercept_confidence = 0.2;
    std::vector<std::string> intercept_reasons;

    // Proxy core and campus
    std::vector<CoreInfo> core_infos;
    std::set<std::uint32_t> core_pids;
    CampusFacts campus;
};

// The adapter with this interface index, or null.
const AdapterInfo* find_adapter(const std::vector<AdapterInfo>& adapters, std::uint32_t if_index);
const AdapterInfo* find_adapter(const FactSnapshot& snapshot, std::uint32_t if_index);

} // namespace wirelux
