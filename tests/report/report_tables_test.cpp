#include "report/report_tables.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace wirelux {
namespace {

// The body of the section with this summary, or a marker text when there is none.
std::string section_body(const std::string& html, const std::string& summary) {
    const std::string head = "<details><summary>" + summary + R"(</summary><div class="dbody">)";
    const std::size_t at = html.find(head);
    if (at == std::string::npos) return "<no section " + summary + ">";
    const std::size_t begin = at + head.size();
    const std::size_t end = html.find("</div></details>", begin);
    return html.substr(begin, end - begin);
}

std::vector<std::string> summaries(const std::string& html) {
    std::vector<std::string> out;
    const std::string open = "<details><summary>";
    for (std::size_t at = html.find(open); at != std::string::npos; at = html.find(open, at + 1)) {
        const std::size_t begin = at + open.size();
        out.push_back(html.substr(begin, html.find("</summary>", begin) - begin));
    }
    return out;
}

std::string cells(const std::vector<std::string>& row) {
    std::string out = "<tr>";
    for (const std::string& cell : row)
        out += "<td>" + cell + "</td>";
    return out + "</tr>";
}

TEST(RenderTable, WritesHeadersAndRowsWithoutWhitespace) {
    EXPECT_EQ(render_table({"A", "B<>"}, {{"1", "x & y"}, {"\"q\"", "'s'"}}),
              "<table><thead><tr><th>A</th><th>B&lt;&gt;</th></tr></thead><tbody>"
              "<tr><td>1</td><td>x &amp; y</td></tr><tr><td>&quot;q&quot;</td><td>&#39;s&#39;</td></tr>"
              "</tbody></table>");
}

TEST(RenderTable, NoRowsGiveTheNoDataNote) {
    EXPECT_EQ(render_table({"A", "B"}, {}), R"(<div class="empty">no data</div>)");
}

TEST(RenderTable, RowsAreFittedToTheHeaders) {
    EXPECT_EQ(render_table({"A", "B"}, {{"1"}, {"1", "2", "3"}}),
              "<table><thead><tr><th>A</th><th>B</th></tr></thead><tbody>"
              "<tr><td>1</td><td></td></tr><tr><td>1</td><td>2</td></tr></tbody></table>");
}

TEST(RenderSection, StartsClosedAndEscapesTheSummary) {
    EXPECT_EQ(render_section("a <b>", "<i>body</i>"),
              R"(<details><summary>a &lt;b&gt;</summary><div class="dbody"><i>body</i></div></details>)");
}

TEST(RenderSection, AppendedTableSectionMatchesTheTwoStepForm) {
    const std::vector<std::string> headers{"A&B", "C"};
    const TableRows rows{{"<x>", "plain"}, {"'q'"}};
    for (const TableRows& body : {rows, TableRows{}}) {
        std::string out = "before|";
        append_table_section(out, "S \"1\"", headers, body);
        EXPECT_EQ(out, "before|" + render_section("S \"1\"", render_table(headers, body)));
    }
}

TEST(EvidenceSections, EighteenSectionsInOrderEvenWhenEmpty) {
    const std::string html = render_evidence_sections(FactSnapshot{});
    EXPECT_EQ(
        summaries(html),
        (std::vector<std::string>{
            "Adapters", "IP configuration", "DNS servers", "Default routes IPv4", "Default routes IPv6",
            "Egress selection (effective metric)", "Proxy / tunnel / VPN processes", "Proxy listening ports",
            "Gateway reachability", "Internet reachability", "Windows proxy (WinINET)", "WinHTTP proxy",
            "V5.2 adapter role assessment", "V5.2 proxy candidate processes (entity-level)",
            "V5.2 all local listener inventory (audit / collapsed)", "V5.2 interception drivers / services",
            "V5.2 active route/source consistency probe", "V5.2 raw interception evidence assessment"}));
    EXPECT_EQ(section_body(html, "Adapters"), R"(<div class="empty">no data</div>)");
    EXPECT_EQ(section_body(html, "V5.2 active route/source consistency probe"),
              R"(<div class="empty">no data</div>)");
    EXPECT_EQ(html.find("<details open"), std::string::npos);
}

TEST(EvidenceSections, InternetReachabilityAlwaysHasBothRows) {
    FactSnapshot s;
    const std::string body = section_body(render_evidence_sections(s), "Internet reachability");
    EXPECT_NE(body.find(cells({"223.5.5.5 (IPv4)", "FAIL", "", ""}) +
                        cells({"2400:3200::1 (IPv6)", "FAIL", "", ""})),
              std::string::npos)
        << body;
    s.internet_v6_ok = true;
    s.egress_name_v6 = "Wi-Fi";
    s.egress_source_v6 = "2001:db8::5";
    EXPECT_NE(section_body(render_evidence_sections(s), "Internet reachability")
                  .find(cells({"2400:3200::1 (IPv6)", "OK", "Wi-Fi", "2001:db8::5"})),
              std::string::npos);
    EXPECT_EQ(section_body(render_evidence_sections(s), "Internet reachability").find("ICMP echo"),
              std::string::npos);
    s.echo_refusal = "not permitted <for> this user";
    EXPECT_NE(section_body(render_evidence_sections(s), "Internet reachability")
                  .find(cells({"2400:3200::1 (IPv6)", "OK", "Wi-Fi", "2001:db8::5"}) +
                        cells({"ICMP echo", "not permitted", "not permitted &lt;for&gt; this user", ""})),
              std::string::npos);
}

TEST(EvidenceSections, AdapterAddressAndDnsTables) {
    FactSnapshot s;
    AdapterInfo wifi;
    wifi.friendly_name = "Wi-Fi";
    wifi.description = "Wireless";
    wifi.mac = "AA-BB-CC-00-11-22";
    wifi.link_speed_bps = 866'700'000;
    wifi.if_index = 9;
    wifi.oper_up = true;
    wifi.dhcp_enabled = true;
    wifi.ipv4 = {{"192.168.1.20", 24}, {"10.1.1.1", 8}};
    wifi.ipv6 = {{"fe80::1", 64}, {"2001:db8::20", 64}, {"FD00::1", 64}, {"::1", 128}, {"2001:db8::21", 64}};
    wifi.gateways = {"192.168.1.1", "fe80::1"};
    wifi.dns_servers = {"192.168.1.1", "fe80::53", "8.8.8.8"};
    AdapterInfo down;
    down.friendly_name = "Cable";
    down.if_index = 4;
    s.adapters = {wifi, down};
    const std::string html = render_evidence_sections(s);

    const std::string adapters = section_body(html, "Adapters");
    EXPECT_NE(adapters.find(cells({"UP", "Wi-Fi", "Wireless", "866.7 Mbps", "AA-BB-CC-00-11-22"}) +
                            cells({"DOWN", "Cable", "", "0 bps", ""})),
              std::string::npos)
        << adapters;
    // Adapters without addresses are left out; only global IPv6 addresses are listed.
    const std::string ip = section_body(html, "IP configuration");
    EXPECT_NE(ip.find("<tbody>" +
                      cells({"Wi-Fi", "9", "192.168.1.20, 10.1.1.1", "2001:db8::20, 2001:db8::21",
                             "192.168.1.1, fe80::1"}) +
                      "</tbody>"),
              std::string::npos)
        << ip;
    const std::string dns = section_body(html, "DNS servers");
    EXPECT_NE(dns.find("<tbody>" + cells({"Wi-Fi", "Enabled", "192.168.1.1, 8.8.8.8"}) + "</tbody>"),
              std::string::npos)
        << dns;
}

TEST(EvidenceSections, RoutesAndEgressSelection) {
    FactSnapshot s;
    AdapterInfo eth, wifi;
    eth.friendly_name = "Ethernet";
    eth.if_index = 7;
    eth.ipv4_metric = 25;
    wifi.friendly_name = "Wi-Fi";
    wifi.if_index = 9;
    wifi.ipv4_metric = 5;
    s.adapters = {eth, wifi};
    s.routes = {
        {"0.0.0.0", "192.168.1.1", 7, 0, kFamilyIpv4, 0}, {"0.0.0.0", "10.0.0.1", 9, 10, kFamilyIpv4, 0},
        {"10.0.0.0", "0.0.0.0", 9, 0, kFamilyIpv4, 8},    {"0.0.0.0", "172.16.0.1", 3, 0, kFamilyIpv4, 0},
        {"::", "fe80::1", 9, 256, kFamilyIpv6, 0},        {"::", "fe80::2", 9, 256, kFamilyIpv6, 64}};
    s.egress_if_index_v4 = 9;
    const std::string html = render_evidence_sections(s);

    EXPECT_EQ(
        section_body(html, "Default routes IPv4"),
        "<table><thead><tr><th>ifIndex</th><th>InterfaceAlias</th><th>NextHop</th><th>RouteMetric</th></tr>"
        "</thead><tbody>" +
            cells({"7", "Ethernet", "192.168.1.1", "0"}) + cells({"9", "Wi-Fi", "10.0.0.1", "10"}) +
            cells({"3", "", "172.16.0.1", "0"}) + "</tbody></table>");
    EXPECT_NE(section_body(html, "Default routes IPv6")
                  .find("<tbody>" + cells({"9", "Wi-Fi", "fe80::1", "256"}) + "</tbody>"),
              std::string::npos);
    // Effective metric = interface metric + route metric, lowest first; the selected one is marked.
    EXPECT_NE(section_body(html, "Egress selection (effective metric)")
                  .find("<tbody>" + cells({"", "0", "", "172.16.0.1", "3"}) +
                        cells({"&gt;&gt;", "15", "Wi-Fi", "10.0.0.1", "9"}) +
                        cells({"", "25", "Ethernet", "192.168.1.1", "7"}) + "</tbody>"),
              std::string::npos);
}

TEST(EvidenceSections, ProxyProcessesAndTheirListeners) {
    FactSnapshot s;
    s.proxy_like_processes = {{"mihomo.exe", "", "", 41}, {"ghost.exe", "", "", 77}};
    s.processes[41] = {"mihomo.exe", "C:\\mihomo.exe", "", 41};
    s.processes[3] = {"svchost.exe", "", "", 3};
    s.tcp_listeners = {{"127.0.0.1", "", kTcpStateListen, 41, 7890, 0},
                       {"0.0.0.0", "", kTcpStateListen, 3, 135, 0},
                       {"::", "", kTcpStateListen, 77, 1080, 0}};
    const std::string html = render_evidence_sections(s);
    EXPECT_NE(section_body(html, "Proxy / tunnel / VPN processes")
                  .find(cells({"mihomo.exe", "41", "C:\\mihomo.exe"}) + cells({"ghost.exe", "77", ""})),
              std::string::npos);
    // Only listeners of proxy-like processes; an owner missing from the process table shows "?".
    EXPECT_NE(section_body(html, "Proxy listening ports")
                  .find("<tbody>" + cells({"127.0.0.1", "7890", "mihomo.exe"}) + cells({"::", "1080", "?"}) +
                        "</tbody>"),
              std::string::npos);
}

TEST(EvidenceSections, ProxySettingBlocks) {
    FactSnapshot s;
    s.wininet_enable = true;
    s.wininet_server = "127.0.0.1:7890";
    s.wininet_override = "<local>;*.lan";
    s.wininet_autoconfig_url = "http://pac/?a=1&b=2";
    s.winhttp_text = "\nCurrent WinHTTP proxy settings:\n\n    Direct access (no proxy server).\n";
    const std::string html = render_evidence_sections(s);
    EXPECT_EQ(
        section_body(html, "Windows proxy (WinINET)"),
        R"(<div class="kv"><div><span class="k">ProxyEnable</span><span class="v">1</span></div>)"
        R"(<div><span class="k">ProxyServer</span><span class="v">127.0.0.1:7890</span></div>)"
        R"(<div><span class="k">Override</span><span class="v">&lt;local&gt;;*.lan</span></div>)"
        R"(<div><span class="k">AutoConfigURL</span><span class="v">http://pac/?a=1&amp;b=2</span></div></div>)");
    EXPECT_EQ(section_body(html, "WinHTTP proxy"), "<div class=\"mono\">" + s.winhttp_text + "</div>");
}

TEST(EvidenceSections, GatewayReachability) {
    FactSnapshot s;
    s.gateway_probes = {{"192.168.1.1", "IPv4", "OK", 7}, {"fe80::1", "IPv6", "FAIL", 7}};
    EXPECT_NE(section_body(render_evidence_sections(s), "Gateway reachability")
                  .find(cells({"192.168.1.1", "IPv4", "7", "OK"}) + cells({"fe80::1", "IPv6", "7", "FAIL"})),
              std::string::npos);
}

TEST(AssessmentSections, CellsShowEachRecordsValues) {
    FactSnapshot s;
    InterfaceAssessment tun;
    tun.name = "Meta";
    tun.role = "Tunnel";
    tun.role_confidence = 0.955;
    tun.if_index = 31;
    tun.is_virtual = true;
    tun.service = "wintun";
    tun.provider_name = "WireGuard LLC";
    tun.driver_version = "0.14.1";
    tun.inf_path = "oem42.inf";
    tun.fake_ip_addresses = "198.18.0.1";
    tun.fake_ip_dns = "198.18.0.2";
    tun.evidence = {"wintun service", "fake-IP range, 198.18.0.0/15"};
    s.adapter_assessments = {tun, InterfaceAssessment{}};

    ProcessAssessment p;
    p.process_name = "mihomo.exe";
    p.tier = "candidate";
    p.signal_digest = "SOCKS5 negotiation | x";
    p.best_score = 20.5;
    p.listener_count = 3;
    p.candidate_count = 2;
    p.protocol_confirmed_count = 1;
    p.max_live_local_clients = 4;
    p.max_remote_established = 9;
    p.pid = 41;
    s.process_assessments = {p};

    ListenerAssessment l;
    l.endpoint = "[::1]:9090";
    l.process_name = "chrome.exe";
    l.signals = "common interactive application negative prior";
    l.score = -2.5;
    l.pid = 8;
    l.common_app = true;
    s.listener_assessments = {l};

    s.vpn_drivers = {{"wintun", "Wintun Userspace Tunnel", "Running", "\\SystemRoot\\wintun.sys"}};
    s.vpn_services = {{"WireGuardTunnel$wg0", "WireGuard Tunnel: wg0", "Running", ""}};
    s.route_source_probe = RouteSourceProbe{"1.1.1.1:443", "198.18.0.1", true, 31, 7, true};
    s.intercept_level = "LIKELY";
    s.intercept_score = 6.005;
    s.intercept_reasons = {"selected default-route adapter is tunnel-like", "fake-IP DNS"};
    const std::string html = render_evidence_sections(s);

    EXPECT_NE(section_body(html, "V5.2 adapter role assessment")
                  .find("<tbody>" +
                        cells({"Tunnel", "0.96", "31", "Meta", "no", "yes", "wintun",
                               "WireGuard LLC \u00b7 0.14.1 \u00b7 oem42.inf", "198.18.0.1", "198.18.0.2",
                               "wintun service \u00b7 fake-IP range, 198.18.0.0/15"}) +
                        cells({"Other", "0.00", "0", "", "no", "no", "", "", "", "", ""}) + "</tbody>"),
              std::string::npos)
        << section_body(html, "V5.2 adapter role assessment");
    EXPECT_NE(section_body(html, "V5.2 proxy candidate processes (entity-level)")
                  .find(cells({"candidate", "41", "mihomo.exe", "20.50", "3", "2", "1", "4", "9", "no",
                               "SOCKS5 negotiation | x"})),
              std::string::npos);
    EXPECT_NE(section_body(html, "V5.2 all local listener inventory (audit / collapsed)")
                  .find(cells({"inventory", "[::1]:9090", "8", "chrome.exe", "-2.50", "0", "0", "yes",
                               "common interactive application negative prior"})),
              std::string::npos);
    EXPECT_NE(section_body(html, "V5.2 interception drivers / services")
                  .find(cells({"driver", "wintun", "Wintun Userspace Tunnel", "Running",
                               "\\SystemRoot\\wintun.sys"}) +
                        cells({"service", "WireGuardTunnel$wg0", "WireGuard Tunnel: wg0", "Running", ""})),
              std::string::npos);
    EXPECT_NE(section_body(html, "V5.2 active route/source consistency probe")
                  .find(cells({"1.1.1.1:443", "yes", "31", "7", "198.18.0.1", "yes"})),
              std::string::npos);
    EXPECT_EQ(
        section_body(html, "V5.2 raw interception evidence assessment"),
        R"(<div class="kv"><div><span class="k">Raw evidence level</span><span class="v">LIKELY</span></div>)"
        R"(<div><span class="k">Score</span><span class="v">6.01</span></div>)"
        "<div><span class=\"k\">Signals</span><span class=\"v\">selected default-route adapter is "
        "tunnel-like "
        "\u00b7 fake-IP DNS</span></div></div>");
}

TEST(AssessmentSections, ScoresKeepTwoDecimalsWhateverTheirSize) {
    const auto score_text = [](double score) {
        FactSnapshot s;
        s.intercept_score = score;
        const std::string body =
            section_body(render_evidence_sections(s), "V5.2 raw interception evidence assessment");
        const std::string head = R"(<span class="k">Score</span><span class="v">)";
        const std::size_t at = body.find(head) + head.size();
        return body.substr(at, body.find('<', at) - at);
    };
    EXPECT_EQ(score_text(1234567.891), "1234567.89");
    EXPECT_EQ(score_text(0.1), "0.10");
    EXPECT_EQ(score_text(-7), "-7.00");
    EXPECT_EQ(score_text(std::numeric_limits<double>::infinity()), "inf");
}

TEST(AssessmentSections, TinyNegativeScoresDoNotShowAMinusZero) {
    FactSnapshot s;
    s.intercept_score = -0.001;
    EXPECT_NE(section_body(render_evidence_sections(s), "V5.2 raw interception evidence assessment")
                  .find(R"(<span class="k">Score</span><span class="v">0.00</span>)"),
              std::string::npos);
}

} // namespace
} // namespace wirelux
