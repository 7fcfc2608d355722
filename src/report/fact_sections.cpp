// The plain fact tables, mirroring the console summary section by section.

#include "facts/adapter_lists.h"
#include "facts/egress_entries.h"
#include "report/report_tables.h"
#include "util/text.h"

#include <set>

namespace wirelux::report_detail {

namespace {

constexpr std::string_view kCellJoin = ", ";

void add_section(std::string& out, std::string_view summary, std::string_view body) {
    out += render_section(summary, body);
    out += '\n';
}

void add_table(std::string& out, std::string_view title, const std::vector<std::string>& headers,
               const TableRows& rows) {
    append_table_section(out, title, headers, rows);
    out += '\n';
}

std::string adapter_name(const FactSnapshot& s, std::uint32_t if_index) {
    const AdapterInfo* adapter = find_adapter(s, if_index);
    return adapter ? adapter->friendly_name : std::string();
}

TableRows adapter_rows(const FactSnapshot& s) {
    TableRows rows;
    rows.reserve(s.adapters.size());
    for (const AdapterInfo& a : s.adapters)
        rows.push_back(
            {a.oper_up ? "UP" : "DOWN", a.friendly_name, a.description, format_bps(a.link_speed_bps), a.mac});
    return rows;
}

TableRows ip_configuration_rows(const FactSnapshot& s) {
    TableRows rows;
    for (const AdapterInfo& a : s.adapters) {
        if (a.ipv4.empty() && a.ipv6.empty()) continue;
        rows.push_back({a.friendly_name, std::to_string(a.if_index), join(ipv4_address_texts(a), kCellJoin),
                        join(global_ipv6_address_texts(a), kCellJoin), join(a.gateways, kCellJoin)});
    }
    return rows;
}

TableRows dns_rows(const FactSnapshot& s) {
    TableRows rows;
    for (const AdapterInfo& a : s.adapters) {
        if (!a.oper_up) continue;
        rows.push_back(
            {a.friendly_name, a.dhcp_enabled ? "Enabled" : "Disabled", join(ipv4_dns_servers(a), kCellJoin)});
    }
    return rows;
}

TableRows default_route_rows(const FactSnapshot& s, std::uint16_t family) {
    const char* unspecified = family == kFamilyIpv4 ? "0.0.0.0" : "::";
    TableRows rows;
    for (const RouteRow& r : s.routes) {
        if (r.family != family || r.prefix_len != 0 || r.destination != unspecified) continue;
        rows.push_back({std::to_string(r.if_index), adapter_name(s, r.if_index), r.next_hop.value_or(""),
                        std::to_string(r.metric)});
    }
    return rows;
}

TableRows egress_selection_rows(const FactSnapshot& s) {
    TableRows rows;
    for (const EgressEntry& e : default_egress_entries(s))
        rows.push_back(
            {e.marker, std::to_string(e.effective_metric), e.name, e.next_hop, std::to_string(e.if_index)});
    return rows;
}

TableRows proxy_process_rows(const FactSnapshot& s) {
    TableRows rows;
    for (const ProcessInfo& p : s.proxy_like_processes) {
        std::string path = p.path;
        if (path.empty()) {
            const auto known = s.processes.find(p.pid);
            if (known != s.processes.end()) path = known->second.path;
        }
        rows.push_back({p.name, std::to_string(p.pid), path});
    }
    return rows;
}

TableRows proxy_listener_rows(const FactSnapshot& s) {
    std::set<std::uint32_t> proxy_pids;
    for (const ProcessInfo& p : s.proxy_like_processes)
        proxy_pids.insert(p.pid);
    TableRows rows;
    for (const TcpRow& l : s.tcp_listeners) {
        if (proxy_pids.count(l.pid) == 0) continue;
        const auto owner = s.processes.find(l.pid);
        rows.push_back({l.local_address, std::to_string(l.local_port),
                        owner != s.processes.end() ? owner->second.name : "?"});
    }
    return rows;
}

TableRows gateway_rows(const FactSnapshot& s) {
    TableRows rows;
    for (const GatewayProbe& g : s.gateway_probes)
        rows.push_back(
            {g.gateway, g.family_word, std::to_string(g.if_index), g.status == "OK" ? "OK" : "FAIL"});
    return rows;
}

TableRows internet_rows(const FactSnapshot& s) {
    TableRows rows = {
        {"223.5.5.5 (IPv4)", s.internet_v4_ok ? "OK" : "FAIL", s.egress_name_v4.value_or(""),
         s.egress_source_v4.value_or("")},
        {"2400:3200::1 (IPv6)", s.internet_v6_ok ? "OK" : "FAIL", s.egress_name_v6.value_or(""),
         s.egress_source_v6.value_or("")},
    };
    // FAIL above may then mean only that nothing could be sent.
    if (s.echo_refusal) rows.push_back({"ICMP echo", "not permitted", *s.echo_refusal, ""});
    return rows;
}

void append_kv(std::string& out, std::string_view key, std::string_view escaped_value) {
    out += R"(<div><span class="k">)";
    out += key;
    out += R"(</span><span class="v">)";
    out += escaped_value;
    out += "</span></div>";
}

std::string wininet_block(const FactSnapshot& s) {
    std::string out = R"(<div class="kv">)";
    append_kv(out, "ProxyEnable", s.wininet_enable ? "1" : "0");
    append_kv(out, "ProxyServer", html_escape(s.wininet_server));
    append_kv(out, "Override", html_escape(s.wininet_override));
    append_kv(out, "AutoConfigURL", html_escape(s.wininet_autoconfig_url));
    out += "</div>";
    return out;
}

} // namespace

void append_fact_sections(std::string& out, const FactSnapshot& s) {
    const std::vector<std::string> route_headers{"ifIndex", "InterfaceAlias", "NextHop", "RouteMetric"};
    add_table(out, "Adapters", {"State", "Name", "Desc", "Speed", "MAC"}, adapter_rows(s));
    add_table(out, "IP configuration", {"Interface", "ifIndex", "IPv4", "IPv6", "Gateway"},
              ip_configuration_rows(s));
    add_table(out, "DNS servers", {"Interface", "DHCP", "DNS"}, dns_rows(s));
    add_table(out, "Default routes IPv4", route_headers, default_route_rows(s, kFamilyIpv4));
    add_table(out, "Default routes IPv6", route_headers, default_route_rows(s, kFamilyIpv6));
    add_table(out, "Egress selection (effective metric)",
              {"Selected", "Effective", "Interface", "NextHop", "ifIndex"}, egress_selection_rows(s));
    add_table(out, "Proxy / tunnel / VPN processes", {"Name", "Id", "Path"}, proxy_process_rows(s));
    add_table(out, "Proxy listening ports", {"Addr", "LocalPort", "Process"}, proxy_listener_rows(s));
    add_table(out, "Gateway reachability", {"Gateway", "Family", "IfIndex", "Ping"}, gateway_rows(s));
    add_table(out, "Internet reachability", {"Dest", "Result", "Egress", "Src"}, internet_rows(s));
    add_section(out, "Windows proxy (WinINET)", wininet_block(s));
    add_section(out, "WinHTTP proxy", R"(<div class="mono">)" + html_escape(s.winhttp_text) + "</div>");
}

} // namespace wirelux::report_detail
