#include "platform/adapters.h"

#include "linux/adapter_assembly.h"
#include "linux/resolver_files.h"
#include "linux/route_records.h"
#include "linux/rtnl_dump.h"
#include "linux/sysfs_net.h"

#include <algorithm>
#include <iterator>
#include <sys/socket.h>

namespace wirelux::platform {

namespace {

std::vector<std::string> system_resolver_servers() {
    const auto etc = linux_net::read_text_file("/etc/resolv.conf");
    if (!etc) return {};
    const auto upstream = linux_net::read_text_file("/run/systemd/resolve/resolv.conf");
    return linux_net::choose_resolver_servers(*etc, upstream.value_or(std::string()));
}

} // namespace

std::vector<AdapterInfo> enumerate_adapters() {
    auto socket = netlink::Socket::open();
    if (!socket) return {};
    auto links = netlink::dump_links(*socket);
    if (!links) return {};

    linux_net::AdapterSources sources;
    sources.links = std::move(*links);
    sources.addresses = netlink::dump_addresses(*socket).value_or(std::vector<netlink::AddressRecord>());
    const netlink::RouteSelection selection(netlink::dump_rules(*socket).value_or(std::vector<netlink::RuleRecord>()));
    for (const std::uint8_t family : {AF_INET, AF_INET6}) {
        std::vector<netlink::RouteRecord> defaults;
        const bool complete = netlink::dump_route_messages(*socket, family, [&](const netlink::Message& m) {
            if (netlink::route_prefix_length(m) != 0) return; // only default routes name gateways
            if (auto route = netlink::parse_route(m); route && selection.keeps(*route))
                defaults.push_back(std::move(*route));
        });
        if (complete) std::move(defaults.begin(), defaults.end(), std::back_inserter(sources.default_routes));
    }
    const auto directories = linux_net::StateDirectories::present();
    for (const netlink::LinkRecord& link : sources.links)
        if (auto extras = linux_net::read_link_extras(link, directories))
            sources.extras.emplace(link.index, std::move(*extras));
    sources.resolver_servers = system_resolver_servers();
    return linux_net::assemble_adapters(sources);
}

} // namespace wirelux::platform
