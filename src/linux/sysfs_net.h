#pragma once
// Facts about network interfaces that only sysfs, udev and the network managers' state files hold.

#include "linux/adapter_assembly.h"
#include "linux/resolver_files.h"

#include <cstdint>
#include <optional>
#include <string>

namespace wirelux::platform::linux_net {

// Contents of a small text file (sysfs attribute, state file); absent when it cannot be read or is
// larger than any such file.
std::optional<std::string> read_text_file(const std::string& path);

// True when /sys/class/net/<name> is this very link. A process that entered a new network namespace
// without remounting sysfs still sees the old namespace's devices there, so sysfs facts are taken only
// when the index and the address agree with netlink.
bool sysfs_describes(const netlink::LinkRecord& link);

// A DHCP client's lease file (NetworkManager's, dhclient's) and when it was last written.
struct LeaseFile {
    std::string path;
    LeaseFileName name;
    std::int64_t modified = 0; // seconds since the epoch
};

// Which per-link state directories exist and which lease files the DHCP clients keep, looked at once
// per enumeration rather than once per link.
struct StateDirectories {
    bool udev_data = false;
    bool resolved_links = false;
    bool networkd_links = false;
    bool networkd_leases = false;
    std::vector<LeaseFile> lease_files; // newest first
    static StateDirectories present();
};

// The DHCP server of the newest lease file for the interface that names one.
std::optional<std::string> lease_file_server(const std::vector<LeaseFile>& files, const std::string& interface);

// Link speed, wireless-ness, the device model and the per-link DNS and DHCP state of a link; absent
// when sysfs does not describe the link (see sysfs_describes), since the per-link state files are
// keyed by an index that then belongs to another namespace too.
std::optional<LinkExtras> read_link_extras(const netlink::LinkRecord& link,
                                           const StateDirectories& directories);

// Kernel module file lists, read once per enumeration and only when needed.
class ModuleFiles {
public:
    std::optional<std::string> path_of(const std::string& module);

private:
    bool loaded_ = false;
    std::string directory_;
    std::string dep_;
    std::string builtin_;
};

// The device behind a link (its bus chain and driver, when sysfs describes the link) and the kernel
// module that provides its driver or link kind.
LinkDevice read_link_device(const netlink::LinkRecord& link, bool sysfs_is_ours, ModuleFiles& modules);

} // namespace wirelux::platform::linux_net
