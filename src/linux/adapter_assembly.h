#pragma once
// Adapter records and device identities assembled from the netlink tables and the few facts sysfs and
// the resolver files add.

#include "linux/link_identity.h"
#include "model/snapshot.h"
#include "platform/pnp_map.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace wirelux::platform::linux_net {

// What sysfs and the state files add to one link (defaults when they do not describe it).
struct LinkExtras {
    std::uint64_t link_speed_bps = 0;
    bool wireless = false;
    std::optional<std::string> model; // device model name from the hardware database
    std::vector<std::string> dns_servers;
    std::optional<std::string> dhcp_server;
    // The server a DHCP client's lease file names. Such files outlive the lease, so it counts only
    // for a link that holds a leased address.
    std::optional<std::string> stored_lease_server;
};

struct AdapterSources {
    std::vector<netlink::LinkRecord> links;
    std::vector<netlink::AddressRecord> addresses;
    std::vector<netlink::RouteRecord> default_routes; // unicast default routes of the tables rules select
    std::unordered_map<std::uint32_t, LinkExtras> extras;
    std::vector<std::string> resolver_servers; // the system resolver's servers
};

// One adapter per link in link order. DNS servers: the per-link lists when the system keeps any;
// otherwise the resolver's servers on every operational adapter that owns a default route.
std::vector<AdapterInfo> assemble_adapters(const AdapterSources& sources);

// What sysfs shows about the device behind a link; everything empty for a software device.
struct LinkDevice {
    std::vector<DeviceNode> chain;             // the device, then its parents
    std::string driver;                        // the bound driver's name
    std::optional<std::string> module;         // kernel module that provides the driver or link kind
    std::optional<std::string> module_file;    // its file path
    std::optional<std::string> module_version; // its version, when it declares one
};

// Software Ethernet links that stand on another link or on a virtual switch: bridges, bonds and teams
// (over their ports), VLANs and MAC/IP VLANs (over their parent), veth pairs.
bool is_layered_ethernet(std::string_view kind);

// The bus device a layered link's traffic leaves through: the first port or parent, in link order, that
// has one, looked for down through stacked layers (a bridge over a VLAN over a NIC). A veth's peer is
// not below it, and a parent in another namespace cannot be seen. nullptr when there is none.
const LinkDevice* carried_device(const netlink::LinkRecord& link, const std::vector<netlink::LinkRecord>& links,
                                 const std::unordered_map<std::uint32_t, LinkDevice>& devices);

// Device identity of a link, filed under the link's GUID. A layered link over a bus device carries that
// device's identity; one over no such device is a virtual switch port (what a "vEthernet" adapter is on
// Windows), and its provider text says so.
PnpDriverValues pnp_values(const netlink::LinkRecord& link, const LinkDevice& device,
                           const LinkDevice* carried = nullptr);

} // namespace wirelux::platform::linux_net
