#include "facts/interception.h"
#include "facts/service_scan.h"

#include <gtest/gtest.h>

namespace wirelux {
namespace {

ServiceInfo entry(std::string name, std::string display = "", std::string path = "") {
    return ServiceInfo{std::move(name), std::move(display), "Running", std::move(path)};
}

std::vector<std::string> names(const std::vector<ServiceInfo>& list) {
    std::vector<std::string> out;
    for (const ServiceInfo& s : list)
        out.push_back(s.name);
    return out;
}

TEST(ServiceIdentity, NameDisplayNameOrBinaryPathCanNameTheSoftware) {
    EXPECT_TRUE(
        names_vpn_software(entry("WireGuardTunnel$wg0", "WireGuard Tunnel: wg0",
                                 R"("C:\Program Files\WireGuard\wireguard.exe" /tunnelservice wg0.conf)")));
    EXPECT_TRUE(names_vpn_software(entry("nm-svc", "Tailscale")));
    EXPECT_TRUE(names_vpn_software(entry("tunnel01", "", R"(\SystemRoot\System32\drivers\wintun.sys)")));
    EXPECT_TRUE(names_vpn_software(entry("WINDIVERT14")));
    EXPECT_TRUE(names_vpn_software(entry("singbox-svc")));
    EXPECT_TRUE(names_vpn_software(entry("sing-box")));
    EXPECT_TRUE(names_vpn_software(entry("sing_box")));
    EXPECT_TRUE(
        names_vpn_software(entry("CloudflareWARP", "", R"(C:\Program Files\Cloudflare\warp-svc.exe)")));

    // What a stock machine runs, Wine's own drivers included ("nsiproxy" is not a proxy).
    EXPECT_FALSE(names_vpn_software(entry("nsiproxy", "", R"(C:\windows\system32\drivers\nsiproxy.sys)")));
    EXPECT_FALSE(names_vpn_software(
        entry("Eventlog", "Event Log", R"(C:\windows\system32\svchost.exe -k LocalService)")));
    EXPECT_FALSE(names_vpn_software(entry("Dnscache", "DNS Client")));
    EXPECT_FALSE(names_vpn_software(entry("singing-box-office")));
}

TEST(ServiceScan, KeepsMatchingDriversAndServicesInEnumerationOrder) {
    FactSnapshot s;
    ServiceLister lister;
    lister.drivers = [] {
        return std::vector<ServiceInfo>{
            entry("NDIS", "NDIS System Driver", R"(C:\windows\system32\drivers\ndis.sys)"),
            entry("tunnel01", "Virtual adapter", R"(\SystemRoot\System32\drivers\wintun.sys)"),
            entry("nsiproxy"), entry("WinDivert", "WinDivert")};
    };
    lister.services = [] {
        return std::vector<ServiceInfo>{entry("Eventlog"),
                                        entry("WireGuardTunnel$wg0", "WireGuard Tunnel: wg0"),
                                        entry("PlugPlay"), entry("clash_verge_service")};
    };
    collect_vpn_services(s, lister);
    EXPECT_EQ(names(s.vpn_drivers), (std::vector<std::string>{"tunnel01", "WinDivert"}));
    EXPECT_EQ(names(s.vpn_services),
              (std::vector<std::string>{"WireGuardTunnel$wg0", "clash_verge_service"}));
    EXPECT_EQ(s.vpn_drivers[0].binary_path, R"(\SystemRoot\System32\drivers\wintun.sys)");
    EXPECT_EQ(s.vpn_services[0].display_name, "WireGuard Tunnel: wg0");
}

TEST(ServiceScan, ARunningWireGuardServiceRaisesTheInterceptionScore) {
    FactSnapshot s;
    collect_vpn_services(
        s, ServiceLister{[] { return std::vector<ServiceInfo>{}; },
                         [] { return std::vector<ServiceInfo>{entry("WireGuardTunnel$wg0")}; }});
    record_interception(s);
    EXPECT_DOUBLE_EQ(s.intercept_score, 3.0);

    FactSnapshot quiet;
    collect_vpn_services(quiet, ServiceLister{[] { return std::vector<ServiceInfo>{entry("NDIS")}; },
                                              [] { return std::vector<ServiceInfo>{entry("Eventlog")}; }});
    record_interception(quiet);
    EXPECT_TRUE(quiet.vpn_drivers.empty());
    EXPECT_TRUE(quiet.vpn_services.empty());
    EXPECT_DOUBLE_EQ(quiet.intercept_score, 0.0);
}

} // namespace
} // namespace wirelux
