// Small system files other programs write: resolv.conf, systemd state files, os-release, a sysfs uevent
// and speed file, the module lists, /proc/modules and a cgroup's process list. The first byte picks the
// reader.
#include "common/harness.h"
#include "facts/os_identity.h"
#include "linux/link_identity.h"
#include "linux/resolver_files.h"
#include "platform/services.h"
#include "util/ip_text.h"

namespace wirelux::fuzz {

using namespace platform;

void fuzz_one_input(std::string_view input) {
    const auto [selector, text] = take_selector(input);
    switch (selector % 6) {
    case 0: {
        const auto [etc, upstream] = split_once(text, '\0');
        for (const std::string& server : linux_net::choose_resolver_servers(etc, upstream))
            check(parse_ip(server).has_value(), "a resolver is an address");
        break;
    }
    case 1:
        (void)linux_net::state_value(text, "DNS");
        for (const std::string& server : linux_net::state_servers(text, "SERVERS"))
            check(parse_ip(server).has_value(), "a resolver is an address");
        break;
    case 2:
        (void)os_release_pretty_name(text);
        break;
    case 3:
        (void)linux_net::uevent_value(text, "DEVTYPE");
        (void)linux_net::link_speed_bps(text);
        (void)linux_net::module_path(text, "e1000e");
        break;
    case 4:
        for (const ServiceInfo& module : parse_proc_modules(text)) check(!module.name.empty(), "a module has a name");
        break;
    default:
        (void)first_cgroup_pid(text);
        break;
    }
}

} // namespace wirelux::fuzz
