#include "linux/sysfs_net.h"

#include "linux/proc_read.h"
#include "linux/resolver_files.h"
#include "platform/address_text.h"
#include "util/text.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace wirelux::platform::linux_net {

namespace {

constexpr std::size_t kMaxFileBytes = 4 * 1024 * 1024; // modules.dep of a distribution kernel is under 1 MiB
constexpr int kMaxDeviceDepth = 16;
constexpr std::size_t kMaxLeaseFiles = 256;

std::string class_path(const netlink::LinkRecord& link, std::string_view attribute) {
    return "/sys/class/net/" + link.name + "/" + std::string(attribute);
}

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::string link_target_name(const std::string& path) {
    const auto target = read_proc_link(AT_FDCWD, path.c_str());
    if (!target) return {};
    const std::size_t slash = target->rfind('/');
    return slash == std::string::npos ? *target : target->substr(slash + 1);
}

std::optional<std::string> real_path(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved) return std::nullopt;
    return std::string(resolved.get());
}

std::string attribute(const std::string& dir, const char* name) {
    auto text = read_text_file(dir + "/" + name);
    return text ? std::string(trim(*text)) : std::string();
}

std::vector<DeviceNode> device_chain(const std::string& device_link) {
    std::vector<DeviceNode> chain;
    auto dir = real_path(device_link);
    if (!dir) return chain;
    for (int depth = 0; depth < kMaxDeviceDepth && dir->starts_with("/sys/devices/"); ++depth) {
        const std::string subsystem = link_target_name(*dir + "/subsystem");
        if (!subsystem.empty()) {
            DeviceNode node;
            node.subsystem = subsystem;
            node.name = dir->substr(dir->rfind('/') + 1);
            if (subsystem == "pci") {
                node.vendor = attribute(*dir, "vendor");
                node.product = attribute(*dir, "device");
            } else if (subsystem == "usb") {
                node.vendor = attribute(*dir, "idVendor");
                node.product = attribute(*dir, "idProduct");
                node.serial = attribute(*dir, "serial");
            }
            chain.push_back(std::move(node));
        }
        dir->erase(dir->rfind('/'));
    }
    return chain;
}

// The link's uevent text when /sys/class/net/<name> is this link: same index, same address.
std::optional<std::string> describing_uevent(const netlink::LinkRecord& link) {
    if (!safe_interface_name(link.name)) return std::nullopt;
    auto uevent = read_text_file(class_path(link, "uevent"));
    if (!uevent || uevent_value(*uevent, "IFINDEX") != std::to_string(link.index)) return std::nullopt;
    if (!link.address.empty()) {
        const auto address = read_text_file(class_path(link, "address"));
        if (!address || !trim(*address).starts_with(sysfs_address_text(link.address))) return std::nullopt;
    }
    return uevent;
}

} // namespace

std::optional<std::string> read_text_file(const std::string& path) {
    auto text = read_proc_file(path, kMaxFileBytes + 1);
    if (text && text->size() > kMaxFileBytes) return std::nullopt; // not a file this reader is meant for
    return text;
}

bool sysfs_describes(const netlink::LinkRecord& link) {
    return describing_uevent(link).has_value();
}

StateDirectories StateDirectories::present() {
    StateDirectories d;
    d.udev_data = exists("/run/udev/data");
    d.resolved_links = exists("/run/systemd/resolve/netif");
    d.networkd_links = exists("/run/systemd/netif/links");
    d.networkd_leases = exists("/run/systemd/netif/leases");
    // NetworkManager's own client and the dhclient it may run; dhclient's on Debian and on Fedora.
    for (const char* directory : {"/var/lib/NetworkManager", "/var/lib/dhcp", "/var/lib/dhclient"}) {
        DirStream dir(::opendir(directory));
        if (!dir.valid()) continue;
        while (const dirent* entry = ::readdir(dir.get())) {
            auto name = lease_file_name(entry->d_name);
            if (!name || d.lease_files.size() >= kMaxLeaseFiles) continue;
            const std::string path = std::string(directory) + "/" + entry->d_name;
            struct stat st;
            if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            d.lease_files.push_back(LeaseFile{path, std::move(*name), static_cast<std::int64_t>(st.st_mtime)});
        }
    }
    std::stable_sort(d.lease_files.begin(), d.lease_files.end(),
                     [](const LeaseFile& a, const LeaseFile& b) { return a.modified > b.modified; });
    return d;
}

std::optional<std::string> lease_file_server(const std::vector<LeaseFile>& files, const std::string& interface) {
    for (const LeaseFile& file : files) {
        if (!file.name.interface.empty() && file.name.interface != interface) continue;
        const auto text = read_text_file(file.path);
        if (!text) continue;
        std::optional<std::string> server;
        if (file.name.format == LeaseFormat::KeyValue) {
            if (auto value = state_value(*text, "SERVER_ADDRESS")) server = server_address(*value);
        } else {
            server = dhclient_lease_server(*text, interface, !file.name.interface.empty());
        }
        if (server) return server;
    }
    return std::nullopt;
}

std::optional<LinkExtras> read_link_extras(const netlink::LinkRecord& link,
                                           const StateDirectories& directories) {
    const auto uevent = describing_uevent(link);
    if (!uevent) return std::nullopt;
    LinkExtras extras;
    if (auto speed = read_text_file(class_path(link, "speed")))
        extras.link_speed_bps = link_speed_bps(*speed);
    extras.wireless = uevent_value(*uevent, "DEVTYPE") == "wlan" || exists(class_path(link, "wireless"));

    const std::string index = std::to_string(link.index);
    if (directories.udev_data)
        if (auto udev = read_text_file("/run/udev/data/n" + index))
            extras.model = uevent_value(*udev, "E:ID_MODEL_FROM_DATABASE");
    // systemd-resolved keeps the servers other programs gave it per link, systemd-networkd those it
    // configured (from DHCP or its own files).
    if (directories.resolved_links)
        if (auto resolved = read_text_file("/run/systemd/resolve/netif/" + index))
            for (std::string& s : state_servers(*resolved, "SERVERS"))
                append_unique(extras.dns_servers, std::move(s));
    if (directories.networkd_links)
        if (auto networkd = read_text_file("/run/systemd/netif/links/" + index))
            for (std::string& s : state_servers(*networkd, "DNS"))
                append_unique(extras.dns_servers, std::move(s));
    if (directories.networkd_leases)
        if (auto lease = read_text_file("/run/systemd/netif/leases/" + index))
            if (auto server = state_value(*lease, "SERVER_ADDRESS"))
                extras.dhcp_server = server_address(*server);
    if (!extras.dhcp_server) extras.stored_lease_server = lease_file_server(directories.lease_files, link.name);
    return extras;
}

std::optional<std::string> ModuleFiles::path_of(const std::string& module) {
    if (!loaded_) {
        loaded_ = true;
        utsname names{};
        if (::uname(&names) == 0) {
            directory_ = std::string("/lib/modules/") + names.release + "/";
            dep_ = read_text_file(directory_ + "modules.dep").value_or(std::string());
            builtin_ = read_text_file(directory_ + "modules.builtin").value_or(std::string());
        }
    }
    auto path = module_path(dep_, module);
    if (!path) path = module_path(builtin_, module);
    if (!path) return std::nullopt;
    return directory_ + *path;
}

LinkDevice read_link_device(const netlink::LinkRecord& link, bool sysfs_is_ours, ModuleFiles& modules) {
    LinkDevice device;
    if (sysfs_is_ours && safe_interface_name(link.name)) {
        const std::string device_link = class_path(link, "device");
        device.chain = device_chain(device_link);
        if (!device.chain.empty()) {
            device.driver = link_target_name(device_link + "/driver");
            const std::string module = link_target_name(device_link + "/driver/module");
            if (!module.empty()) device.module = module;
        }
    }
    // A built-in driver has no module link, but still a /sys/module entry when it has parameters; a
    // software link's kind names its module ("veth", "tun", "wireguard", "bridge").
    const std::string& candidate = !device.driver.empty() ? device.driver : link.kind;
    if (!device.module && safe_path_component(candidate) && exists("/sys/module/" + candidate))
        device.module = candidate;
    if (device.module) {
        device.module_file = modules.path_of(*device.module);
        if (auto version = read_text_file("/sys/module/" + *device.module + "/version"))
            if (!is_blank(*version)) device.module_version = std::string(trim(*version));
    }
    return device;
}

} // namespace wirelux::platform::linux_net
