#include "facts/interface_assessment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wirelux {
namespace {

using Evidence = std::vector<std::string>;

constexpr std::uint32_t kIfEthernet = 6;
constexpr std::uint32_t kIfTunnel = 131;
constexpr std::uint32_t kIfOther = 53; // "IfType 53": neither wired, wireless nor IP
constexpr std::uint32_t kIfWwan = 243;

AdapterInfo make_adapter(std::uint32_t if_index, std::string name, std::string description,
                         std::uint32_t if_type) {
    AdapterInfo adapter;
    adapter.if_index = if_index;
    adapter.friendly_name = std::move(name);
    adapter.description = std::move(description);
    adapter.if_type = if_type;
    return adapter;
}

PnpDevice make_device(std::string instance_id, std::uint32_t characteristics, std::string service = "netdrv",
                      std::string provider = "Contoso", std::string inf = "oem12.inf") {
    PnpDevice device;
    device.instance_id = std::move(instance_id);
    device.characteristics = characteristics;
    device.service = std::move(service);
    device.provider_name = std::move(provider);
    device.inf_path = std::move(inf);
    return device;
}

RouteRow default_v4(std::uint32_t if_index, std::optional<std::string> next_hop) {
    RouteRow route;
    route.destination = "0.0.0.0";
    route.next_hop = std::move(next_hop);
    route.if_index = if_index;
    route.family = kFamilyIpv4;
    return route;
}

RouteRow default_v6(std::uint32_t if_index, std::optional<std::string> next_hop) {
    RouteRow route;
    route.destination = "::";
    route.next_hop = std::move(next_hop);
    route.if_index = if_index;
    route.family = kFamilyIpv6;
    return route;
}

InterfaceAssessment assess(const AdapterInfo& adapter, const std::optional<PnpDevice>& device,
                           const std::vector<RouteRow>& routes = {}) {
    return assess_interface(adapter, device ? &*device : nullptr, routes);
}

// --- The worked cases -------------------------------------------------------------------------------

TEST(InterfaceRoleWorkedCases, EthernetWithPhysicalPciDeviceIsACarrier) {
    AdapterInfo nic = make_adapter(12, "Ethernet", "Intel(R) Ethernet Connection (7) I219-V", kIfEthernet);
    nic.ipv4 = {{"192.168.1.20", 24}};
    nic.dns_servers = {"192.168.1.1"};
    PnpDevice device = make_device(R"(PCI\VEN_8086&DEV_15BC&SUBSYS_08A11028&REV_10\3&11583659&0&FE)", 0x84,
                                   "e1dexpress", "Intel", "oem5.inf");
    device.driver_version = "12.19.1.37";

    const InterfaceAssessment a = assess(nic, device, {default_v4(12, "192.168.1.1")});
    // CS = 7 physical + 2 wired + 2.5 PCI + 1 default route.
    EXPECT_EQ(a.tunnel_score, 0.0);
    EXPECT_EQ(a.carrier_score, 12.5);
    EXPECT_EQ(a.role, "Carrier");
    EXPECT_EQ(a.role_confidence, 0.98);
    EXPECT_EQ(a.evidence, (Evidence{"Win32_NetworkAdapter.PhysicalAdapter=true",
                                    "hardware-enumerated PCI/USB network device"}));
    EXPECT_TRUE(a.is_physical);
    EXPECT_FALSE(a.is_virtual);
    EXPECT_TRUE(a.has_default_v4);
    EXPECT_FALSE(a.has_default_v6);
    EXPECT_TRUE(a.has_conventional_gateway);
    EXPECT_EQ(a.name, "Ethernet");
    EXPECT_EQ(a.if_index, 12u);
    EXPECT_EQ(a.if_type_word, "802.3");
    EXPECT_EQ(a.instance_id, device.instance_id);
    EXPECT_EQ(a.service, "e1dexpress");
    EXPECT_EQ(a.provider_name, "Intel");
    EXPECT_EQ(a.inf_path, "oem5.inf");
    EXPECT_EQ(a.driver_version, "12.19.1.37");
    EXPECT_EQ(a.characteristics, 0x84u);
}

TEST(InterfaceRoleWorkedCases, WintunAdapterOwningTheDefaultRouteIsATunnel) {
    AdapterInfo tun = make_adapter(41, "Meta", "Wintun Userspace Tunnel", kIfTunnel);
    tun.ipv4 = {{"198.18.0.1", 30}};
    const PnpDevice device = make_device(R"(SWD\Wintun\{6A2B0C11-77D2-4E0B-9A34-0F1E2D3C4B5A})", 0x1,
                                         "Wintun", "WireGuard LLC", "oem77.inf");

    const InterfaceAssessment a = assess(tun, device, {default_v4(41, "0.0.0.0")});
    // TS = 6 + 8 + 6 + 4 + 1.5; CS = 1 for the default route alone.
    EXPECT_EQ(a.tunnel_score, 25.5);
    EXPECT_EQ(a.carrier_score, 1.0);
    EXPECT_EQ(a.role, "Tunnel");
    EXPECT_EQ(a.role_confidence, 0.98);
    EXPECT_EQ(a.evidence, (Evidence{"MediaType=IP", "tunnel/VPN identity in adapter, service or driver",
                                    "198.18/15 or fdfe:: style interface address",
                                    "virtual/non-physical adapter owns default route",
                                    "default route without conventional gateway"}));
    EXPECT_TRUE(a.is_virtual);
    EXPECT_FALSE(a.is_physical);
    EXPECT_FALSE(a.has_conventional_gateway);
    EXPECT_EQ(a.fake_ip_addresses, "198.18.0.1");
    EXPECT_EQ(a.fake_ip_dns, "");
}

TEST(InterfaceRoleWorkedCases, LoopbackDnsAloneIsOther) {
    AdapterInfo stub = make_adapter(9, "Local Resolver", "Contoso Stub Adapter", kIfOther);
    stub.dns_servers = {"127.0.0.1"};
    const InterfaceAssessment a = assess(stub, std::nullopt);
    EXPECT_EQ(a.tunnel_score, 0.75);
    EXPECT_EQ(a.carrier_score, 0.0);
    EXPECT_EQ(a.role, "Other");
    EXPECT_EQ(a.role_confidence, 0.35);
    EXPECT_EQ(a.evidence, (Evidence{"loopback DNS (weak signal)"}));
    EXPECT_EQ(a.loopback_dns, "127.0.0.1");
}

TEST(InterfaceRoleWorkedCases, VirtualAdapterOwningTheDefaultRouteIsASuspectedTunnel) {
    const AdapterInfo link = make_adapter(17, "Contoso Link", "Contoso Virtual Miniport", kIfOther);
    const PnpDevice device = make_device(R"(ROOT\NET\0003)", 0x0);

    const InterfaceAssessment no_gateway = assess(link, device, {default_v4(17, "0.0.0.0")});
    EXPECT_EQ(no_gateway.tunnel_score, 5.5);
    EXPECT_EQ(no_gateway.carrier_score, 1.0);
    EXPECT_EQ(no_gateway.role, "SuspectedTunnel");
    EXPECT_EQ(no_gateway.role_confidence, 0.69); // 0.5 + 0.035 * 5.5 = 0.6925
    EXPECT_EQ(no_gateway.evidence, (Evidence{"virtual/non-physical adapter owns default route",
                                             "default route without conventional gateway"}));

    // A real next hop removes the 1.5: 0.5 + 0.035 * 4 = 0.64.
    const InterfaceAssessment gateway = assess(link, device, {default_v4(17, "10.1.0.1")});
    EXPECT_EQ(gateway.tunnel_score, 4.0);
    EXPECT_EQ(gateway.role, "SuspectedTunnel");
    EXPECT_EQ(gateway.role_confidence, 0.64);
}

// --- Carrier identities that keep a virtual adapter from looking like a tunnel -----------------------

TEST(InterfaceRoleCarrierIdentity, KnownVirtualNameMakesAVirtualDefaultRouteACarrier) {
    const AdapterInfo veth = make_adapter(5, "vEthernet-lan", "Virtual Ethernet pair", kIfEthernet);
    const PnpDevice device = make_device(R"(ROOT\NET\0004)", 0x0);

    const InterfaceAssessment via_gateway = assess(veth, device, {default_v4(5, "10.0.0.1")});
    // CS = 2 wired + 4 known virtual with default + 1 default; 0.68 + 0.025 * 7 = 0.855 rounds up.
    EXPECT_EQ(via_gateway.tunnel_score, 0.0);
    EXPECT_EQ(via_gateway.carrier_score, 7.0);
    EXPECT_EQ(via_gateway.role, "Carrier");
    EXPECT_EQ(via_gateway.role_confidence, 0.86);
    EXPECT_EQ(via_gateway.evidence, (Evidence{"known virtual/bridged carrier identity"}));

    // The known-virtual exception covers the 4-point rule only; the missing gateway still counts.
    const InterfaceAssessment on_link = assess(veth, device, {default_v4(5, "0.0.0.0")});
    EXPECT_EQ(on_link.tunnel_score, 1.5);
    EXPECT_EQ(on_link.carrier_score, 7.0);
    EXPECT_EQ(on_link.role, "Carrier");
}

TEST(InterfaceRoleCarrierIdentity, CellularIdentityIsACarrierEvenWithoutGateway) {
    const AdapterInfo wwan = make_adapter(23, "Cellular", "Generic Mobile Broadband Adapter", kIfWwan);
    const PnpDevice device =
        make_device(R"(SWD\MBBCX\0001)", 0x0, "wmbclass", "Microsoft", "netwmbclass.inf");
    const InterfaceAssessment a = assess(wwan, device, {default_v4(23, "0.0.0.0")});
    EXPECT_TRUE(a.is_virtual);
    EXPECT_EQ(a.tunnel_score, 0.0);
    EXPECT_EQ(a.carrier_score, 6.0);
    EXPECT_EQ(a.role, "Carrier");
    EXPECT_EQ(a.role_confidence, 0.83);
    EXPECT_EQ(a.evidence, (Evidence{"PPP/RNDIS/WWAN carrier identity"}));
}

// --- Role boundaries -----------------------------------------------------------------------------------

// A device that reports itself physical but names a VPN: TS 8 against CS 7 (+1 with a default route).
struct PhysicalVpnNic {
    AdapterInfo adapter = make_adapter(30, "Corp VPN", "Corp Secure NIC", kIfOther);
    PnpDevice device = make_device(R"(ACPI\CORP0001\0)", 0x4, "corpnic", "Corp", "oem9.inf");
};

TEST(InterfaceRoleBoundaries, TunnelNeedsMoreThanOneAndAHalfPointsOverTheCarrierScore) {
    PhysicalVpnNic nic;
    const InterfaceAssessment close = assess(nic.adapter, nic.device);
    EXPECT_EQ(close.tunnel_score, 8.0);
    EXPECT_EQ(close.carrier_score, 7.0);
    EXPECT_EQ(close.role, "Other"); // 8 is not above 7 + 1.5, and CS does not exceed TS
    EXPECT_EQ(close.role_confidence, 0.35);

    nic.adapter.dns_servers = {"127.0.0.1"};
    const InterfaceAssessment clear = assess(nic.adapter, nic.device);
    EXPECT_EQ(clear.tunnel_score, 8.75);
    EXPECT_EQ(clear.role, "Tunnel");
    EXPECT_EQ(clear.role_confidence, 0.92); // 0.74 + 0.02 * 8.75 = 0.915

    // Exactly 1.5 apart: TS 6 (IP) + 5 (fake-IP DNS) against CS 7 + 2.5 for a physical PCI device.
    AdapterInfo dial = make_adapter(31, "Dial-up", "Contoso Dial Adapter", 23);
    dial.dns_servers = {"198.18.0.2"};
    const InterfaceAssessment level = assess(dial, make_device(R"(PCI\VEN_1234&DEV_0001\0)", 0x84));
    EXPECT_EQ(level.tunnel_score, 11.0);
    EXPECT_EQ(level.carrier_score, 9.5);
    EXPECT_EQ(level.role, "Other");
}

TEST(InterfaceRoleBoundaries, EqualScoresWithADefaultRouteFavourTheSuspectedTunnel) {
    PhysicalVpnNic nic;
    const std::vector<RouteRow> routes{default_v4(30, "10.0.0.1")};
    const InterfaceAssessment tie = assess(nic.adapter, nic.device, routes);
    EXPECT_EQ(tie.tunnel_score, 8.0);
    EXPECT_EQ(tie.carrier_score, 8.0);
    EXPECT_EQ(tie.role, "SuspectedTunnel");
    EXPECT_EQ(tie.role_confidence, 0.78);

    nic.adapter.dns_servers = {"127.0.0.53"};
    const InterfaceAssessment capped = assess(nic.adapter, nic.device, routes);
    EXPECT_EQ(capped.tunnel_score, 8.75); // 8.75 is not above 8 + 1.5
    EXPECT_EQ(capped.role, "SuspectedTunnel");
    EXPECT_EQ(capped.role_confidence, 0.79); // 0.80625 capped
}

TEST(InterfaceRoleBoundaries, FakeIpDnsTyingAKnownVirtualCarrierRoundsItsHalfUp) {
    // No device: neither virtual nor physical. TS 5 (fake-IP DNS), CS 4 + 1.
    AdapterInfo nic =
        make_adapter(8, "vEthernet (Default Switch)", "Hyper-V Virtual Ethernet Adapter", kIfOther);
    nic.dns_servers = {"198.18.0.2"};
    const InterfaceAssessment a = assess(nic, std::nullopt, {default_v4(8, "172.20.0.1")});
    EXPECT_EQ(a.tunnel_score, 5.0);
    EXPECT_EQ(a.carrier_score, 5.0);
    EXPECT_EQ(a.role, "SuspectedTunnel");
    EXPECT_EQ(a.role_confidence, 0.68); // 0.5 + 0.035 * 5 = 0.675
    EXPECT_EQ(a.fake_ip_dns, "198.18.0.2");
}

TEST(InterfaceRoleBoundaries, CarrierNeedsMoreThanTheTunnelScore) {
    AdapterInfo ppp = make_adapter(14, "PPP Link", "Contoso Dial", kIfOther);
    ppp.dns_servers = {"198.19.0.1"};
    const InterfaceAssessment a = assess(ppp, std::nullopt);
    EXPECT_EQ(a.tunnel_score, 5.0);
    EXPECT_EQ(a.carrier_score, 5.0);
    EXPECT_EQ(a.role, "Other");
    EXPECT_EQ(a.role_confidence, 0.35);
}

TEST(InterfaceRoleBoundaries, DefaultRouteOwnerWithWeakScoresDependsOnMediaType) {
    for (const auto& [if_type, role, confidence] :
         {std::tuple{kIfEthernet, "Carrier", 0.68}, std::tuple{71u, "Carrier", 0.68},
          std::tuple{kIfOther, "AmbiguousRoute", 0.45}}) {
        const AdapterInfo nic = make_adapter(4, "Uplink", "Contoso Adapter", if_type);
        const InterfaceAssessment a = assess(nic, std::nullopt, {default_v4(4, "192.168.0.1")});
        EXPECT_EQ(a.tunnel_score, 0.0) << if_type;
        EXPECT_EQ(a.role, role) << if_type;
        EXPECT_EQ(a.role_confidence, confidence) << if_type;
    }
}

// --- Routes ----------------------------------------------------------------------------------------------

TEST(InterfaceRoutes, OnlyWholeDefaultRoutesOfThisInterfaceCount) {
    const AdapterInfo vpn = make_adapter(7, "Contoso Link", "Contoso Virtual Miniport", kIfOther);
    const PnpDevice device = make_device(R"(ROOT\NET\0001)", 0x0);
    RouteRow lower_half = default_v4(7, "0.0.0.0");
    lower_half.prefix_len = 1;
    RouteRow upper_half = lower_half;
    upper_half.destination = "128.0.0.0";
    RouteRow no_destination = default_v4(7, "10.0.0.1");
    no_destination.destination.reset();
    std::vector<RouteRow> routes{lower_half, upper_half, no_destination, default_v4(3, "192.168.1.1")};

    const InterfaceAssessment split = assess(vpn, device, routes);
    EXPECT_FALSE(split.has_default_v4);
    EXPECT_FALSE(split.has_default_v6);
    EXPECT_EQ(split.tunnel_score, 0.0);
    EXPECT_EQ(split.role, "Other");

    routes.push_back(default_v6(7, std::nullopt));
    const InterfaceAssessment v6 = assess(vpn, device, routes);
    EXPECT_FALSE(v6.has_default_v4);
    EXPECT_TRUE(v6.has_default_v6);
    EXPECT_FALSE(v6.has_conventional_gateway);
    EXPECT_EQ(v6.tunnel_score, 5.5);
    EXPECT_EQ(v6.role, "SuspectedTunnel");
}

TEST(InterfaceRoutes, AnyDefaultRouteWithARealNextHopIsAConventionalGateway) {
    const AdapterInfo nic = make_adapter(2, "Uplink", "Contoso Adapter", kIfOther);
    const auto conventional = [&](std::vector<RouteRow> routes) {
        return assess(nic, std::nullopt, routes).has_conventional_gateway;
    };
    EXPECT_FALSE(conventional({default_v4(2, "0.0.0.0"), default_v6(2, "::")}));
    EXPECT_FALSE(conventional({default_v4(2, ""), default_v6(2, std::nullopt)}));
    EXPECT_TRUE(conventional({default_v4(2, "0.0.0.0"), default_v6(2, "fe80::1")}));
    EXPECT_TRUE(conventional({default_v4(2, "192.168.1.1")}));
}

// --- Device identity ----------------------------------------------------------------------------------

TEST(InterfaceDeviceIdentity, VirtualAndPhysicalFollowBusAndDriverFlags) {
    struct Case {
        const char* instance_id;
        std::uint32_t characteristics;
        bool is_virtual;
        bool is_physical;
        double carrier_score;
    };
    const Case cases[] = {
        {R"(PCI\VEN_8086&DEV_15BC\3&0)", 0x84, false, true, 9.5},
        {R"(PCI\VEN_8086&DEV_15BC\3&0)", 0x0, true, false, 0.0}, // bus points need the physical flag
        {R"(PCI\VEN_8086&DEV_15BC\3&0)", 0x5, true, true, 9.5},
        {R"(usb\VID_0B95&PID_1790\0)", 0x4, false, true, 9.5},
        {R"(PCIE\VEN_1\0)", 0x4, false, true, 7.0},
        {R"(ROOT\NET\0000)", 0x4, true, true, 7.0},
        {R"(ROOTS\NET\0000)", 0x4, false, true, 7.0},
        {R"(swd\wintun\0)", 0x4, true, true, 7.0},
        {R"(HTREE\ROOT\0)", 0x4, true, true, 7.0},
        {R"(ACPI\PNP0A08\0)", 0x0, true, false, 0.0},
    };
    const AdapterInfo nic = make_adapter(1, "Uplink", "Contoso Adapter", kIfOther);
    for (const Case& c : cases) {
        const InterfaceAssessment a = assess(nic, make_device(c.instance_id, c.characteristics));
        EXPECT_EQ(a.is_virtual, c.is_virtual) << c.instance_id << " " << c.characteristics;
        EXPECT_EQ(a.is_physical, c.is_physical) << c.instance_id << " " << c.characteristics;
        EXPECT_EQ(a.carrier_score, c.carrier_score) << c.instance_id << " " << c.characteristics;
    }

    const InterfaceAssessment no_device = assess(nic, std::nullopt);
    EXPECT_FALSE(no_device.is_virtual);
    EXPECT_FALSE(no_device.is_physical);
}

TEST(InterfaceDeviceIdentity, TunnelNamesMatchAsWholeWordsInAnyIdentityField) {
    struct Case {
        const char* name;
        bool tunnel;
    };
    for (const Case& c :
         {Case{"TAP-Windows Adapter V9", true}, Case{"sing-box tun", true}, Case{"singbox", true},
          Case{"Packet Filter Driver", true}, Case{"tailscale0", false}, Case{"Tapestry Uplink", false},
          Case{"Tunnelbroker", false}, Case{"xrayfoo", false}}) {
        const AdapterInfo nic = make_adapter(1, c.name, "", kIfOther);
        EXPECT_EQ(assess(nic, std::nullopt).tunnel_score, c.tunnel ? 8.0 : 0.0) << c.name;
    }

    // The driver side of the identity: service name and provider.
    const AdapterInfo plain = make_adapter(1, "Ethernet 3", "Contoso Adapter V9", kIfOther);
    const InterfaceAssessment by_service =
        assess(plain, make_device(R"(ROOT\NET\0000)", 0x0, "tap0901", "Contoso", "oem3.inf"));
    EXPECT_EQ(by_service.tunnel_score, 8.0);
    EXPECT_EQ(by_service.role, "Tunnel");
    EXPECT_EQ(by_service.role_confidence, 0.9);
    EXPECT_EQ(assess(plain, make_device(R"(ROOT\NET\0000)", 0x0, "wg", "WireGuard LLC")).tunnel_score, 8.0);
    EXPECT_EQ(assess(plain, make_device(R"(ROOT\NET\0000)", 0x0, "nd", "Contoso", "C:\\ZeroTier\\zt.inf"))
                  .tunnel_score,
              8.0);
}

TEST(InterfaceDeviceIdentity, IdentityTextKeepsEmptyPlacesForMissingDeviceFields) {
    const AdapterInfo nic = make_adapter(1, "Wi-Fi", "Contoso Wireless", 71);
    EXPECT_EQ(identity_text(nic, nullptr), "Wi-Fi Contoso Wireless   ");
    PnpDevice device = make_device(R"(PCI\X)", 0x84, "cwifi");
    device.provider_name.reset();
    EXPECT_EQ(identity_text(nic, &device), "Wi-Fi Contoso Wireless cwifi  oem12.inf");
}

TEST(InterfaceDeviceIdentity, SnapshotJoinFindsDevicesWhateverTheGuidCase) {
    FactSnapshot s;
    AdapterInfo wintun = make_adapter(41, "Meta", "Wintun Userspace Tunnel", kIfTunnel);
    wintun.guid = "{6A2B0C11-77D2-4E0B-9A34-0F1E2D3C4B5A}";
    AdapterInfo orphan = make_adapter(12, "Ethernet", "Contoso Adapter", kIfEthernet);
    orphan.guid = "{00000000-0000-0000-0000-0000000000AA}";
    AdapterInfo no_guid = make_adapter(1, "Loopback Pseudo-Interface 1", "Software Loopback Interface 1", 24);
    s.adapters = {wintun, orphan, no_guid};
    s.pnp_by_guid["{6a2b0c11-77d2-4e0b-9a34-0f1e2d3c4b5a}"] = make_device(R"(SWD\Wintun\0)", 0x1, "Wintun");
    s.routes = {default_v4(41, "0.0.0.0"), default_v4(12, "192.168.1.1")};

    EXPECT_EQ(device_of(wintun, s.pnp_by_guid), &s.pnp_by_guid.begin()->second);
    EXPECT_EQ(device_of(orphan, s.pnp_by_guid), nullptr);
    EXPECT_EQ(device_of(no_guid, s.pnp_by_guid), nullptr);

    const auto map = assess_interfaces(s);
    ASSERT_EQ(map.size(), 3u);
    EXPECT_EQ(map.at(41).instance_id, R"(SWD\Wintun\0)");
    EXPECT_EQ(map.at(41).role, "Tunnel");
    EXPECT_EQ(map.at(12).instance_id, "");
    EXPECT_EQ(map.at(12).role, "Carrier"); // wired, not virtual, owns a default route: 0.68
    EXPECT_EQ(map.at(12).role_confidence, 0.68);
    EXPECT_EQ(map.at(1).if_type_word, "Loopback");
    EXPECT_EQ(map.at(1).role, "Other");
}

// --- Fake-IP and loopback DNS ---------------------------------------------------------------------------

TEST(InterfaceFakeIp, AddressTests) {
    for (const char* yes : {"198.18.0.1", "198.19.255.254", "fdfe:dcba:9876::1", "FDFE::1"})
        EXPECT_TRUE(is_fake_ip(yes)) << yes;
    for (const char* no : {"198.20.0.1", "198.17.0.1", "198.180.0.1", "1198.18.0.1", "198.18.0",
                           "198.18.0.1.5", "10.198.18.1", "fd00::1", "fdfe", "", "198.18.0.256"})
        EXPECT_FALSE(is_fake_ip(no)) << no;
    for (const char* yes : {"127.0.0.1", "127.0.0.53", "::1"})
        EXPECT_TRUE(is_loopback_dns(yes)) << yes;
    for (const char* no : {"::10", "1127.0.0.1", "fec0:0:0:ffff::1", "10.0.0.1"})
        EXPECT_FALSE(is_loopback_dns(no)) << no;
}

TEST(InterfaceFakeIp, ListsAreJoinedAndEachKindScoresOnce) {
    AdapterInfo nic = make_adapter(3, "Uplink", "Contoso Adapter", kIfOther);
    nic.ipv4 = {{"198.18.0.1", 16}, {"10.0.0.5", 24}, {"198.19.0.1", 16}};
    nic.ipv6 = {{"fdfe:dcba:9876::1", 64}, {"fe80::1", 64}};
    nic.dns_servers = {"198.19.0.53", "127.0.0.1", "8.8.8.8", "::1"};
    const InterfaceAssessment a = assess(nic, std::nullopt);
    EXPECT_EQ(a.fake_ip_addresses, "198.18.0.1, 198.19.0.1, fdfe:dcba:9876::1");
    EXPECT_EQ(a.fake_ip_dns, "198.19.0.53");
    EXPECT_EQ(a.loopback_dns, "127.0.0.1, ::1");
    EXPECT_EQ(a.tunnel_score, 11.75);
    EXPECT_EQ(a.evidence, (Evidence{"198.18/15 or fdfe:: style interface address",
                                    "198.18/15 or fdfe:: style DNS", "loopback DNS (weak signal)"}));
    EXPECT_EQ(a.role, "Tunnel");
    EXPECT_EQ(a.role_confidence, 0.98); // 0.74 + 0.02 * 11.75 = 0.975, below the 0.98 cap
}

} // namespace
} // namespace wirelux
