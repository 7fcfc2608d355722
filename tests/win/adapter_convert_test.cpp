#ifdef _WIN32

#include "win/adapter_convert.h"

#include <gtest/gtest.h>

#include <cstring>

namespace wirelux::platform {
namespace {

SOCKADDR_IN v4(const char* text) {
    SOCKADDR_IN a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, text, &a.sin_addr);
    return a;
}

SOCKADDR_IN6 v6(const char* text, ULONG scope = 0) {
    SOCKADDR_IN6 a{};
    a.sin6_family = AF_INET6;
    inet_pton(AF_INET6, text, &a.sin6_addr);
    a.sin6_scope_id = scope;
    return a;
}

template <typename Sockaddr> SOCKET_ADDRESS socket_address(Sockaddr& a) {
    return SOCKET_ADDRESS{reinterpret_cast<SOCKADDR*>(&a), static_cast<INT>(sizeof a)};
}

// One hand-built adapter list entry with storage for everything it points to.
struct Entry {
    IP_ADAPTER_ADDRESSES adapter{};
    std::wstring friendly;
    std::wstring description;
    IP_ADAPTER_UNICAST_ADDRESS unicast[4]{};
    IP_ADAPTER_DNS_SERVER_ADDRESS dns[3]{};
    IP_ADAPTER_GATEWAY_ADDRESS gateway[2]{};
};

std::vector<AdapterInfo> convert(const IP_ADAPTER_ADDRESSES* first) {
    return convert_adapter_list(first, [](const NET_LUID& luid) -> std::optional<std::string> {
        if (luid.Value == 0) return std::nullopt;
        std::string text = std::to_string(luid.Value); // a stand-in: the conversion only passes it through
        return text.insert(0, 1, '{').append(1, '}');
    });
}

TEST(AdapterConvert, EthernetEntryWithEveryField) {
    SOCKADDR_IN addr4 = v4("192.168.1.20"), gw4 = v4("192.168.1.1"), dns4 = v4("192.168.1.1"),
                dhcp = v4("192.168.1.1");
    SOCKADDR_IN6 addr6 = v6("fe80::1c2d:3e4f:5a6b:7c8d", 12), dns6 = v6("2001:DB8:0:0:0:0:0:53");
    SOCKADDR raw{};
    raw.sa_family = AF_UNSPEC;

    Entry e;
    e.friendly = L"Ethernet \x4E2D";
    e.description = L"Intel(R) Ethernet Connection I219-LM";
    e.adapter.Length = sizeof e.adapter;
    e.adapter.IfIndex = 14;
    e.adapter.Ipv6IfIndex = 15;
    e.adapter.Luid.Value = 0x0006000001000000ull;
    e.adapter.FriendlyName = e.friendly.data();
    e.adapter.Description = e.description.data();
    const BYTE mac[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
    std::memcpy(e.adapter.PhysicalAddress, mac, 6);
    e.adapter.PhysicalAddressLength = 6;
    e.adapter.Flags = 0x4 | 0x80 | 0x100;
    e.adapter.Mtu = 1500;
    e.adapter.IfType = 6;
    e.adapter.OperStatus = IfOperStatusUp;
    e.adapter.TransmitLinkSpeed = 1000000000ull;
    e.adapter.ReceiveLinkSpeed = 1;
    e.adapter.Ipv4Metric = 25;
    e.adapter.Ipv6Metric = 35;

    e.unicast[0].Address = socket_address(addr6);
    e.unicast[0].OnLinkPrefixLength = 64;
    e.unicast[0].Next = &e.unicast[1];
    e.unicast[1].Address = SOCKET_ADDRESS{&raw, sizeof raw}; // neither IPv4 nor IPv6: skipped
    e.unicast[1].Next = &e.unicast[2];
    e.unicast[2].Address = socket_address(addr4);
    e.unicast[2].OnLinkPrefixLength = 24;
    e.adapter.FirstUnicastAddress = &e.unicast[0];

    e.dns[0].Address = socket_address(dns4);
    e.dns[0].Next = &e.dns[1];
    e.dns[1].Address = socket_address(dns6);
    e.dns[1].Next = &e.dns[2];
    e.dns[2].Address = socket_address(dns4); // repeated
    e.adapter.FirstDnsServerAddress = &e.dns[0];
    e.gateway[0].Address = socket_address(gw4);
    e.adapter.FirstGatewayAddress = &e.gateway[0];
    e.adapter.Dhcpv4Server = socket_address(dhcp);

    const std::vector<AdapterInfo> list = convert(&e.adapter);
    ASSERT_EQ(list.size(), 1u);
    const AdapterInfo& a = list[0];
    EXPECT_EQ(a.friendly_name, "Ethernet \xE4\xB8\xAD");
    EXPECT_EQ(a.description, "Intel(R) Ethernet Connection I219-LM");
    EXPECT_EQ(a.mac, "00-1A-2B-3C-4D-5E");
    ASSERT_EQ(a.ipv4.size(), 1u);
    EXPECT_EQ(a.ipv4[0].address, "192.168.1.20");
    EXPECT_EQ(a.ipv4[0].prefix_len, 24);
    ASSERT_EQ(a.ipv6.size(), 1u);
    EXPECT_EQ(a.ipv6[0].address, "fe80::1c2d:3e4f:5a6b:7c8d") << "no zone";
    EXPECT_EQ(a.ipv6[0].prefix_len, 64);
    EXPECT_EQ(a.dns_servers, (std::vector<std::string>{"192.168.1.1", "2001:db8::53"}));
    EXPECT_EQ(a.gateways, (std::vector<std::string>{"192.168.1.1"}));
    EXPECT_EQ(a.dhcp_server, "192.168.1.1");
    EXPECT_EQ(a.guid, "{1688849877041152}");
    EXPECT_EQ(a.luid, 0x0006000001000000ull);
    EXPECT_EQ(a.link_speed_bps, 1000000000ull);
    EXPECT_EQ(a.if_index, 14u);
    EXPECT_EQ(a.ipv6_if_index, 15u);
    EXPECT_EQ(a.if_type, 6u);
    EXPECT_EQ(a.mtu, 1500u);
    EXPECT_EQ(a.ipv4_metric, 25u);
    EXPECT_EQ(a.ipv6_metric, 35u);
    EXPECT_TRUE(a.oper_up);
    EXPECT_TRUE(a.dhcp_enabled);
}

TEST(AdapterConvert, MissingAndOddFieldsDegradeToEmpty) {
    SOCKADDR_IN zero = v4("0.0.0.0");
    SOCKADDR_IN short_v4 = v4("10.0.0.1");

    Entry first, second, third;
    std::wstring broken = L"Wi-Fi ";
    broken.push_back(static_cast<wchar_t>(0xD800)); // unpaired surrogate

    first.adapter.IfIndex = 3;
    first.adapter.PhysicalAddressLength = 0;
    first.adapter.Dhcpv4Server = socket_address(zero);
    first.adapter.OperStatus = IfOperStatusDown;
    first.adapter.Next = &second.adapter;

    second.adapter.IfIndex = 5;
    second.adapter.FriendlyName = broken.data();
    second.adapter.PhysicalAddressLength = 10; // more than the field holds
    std::memset(second.adapter.PhysicalAddress, 0xAB, sizeof second.adapter.PhysicalAddress);
    second.adapter.Luid.Value = 0;
    second.unicast[0].Address = SOCKET_ADDRESS{reinterpret_cast<SOCKADDR*>(&short_v4), 4}; // too short
    second.adapter.FirstUnicastAddress = &second.unicast[0];
    second.adapter.Next = &third.adapter;

    third.adapter.IfIndex = 131;
    third.adapter.IfType = 131;
    third.adapter.Dhcpv4Server = SOCKET_ADDRESS{nullptr, 0};

    const std::vector<AdapterInfo> list = convert(&first.adapter);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].friendly_name, "");
    EXPECT_EQ(list[0].description, "");
    EXPECT_EQ(list[0].mac, "");
    EXPECT_FALSE(list[0].dhcp_server) << "0.0.0.0 is no server";
    EXPECT_FALSE(list[0].oper_up);
    EXPECT_FALSE(list[0].dhcp_enabled);
    EXPECT_FALSE(list[0].guid);

    EXPECT_EQ(list[1].friendly_name, "Wi-Fi \xEF\xBF\xBD");
    EXPECT_EQ(list[1].mac, "AB-AB-AB-AB-AB-AB-AB-AB");
    EXPECT_TRUE(list[1].ipv4.empty());

    EXPECT_EQ(list[2].if_index, 131u);
    EXPECT_FALSE(list[2].dhcp_server);
    EXPECT_TRUE(convert(nullptr).empty());
}

TEST(AdapterConvert, AdaptersWithoutIpv4AreKeyedByTheirIpv6Index) {
    // The Teredo pseudo-interface and an IPv6-only VPN adapter: IPv4 is not enabled on either, so
    // both report IfIndex 0; beside them a dual-stack adapter.
    SOCKADDR_IN6 teredo = v6("2001:0:4137:9e76::1"), vpn = v6("fd00:77::2");
    Entry dual, first, second;
    dual.adapter.IfIndex = 4;
    dual.adapter.Ipv6IfIndex = 4;
    dual.adapter.Next = &first.adapter;
    first.adapter.Ipv6IfIndex = 13;
    first.adapter.IfType = 131;
    first.unicast[0].Address = socket_address(teredo);
    first.adapter.FirstUnicastAddress = &first.unicast[0];
    first.adapter.Next = &second.adapter;
    second.adapter.Ipv6IfIndex = 21;
    second.adapter.IfType = 53;
    second.unicast[0].Address = socket_address(vpn);
    second.adapter.FirstUnicastAddress = &second.unicast[0];

    const std::vector<AdapterInfo> list = convert(&dual.adapter);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ((std::vector<std::uint32_t>{list[0].if_index, list[1].if_index, list[2].if_index}),
              (std::vector<std::uint32_t>{4, 13, 21}));
    EXPECT_EQ(list[1].ipv6_if_index, 13u);
    EXPECT_EQ(list[2].ipv6[0].address, "fd00:77::2");
}

TEST(AdapterConvert, GuidOfAStructIsTheRegistryForm) {
    const GUID guid = {0x0000000E, 0, 0, {0, 0, 0x4E, 0x65, 0x74, 0x44, 0x65, 0x76}};
    EXPECT_EQ(guid_text(guid), "{0000000E-0000-0000-0000-4E6574446576}");
}

} // namespace
} // namespace wirelux::platform

#endif
