#include "report/egress_chain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wirelux {
namespace {

std::vector<std::string> titles(const std::vector<ChainBlock>& blocks) {
    std::vector<std::string> out;
    for (const ChainBlock& b : blocks)
        out.push_back(b.title);
    return out;
}

// The rows as "key=value" with the value still escaped, which is what the page shows.
std::vector<std::string> rows(const ChainBlock& b) {
    std::vector<std::string> out;
    for (const std::string& row : b.rows) {
        const std::string k = R"(<span class="k">)", v = R"(</span><span class="v">)";
        const std::size_t kv = row.find(v);
        out.push_back(row.substr(k.size(), kv - k.size()) + "=" +
                      row.substr(kv + v.size(), row.size() - kv - v.size() - 7));
    }
    return out;
}

PhysicalCandidate carrier() {
    PhysicalCandidate c;
    c.name = "Ethernet";
    c.if_index = 7;
    c.ipv4_text = "192.168.1.20";
    c.gateway = "192.168.1.1";
    return c;
}

FactSnapshot home_network() {
    FactSnapshot s;
    s.physical_candidates = {carrier()};
    s.physical_gateway = "192.168.1.1";
    s.best_route_v4 = BestRoute{"192.168.1.1", "192.168.1.20", 7, kFamilyIpv4};
    s.egress_if_index_v4 = 7;
    s.egress_name_v4 = "Ethernet";
    s.egress_source_v4 = "192.168.1.20";
    s.internet_v4_ok = true;
    return s;
}

FactSnapshot tunnel_network() {
    FactSnapshot s = home_network();
    AdapterInfo tun;
    tun.friendly_name = "Meta & <TUN>";
    tun.if_index = 31;
    tun.dns_servers = {"198.18.0.2", "fdfe:dcba:9876::1", "1.1.1.1"};
    s.adapters.push_back(tun);
    s.egress_adapter_v4 = tun;
    s.egress_if_index_v4 = 31;
    s.egress_name_v4 = tun.friendly_name;
    s.egress_source_v4 = "198.18.0.1";
    s.egress_source_cidr_v4 = "198.18.0.1/30";
    s.best_route_v4 = BestRoute{"", "198.18.0.1", 31, kFamilyIpv4};
    s.best_route_v6 = BestRoute{"", "fdfe:dcba:9876::1", 31, kFamilyIpv6};
    s.egress_source_v6 = "fdfe:dcba:9876::1";
    s.gateway_v4 = "198.18.0.2";
    s.egress_tunnel_like = true;
    return s;
}

TEST(EgressChain, WithoutTunnelOrCoreHasFourLinkedBlocks) {
    const PingCache pings{{"192.168.1.1", EchoResult{true, 2}}};
    const std::vector<ChainBlock> blocks = default_egress_blocks(home_network(), pings);
    EXPECT_EQ(titles(blocks),
              (std::vector<std::string>{"Applications", "Physical NIC", "LAN Gateway", "Internet / ISP"}));
    const std::vector<RenderedBlock> linked = link_blocks(blocks, "Ethernet");
    for (std::size_t i = 0; i < linked.size(); ++i) {
        EXPECT_EQ(linked[i].height, i);
        // Only blocks with an id can be selected, and none of these has one.
        EXPECT_FALSE(linked[i].selected);
    }

    EXPECT_EQ(blocks[0].sub, "local user apps & system traffic");
    EXPECT_EQ(rows(blocks[0]), (std::vector<std::string>{"traffic=all local TCP/UDP"}));
    EXPECT_EQ(blocks[0].status, "");
    EXPECT_EQ(blocks[1].sub, "upstream carrier");
    EXPECT_EQ(rows(blocks[1]), (std::vector<std::string>{"adapter=Ethernet", "ifIndex=7", "IPv4=192.168.1.20",
                                                         "gateway=192.168.1.1"}));
    EXPECT_EQ(blocks[1].status, "OK");
    EXPECT_EQ(blocks[2].sub, "first hop to ISP");
    EXPECT_EQ(rows(blocks[2]), (std::vector<std::string>{"address=192.168.1.1", "ping=reachable"}));
    EXPECT_EQ(blocks[2].status, "OK");
    EXPECT_EQ(blocks[3].sub, "IPv4 reachability");
    EXPECT_EQ(rows(blocks[3]),
              (std::vector<std::string>{"probe=223.5.5.5", "egress=Ethernet", "src=192.168.1.20"}));
    EXPECT_EQ(blocks[3].status, "OK");
}

TEST(EgressChain, GatewayPingComesFromTheCache) {
    FactSnapshot s = home_network();
    // Not in the cache, or answered with failure: timeout.
    for (const PingCache& pings : {PingCache{}, PingCache{{"192.168.1.1", EchoResult{false, -1}}}}) {
        const ChainBlock gw = default_egress_blocks(s, pings)[2];
        EXPECT_EQ(rows(gw), (std::vector<std::string>{"address=192.168.1.1", "ping=timeout"}));
        EXPECT_EQ(gw.status, "FAIL");
    }
    // Without a physical gateway only the ping row remains, and it cannot be reachable even if
    // some other target answered.
    s.physical_gateway.reset();
    const ChainBlock gw = default_egress_blocks(s, {{"", EchoResult{true, 1}}})[2];
    EXPECT_EQ(rows(gw), (std::vector<std::string>{"ping=timeout"}));
    EXPECT_EQ(gw.status, "FAIL");
}

TEST(EgressChain, MissingCarrierAndOfflineInternetFail) {
    FactSnapshot s;
    const std::vector<ChainBlock> blocks = default_egress_blocks(s, {});
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_TRUE(blocks[1].rows.empty());
    EXPECT_EQ(blocks[1].status, "FAIL");
    EXPECT_EQ(rows(blocks[3]), (std::vector<std::string>{"probe=223.5.5.5"}));
    EXPECT_EQ(blocks[3].status, "FAIL");
}

TEST(EgressChain, TunnelEgressAddsTheSelectableTunnelBlock) {
    const FactSnapshot s = tunnel_network();
    const std::vector<ChainBlock> blocks = default_egress_blocks(s, {});
    ASSERT_EQ(blocks.size(), 5u);
    const ChainBlock& tun = blocks[1];
    EXPECT_EQ(tun.id, "Meta & <TUN>");
    EXPECT_EQ(tun.title, "Meta & <TUN> TUN");
    EXPECT_EQ(tun.sub, "selected default route (tunnel)");
    EXPECT_EQ(rows(tun),
              (std::vector<std::string>{"IPv4=198.18.0.1/30", "IPv6=fdfe:dcba:9876::1", "ifIndex=31",
                                        "via=198.18.0.2", "DNS=198.18.0.2 1.1.1.1"}));
    EXPECT_EQ(tun.status, "OK");

    const std::vector<RenderedBlock> linked = link_blocks(blocks, *s.egress_name_v4);
    EXPECT_TRUE(linked[1].selected);
    EXPECT_EQ(render_block(linked[1]).rfind("<div class=\"block selected\">", 0), 0u);
    EXPECT_EQ(render_block(linked[2]).rfind("<div class=\"block\">", 0), 0u);
}

TEST(EgressChain, TunnelRowsOnlyWhenTheirFactsExist) {
    FactSnapshot s = tunnel_network();
    s.best_route_v6->if_index = 12; // IPv6 leaves elsewhere
    s.gateway_v4.reset();
    s.egress_source_cidr_v4.reset();
    s.egress_adapter_v4->dns_servers = {"fe80::1"};
    EXPECT_EQ(rows(default_egress_blocks(s, {})[1]), (std::vector<std::string>{"ifIndex=31"}));

    // Tunnel-like but without a best route: no tunnel block.
    s.best_route_v4.reset();
    EXPECT_EQ(default_egress_blocks(s, {}).size(), 4u);
}

TEST(EgressChain, ProxyCoreFollowsTheTunnel) {
    FactSnapshot s = tunnel_network();
    s.proxy_like_processes = {
        {"clash-verge.exe", "", "", 40}, {"mihomo.exe", "", "", 41}, {"v2rayn.exe", "", "", 42}};
    s.processes[41] = {"mihomo.exe", "C:\\Apps\\mihomo.exe", "", 41};
    s.tcp_listeners = {{"127.0.0.1", "", kTcpStateListen, 41, 9090, 0},
                       {"127.0.0.1", "", kTcpStateListen, 41, 7890, 0},
                       {"::1", "", kTcpStateListen, 41, 7890, 0},
                       {"127.0.0.1", "", kTcpStateListen, 42, 10808, 0}};
    s.core_pids = {41};

    std::vector<ChainBlock> blocks = default_egress_blocks(s, {});
    EXPECT_EQ(titles(blocks), (std::vector<std::string>{"Applications", "Meta & <TUN> TUN", "mihomo.exe",
                                                        "Physical NIC", "LAN Gateway", "Internet / ISP"}));
    EXPECT_EQ(blocks[2].sub, "proxy core process");
    EXPECT_EQ(rows(blocks[2]),
              (std::vector<std::string>{"PID=41", "path=C:\\Apps\\mihomo.exe", "listen=7890 9090"}));
    EXPECT_EQ(blocks[2].id, "");

    // Without a runtime record the core that listens wins over the first match.
    s.core_pids.clear();
    EXPECT_EQ(chain_proxy_core(s)->pid, 41u);
    s.tcp_listeners.clear();
    EXPECT_EQ(chain_proxy_core(s)->pid, 40u);
    blocks = default_egress_blocks(s, {});
    EXPECT_EQ(rows(blocks[2]), (std::vector<std::string>{"PID=40"}));
}

TEST(EgressChain, ProxyCoreNeedsAMatchingNameAndTrafficRoutedToIt) {
    FactSnapshot s = home_network();
    s.proxy_like_processes = {{"mihomo.exe", "", "", 41}};
    // A core that merely runs is not on the default path.
    EXPECT_EQ(chain_proxy_core(s), nullptr);
    EXPECT_EQ(default_egress_blocks(s, {}).size(), 4u);
    // The system proxy sends traffic to it.
    s.wininet_active = true;
    ASSERT_NE(chain_proxy_core(s), nullptr);
    EXPECT_EQ(titles(default_egress_blocks(s, {}))[1], "mihomo.exe");
    // Proxy-like, but not a core.
    s.proxy_like_processes = {{"openvpn.exe", "", "", 50}, {"privoxy.exe", "", "", 51}};
    EXPECT_EQ(chain_proxy_core(s), nullptr);
    for (const char* name :
         {"xray.exe", "SING-BOX.EXE", "singbox", "gost", "trojan-go.exe", "hysteria2.exe", "v2ray"}) {
        s.proxy_like_processes = {{name, "", "", 60}};
        EXPECT_NE(chain_proxy_core(s), nullptr) << name;
    }
}

} // namespace
} // namespace wirelux
