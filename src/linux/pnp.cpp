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
    for (const netlink::LinkRecord& link : *links) {
        const linux_net::LinkDevice device =
            linux_net::read_link_device(link, linux_net::sysfs_describes(link), modules);
        add_pnp_device(map, linux_net::pnp_values(link, device));
    }
    return map;
}

} // namespace wirelux::platform
