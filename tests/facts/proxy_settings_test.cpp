#include "facts/proxy_settings.h"

#include <gtest/gtest.h>

namespace wirelux {
namespace {

TcpRow listener(std::string address, std::uint16_t port, std::uint32_t pid) {
    TcpRow row;
    row.local_address = std::move(address);
    row.local_port = port;
    row.state = kTcpStateListen;
    row.pid = pid;
    return row;
}

ProcessInfo process(std::uint32_t pid, std::string name) {
    ProcessInfo info;
    info.pid = pid;
    info.name = std::move(name);
    return info;
}

FactSnapshot with_proxy(std::string server) {
    FactSnapshot s;
    InternetSettings settings;
    settings.proxy_enable = 1;
    settings.proxy_server = std::move(server);
    apply_internet_settings(s, settings);
    return s;
}

TEST(InternetSettingsValues, FillTheWinInetFields) {
    FactSnapshot s;
    InternetSettings settings;
    settings.proxy_enable = 1;
    settings.auto_detect = 5;
    settings.proxy_server = "127.0.0.1:7890";
    settings.proxy_override = "localhost;127.*;<local>";
    apply_internet_settings(s, settings);
    EXPECT_TRUE(s.wininet_enable);
    EXPECT_TRUE(s.wininet_autodetect);
    EXPECT_TRUE(s.wininet_active);
    EXPECT_EQ(s.wininet_server, "127.0.0.1:7890");
    EXPECT_EQ(s.wininet_override, "localhost;127.*;<local>");
    EXPECT_EQ(s.wininet_autoconfig_url, "");

    settings.proxy_enable.reset(); // a server without ProxyEnable is not in use
    apply_internet_settings(s, settings);
    EXPECT_FALSE(s.wininet_enable);
    EXPECT_FALSE(s.wininet_active);
}

TEST(InternetSettingsValues, EnabledWithoutServerIsNotActiveAndHasNoEndpoints) {
    FactSnapshot s = with_proxy("");
    EXPECT_TRUE(s.wininet_enable);
    EXPECT_FALSE(s.wininet_active);
    find_wininet_endpoint_owners(s);
    EXPECT_TRUE(s.wininet_endpoints.empty());
    EXPECT_FALSE(s.wininet_unowned);
}

std::vector<std::pair<std::string, std::uint16_t>> pieces(std::string_view server) {
    std::vector<std::pair<std::string, std::uint16_t>> list;
    for (const WinInetEndpoint& e : wininet_endpoints(server))
        list.emplace_back(e.text, e.port);
    return list;
}

TEST(WinInetEndpoints, OnePerPortInEachPieceThatNamesAPort) {
    using List = std::vector<std::pair<std::string, std::uint16_t>>;
    EXPECT_EQ(pieces("127.0.0.1:7890"), (List{{"127.0.0.1:7890", 7890}}));
    EXPECT_EQ(pieces("http=127.0.0.1:7890;https=127.0.0.1:7890"),
              (List{{"http=127.0.0.1:7890", 7890}, {"https=127.0.0.1:7890", 7890}}));
    EXPECT_EQ(pieces(" socks=127.0.0.1:1080 ; ;ftp=proxy;"), (List{{"socks=127.0.0.1:1080", 1080}}));
    EXPECT_EQ(pieces("127.0.0.1:99999;127.0.0.1:8080"), (List{{"127.0.0.1:8080", 8080}}));
    EXPECT_EQ(pieces("[::1]:1080"), (List{{"[::1]:1080", 1080}}));
    EXPECT_EQ(pieces("proxy.corp:8080"), (List{{"proxy.corp:8080", 8080}}));
    EXPECT_EQ(pieces("127.0.0.1:1"), List{}); // one digit is no port here
    EXPECT_EQ(pieces(""), List{});
}

TEST(WinInetOwner, NamesTheProcessListeningOnTheProxyPort) {
    FactSnapshot s = with_proxy("127.0.0.1:7890");
    s.tcp_listeners = {listener("0.0.0.0", 80, 4), listener("127.0.0.1", 7890, 4242)};
    s.processes = {{4242, process(4242, "mihomo.exe")}, {4, process(4, "System")}};
    find_wininet_endpoint_owners(s);
    ASSERT_EQ(s.wininet_endpoints.size(), 1u);
    EXPECT_EQ(s.wininet_endpoints[0].port, 7890);
    EXPECT_EQ(s.wininet_owner_name, "mihomo.exe");
    EXPECT_EQ(s.wininet_owner_pid, "4242");
    EXPECT_FALSE(s.wininet_unowned);
}

TEST(WinInetOwner, TheFirstOwnerFoundWins) {
    FactSnapshot s = with_proxy("http=127.0.0.1:7890;https=127.0.0.1:7890;socks=127.0.0.1:1080");
    s.tcp_listeners = {listener("127.0.0.1", 1080, 2), listener("127.0.0.1", 7890, 1)};
    s.processes = {{1, process(1, "clash.exe")}, {2, process(2, "other.exe")}};
    find_wininet_endpoint_owners(s);
    EXPECT_EQ(s.wininet_endpoints.size(), 3u);
    EXPECT_EQ(s.wininet_owner_name, "clash.exe");
    EXPECT_EQ(s.wininet_owner_pid, "1");
}

TEST(WinInetOwner, NoLocalListenerLeavesTheProxyUnowned) {
    FactSnapshot s = with_proxy("10.1.2.3:8080");
    s.tcp_listeners = {listener("0.0.0.0", 3128, 9)};
    s.processes = {{9, process(9, "squid.exe")}};
    find_wininet_endpoint_owners(s);
    EXPECT_EQ(s.wininet_endpoints.size(), 1u);
    EXPECT_FALSE(s.wininet_owner_name);
    EXPECT_FALSE(s.wininet_owner_pid);
    EXPECT_TRUE(s.wininet_unowned);
}

TEST(WinInetOwner, AListenerWhoseProcessIsUnknownNamesNoOwner) {
    FactSnapshot s = with_proxy("127.0.0.1:7890");
    s.tcp_listeners = {listener("127.0.0.1", 7890, 0)};
    find_wininet_endpoint_owners(s);
    EXPECT_FALSE(s.wininet_owner_name);
    EXPECT_TRUE(s.wininet_unowned);
}

TEST(WinInetOwner, NothingHappensWhileTheProxyIsOff) {
    FactSnapshot s;
    s.wininet_server = "127.0.0.1:7890"; // left over, ProxyEnable 0
    s.tcp_listeners = {listener("127.0.0.1", 7890, 1)};
    s.processes = {{1, process(1, "clash.exe")}};
    find_wininet_endpoint_owners(s);
    EXPECT_TRUE(s.wininet_endpoints.empty());
    EXPECT_FALSE(s.wininet_owner_name);
    EXPECT_FALSE(s.wininet_unowned);
}

} // namespace
} // namespace wirelux
