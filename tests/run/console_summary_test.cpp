#include "run/console_summary.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace wirelux {
namespace {

std::string no_image_path(std::uint32_t) {
    return {};
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no line break>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The lines of one section: everything between its banner and the next banner (or the end).
std::vector<std::string> section(const std::string& text, const std::string& title) {
    const std::string rule(30, '=');
    const std::string banner = "\n" + rule + "\n  " + title + "\n" + rule + "\n";
    const std::size_t at = text.find(banner);
    if (at == std::string::npos) return {"<no banner for " + title + ">"};
    const std::size_t begin = at + banner.size();
    const std::size_t next = text.find("\n" + rule + "\n", begin);
    return split_lines(text.substr(begin, next == std::string::npos ? std::string::npos : next - begin));
}

std::vector<std::string> section(const FactSnapshot& snapshot, const std::string& title,
                                 const ImagePathLookup& lookup = no_image_path) {
    return section(build_console_summary(snapshot, lookup), title);
}

AdapterInfo adapter(std::string name, std::uint32_t if_index) {
    AdapterInfo a;
    a.friendly_name = std::move(name);
    a.if_index = if_index;
    return a;
}

RouteRow route(const char* destination, std::uint8_t prefix, const char* next_hop, std::uint32_t if_index,
               std::uint32_t metric, std::uint16_t family = kFamilyIpv4) {
    RouteRow r;
    r.destination = destination;
    if (next_hop) r.next_hop = next_hop;
    r.if_index = if_index;
    r.metric = metric;
    r.family = family;
    r.prefix_len = prefix;
    return r;
}

const char* const kLongName = "Local Area Connection* 12 (Hyper-V vNIC)"; // 40 characters

TEST(ConsoleSummary, DefaultSnapshotPrintsEverySectionInOrderWithItsFallbacks) {
    const std::string expected = R"(
==============================
  1. Physical links & tunnels
==============================
State  Name                               MediaType       Speed      Description
  [x] = Up   [ ] = Down

==============================
  2. IP config (IPv4 / public IPv6 / Gateway)
==============================

==============================
  3. DNS servers
==============================
Interface                          DHCP       DNS

==============================
  4. Windows proxy (WinINET)
==============================
  ProxyEnable   : 0
  ProxyServer   : 
  ProxyOverride : 
  AutoConfigURL : 
  AutoDetect    : 0

==============================
  5. WinHTTP proxy
==============================

==============================
  6. Default routes
==============================
  IPv4:
  IPv6:

==============================
  6b. Default egress (effective metric, lower wins)
==============================
  IPv4 egress -> none
  IPv6 egress -> none

==============================
  7. Proxy / Tunnel / VPN processes
==============================
  none found

==============================
  8. Local listening ports (all owners; proxy scoring later)
==============================
  none found

==============================
  9. Gateway reachability
==============================

==============================
  10. Internet reachability (IPv4 / IPv6)
==============================
  223.5.5.5   IPv4 : FAIL
      egress ->   src 
  2400:3200::1 IPv6 : FAIL
      egress ->   src 

==============================
  11. KAM campus infra (KamConnected targets)
==============================
  10.0.0.55       FAIL
      via none
  10.0.0.54       FAIL
      via none
  10.0.32.32      FAIL
      via none
  10.0.32.33      FAIL
      via none
  Portal 10.0.0.55 HTTP : FAIL
      title = 
  Login 10.0.0.55 rad_user_info : FAIL
      (unrecognized response shape)
  DNS 10.0.32.32      FAIL
      -> 
  DNS 10.0.32.33      FAIL
      -> 
  API 10.0.0.54:8800 HTTP : FAIL
      (fallback: tcp probe)
)";
    EXPECT_EQ(build_console_summary(FactSnapshot{}, no_image_path), expected);
}

TEST(ConsoleSummary, PhysicalLinksListEveryAdapterInColumnsCountedInCharacters) {
    FactSnapshot s;
    AdapterInfo ethernet = adapter("Ethernet", 12);
    ethernet.description = "Intel(R) Ethernet Connection I219-V";
    ethernet.if_type = 6;
    ethernet.oper_up = true;
    ethernet.link_speed_bps = 1'000'000'000;
    AdapterInfo wifi = adapter("Wi-Fi", 20);
    wifi.description = "Intel(R) Wi-Fi 6 AX201 160MHz";
    wifi.if_type = 71;
    wifi.link_speed_bps = 866'700'000;
    AdapterInfo vnic = adapter(kLongName, 40);
    vnic.description = "Hyper-V Virtual Ethernet Adapter";
    vnic.if_type = 53;
    vnic.oper_up = true;
    vnic.link_speed_bps = 100'000'000;
    AdapterInfo loopback = adapter("Loopback Pseudo-Interface 1", 1);
    loopback.description = "Software Loopback Interface 1";
    loopback.if_type = 24;
    loopback.oper_up = true;
    loopback.link_speed_bps = 1'073'741'824;
    AdapterInfo tunnel = adapter("以太网 2", 55); // three bytes per CJK character, one column each
    tunnel.description = "Meta Tunnel";
    tunnel.if_type = 131;
    s.adapters = {ethernet, wifi, vnic, loopback, tunnel};

    const std::vector<std::string> expected = {
        "State  Name                               MediaType       Speed      Description",
        "[x]    Ethernet                           802.3           1 Gbps     Intel(R) Ethernet Connection "
        "I219-V",
        "[ ]    Wi-Fi                              Native 802.11   866.7 Mbps Intel(R) Wi-Fi 6 AX201 160MHz",
        "[x]    Local Area Connection* 12 (Hyper-V vNIC) IfType 53       100 Mbps   Hyper-V Virtual Ethernet "
        "Adapter",
        "[x]    Loopback Pseudo-Interface 1        Loopback        1.1 Gbps   Software Loopback Interface 1",
        "[ ]    以太网 2                              IP              0 bps      Meta Tunnel",
        "  [x] = Up   [ ] = Down",
    };
    EXPECT_EQ(section(s, "1. Physical links & tunnels"), expected);
}

TEST(ConsoleSummary, IpConfigSkipsAddresslessAdaptersAndShowsOnlyPublicIpv6) {
    FactSnapshot s;
    AdapterInfo ethernet = adapter("Ethernet", 12);
    ethernet.ipv4 = {{"192.168.1.20", 24}, {"10.8.0.2", 16}};
    ethernet.ipv6 = {{"fe80::1c2d:3e4f:5a6b:7c8d", 64},
                     {"2408:8207:1850:aa0::5", 64},
                     {"fd00::5", 64},
                     {"240e:3b0::1", 128}};
    ethernet.gateways = {"192.168.1.1", "fe80::1"};
    AdapterInfo bluetooth = adapter("Bluetooth Network Connection", 9);
    bluetooth.gateways = {"10.9.9.9"}; // no address at all: not listed, gateway or not
    AdapterInfo overlay = adapter("Tailscale", 30);
    overlay.ipv6 = {{"fe80::abcd", 64}, {"fd7a:115c:a1e0::1", 128}, {"FE80::2", 64}};
    AdapterInfo loopback = adapter("Loopback Pseudo-Interface 1", 1);
    loopback.ipv4 = {{"127.0.0.1", 8}};
    loopback.ipv6 = {{"::1", 128}};
    AdapterInfo lab = adapter("ULA only", 41);
    lab.ipv6 = {{"fc00::7", 64}};
    lab.gateways = {"fc00::1"};
    s.adapters = {ethernet, bluetooth, overlay, loopback, lab};

    const std::vector<std::string> expected = {
        "  Ethernet  (ifIndex 12)",
        "    IPv4      : 192.168.1.20, 10.8.0.2",
        "    IPv6(glob): 2408:8207:1850:aa0::5, 240e:3b0::1",
        "    Gateway   : 192.168.1.1, fe80::1",
        "  Tailscale  (ifIndex 30)",
        "  Loopback Pseudo-Interface 1  (ifIndex 1)",
        "    IPv4      : 127.0.0.1",
        "  ULA only  (ifIndex 41)",
        "    Gateway   : fc00::1",
    };
    EXPECT_EQ(section(s, "2. IP config (IPv4 / public IPv6 / Gateway)"), expected);
}

TEST(ConsoleSummary, DnsServersListUpAdaptersWithTheirIpv4ServersOnly) {
    FactSnapshot s;
    AdapterInfo ethernet = adapter("Ethernet", 12);
    ethernet.oper_up = true;
    ethernet.dhcp_enabled = true;
    ethernet.dns_servers = {"192.168.1.1", "fe80::1", "8.8.8.8"};
    AdapterInfo wifi = adapter("Wi-Fi", 20); // down: not listed
    wifi.dns_servers = {"10.0.0.1"};
    AdapterInfo vnic = adapter(kLongName, 40);
    vnic.oper_up = true;
    AdapterInfo loopback = adapter("Loopback Pseudo-Interface 1", 1);
    loopback.oper_up = true;
    loopback.dns_servers = {"::1"};
    s.adapters = {ethernet, wifi, vnic, loopback};

    const std::vector<std::string> expected = {
        "Interface                          DHCP       DNS",
        "Ethernet                           Enabled    192.168.1.1, 8.8.8.8",
        "Local Area Connection* 12 (Hyper-V vNIC) Disabled   ",
        "Loopback Pseudo-Interface 1        Disabled   ",
    };
    EXPECT_EQ(section(s, "3. DNS servers"), expected);
}

TEST(ConsoleSummary, ProxySettingsArePrintedAsCollected) {
    FactSnapshot s;
    s.wininet_enable = true;
    s.wininet_server = "http=127.0.0.1:7890;https=127.0.0.1:7890";
    s.wininet_override = "localhost;127.*;<local>";
    s.wininet_autoconfig_url = "http://wpad.example/proxy.pac";
    s.wininet_autodetect = true;
    s.winhttp_text =
        "\r\nCurrent WinHTTP proxy settings:\r\n\r\n    Direct access (no proxy server).\r\n\r\n";

    const std::vector<std::string> expected_wininet = {
        "  ProxyEnable   : 1",
        "  ProxyServer   : http=127.0.0.1:7890;https=127.0.0.1:7890",
        "  ProxyOverride : localhost;127.*;<local>",
        "  AutoConfigURL : http://wpad.example/proxy.pac",
        "  AutoDetect    : 1",
    };
    const std::string text = build_console_summary(s, no_image_path);
    EXPECT_EQ(section(text, "4. Windows proxy (WinINET)"), expected_wininet);

    const std::string rule(30, '=');
    const std::string winhttp_banner = "  5. WinHTTP proxy\n" + rule + "\n";
    const std::string routes_banner = "\n" + rule + "\n  6. Default routes\n";
    EXPECT_NE(text.find(winhttp_banner + s.winhttp_text + routes_banner), std::string::npos);
}

class ConsoleSummaryRoutes : public ::testing::Test {
protected:
    ConsoleSummaryRoutes() {
        AdapterInfo ethernet = adapter("Ethernet", 12);
        ethernet.ipv4_metric = 25;
        AdapterInfo wifi = adapter("Wi-Fi", 20);
        wifi.ipv4_metric = 40;
        AdapterInfo overlay = adapter("Tailscale", 30);
        overlay.ipv4_metric = 5;
        s.adapters = {ethernet, wifi, overlay};
    }
    FactSnapshot s;
};

TEST_F(ConsoleSummaryRoutes, DefaultRoutesShowOnlyZeroLengthPrefixesPerFamily) {
    s.routes = {
        route("0.0.0.0", 0, "192.168.1.1", 12, 25),
        route("192.168.1.0", 24, "0.0.0.0", 12, 256),
        route("0.0.0.0", 1, "100.100.100.100", 30, 5), // split default of a tunnel: not a default route
        route("0.0.0.0", 0, "0.0.0.0", 30, 5),
        route("0.0.0.0", 0, nullptr, 77, 256), // no adapter with that index, no next hop
        route("::", 0, "fe80::1", 12, 256, kFamilyIpv6),
        route("2000::", 3, "fe80::1", 12, 256, kFamilyIpv6),
    };
    const std::vector<std::string> expected = {
        "  IPv4:",
        "    ifIndex 12   Ethernet                           192.168.1.1      metric 25",
        "    ifIndex 30   Tailscale                          0.0.0.0          metric 5",
        "    ifIndex 77                                                       metric 256",
        "  IPv6:",
        "    ifIndex 12   Ethernet                           fe80::1          metric 256",
    };
    EXPECT_EQ(section(s, "6. Default routes"), expected);
}

TEST_F(ConsoleSummaryRoutes, EgressEntriesSortByEffectiveMetricThenIndexKeepingSnapshotOrder) {
    s.routes = {
        route("0.0.0.0", 0, "10.0.0.1", 20, 10),       // 40 + 10 = 50
        route("0.0.0.0", 0, "192.168.1.1", 12, 25),    // 25 + 25 = 50
        route("::", 0, "fe80::1", 12, 1, kFamilyIpv6), // IPv6 rows are not entries
        route("0.0.0.0", 0, "192.168.1.254", 12, 25),  // same index and metric: stays after the row above
        route("0.0.0.0", 0, "100.100.100.100", 30, 5), // 5 + 5 = 10
    };
    s.egress_if_index_v4 = 12;
    s.best_route_v4 = BestRoute{"192.168.1.1", "192.168.1.20", 12, kFamilyIpv4};
    s.egress_name_v4 = "Ethernet";
    s.gateway_v4 = "192.168.1.1";
    s.best_route_v6 = BestRoute{"fe80::1", "2408:8207:1850:aa0::5", 12, kFamilyIpv6};
    s.egress_name_v6 = "Ethernet"; // gateway_v6 absent: printed empty

    const std::vector<std::string> expected = {
        "        10     Tailscale                          100.100.100.100  ifIndex 30",
        "    >>  50     Ethernet                           192.168.1.1      ifIndex 12",
        "    >>  50     Ethernet                           192.168.1.254    ifIndex 12",
        "        50     Wi-Fi                              10.0.0.1         ifIndex 20",
        "  IPv4 egress -> Ethernet (ifIndex 12)  src 192.168.1.20  via 192.168.1.1",
        "  IPv6 egress -> Ethernet (ifIndex 12)  src 2408:8207:1850:aa0::5  via ",
    };
    EXPECT_EQ(section(s, "6b. Default egress (effective metric, lower wins)"), expected);
}

TEST_F(ConsoleSummaryRoutes, EgressWithoutBestRouteStillListsEntriesThenNone) {
    s.routes = {
        route("0.0.0.0", 0, nullptr, 77, 256),               // unknown adapter: its metric counts as 0
        route("0.0.0.0", 0, "192.168.1.1", 12, 4294967295U), // must not wrap around to the front
        route("0.0.0.0", 0, "10.0.0.1", 20, 60),
    };
    const std::vector<std::string> expected = {
        "        100    Wi-Fi                              10.0.0.1         ifIndex 20",
        "        256                                                        ifIndex 77",
        "        4294967320 Ethernet                           192.168.1.1      ifIndex 12",
        "  IPv4 egress -> none",
        "  IPv6 egress -> none",
    };
    EXPECT_EQ(section(s, "6b. Default egress (effective metric, lower wins)"), expected);
}

TEST(ConsoleSummary, ProxyProcessesAskForTheImagePathOfEachProcessAtPrintTime) {
    FactSnapshot s;
    s.proxy_like_processes = {{"clash-verge.exe", "", "", 4120},
                              {"verge-mihomo-alpha-x86_64-pc-windows-msvc.exe", "", "", 4188}};
    std::vector<std::uint32_t> asked;
    const ImagePathLookup lookup = [&asked](std::uint32_t pid) {
        asked.push_back(pid);
        return pid == 4120 ? std::string(R"(C:\Program Files\Clash Verge\clash-verge.exe)") : std::string();
    };
    const std::vector<std::string> expected = {
        R"(  clash-verge.exe              4120     C:\Program Files\Clash Verge\clash-verge.exe)",
        "  verge-mihomo-alpha-x86_64-pc-windows-msvc.exe 4188     ",
    };
    EXPECT_EQ(section(s, "7. Proxy / Tunnel / VPN processes", lookup), expected);
    EXPECT_EQ(asked, (std::vector<std::uint32_t>{4120, 4188}));
}

TEST(ConsoleSummary, ListenersAreListedUnfilteredWithQuestionMarkForUnknownOwners) {
    FactSnapshot s;
    s.processes[4188] = {"verge-mihomo.exe", "", "", 4188};
    s.processes[4] = {"System", "", "", 4};
    const auto listener = [](const char* address, std::uint16_t port, std::uint32_t pid) {
        TcpRow row;
        row.local_address = address;
        row.local_port = port;
        row.pid = pid;
        row.state = kTcpStateListen;
        return row;
    };
    s.tcp_listeners = {listener("127.0.0.1", 7890, 4188), listener("::", 7890, 4188),
                       listener("0.0.0.0", 445, 4), listener("0.0.0.0", 445, 4),
                       listener("fe80::1c2d:3e4f:5a6b:7c8d%12-some-long-text-x", 49152, 9999)};
    const std::vector<std::string> expected = {
        "  127.0.0.1                                7890     4188     verge-mihomo.exe",
        "  ::                                       7890     4188     verge-mihomo.exe",
        "  0.0.0.0                                  445      4        System",
        "  0.0.0.0                                  445      4        System",
        "  fe80::1c2d:3e4f:5a6b:7c8d%12-some-long-text-x 49152    9999     ?",
    };
    EXPECT_EQ(section(s, "8. Local listening ports (all owners; proxy scoring later)"), expected);
}

TEST(ConsoleSummary, ReachabilitySectionsShowProbeRowsAndStatusWords) {
    FactSnapshot s;
    s.gateway_probes = {{"192.168.1.1", "IPv4", "OK", 12}, {"fe80::1", "IPv6", "FAIL", 12}};
    s.internet_v4_ok = true;
    s.egress_name_v4 = "Ethernet";
    s.egress_source_v4 = "192.168.1.20";
    s.egress_name_v6 = "Ethernet";
    s.egress_source_v6 = "2408:8207:1850:aa0::5";
    const std::string text = build_console_summary(s, no_image_path);

    const std::vector<std::string> gateways = {
        "  192.168.1.1                             IPv4   ifIndex 12   OK",
        "  fe80::1                                 IPv6   ifIndex 12   FAIL",
    };
    EXPECT_EQ(section(text, "9. Gateway reachability"), gateways);
    const std::vector<std::string> internet = {
        "  223.5.5.5   IPv4 : OK",
        "      egress -> Ethernet  src 192.168.1.20",
        "  2400:3200::1 IPv6 : FAIL",
        "      egress -> Ethernet  src 2408:8207:1850:aa0::5",
    };
    EXPECT_EQ(section(text, "10. Internet reachability (IPv4 / IPv6)"), internet);
}

TEST(ConsoleSummary, CampusSectionReadsEachProbeAndFallsBackWhereEntriesAreMissing) {
    FactSnapshot s;
    CampusFacts& c = s.campus;
    c.reachable = {{"10.0.0.55", true}, {"10.0.0.54", false}, {"10.0.32.32", true}};
    c.route = {{"10.0.0.55", "Ethernet (ifIndex 12) gw 10.1.0.1"}, {"10.0.32.32", "Ethernet (ifIndex 12)"}};
    c.portal_ok = true;
    c.portal_title = "KAM Network Login";
    c.login = {"20231234", "10.1.23.45", "123456789", "3600", true};
    c.dns_primary = DnsProbeResult{"198.18.0.7", 3, true};
    c.dns_primary_kind = "proxy";
    c.dns_backup = DnsProbeResult{"", -1, false};
    c.dns_backup_kind = "direct";
    c.api_reachable = true;
    c.api_status = 0;

    const std::vector<std::string> expected = {
        "  10.0.0.55       OK",
        "      via Ethernet (ifIndex 12) gw 10.1.0.1",
        "  10.0.0.54       FAIL",
        "      via none",
        "  10.0.32.32      OK",
        "      via Ethernet (ifIndex 12)",
        "  10.0.32.33      FAIL",
        "      via none",
        "  Portal 10.0.0.55 HTTP : OK",
        "      title = KAM Network Login",
        "  Login 10.0.0.55 rad_user_info : OK",
        "      id = 20231234   ip = 10.1.23.45   sum_bytes = 123456789   sum_seconds = 3600",
        "  DNS 10.0.32.32      OK",
        "      -> 198.18.0.7 [proxy-intercepted]",
        "  DNS 10.0.32.33      FAIL",
        "      -> ",
        "  API 10.0.0.54:8800 HTTP : OK",
        "      (fallback: tcp probe)",
    };
    EXPECT_EQ(section(s, "11. KAM campus infra (KamConnected targets)"), expected);
}

TEST(ConsoleSummary, CollectedTextCannotDriveTheTerminal) {
    // A carriage return or an escape sequence in a collected value could overwrite or hide a line,
    // such as the proxy the summary exists to show; a page title can be megabytes long.
    FactSnapshot s;
    AdapterInfo a = adapter("Wi-Fi\x1b[2K\r", 7);
    a.oper_up = true;
    a.description = "Intel\x7f\xc2\x9b" "31m";
    s.adapters = {a};
    s.wininet_server = "127.0.0.1:7890\r  ProxyServer   : (none)";
    s.winhttp_text = "\r\nCurrent WinHTTP proxy settings:\r\n    Proxy Server(s) :  10.9.9.9:3128\r\x1b[1A\r\n";
    s.campus.portal_title = std::string(5000, 'T');
    s.campus.login = {"\x1b]0;owned\x07user", "10.1.23.45", "1", "2", true};
    ProcessInfo p;
    p.name = "clash\x1b[8m";
    p.pid = 42;
    s.proxy_like_processes = {p};
    const std::string text = build_console_summary(s, [](std::uint32_t) { return std::string("C:\\x\x1b[0m.exe"); });

    const std::string stand_in = "\xEF\xBF\xBD";
    for (const char control : {'\x1b', '\x07', '\x7f'}) EXPECT_EQ(text.find(control), std::string::npos);
    EXPECT_EQ(text.find("\xc2\x9b"), std::string::npos);
    EXPECT_EQ(section(text, "1. Physical links & tunnels")[1],
              "[x]    Wi-Fi" + stand_in + "[2K" + stand_in + std::string(24, ' ') +
                  " IfType 0        0 bps      Intel" + stand_in + stand_in + "31m");
    EXPECT_EQ(section(text, "4. Windows proxy (WinINET)")[1],
              "  ProxyServer   : 127.0.0.1:7890" + stand_in + "  ProxyServer   : (none)");
    // The block keeps its own line breaks; a lone carriage return within a line does not survive.
    EXPECT_NE(text.find("\r\nCurrent WinHTTP proxy settings:\r\n    Proxy Server(s) :  10.9.9.9:3128" + stand_in +
                        stand_in + "[1A\r\n"),
              std::string::npos);
    const auto campus = section(text, "11. KAM campus infra (KamConnected targets)");
    EXPECT_EQ(campus[9], "      title = " + std::string(200, 'T') + "\xE2\x80\xA6");
    EXPECT_EQ(campus[11], "      id = " + stand_in + "]0;owned" + stand_in +
                              "user   ip = 10.1.23.45   sum_bytes = 1   sum_seconds = 2");
    EXPECT_EQ(section(text, "7. Proxy / Tunnel / VPN processes")[0],
              "  clash" + stand_in + "[8m" + std::string(19, ' ') + " 42       C:\\x" + stand_in + "[0m.exe");
}

TEST(ConsoleSummary, CampusApiWithHttpStatusAndUnrecognisedLogin) {
    FactSnapshot s;
    s.campus.login.user_name = "ignored when the shape was not recognised";
    s.campus.api_reachable = true;
    s.campus.api_status = 404;
    s.campus.dns_backup = DnsProbeResult{"10.0.32.1", 12, true};
    s.campus.dns_backup_kind = "Proxy"; // only the exact word marks interception

    const std::vector<std::string> lines = section(s, "11. KAM campus infra (KamConnected targets)");
    ASSERT_EQ(lines.size(), 18U);
    EXPECT_EQ(lines[10], "  Login 10.0.0.55 rad_user_info : FAIL");
    EXPECT_EQ(lines[11], "      (unrecognized response shape)");
    EXPECT_EQ(lines[14], "  DNS 10.0.32.33      OK");
    EXPECT_EQ(lines[15], "      -> 10.0.32.1");
    EXPECT_EQ(lines[16], "  API 10.0.0.54:8800 HTTP : OK");
    EXPECT_EQ(lines[17], "      status = 404");
}

} // namespace
} // namespace wirelux
