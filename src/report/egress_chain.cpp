#include "report/egress_chain.h"

#include "facts/adapter_lists.h"
#include "util/text.h"

#include <array>
#include <set>
#include <string_view>

namespace wirelux {

namespace {

constexpr std::array<std::string_view, 9> kCoreWords{"mihomo",  "xray", "v2ray",  "clash",   "sing-box",
                                                     "singbox", "gost", "trojan", "hysteria"};

bool is_core_name(std::string_view name) {
    const std::string lower = to_lower_ascii(name);
    for (const std::string_view word : kCoreWords)
        if (lower.find(word) != std::string::npos) return true;
    return false;
}

void add_row_if(ChainBlock& block, std::string_view key, const std::optional<std::string>& value) {
    if (value && !value->empty()) block.rows.push_back(kv_row(key, *value));
}

ChainBlock applications_block() {
    ChainBlock b;
    b.title = "Applications";
    b.sub = "local user apps & system traffic";
    b.rows.push_back(kv_row("traffic", "all local TCP/UDP"));
    return b;
}

ChainBlock tunnel_block(const FactSnapshot& s) {
    ChainBlock b;
    b.id = s.egress_name_v4.value_or("");
    b.title = b.id + " TUN";
    b.sub = "selected default route (tunnel)";
    add_row_if(b, "IPv4", s.egress_source_cidr_v4);
    if (s.best_route_v6 && s.best_route_v6->if_index == s.egress_if_index_v4)
        add_row_if(b, "IPv6", s.egress_source_v6);
    b.rows.push_back(kv_row("ifIndex", std::to_string(s.egress_if_index_v4)));
    add_row_if(b, "via", s.gateway_v4);
    if (s.egress_adapter_v4) {
        const std::vector<std::string> v4 = ipv4_dns_servers(*s.egress_adapter_v4);
        if (!v4.empty()) b.rows.push_back(kv_row("DNS", join(v4, " ")));
    }
    b.status = "OK";
    return b;
}

ChainBlock proxy_core_block(const FactSnapshot& s, const ProcessInfo& core) {
    ChainBlock b;
    b.title = core.name.empty() ? "proxy core" : core.name;
    b.sub = "proxy core process";
    b.rows.push_back(kv_row("PID", std::to_string(core.pid)));
    std::string path = core.path;
    if (path.empty()) {
        const auto known = s.processes.find(core.pid);
        if (known != s.processes.end()) path = known->second.path;
    }
    if (!path.empty()) b.rows.push_back(kv_row("path", path));
    std::set<std::uint16_t> ports;
    for (const TcpRow& listener : s.tcp_listeners)
        if (listener.pid == core.pid) ports.insert(listener.local_port);
    if (!ports.empty()) {
        std::string listen;
        for (const std::uint16_t port : ports) {
            if (!listen.empty()) listen += ' ';
            listen += std::to_string(port);
        }
        b.rows.push_back(kv_row("listen", listen));
    }
    return b;
}

ChainBlock physical_nic_block(const FactSnapshot& s) {
    ChainBlock b;
    b.title = "Physical NIC";
    b.sub = "upstream carrier";
    if (s.physical_candidates.empty()) {
        b.status = "FAIL";
        return b;
    }
    // The collector ranks the carriers best first, IPv4 before IPv6; the chain follows its choice.
    const PhysicalCandidate& nic = s.physical_candidates.front();
    if (!nic.name.empty()) b.rows.push_back(kv_row("adapter", nic.name));
    b.rows.push_back(kv_row("ifIndex", std::to_string(nic.if_index)));
    if (!nic.ipv4_text.empty()) b.rows.push_back(kv_row("IPv4", nic.ipv4_text));
    if (!nic.gateway.empty()) b.rows.push_back(kv_row("gateway", nic.gateway));
    b.status = "OK";
    return b;
}

ChainBlock lan_gateway_block(const FactSnapshot& s, const PingCache& pings) {
    ChainBlock b;
    b.title = "LAN Gateway";
    b.sub = "first hop to ISP";
    bool reachable = false;
    if (s.physical_gateway && !s.physical_gateway->empty()) {
        b.rows.push_back(kv_row("address", *s.physical_gateway));
        const auto echo = pings.find(*s.physical_gateway);
        reachable = echo != pings.end() && echo->second.ok;
    }
    b.rows.push_back(kv_row("ping", reachable ? "reachable" : "timeout"));
    b.status = reachable ? "OK" : "FAIL";
    return b;
}

ChainBlock internet_block(const FactSnapshot& s) {
    ChainBlock b;
    b.title = "Internet / ISP";
    b.sub = "IPv4 reachability";
    b.rows.push_back(kv_row("probe", "223.5.5.5"));
    add_row_if(b, "egress", s.egress_name_v4);
    add_row_if(b, "src", s.egress_source_v4);
    b.status = s.internet_v4_ok ? "OK" : "FAIL";
    return b;
}

} // namespace

const ProcessInfo* chain_proxy_core(const FactSnapshot& s) {
    // Traffic reaches a core only when something routes it there: a tunnel as the default route or
    // the system proxy setting. A core that merely runs is left to the tables and the graph.
    if (!s.egress_tunnel_like && !s.wininet_active) return nullptr;
    std::set<std::uint32_t> listening_pids;
    for (const TcpRow& listener : s.tcp_listeners)
        listening_pids.insert(listener.pid);
    // Preference: a core whose runtime was read, then one that listens, then the first one found.
    const ProcessInfo* first = nullptr;
    const ProcessInfo* listening = nullptr;
    for (const ProcessInfo& p : s.proxy_like_processes) {
        if (!is_core_name(p.name)) continue;
        if (s.core_pids.count(p.pid) != 0) return &p;
        if (!first) first = &p;
        if (!listening && listening_pids.count(p.pid) != 0) listening = &p;
    }
    return listening ? listening : first;
}

std::vector<ChainBlock> default_egress_blocks(const FactSnapshot& s, const PingCache& pings) {
    std::vector<ChainBlock> blocks;
    blocks.reserve(6);
    blocks.push_back(applications_block());
    if (s.egress_tunnel_like && s.best_route_v4) blocks.push_back(tunnel_block(s));
    if (const ProcessInfo* core = chain_proxy_core(s)) blocks.push_back(proxy_core_block(s, *core));
    blocks.push_back(physical_nic_block(s));
    blocks.push_back(lan_gateway_block(s, pings));
    blocks.push_back(internet_block(s));
    return blocks;
}

} // namespace wirelux
