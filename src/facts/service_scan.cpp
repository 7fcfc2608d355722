#include "facts/service_scan.h"

#include "util/regex.h"

#include <algorithm>

namespace wirelux {

namespace {

const Regex& vpn_identity_pattern() {
    static const Regex pattern(
        "(?i)(wintun|windivert|tap0901|tap-windows|wireguard|openvpn|openconnect|tun2socks|"
        "tailscale|zerotier|mihomo|clash|sing.?box|v2ray|xray|hysteria|shadowsocks|trojan|"
        "naive|gost|proxifier|hiddify|warp-svc)");
    return pattern;
}

} // namespace

std::string service_identity_text(const ServiceInfo& service) {
    return service.name + " " + service.display_name + " " + service.binary_path;
}

bool names_vpn_software(const ServiceInfo& service) {
    return vpn_identity_pattern().search(service_identity_text(service));
}

std::vector<ServiceInfo> vpn_identities(std::vector<ServiceInfo> entries) {
    std::erase_if(entries, [](const ServiceInfo& s) { return !names_vpn_software(s); });
    return entries;
}

void collect_vpn_services(FactSnapshot& snapshot, const ServiceLister& lister) {
    snapshot.vpn_drivers = vpn_identities(lister.drivers());
    snapshot.vpn_services = vpn_identities(lister.services());
}

} // namespace wirelux
