#include "linux/adapter_assembly.h"

#include "platform/address_text.h"
#include "util/utf.h"

#include <linux/if_addr.h>
#include <unordered_set>

namespace wirelux::platform::linux_net {

namespace {

const LinkExtras kNoExtras;

void add_gateways(AdapterInfo& adapter, const std::vector<netlink::RouteRecord>& default_routes) {
    for (const netlink::RouteRecord& route : default_routes)
        for (const netlink::NextHop& hop : route.next_hops)
            if (hop.if_index == adapter.if_index && hop.gateway)
                append_unique(adapter.gateways, *hop.gateway);
}

void add_addresses(AdapterInfo& adapter, const std::vector<netlink::AddressRecord>& addresses) {
    for (const netlink::AddressRecord& a : addresses) {
        if (a.index != adapter.if_index) continue;
        (a.family == kFamilyIpv4 ? adapter.ipv4 : adapter.ipv6).push_back({a.address, a.prefix_len});
        // Addresses a DHCP client installs carry a lease lifetime; static ones are permanent.
        if (a.family == kFamilyIpv4 && (a.flags & IFA_F_PERMANENT) == 0) adapter.dhcp_enabled = true;
    }
}

} // namespace

std::vector<AdapterInfo> assemble_adapters(const AdapterSources& sources) {
    std::unordered_set<std::uint32_t> default_route_owners;
    for (const netlink::RouteRecord& route : sources.default_routes)
        for (const netlink::NextHop& hop : route.next_hops)
            default_route_owners.insert(hop.if_index);
    bool per_link_dns = false;
    for (const auto& [index, extras] : sources.extras)
        per_link_dns = per_link_dns || !extras.dns_servers.empty();

    std::vector<AdapterInfo> adapters;
    adapters.reserve(sources.links.size());
    for (const netlink::LinkRecord& link : sources.links) {
        const auto found = sources.extras.find(link.index);
        const LinkExtras& extras = found == sources.extras.end() ? kNoExtras : found->second;

        AdapterInfo adapter;
        adapter.friendly_name = sanitize_utf8(link.name);
        adapter.description = extras.model
                                  ? sanitize_utf8(*extras.model)
                                  : (link.alias.empty() ? adapter.friendly_name : sanitize_utf8(link.alias));
        adapter.if_index = link.index;
        adapter.ipv6_if_index = link.index;
        adapter.if_type = iana_if_type(link.hardware_type, extras.wireless);
        adapter.mac = link_mac_text(link, adapter.if_type);
        adapter.guid = link_guid(link);
        adapter.luid = link_luid(link.index, adapter.if_type);
        adapter.link_speed_bps = extras.link_speed_bps;
        adapter.mtu = link.mtu;
        adapter.oper_up = link_oper_up(link);
        add_addresses(adapter, sources.addresses);
        add_gateways(adapter, sources.default_routes);
        if (per_link_dns) {
            for (const std::string& server : extras.dns_servers)
                append_unique(adapter.dns_servers, server);
        } else if (adapter.oper_up && default_route_owners.contains(link.index)) {
            for (const std::string& server : sources.resolver_servers)
                append_unique(adapter.dns_servers, server);
        }
        adapter.dhcp_server = extras.dhcp_server;
        if (!adapter.dhcp_server && adapter.dhcp_enabled) adapter.dhcp_server = extras.stored_lease_server;
        adapters.push_back(std::move(adapter));
    }
    return adapters;
}

bool is_layered_ethernet(std::string_view kind) {
    for (const std::string_view layered :
         {"bridge", "bond", "team", "vlan", "macvlan", "macvtap", "ipvlan", "ipvtap", "veth"})
        if (kind == layered) return true;
    return false;
}

namespace {

constexpr int kMaxLayers = 8;

bool has_ports(std::string_view kind) {
    return kind == "bridge" || kind == "bond" || kind == "team";
}

const LinkDevice* carried_device_at(const netlink::LinkRecord& link, const std::vector<netlink::LinkRecord>& links,
                                    const std::unordered_map<std::uint32_t, LinkDevice>& devices, int depth) {
    if (depth > kMaxLayers || !is_layered_ethernet(link.kind)) return nullptr;
    std::vector<const netlink::LinkRecord*> below;
    if (has_ports(link.kind)) {
        for (const netlink::LinkRecord& port : links)
            if (port.master == link.index && port.index != link.index) below.push_back(&port);
    } else if (link.kind != "veth" && link.parent != 0 && link.parent != link.index && !link.parent_elsewhere) {
        for (const netlink::LinkRecord& parent : links)
            if (parent.index == link.parent) below.push_back(&parent);
    }
    for (const netlink::LinkRecord* lower : below) {
        const auto found = devices.find(lower->index);
        if (found != devices.end() && !found->second.chain.empty()) return &found->second;
        if (const LinkDevice* deeper = carried_device_at(*lower, links, devices, depth + 1)) return deeper;
    }
    return nullptr;
}

} // namespace

const LinkDevice* carried_device(const netlink::LinkRecord& link, const std::vector<netlink::LinkRecord>& links,
                                 const std::unordered_map<std::uint32_t, LinkDevice>& devices) {
    return carried_device_at(link, links, devices, 0);
}

PnpDriverValues pnp_values(const netlink::LinkRecord& link, const LinkDevice& own, const LinkDevice* carried) {
    const bool layered = own.chain.empty() && is_layered_ethernet(link.kind);
    const LinkDevice& device = layered && carried != nullptr ? *carried : own;
    PnpDriverValues values;
    values.net_cfg_instance_id = link_guid(link);
    values.instance_id = sanitize_utf8(device_instance_id(device.chain, link.name));
    values.service = sanitize_utf8(!device.driver.empty() ? device.driver : link.kind);
    values.provider_name = device.module;
    values.inf_path = device.module_file;
    values.driver_version = device.module_version;
    values.characteristics = device.chain.empty() ? kCharacteristicsVirtual : kCharacteristicsPhysical;
    if (layered && carried == nullptr) values.provider_name = "vEthernet (" + sanitize_utf8(link.kind) + ")";
    return values;
}

} // namespace wirelux::platform::linux_net
