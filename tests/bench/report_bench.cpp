// Times the graph build and the report rendering on the synthetic busy machine (5,000 listeners,
// 100,000 TCP rows, 2,000 processes, UDP bindings) with a realistic adapter set: an Ethernet carrier,
// a Wi-Fi standby carrier, a proxy core's TUN that owns the default route, and several virtual
// adapters. The snapshot is assessed by the collector's own logic (roles, egress, proxy scoring,
// interception, physical path), so the process and listener layers have real work to do. The same
// machine at half and at double size shows whether the cost grows in step with the input, and the
// page's parts show that its size follows the tables rather than repeated work.
// Touches no network: every echo is answered from the pre-filled cache, and an echo that is sent
// anyway fails the run.
#include "facts/collect.h"
#include "facts/egress.h"
#include "facts/gateway_probes.h"
#include "facts/interception.h"
#include "facts/interface_assessment.h"
#include "facts/physical_path.h"
#include "facts/processes.h"
#include "graph/build_graph.h"
#include "graph/graph_json.h"
#include "graph/run_context.h"
#include "parallel/progress.h"
#include "report/report_page.h"
#include "report/report_tables.h"
#include "run/probe_targets.h"
#include "synthetic_machine.h"
#include "util/sha256.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace wirelux;

constexpr int kRounds = 9;
constexpr std::uint32_t kEthernet = 7;
constexpr std::uint32_t kWifi = 12;
constexpr std::uint32_t kTun = 30;
// pid 5 is a "mihomo.exe" of the busy machine; it runs the TUN and answers on its API.
constexpr std::uint32_t kCorePid = 5;

// Answers every collection-time echo at once.
EchoResult instant_echo(const std::string&) {
    return EchoResult{true, 3};
}

AdapterInfo adapter(std::uint32_t if_index, std::string name, std::string description, std::uint32_t if_type,
                    bool up) {
    AdapterInfo a;
    a.if_index = if_index;
    a.ipv6_if_index = if_index;
    a.friendly_name = std::move(name);
    a.description = std::move(description);
    a.if_type = if_type;
    a.oper_up = up;
    a.mtu = 1500;
    a.ipv4_metric = 25;
    a.ipv6_metric = 25;
    char guid[64];
    std::snprintf(guid, sizeof guid, "{%08X-1111-2222-3333-444455556666}", if_index);
    a.guid = guid;
    a.luid = 0x0006000000000000ULL + if_index;
    return a;
}

void add_device(FactSnapshot& s, const AdapterInfo& a, std::string instance_id, std::string service,
                std::uint32_t characteristics) {
    PnpDevice device;
    device.net_cfg_instance_id = *a.guid;
    device.instance_id = std::move(instance_id);
    device.service = std::move(service);
    device.provider_name = "Vendor";
    device.inf_path = "oem" + std::to_string(a.if_index) + ".inf";
    device.driver_version = "1.0." + std::to_string(a.if_index);
    device.characteristics = characteristics;
    std::string key = *a.guid;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    s.pnp_by_guid[key] = std::move(device);
}

void add_route(FactSnapshot& s, std::uint16_t family, std::string destination, std::uint8_t prefix,
               std::string next_hop, std::uint32_t if_index, std::uint32_t metric) {
    s.routes.push_back({std::move(destination), std::move(next_hop), if_index, metric, family, prefix});
}

void add_adapters(FactSnapshot& s) {
    AdapterInfo eth = adapter(kEthernet, "Ethernet", "Intel(R) Ethernet Connection I219-V", 6, true);
    eth.mac = "3C-52-82-10-20-30";
    eth.ipv4 = {{"192.168.1.10", 24}};
    eth.ipv6 = {{"2001:db8:1::10", 64}, {"fe80::1", 64}};
    eth.gateways = {"192.168.1.1", "fe80::a1"};
    eth.dns_servers = {"192.168.1.1", "223.5.5.5", "2001:db8:1::1"};
    eth.dhcp_server = "192.168.1.1";
    eth.dhcp_enabled = true;
    eth.link_speed_bps = 1'000'000'000;
    add_device(s, eth, R"(PCI\VEN_8086&DEV_15BC\3&11583659&0&FE)", "e1dexpress", kNcfPhysical);

    AdapterInfo wifi = adapter(kWifi, "Wi-Fi", "Intel(R) Wi-Fi 6 AX201 160MHz", 71, true);
    wifi.mac = "A4-B1-C1-D1-E1-F1";
    wifi.ipv4 = {{"192.168.50.23", 24}};
    wifi.ipv6 = {{"fe80::1c2:3ff:fe4d:5e6f", 64}};
    wifi.gateways = {"192.168.50.1"};
    wifi.dns_servers = {"192.168.50.1"};
    wifi.dhcp_server = "192.168.50.1";
    wifi.dhcp_enabled = true;
    wifi.ipv4_metric = 35;
    wifi.link_speed_bps = 866'700'000;
    add_device(s, wifi, R"(PCI\VEN_8086&DEV_A0F0\3&11583659&0&A3)", "Netwtw10", kNcfPhysical);

    AdapterInfo tun = adapter(kTun, "Mihomo", "Meta Tunnel", 131, true);
    tun.ipv4 = {{"198.18.0.1", 30}};
    tun.ipv6 = {{"fdfe:dcba:9876::1", 126}};
    tun.dns_servers = {"198.18.0.2"};
    tun.ipv4_metric = 0;
    tun.link_speed_bps = 100'000'000'000;
    add_device(s, tun, R"(SWD\Wintun\{6BA4BBE8-3D09-4A30-8A5C-3D4B4C4D4E4F})", "wintun", kNcfVirtual);

    AdapterInfo wsl = adapter(41, "vEthernet (WSL)", "Hyper-V Virtual Ethernet Adapter", 6, true);
    wsl.mac = "00-15-5D-01-02-03";
    wsl.ipv4 = {{"172.28.16.1", 20}};
    wsl.ipv6 = {{"fe80::9d1:2ff:fe3a:4b5c", 64}};
    wsl.link_speed_bps = 10'000'000'000;
    add_device(s, wsl, R"(ROOT\VMS_MP\0001)", "VMSNPXYMP", kNcfVirtual);

    AdapterInfo vmnet =
        adapter(18, "VMware Network Adapter VMnet8", "VMware Virtual Ethernet Adapter for VMnet8", 6, true);
    vmnet.mac = "00-50-56-C0-00-08";
    vmnet.ipv4 = {{"192.168.223.1", 24}};
    vmnet.link_speed_bps = 100'000'000;
    add_device(s, vmnet, R"(ROOT\VMWARE\0001)", "VMnetAdapter", kNcfVirtual);

    AdapterInfo vbox =
        adapter(21, "VirtualBox Host-Only Network", "VirtualBox Host-Only Ethernet Adapter", 6, true);
    vbox.mac = "0A-00-27-00-00-15";
    vbox.ipv4 = {{"192.168.56.1", 24}};
    vbox.link_speed_bps = 1'000'000'000;
    add_device(s, vbox, R"(ROOT\NET\0000)", "VBoxNetAdp", kNcfVirtual);

    AdapterInfo tailscale = adapter(25, "Tailscale", "Tailscale Tunnel", 131, true);
    tailscale.ipv4 = {{"100.101.102.103", 32}};
    tailscale.ipv6 = {{"fd7a:115c:a1e0::1", 128}};
    add_device(s, tailscale, R"(SWD\Wintun\{AAAABBBB-CCCC-DDDD-EEEE-FFFF00001111})", "wintun", kNcfVirtual);

    AdapterInfo bluetooth =
        adapter(16, "Bluetooth Network Connection", "Bluetooth Device (Personal Area Network)", 6, false);
    bluetooth.mac = "A4-B1-C1-D1-E1-F2";
    add_device(s, bluetooth, R"(BTH\MS_BTHPAN\6&1A2B3C4D&0&2)", "BthPan", kNcfPhysical);

    AdapterInfo loopback =
        adapter(1, "Loopback Pseudo-Interface 1", "Software Loopback Interface 1", 24, true);
    loopback.ipv4 = {{"127.0.0.1", 8}};
    loopback.ipv6 = {{"::1", 128}};
    loopback.guid.reset();

    s.adapters = {loopback, eth, wifi, tun, wsl, vmnet, vbox, tailscale, bluetooth};

    // The TUN takes the IPv4 default with the lowest metric; both physical carriers keep theirs.
    add_route(s, kFamilyIpv4, "0.0.0.0", 0, "0.0.0.0", kTun, 0);
    add_route(s, kFamilyIpv4, "0.0.0.0", 0, "192.168.1.1", kEthernet, 25);
    add_route(s, kFamilyIpv4, "0.0.0.0", 0, "192.168.50.1", kWifi, 35);
    add_route(s, kFamilyIpv6, "::", 0, "fe80::a1", kEthernet, 256);
    for (const AdapterInfo& a : s.adapters)
        for (const IfAddress& address : a.ipv4)
            add_route(s, kFamilyIpv4, address.address, address.prefix_len, "0.0.0.0", a.if_index, 256);
    add_route(s, kFamilyIpv4, "100.64.0.0", 10, "0.0.0.0", 25, 5);
    add_route(s, kFamilyIpv4, "224.0.0.0", 4, "0.0.0.0", kEthernet, 256);
}

void add_udp_bindings(FactSnapshot& s, std::size_t count, std::uint32_t processes) {
    static const char* const kAddresses[] = {"0.0.0.0", "::", "127.0.0.1", "192.168.1.10", "fe80::1"};
    for (std::size_t i = 0; i < count; ++i)
        s.udp_rows.push_back(UdpRow{kAddresses[i % 5], static_cast<std::uint32_t>(1 + (i * 7) % processes),
                                    static_cast<std::uint16_t>(5000 + i % 60000)});
}

void add_core(FactSnapshot& s) {
    CoreInfo core;
    core.pid = kCorePid;
    core.config_path = R"(C:\Users\bench\.config\mihomo\config.yaml)";
    core.controller = "127.0.0.1:9090";
    core.find_process_mode = "strict";
    core.tun_stack = "gvisor";
    core.outbound_proxies = {{"hk-01", "vmess", "hk.example.net", 443},
                             {"jp-02", "trojan", "jp.example.net", 443}};
    core.controller_probes = {{"http://127.0.0.1:9090", true}};
    core.live_controller = "http://127.0.0.1:9090";
    core.answered = true;
    s.core_infos.push_back(std::move(core));
    s.core_pids.insert(kCorePid);
}

void add_services(FactSnapshot& s) {
    s.vpn_drivers = {
        {"wintun", "Wintun Userspace Tunnel", "Running", R"(C:\Windows\System32\drivers\wintun.sys)"},
        {"WinDivert", "WinDivert", "Running", R"(C:\Program Files\Vendor\WinDivert64.sys)"}};
    s.vpn_services = {{"Tailscale", "Tailscale", "Running", R"(C:\Program Files\Tailscale\tailscaled.exe)"}};
}

// The snapshot as collection would leave it, with every assessment made by the collector's own logic.
FactSnapshot busy_snapshot(std::size_t listeners, std::size_t rows, std::uint32_t processes) {
    bench::BusyMachine m = bench::busy_machine(listeners, rows, processes);
    FactSnapshot s = std::move(m.snapshot); // moved: a copy would hold every row twice
    s.computer_name = "BENCH-HOST";
    s.os_name = "Windows 11 Pro 23H2 (build 22631)";
    s.collected_at = "2024-05-01 09:30:00";

    add_adapters(s);
    s.interfaces = assess_interfaces(s);
    const auto* tun_address = &s.adapters[3].ipv4.front();
    assess_egress(s, BestRoute{"0.0.0.0", tun_address->address, kTun, kFamilyIpv4},
                  BestRoute{"fe80::a1", "2001:db8:1::10", kEthernet, kFamilyIpv6});
    check_internet_reachability(s, instant_echo);

    for (const std::string& address : own_addresses(s.adapters))
        s.own_addresses.insert(address);
    s.wininet_enable = true;
    s.wininet_server = "127.0.0.1:7890";
    s.wininet_override = "localhost;127.*;10.*;192.168.*;<local>";
    s.wininet_active = true;
    s.winhttp_text = "Current WinHTTP proxy settings:\n\n    Direct access (no proxy server).";

    std::vector<ProcessInfo> process_list;
    for (std::uint32_t pid = 1; pid <= processes; ++pid)
        process_list.push_back(ProcessInfo{s.processes[pid].name, m.identities[pid - 1].image_path,
                                           m.identities[pid - 1].command_line, pid});
    s.processes.clear();
    record_processes(s, process_list);
    add_udp_bindings(s, rows / 20, processes);

    record_proxy_assessment(s, assess_proxy_candidates(s, bench::instant_scoring_inputs(m)));
    add_services(s);
    s.route_source_probe = RouteSourceProbe{"1.1.1.1:443", "198.18.0.1", true, kTun, kTun, false};
    s.adapter_assessments = assessments_in_adapter_order(s);
    record_interception(s);
    add_core(s);
    find_physical_candidates(s);
    choose_physical_gateway(s);
    probe_gateways(s, instant_echo);
    return s;
}

std::string wlan_text() {
    return "There is 1 interface on the system:\n\n"
           "    Name                   : Wi-Fi\n"
           "    Description            : Intel(R) Wi-Fi 6 AX201 160MHz\n"
           "    State                  : connected\n"
           "    SSID                   : bench-lab\n"
           "    Signal                 : 86%\n"
           "    Rssi                   : -52\n";
}

struct Sizes {
    std::size_t page = 0;
    std::size_t graph_json = 0;
    std::size_t tables = 0;
    std::size_t assets = 0;
    std::size_t nodes = 0;
    std::size_t edges = 0;
    std::string page_hash; // to check that a speed-up left the output unchanged
};

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double best(const std::vector<double>& times) {
    return *std::min_element(times.begin(), times.end());
}

double ms_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Returns false when the graph build sent an echo the cache should have answered.
bool run(const char* label, std::size_t listeners, std::size_t rows, std::uint32_t processes) {
    const FactSnapshot snapshot = busy_snapshot(listeners, rows, processes);
    std::map<std::string, EchoResult> prefilled;
    for (const std::string& target : ping_targets(snapshot, prefilled))
        prefilled.emplace(target, EchoResult{true, 4});

    std::atomic<int> echoes_sent{0};
    const EchoFn counting_echo = [&echoes_sent](const std::string&) {
        ++echoes_sent;
        return EchoResult{};
    };

    std::vector<double> graph_ms, render_ms, total_ms, tables_ms;
    Sizes sizes;
    for (int round = 0; round < kRounds; ++round) {
        RunContext context(snapshot);
        context.wlan_text = wlan_text();
        context.ping_cache = prefilled;

        const auto start = std::chrono::steady_clock::now();
        const GraphDocument graph = build_graph(context, counting_echo);
        const double graph_done = ms_since(start);
        const std::string page = render_report(snapshot, graph, context.ping_cache);
        const double total = ms_since(start);

        graph_ms.push_back(graph_done);
        render_ms.push_back(total - graph_done);
        total_ms.push_back(total);
        // The evidence tables once more on their own, outside the total: the part that follows the
        // socket and process counts.
        const auto tables_start = std::chrono::steady_clock::now();
        const std::size_t tables_size = render_evidence_sections(snapshot).size();
        tables_ms.push_back(ms_since(tables_start));
        if (round == 0) {
            sizes.page = page.size();
            sizes.page_hash = sha256_hex(page).substr(0, 16);
            sizes.graph_json = graph_json_for_script(graph).size();
            sizes.tables = tables_size;
            sizes.assets = report_style_sheet().size() + report_script().size();
            sizes.nodes = graph.nodes.size();
            sizes.edges = graph.edges.size();
        }
    }

    std::printf(
        "%-6s %6zu listeners %7zu rows %5u processes %5zu UDP  (%zu candidate listeners, %zu candidate "
        "processes)\n",
        label, listeners, rows, processes, snapshot.udp_rows.size(), snapshot.candidate_listeners.size(),
        snapshot.candidate_processes.size());
    std::printf("       graph  median %7.2f ms  best %7.2f ms   (%zu nodes, %zu edges)\n", median(graph_ms),
                best(graph_ms), sizes.nodes, sizes.edges);
    std::printf("       render median %7.2f ms  best %7.2f ms   (evidence tables alone: median %.2f ms, best "
                "%.2f ms)\n",
                median(render_ms), best(render_ms), median(tables_ms), best(tables_ms));
    std::printf("       total  median %7.2f ms  best %7.2f ms\n", median(total_ms), best(total_ms));
    std::printf("       page %9zu bytes = tables %9zu + graph JSON %7zu + style/script %6zu + rest %6zu"
                "   (%.0f table bytes per listener)\n",
                sizes.page, sizes.tables, sizes.graph_json, sizes.assets,
                sizes.page - sizes.tables - sizes.graph_json - sizes.assets,
                static_cast<double>(sizes.tables) /
                    static_cast<double>(snapshot.listener_assessments.size()));
    std::printf("       page SHA-256 %s...\n", sizes.page_hash.c_str());
    if (echoes_sent != 0) {
        std::fprintf(stderr, "FAIL: the graph build sent %d echo(es) past the pre-filled ping cache\n",
                     echoes_sent.load());
        return false;
    }
    return true;
}

} // namespace

int main() {
    progress_init(false);
    bool ok = run("half", 2500, 50000, 1000);
    ok = run("full", 5000, 100000, 2000) && ok;
    ok = run("double", 10000, 200000, 4000) && ok;
    return ok ? 0 : 1;
}
