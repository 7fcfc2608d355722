// Device identity of every link: the Linux stand-in for the network device class.
#include "platform/adapters.h"

#include "linux/adapter_assembly.h"
#include "linux/rtnl_dump.h"
#include "linux/sysfs_net.h"

namespace wirelux::platform {

std::unordered_map<std::string, PnpDevice> enumerate_pnp_devices() {
    std::unordered_map<std::string, PnpDevice> map;
    auto socket = netlink::Socket::open();
    if (!socket) return map;
    const auto links = netlink::dump_links(*socket);
    if (!links) return map;

    linux_net::ModuleFiles modules;
    std::unordered_map<std::uint32_t, linux_net::LinkDevice> devices;
    for (const netlink::LinkRecord& link : *links)
        devices.emplace(link.index, linux_net::read_link_device(link, linux_net::sysfs_describes(link), modules));
    // A bridge, bond or VLAN stands for the device below it, so its identity is settled once every
    // link's own device is known.
    for (const netlink::LinkRecord& link : *links)
        add_pnp_device(map, linux_net::pnp_values(link, devices.at(link.index),
                                                  linux_net::carried_device(link, *links, devices)));
    return map;
}

} // namespace wirelux::platform
