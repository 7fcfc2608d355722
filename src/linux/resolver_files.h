#pragma once
// DNS servers and DHCP leases as the Linux resolver and network managers record them in text files.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux::platform::linux_net {

// Canonical address text of one server token as these files write it: "1.2.3.4", "1.2.3.4:53",
// "[2001:db8::1]:53", "fe80::1%2", any of them followed by "#server-name". Absent when it is no address.
std::optional<std::string> server_address(std::string_view token);

// The "nameserver" lines of a resolv.conf text, duplicates removed.
std::vector<std::string> resolv_conf_servers(std::string_view text);

// The servers the system resolver uses: those of /etc/resolv.conf, unless that names only the local
// stub of systemd-resolved, in which case those of the upstream list it keeps.
std::vector<std::string> choose_resolver_servers(std::string_view etc_resolv_conf,
                                                 std::string_view upstream_resolv_conf);

// Value of KEY=value in a systemd state file (link, resolver or lease state); absent when missing.
std::optional<std::string> state_value(std::string_view text, std::string_view key);

// Space-separated servers of one key of a state file ("DNS" of a link, "SERVERS" of the resolver).
std::vector<std::string> state_servers(std::string_view text, std::string_view key);

// What a DHCP client's lease file is, told by its name: the clients name each file for the interface
// it serves, or keep one file for all of them.
enum class LeaseFormat {
    Dhclient, // ISC dhclient's "lease { ... }" blocks (dhclient itself, and NetworkManager running it)
    KeyValue, // KEY=value lines (NetworkManager's internal client, like systemd-networkd)
};
struct LeaseFileName {
    LeaseFormat format = LeaseFormat::Dhclient;
    std::string interface; // empty for a file that serves every interface
};

// "internal-<uuid>-<if>.lease", "dhclient-<uuid>-<if>.lease", "dhclient--<if>.lease",
// "dhclient.<if>.leases", "dhclient-<if>.leases", "dhclient.leases"; absent for any other name and for
// DHCPv6 lease files.
std::optional<LeaseFileName> lease_file_name(std::string_view file_name);

// The DHCP server of the newest lease a dhclient lease file holds for the interface: the last lease
// block naming it (or naming no interface, in a file kept for it alone, when for_interface_alone),
// its "dhcp-server-identifier" option. Absent when there is none or it is no address.
std::optional<std::string> dhclient_lease_server(std::string_view text, std::string_view interface,
                                                 bool for_interface_alone);

} // namespace wirelux::platform::linux_net
