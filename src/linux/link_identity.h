#pragma once
// What Windows would say about an interface, derived from what Linux says about it: the IANA type
// number, the operational state, an interface GUID and LUID, and the device instance path.

#include "linux/netlink_parse.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux::platform::linux_net {

inline constexpr std::uint32_t kIfTypeOther = 1;
inline constexpr std::uint32_t kIfTypeEthernet = 6;
inline constexpr std::uint32_t kIfTypePpp = 23;
inline constexpr std::uint32_t kIfTypeLoopback = 24;
inline constexpr std::uint32_t kIfTypeWifi = 71;
inline constexpr std::uint32_t kIfTypeTunnel = 131;
inline constexpr std::uint32_t kIfTypeInfiniband = 199;

inline constexpr std::uint32_t kCharacteristicsVirtual = 0x1;
inline constexpr std::uint32_t kCharacteristicsPhysical = 0x4;

// IANA interface type for a link-layer type (ARPHRD_*); wireless Ethernet-framed links are 802.11.
std::uint32_t iana_if_type(std::uint16_t hardware_type, bool wireless);

// Up when the kernel says so, or when it cannot tell (loopback and many tunnels report "unknown")
// but the link is administratively up with a carrier.
bool link_oper_up(const netlink::LinkRecord& link);

// Physical-address text: empty for loopback, PPP and layer-3 tunnels (which have no hardware address
// on Windows either), else the reported bytes.
std::string link_mac_text(const netlink::LinkRecord& link, std::uint32_t if_type);

// A GUID that stays the same for the same interface name and burnt-in address (the current address
// when the driver reports no burnt-in one).
std::string link_guid(const netlink::LinkRecord& link);

// LUID laid out as Windows does: interface type in the top 16 bits, the index in the 24 below them.
std::uint64_t link_luid(std::uint32_t if_index, std::uint32_t if_type);

// True when the name can be used as one component of a file path.
bool safe_path_component(std::string_view name);

// The same, for an interface name (which is also shorter than IFNAMSIZ).
bool safe_interface_name(std::string_view name);

// The address as sysfs prints it: lower-case hexadecimal bytes joined by ":".
std::string sysfs_address_text(std::string_view bytes);

// Link speed from /sys/class/net/<if>/speed (Mb/s); 0 when unknown, negative or unreadable.
std::uint64_t link_speed_bps(std::string_view speed_file);

// Value of KEY=value in a uevent text.
std::optional<std::string> uevent_value(std::string_view uevent, std::string_view key);

// One sysfs device on the way from a network interface up to the root, with the ids its bus shows.
struct DeviceNode {
    std::string subsystem; // "pci", "usb", "virtio", "platform", ...
    std::string name;      // directory name: "0000:00:1f.6", "2-1", "virtio0"
    std::string vendor;    // pci "vendor" or usb "idVendor", as the file says
    std::string product;   // pci "device" or usb "idProduct"
    std::string serial;    // usb "serial"
};

// Windows-style device instance path. Bus devices: the nearest PCI or USB device with its ids
// ("PCI\VEN_8086&DEV_15F3\0000:00:1F.6", "USB\VID_0BDA&PID_8153\<serial or port>"), else the nearest
// device's bus and name ("VIRTIO\VIRTIO0"). Software devices (empty chain): "ROOT\NET\<name>".
std::string device_instance_id(const std::vector<DeviceNode>& chain, std::string_view if_name);

// Path of a kernel module in a modules.dep or modules.builtin text ("kernel/drivers/.../x.ko[.xz]");
// "-" and "_" in module names are the same.
std::optional<std::string> module_path(std::string_view modules_list, std::string_view module);

} // namespace wirelux::platform::linux_net
