#include "win/adapter_convert.h"

#include "platform/address_text.h"
#include "win/handle.h"

#include <cwchar>

namespace wirelux::platform {

namespace {

constexpr ULONG kDhcpEnabledFlag = 0x4;

std::string wide_text(const wchar_t* text) {
    return text == nullptr ? std::string() : narrow(text, std::wcslen(text));
}

void add_unicast(AdapterInfo& adapter, const IP_ADAPTER_UNICAST_ADDRESS* unicast) {
    for (; unicast != nullptr; unicast = unicast->Next) {
        const SOCKET_ADDRESS& sa = unicast->Address;
        auto text = socket_address_text(sa.lpSockaddr, sa.iSockaddrLength);
        if (!text) continue;
        IfAddress address{std::move(*text), unicast->OnLinkPrefixLength};
        (sa.lpSockaddr->sa_family == AF_INET ? adapter.ipv4 : adapter.ipv6).push_back(std::move(address));
    }
}

// DNS server and gateway entries share their leading layout: Next and Address.
template <typename Entry> void add_addresses(std::vector<std::string>& list, const Entry* entry) {
    for (; entry != nullptr; entry = entry->Next)
        if (auto text = socket_address_text(entry->Address.lpSockaddr, entry->Address.iSockaddrLength))
            append_unique(list, std::move(*text));
}

std::optional<std::string> dhcp_server(const SOCKET_ADDRESS& server) {
    auto text = socket_address_text(server.lpSockaddr, server.iSockaddrLength);
    if (!text || *text == "0.0.0.0" || *text == "::") return std::nullopt;
    return text;
}

AdapterInfo convert_adapter(const IP_ADAPTER_ADDRESSES& entry, const GuidLookup& guid_of) {
    AdapterInfo adapter;
    adapter.friendly_name = wide_text(entry.FriendlyName);
    adapter.description = wide_text(entry.Description);
    adapter.mac = mac_text(std::span<const std::uint8_t>(
        entry.PhysicalAddress,
        std::min<std::size_t>(entry.PhysicalAddressLength, sizeof entry.PhysicalAddress)));
    add_unicast(adapter, entry.FirstUnicastAddress);
    add_addresses(adapter.gateways, entry.FirstGatewayAddress);
    add_addresses(adapter.dns_servers, entry.FirstDnsServerAddress);
    adapter.dhcp_server = dhcp_server(entry.Dhcpv4Server);
    if (guid_of) adapter.guid = guid_of(entry.Luid);
    adapter.luid = entry.Luid.Value;
    adapter.link_speed_bps = entry.TransmitLinkSpeed;
    // IfIndex is 0 on an interface without IPv4 (the Teredo pseudo-interface, an IPv6-only VPN); its
    // IPv6 index is the same interface's index and keys it apart from every other such adapter.
    adapter.if_index = entry.IfIndex != 0 ? entry.IfIndex : entry.Ipv6IfIndex;
    adapter.ipv6_if_index = entry.Ipv6IfIndex;
    adapter.if_type = entry.IfType;
    adapter.mtu = entry.Mtu;
    adapter.ipv4_metric = entry.Ipv4Metric;
    adapter.ipv6_metric = entry.Ipv6Metric;
    adapter.oper_up = entry.OperStatus == IfOperStatusUp;
    adapter.dhcp_enabled = (entry.Flags & kDhcpEnabledFlag) != 0;
    return adapter;
}

} // namespace

std::string guid_text(const GUID& guid) {
    return guid_text(guid.Data1, guid.Data2, guid.Data3, std::span<const std::uint8_t, 8>(guid.Data4));
}

std::vector<AdapterInfo> convert_adapter_list(const IP_ADAPTER_ADDRESSES* first, const GuidLookup& guid_of) {
    std::vector<AdapterInfo> adapters;
    for (const IP_ADAPTER_ADDRESSES* entry = first; entry != nullptr; entry = entry->Next)
        adapters.push_back(convert_adapter(*entry, guid_of));
    return adapters;
}

} // namespace wirelux::platform
