#include "run/console_summary.h"

#include "facts/adapter_lists.h"
#include "facts/egress_entries.h"
#include "facts/if_type_word.h"
#include "model/campus_facts.h"
#include "platform/console.h"
#include "platform/process_query.h"
#include "util/text.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace wirelux {

namespace {

constexpr const char* kInternetTargetV4Label = "  223.5.5.5   IPv4 : ";
constexpr const char* kInternetTargetV6Label = "  2400:3200::1 IPv6 : ";
constexpr const char* kCampusPortalLabel = "  Portal 10.0.0.55 HTTP : ";
constexpr const char* kCampusLoginLabel = "  Login 10.0.0.55 rad_user_info : ";
constexpr const char* kCampusApiLabel = "  API 10.0.0.54:8800 HTTP : ";

// Summary text under construction, with the few line shapes every section shares.
class Summary {
public:
    void banner(std::string_view title) {
        const std::string rule(30, '=');
        text_ += "\n" + rule + "\n  ";
        text_ += title;
        text_ += "\n" + rule + "\n";
    }
    void line(std::string_view content) {
        text_ += content;
        text_ += '\n';
    }
    // A probe label whose line is ended by its status word.
    void status(std::string_view label, bool passed) {
        text_ += label;
        text_ += passed ? "OK\n" : "FAIL\n";
    }
    void raw(std::string_view bytes) { text_ += bytes; }
    std::string take() { return std::move(text_); }

private:
    std::string text_;
};

constexpr std::string_view kListJoin = ", ";

// Every collected text is printed through these: a value from the machine or the network may hold
// control characters or be very long (the program's own texts are printed as they are).
std::string shown(std::string_view value) { return console_value(value); }

std::string shown_list(const std::vector<std::string>& values) {
    return join(values, kListJoin, [](const std::string& value) { return shown(value); });
}

std::string value_or_empty(const std::optional<std::string>& value) {
    return value ? shown(*value) : std::string();
}

std::string adapter_name(const FactSnapshot& snapshot, std::uint32_t if_index) {
    const AdapterInfo* adapter = find_adapter(snapshot, if_index);
    return adapter ? shown(adapter->friendly_name) : std::string();
}

bool is_default_route(const RouteRow& route, std::uint16_t family) {
    const char* unspecified = family == kFamilyIpv4 ? "0.0.0.0" : "::";
    return route.family == family && route.prefix_len == 0 && route.destination == unspecified;
}

void physical_links(Summary& out, const FactSnapshot& snapshot) {
    out.banner("1. Physical links & tunnels");
    out.line(pad_right("State", 6) + " " + pad_right("Name", 34) + " " + pad_right("MediaType", 15) + " " +
             pad_right("Speed", 10) + " Description");
    for (const AdapterInfo& a : snapshot.adapters) {
        out.line(pad_right(a.oper_up ? "[x]" : "[ ]", 6) + " " + pad_right(shown(a.friendly_name), 34) + " " +
                 pad_right(if_type_word(a.if_type), 15) + " " + pad_right(format_bps(a.link_speed_bps), 10) +
                 " " + shown(a.description));
    }
    out.line("  [x] = Up   [ ] = Down");
}

void ip_config(Summary& out, const FactSnapshot& snapshot) {
    out.banner("2. IP config (IPv4 / public IPv6 / Gateway)");
    for (const AdapterInfo& a : snapshot.adapters) {
        if (a.ipv4.empty() && a.ipv6.empty()) continue;
        out.line("  " + shown(a.friendly_name) + "  (ifIndex " + std::to_string(a.if_index) + ")");
        const std::vector<std::string> v4 = ipv4_address_texts(a);
        const std::vector<std::string> v6 = global_ipv6_address_texts(a);
        if (!v4.empty()) out.line("    IPv4      : " + shown_list(v4));
        if (!v6.empty()) out.line("    IPv6(glob): " + shown_list(v6));
        if (!a.gateways.empty()) out.line("    Gateway   : " + shown_list(a.gateways));
    }
}

void dns_servers(Summary& out, const FactSnapshot& snapshot) {
    out.banner("3. DNS servers");
    out.line(pad_right("Interface", 34) + " " + pad_right("DHCP", 10) + " DNS");
    for (const AdapterInfo& a : snapshot.adapters) {
        if (!a.oper_up) continue;
        out.line(pad_right(shown(a.friendly_name), 34) + " " +
                 pad_right(a.dhcp_enabled ? "Enabled" : "Disabled", 10) + " " + shown_list(ipv4_dns_servers(a)));
    }
}

void wininet_proxy(Summary& out, const FactSnapshot& snapshot) {
    out.banner("4. Windows proxy (WinINET)");
    out.line(std::string("  ProxyEnable   : ") + (snapshot.wininet_enable ? "1" : "0"));
    out.line("  ProxyServer   : " + shown(snapshot.wininet_server));
    out.line("  ProxyOverride : " + shown(snapshot.wininet_override));
    out.line("  AutoConfigURL : " + shown(snapshot.wininet_autoconfig_url));
    out.line(std::string("  AutoDetect    : ") + (snapshot.wininet_autodetect ? "1" : "0"));
}

void winhttp_proxy(Summary& out, const FactSnapshot& snapshot) {
    out.banner("5. WinHTTP proxy");
    out.raw(console_lines(snapshot.winhttp_text));
}

void default_routes(Summary& out, const FactSnapshot& snapshot) {
    out.banner("6. Default routes");
    for (const std::uint16_t family : {kFamilyIpv4, kFamilyIpv6}) {
        out.line(family == kFamilyIpv4 ? "  IPv4:" : "  IPv6:");
        for (const RouteRow& route : snapshot.routes) {
            if (!is_default_route(route, family)) continue;
            out.line("    ifIndex " + pad_right(std::to_string(route.if_index), 4) + " " +
                     pad_right(adapter_name(snapshot, route.if_index), 34) + " " +
                     pad_right(value_or_empty(route.next_hop), 16) + " metric " +
                     std::to_string(route.metric));
        }
    }
}

void egress_line(Summary& out, const char* family_word, const std::optional<BestRoute>& best,
                 const std::optional<std::string>& name, const std::optional<std::string>& gateway) {
    const std::string head = std::string("  ") + family_word + " egress -> ";
    if (!best) {
        out.line(head + "none");
        return;
    }
    out.line(head + value_or_empty(name) + " (ifIndex " + std::to_string(best->if_index) + ")  src " +
             shown(best->source_address) + "  via " + value_or_empty(gateway));
}

void default_egress(Summary& out, const FactSnapshot& snapshot) {
    out.banner("6b. Default egress (effective metric, lower wins)");
    for (const EgressEntry& e : default_egress_entries(snapshot)) {
        out.line("    " + pad_right(e.marker, 3) + " " + pad_right(std::to_string(e.effective_metric), 6) +
                 " " + pad_right(shown(e.name), 34) + " " + pad_right(shown(e.next_hop), 16) + " ifIndex " +
                 std::to_string(e.if_index));
    }
    egress_line(out, "IPv4", snapshot.best_route_v4, snapshot.egress_name_v4, snapshot.gateway_v4);
    egress_line(out, "IPv6", snapshot.best_route_v6, snapshot.egress_name_v6, snapshot.gateway_v6);
}

void proxy_processes(Summary& out, const FactSnapshot& snapshot, const ImagePathLookup& image_path_of) {
    out.banner("7. Proxy / Tunnel / VPN processes");
    if (snapshot.proxy_like_processes.empty()) {
        out.line("  none found");
        return;
    }
    for (const ProcessInfo& p : snapshot.proxy_like_processes)
        out.line("  " + pad_right(shown(p.name), 28) + " " + pad_right(std::to_string(p.pid), 8) + " " +
                 shown(image_path_of(p.pid)));
}

void listening_ports(Summary& out, const FactSnapshot& snapshot) {
    out.banner("8. Local listening ports (all owners; proxy scoring later)");
    if (snapshot.tcp_listeners.empty()) {
        out.line("  none found");
        return;
    }
    for (const TcpRow& row : snapshot.tcp_listeners) {
        const auto owner = snapshot.processes.find(row.pid);
        out.line("  " + pad_right(shown(row.local_address), 40) + " " +
                 pad_right(std::to_string(row.local_port), 8) + " " + pad_right(std::to_string(row.pid), 8) +
                 " " + (owner != snapshot.processes.end() ? shown(owner->second.name) : std::string("?")));
    }
}

void gateway_reachability(Summary& out, const FactSnapshot& snapshot) {
    out.banner("9. Gateway reachability");
    for (const GatewayProbe& probe : snapshot.gateway_probes) {
        out.line("  " + pad_right(shown(probe.gateway), 39) + " " + pad_right(probe.family_word, 6) +
                 " ifIndex " + pad_right(std::to_string(probe.if_index), 4) + " " + probe.status);
    }
}

void internet_reachability(Summary& out, const FactSnapshot& snapshot) {
    out.banner("10. Internet reachability (IPv4 / IPv6)");
    out.status(kInternetTargetV4Label, snapshot.internet_v4_ok);
    out.line("      egress -> " + value_or_empty(snapshot.egress_name_v4) + "  src " +
             value_or_empty(snapshot.egress_source_v4));
    out.status(kInternetTargetV6Label, snapshot.internet_v6_ok);
    out.line("      egress -> " + value_or_empty(snapshot.egress_name_v6) + "  src " +
             value_or_empty(snapshot.egress_source_v6));
}

void campus_infra(Summary& out, const CampusFacts& campus) {
    out.banner("11. KAM campus infra (KamConnected targets)");
    for (const char* target : kCampusTargets) {
        const auto reached = campus.reachable.find(target);
        out.status("  " + pad_right(target, 16), reached != campus.reachable.end() && reached->second);
        const auto route = campus.route.find(target);
        out.line("      via " + (route != campus.route.end() ? shown(route->second) : std::string("none")));
    }

    out.status(kCampusPortalLabel, campus.portal_ok);
    out.line("      title = " + shown(campus.portal_title));

    out.status(kCampusLoginLabel, campus.login.recognized);
    if (campus.login.recognized) {
        out.line("      id = " + shown(campus.login.user_name) + "   ip = " + shown(campus.login.online_ip) +
                 "   sum_bytes = " + shown(campus.login.sum_bytes) +
                 "   sum_seconds = " + shown(campus.login.sum_seconds));
    } else {
        out.line("      (unrecognized response shape)");
    }

    const struct {
        const char* resolver;
        const std::optional<DnsProbeResult>& result;
        const std::string& kind;
    } resolvers[] = {{kCampusResolvers[0], campus.dns_primary, campus.dns_primary_kind},
                     {kCampusResolvers[1], campus.dns_backup, campus.dns_backup_kind}};
    for (const auto& r : resolvers) {
        out.status("  DNS " + pad_right(r.resolver, 16), r.result && r.result->ok);
        out.line("      -> " + (r.result ? shown(r.result->answer) : std::string()) +
                 (r.kind == "proxy" ? " [proxy-intercepted]" : ""));
    }

    out.status(kCampusApiLabel, campus.api_reachable);
    if (campus.api_status != 0) {
        out.line("      status = " + std::to_string(campus.api_status));
    } else {
        out.line("      (fallback: tcp probe)");
    }
}

} // namespace

std::string build_console_summary(const FactSnapshot& snapshot, const ImagePathLookup& image_path_of) {
    Summary out;
    physical_links(out, snapshot);
    ip_config(out, snapshot);
    dns_servers(out, snapshot);
    wininet_proxy(out, snapshot);
    winhttp_proxy(out, snapshot);
    default_routes(out, snapshot);
    default_egress(out, snapshot);
    proxy_processes(out, snapshot, image_path_of);
    listening_ports(out, snapshot);
    gateway_reachability(out, snapshot);
    internet_reachability(out, snapshot);
    campus_infra(out, snapshot.campus);
    return out.take();
}

void print_console_summary(const FactSnapshot& snapshot, Redaction& redaction) {
    platform::write_stdout(build_console_summary(snapshot, [&](std::uint32_t pid) {
        return redaction.text(platform::query_process(pid).image_path);
    }));
}

} // namespace wirelux
