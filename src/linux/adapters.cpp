#include "platform/adapters.h"

#include "linux/adapter_assembly.h"
#include "linux/resolver_files.h"
#include "linux/route_records.h"
#include "linux/rtnl_dump.h"
#include "linux/sysfs_net.h"
#include "platform/routes.h"

namespace wirelux::platform {

namespace {

std::vector<std::string> system_resolver_servers() {
    const auto etc = linux_net::read_text_file("/etc/resolv.conf");
    if (!etc) return {};
    const auto upstream = linux_net::read_text_file("/run/systemd/resolve/resolv.conf");
    return linux_net::choose_resolver_servers(*etc, upstream.value_or(std::string()));
}

} // namespace

std::vector<AdapterInfo> enumerate_adapters(const std::vector<RouteRow>& routes) {
    auto socket = netlink::Socket::open();
    if (!socket) return {};
    auto links = netlink::dump_links(*socket);
    if (!links) return {};

    linux_net::AdapterSources sources;
    sources.links = std::move(*links);
    sources.addresses = netlink::dump_addresses(*socket).value_or(std::vector<netlink::AddressRecord>());
    // The rows are the main table's unicast routes and the default routes of the tables that routing
    // rules select, one per next hop: the default ones name gateways.
    for (const RouteRow& row : routes) {
        if (row.prefix_len != 0) continue;
        netlink::RouteRecord route;
        route.family = row.family;
        route.next_hops.push_back({row.next_hop, row.if_index});
        sources.default_routes.push_back(std::move(route));
    }
    const auto directories = linux_net::StateDirectories::present();
    for (const netlink::LinkRecord& link : sources.links)
        if (auto extras = linux_net::read_link_extras(link, directories))
            sources.extras.emplace(link.index, std::move(*extras));
    sources.resolver_servers = system_resolver_servers();
    return linux_net::assemble_adapters(sources);
}

std::vector<AdapterInfo> enumerate_adapters() { return enumerate_adapters(read_route_table()); }

} // namespace wirelux::platform
