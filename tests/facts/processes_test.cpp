#include "facts/processes.h"

#include <gtest/gtest.h>

namespace wirelux {
namespace {

ProcessInfo process(std::uint32_t pid, std::string name) {
    ProcessInfo info;
    info.pid = pid;
    info.name = std::move(name);
    return info;
}

TEST(ProxyClientName, MatchesAnyNameThatContainsOneOfTheWords) {
    for (const char* name : {"clash-verge.exe",
                             "mihomo",
                             "surge.exe",
                             "ssrclient.exe",
                             "sing-box.exe",
                             "singbox",
                             "tailscaled",
                             "wireguard.exe",
                             "frpc.exe",
                             "nordvpn-service.exe",
                             "xray",
                             "v2rayn.exe",
                             "naiveproxy",
                             "hiddify",
                             "windscribe.exe",
                             "gost",
                             "tun2socks",
                             "natfrp-service.exe",
                             "qv2ray.exe",
                             "hysteria2"})
        EXPECT_TRUE(is_proxy_client_name(name)) << name;
    for (const char* name : {"", "chrome.exe", "svchost.exe", "sing box.exe", "explorer.exe", "code",
                             "CLASH.EXE" /* the caller lower-cases first */})
        EXPECT_FALSE(is_proxy_client_name(name)) << name;
}

TEST(RecordProcesses, KeysEveryProcessByIdAndLaterEntriesWin) {
    FactSnapshot s;
    record_processes(s, {process(4, "System"), process(100, "old.exe"), process(100, "new.exe")});
    ASSERT_EQ(s.processes.size(), 2u);
    EXPECT_EQ(s.processes.at(4).name, "System");
    EXPECT_EQ(s.processes.at(100).name, "new.exe");
    EXPECT_EQ(s.processes.at(100).pid, 100u);
}

TEST(RecordProcesses, ListsProxyLikeProcessesLowerCasedInListOrder) {
    FactSnapshot s;
    record_processes(s, {process(30, "Clash-Verge.exe"), process(31, "chrome.exe"),
                         process(12, "SSRClient.EXE"), process(30, "Clash-Verge.exe")});
    ASSERT_EQ(s.proxy_like_processes.size(), 3u);
    EXPECT_EQ(s.proxy_like_processes[0].name, "clash-verge.exe");
    EXPECT_EQ(s.proxy_like_processes[0].pid, 30u);
    EXPECT_EQ(s.proxy_like_processes[1].name, "ssrclient.exe");
    EXPECT_EQ(s.proxy_like_processes[1].pid, 12u);
    EXPECT_EQ(s.proxy_like_processes[2].pid, 30u);
    // The process table keeps the name as the system gave it.
    EXPECT_EQ(s.processes.at(30).name, "Clash-Verge.exe");
}

TEST(OwnAddresses, NormalisesEveryAddressOfEveryAdapter) {
    AdapterInfo wifi;
    wifi.ipv4 = {{"192.168.1.10", 24}};
    wifi.ipv6 = {{"FE80::1%12", 64}, {"2001:DB8:0:0::5", 64}};
    AdapterInfo loopback;
    loopback.ipv4 = {{"127.0.0.1", 8}};
    loopback.ipv6 = {{"::1", 128}};
    AdapterInfo tunnel;
    tunnel.ipv6 = {{"::ffff:198.18.0.1", 128}};
    EXPECT_EQ(
        own_addresses({wifi, loopback, tunnel}),
        (std::set<std::string>{"192.168.1.10", "fe80::1", "2001:db8::5", "127.0.0.1", "::1", "198.18.0.1"}));
    EXPECT_TRUE(own_addresses({}).empty());
}

} // namespace
} // namespace wirelux
