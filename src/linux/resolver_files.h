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

} // namespace wirelux::platform::linux_net
