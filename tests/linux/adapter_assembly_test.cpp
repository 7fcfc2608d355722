#ifdef __linux__

#include "linux/adapter_assembly.h"
#include "linux/netlink_fixtures.h"
#include "linux/route_records.h"

#include <gtest/gtest.h>

#include <linux/if_addr.h>
#include <stdexcept>

namespace wirelux::platform::linux_net {
namespace {

template <std::size_t N> std::string_view bytes_of(const unsigned char (&a)[N]) {
    return {reinterpret_cast<const char*>(a), N};
}

// The lab namespace of capture_netlink_fixtures.py: lo, eth-lab (veth, default via 192.0.2.1 and
// fe80::1), br-lab (bridge, 10.9.0.1 peer 10.9.0.2), wl0 (tun without carrier, default route).
AdapterSources lab_sources() {
    AdapterSources s;
    for (std::string_view d : {bytes_of(kLinkDump0), bytes_of(kLinkDump1)})
        for (const auto& m : netlink::scan_datagram(d, 1).messages)
            s.links.push_back(*netlink::parse_link(m));
    for (const auto& m : netlink::scan_datagram(bytes_of(kAddressDump0), 2).messages)
        s.addresses.push_back(*netlink::parse_address(m));
    for (auto [d, seq] : {std::pair{bytes_of(kRouteDumpV40), 3u}, std::pair{bytes_of(kRouteDumpV60), 4u}})
        for (const auto& m : netlink::scan_datagram(d, seq).messages)
            if (auto r = netlink::parse_route(m); r && netlink::is_main_unicast(*r) && r->prefix_len == 0)
                s.default_routes.push_back(*r);
    return s;
}

const AdapterInfo& named(const std::vector<AdapterInfo>& adapters, const std::string& name) {
    for (const AdapterInfo& a : adapters)
        if (a.friendly_name == name) return a;
    throw std::runtime_error("no adapter " + name);
}

TEST(AdapterAssembly, LabLinksBecomeAdaptersWithWindowsStyleFacts) {
    const std::vector<AdapterInfo> adapters = assemble_adapters(lab_sources());
    ASSERT_EQ(adapters.size(), 4u);

    const AdapterInfo& lo = adapters[0];
    EXPECT_EQ(lo.friendly_name, "lo");
    EXPECT_EQ(lo.if_type, 24u);
    EXPECT_EQ(lo.mac, "");
    EXPECT_TRUE(lo.oper_up);
    ASSERT_EQ(lo.ipv4.size(), 1u);
    EXPECT_EQ(lo.ipv4[0].address, "127.0.0.1");
    EXPECT_EQ(lo.ipv4[0].prefix_len, 8);

    const AdapterInfo& eth = named(adapters, "eth-lab");
    EXPECT_EQ(eth.if_index, 2u);
    EXPECT_EQ(eth.ipv6_if_index, 2u);
    EXPECT_EQ(eth.if_type, 6u);
    EXPECT_EQ(eth.mac, "02-00-00-00-00-02");
    EXPECT_EQ(eth.mtu, 1500u);
    EXPECT_TRUE(eth.oper_up);
    EXPECT_EQ(eth.gateways, (std::vector<std::string>{"192.0.2.1", "fe80::1"}));
    ASSERT_EQ(eth.ipv6.size(), 2u);
    EXPECT_EQ(eth.ipv6[0].address, "2001:db8::2");
    EXPECT_EQ(eth.ipv6[1].address, "fe80::ff:fe00:2");
    EXPECT_EQ(eth.ipv4_metric, 0u) << "Linux has no interface metric";
    EXPECT_FALSE(eth.dhcp_enabled) << "addresses added by hand are permanent";
    EXPECT_FALSE(eth.dhcp_server);
    EXPECT_EQ(eth.guid, link_guid(lab_sources().links[1]));

    const AdapterInfo& wl0 = named(adapters, "wl0");
    EXPECT_EQ(wl0.if_type, 131u);
    EXPECT_EQ(wl0.mac, "");
    EXPECT_FALSE(wl0.oper_up) << "no process holds the tun device";
    EXPECT_TRUE(wl0.gateways.empty()) << "its default route has no gateway";

    EXPECT_EQ(named(adapters, "br-lab").ipv4.at(0).address, "10.9.0.1");
}

TEST(AdapterAssembly, ResolverServersGoToOperationalDefaultRouteOwnersOnly) {
    AdapterSources s = lab_sources();
    s.resolver_servers = {"192.0.2.53", "2001:db8::53"};
    const std::vector<AdapterInfo> adapters = assemble_adapters(s);
    EXPECT_EQ(named(adapters, "eth-lab").dns_servers, s.resolver_servers);
    EXPECT_TRUE(named(adapters, "wl0").dns_servers.empty()) << "down, though it owns a default route";
    EXPECT_TRUE(named(adapters, "lo").dns_servers.empty());
    EXPECT_TRUE(named(adapters, "br-lab").dns_servers.empty());
}

TEST(AdapterAssembly, PerLinkServersReplaceTheResolverList) {
    AdapterSources s = lab_sources();
    s.resolver_servers = {"192.0.2.53"};
    s.extras[3].dns_servers = {"10.9.0.53"};
    s.extras[3].dhcp_server = "10.9.0.2";
    s.extras[3].link_speed_bps = 10000000000ull;
    s.extras[3].model = "Virtual Bridge";
    const std::vector<AdapterInfo> adapters = assemble_adapters(s);
    const AdapterInfo& br = named(adapters, "br-lab");
    EXPECT_EQ(br.dns_servers, (std::vector<std::string>{"10.9.0.53"}));
    EXPECT_EQ(br.dhcp_server, "10.9.0.2");
    EXPECT_EQ(br.link_speed_bps, 10000000000ull);
    EXPECT_EQ(br.description, "Virtual Bridge");
    EXPECT_TRUE(named(adapters, "eth-lab").dns_servers.empty());
}

TEST(AdapterAssembly, WirelessEthernetFramedLinkIsNative80211) {
    AdapterSources s = lab_sources();
    s.extras[2].wireless = true;
    EXPECT_EQ(named(assemble_adapters(s), "eth-lab").if_type, 71u);
}

TEST(AdapterAssembly, LeasedIpv4AddressMeansDhcp) {
    AdapterSources s = lab_sources();
    for (netlink::AddressRecord& a : s.addresses)
        if (a.address == "192.0.2.2") a.flags &= ~static_cast<std::uint32_t>(IFA_F_PERMANENT);
    EXPECT_TRUE(named(assemble_adapters(s), "eth-lab").dhcp_enabled);
}

TEST(AdapterAssembly, NamesThatAreNotUtf8AreRepaired) {
    AdapterSources s;
    netlink::LinkRecord l;
    l.index = 9;
    l.name = "bad\xff";
    l.alias = "uplink \xc3";
    s.links.push_back(l);
    const AdapterInfo a = assemble_adapters(s).at(0);
    EXPECT_EQ(a.friendly_name, "bad\xef\xbf\xbd");
    EXPECT_EQ(a.description, "uplink \xef\xbf\xbd");
}

TEST(DeviceIdentity, SoftwareAndBusDevicesAreTold) {
    const std::vector<netlink::LinkRecord> links = lab_sources().links;
    const PnpDriverValues veth = pnp_values(links[1], LinkDevice{});
    EXPECT_EQ(veth.instance_id, "ROOT\\NET\\eth-lab");
    EXPECT_EQ(veth.service, "veth");
    EXPECT_EQ(veth.characteristics, 0x1u);
    EXPECT_EQ(veth.net_cfg_instance_id, link_guid(links[1]));
    EXPECT_EQ(veth.provider_name, "vEthernet (veth)") << "a veth with nothing below is a virtual switch port";

    LinkDevice nic;
    nic.chain = {DeviceNode{"pci", "0000:00:1f.6", "0x8086", "0x15f3", ""}};
    nic.driver = "e1000e";
    nic.module = "e1000e";
    nic.module_file = "/lib/modules/6.1.0/kernel/drivers/net/ethernet/intel/e1000e/e1000e.ko";
    nic.module_version = "3.2.6-k";
    const PnpDriverValues pci = pnp_values(links[1], nic);
    EXPECT_EQ(pci.instance_id, "PCI\\VEN_8086&DEV_15F3\\0000:00:1F.6");
    EXPECT_EQ(pci.service, "e1000e") << "the driver wins over the link kind";
    EXPECT_EQ(pci.characteristics, 0x4u);
    EXPECT_EQ(pci.provider_name, "e1000e");
    EXPECT_EQ(pci.inf_path, nic.module_file);
    EXPECT_EQ(pci.driver_version, "3.2.6-k");
}

netlink::LinkRecord layered_link(std::uint32_t index, std::string name, std::string kind, std::uint32_t master = 0,
                                 std::uint32_t parent = 0, bool parent_elsewhere = false) {
    netlink::LinkRecord l;
    l.index = index;
    l.name = std::move(name);
    l.kind = std::move(kind);
    l.master = master;
    l.parent = parent;
    l.parent_elsewhere = parent_elsewhere;
    return l;
}

TEST(DeviceIdentity, LayeredLinksCarryTheBusDeviceBelowThemOrAreVirtualSwitchPorts) {
    // eth0 is a PCI NIC; br0 bridges a veth and eth0's VLAN; bond0 has only a veth port; mv0 stands on
    // a veth, mv1 on a parent in another namespace; veth1 is eth0's "peer" by index, which is no lower.
    const std::vector<netlink::LinkRecord> links = {
        layered_link(2, "eth0", ""),
        layered_link(3, "vethA", "veth", 4, 9, true),
        layered_link(4, "br0", "bridge", 0, 4),
        layered_link(5, "eth0.7", "vlan", 4, 2),
        layered_link(6, "bond0", "bond"),
        layered_link(7, "vethB", "veth", 6),
        layered_link(8, "mv0", "macvlan", 0, 7),
        layered_link(10, "mv1", "macvlan", 0, 2, true),
        layered_link(11, "veth1", "veth", 0, 2),
        layered_link(12, "wg0", "wireguard", 0, 2),
    };
    std::unordered_map<std::uint32_t, LinkDevice> devices;
    for (const netlink::LinkRecord& l : links)
        devices[l.index] = LinkDevice{};
    devices[2].chain = {DeviceNode{"pci", "0000:00:1f.6", "0x8086", "0x15f3", ""}};
    devices[2].driver = "e1000e";
    devices[2].module = "e1000e";
    devices[7].module_file = "/lib/modules/6.1.0/kernel/drivers/net/veth.ko";

    struct Case {
        std::size_t link;
        const char* instance_id;
        const char* service;
        std::optional<std::string> provider;
        std::uint32_t characteristics;
    };
    const std::vector<Case> expected = {
        {0, "PCI\\VEN_8086&DEV_15F3\\0000:00:1F.6", "e1000e", "e1000e", 0x4},
        {1, "ROOT\\NET\\vethA", "veth", "vEthernet (veth)", 0x1},
        {2, "PCI\\VEN_8086&DEV_15F3\\0000:00:1F.6", "e1000e", "e1000e", 0x4},
        {3, "PCI\\VEN_8086&DEV_15F3\\0000:00:1F.6", "e1000e", "e1000e", 0x4},
        {4, "ROOT\\NET\\bond0", "bond", "vEthernet (bond)", 0x1},
        {5, "ROOT\\NET\\vethB", "veth", "vEthernet (veth)", 0x1},
        {6, "ROOT\\NET\\mv0", "macvlan", "vEthernet (macvlan)", 0x1},
        {7, "ROOT\\NET\\mv1", "macvlan", "vEthernet (macvlan)", 0x1},
        {8, "ROOT\\NET\\veth1", "veth", "vEthernet (veth)", 0x1},
        {9, "ROOT\\NET\\wg0", "wireguard", std::nullopt, 0x1},
    };
    for (const Case& c : expected) {
        const netlink::LinkRecord& link = links[c.link];
        const PnpDriverValues v =
            pnp_values(link, devices.at(link.index), carried_device(link, links, devices));
        EXPECT_EQ(v.instance_id, c.instance_id) << link.name;
        EXPECT_EQ(v.service, c.service) << link.name;
        EXPECT_EQ(v.provider_name, c.provider) << link.name;
        EXPECT_EQ(v.characteristics, c.characteristics) << link.name;
        EXPECT_EQ(v.net_cfg_instance_id, link_guid(link)) << "filed under its own GUID: " << link.name;
    }
    EXPECT_EQ(pnp_values(links[5], devices.at(7), nullptr).inf_path, devices[7].module_file);
}

} // namespace
} // namespace wirelux::platform::linux_net

#endif
