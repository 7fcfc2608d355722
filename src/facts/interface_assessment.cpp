#include "facts/interface_assessment.h"

#include "facts/if_type_word.h"
#include "util/decimal.h"
#include "util/regex.h"
#include "util/text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>

namespace wirelux {

namespace {

struct Patterns {
    Regex software_enumerated{R"((?i)^(ROOT|SWD|HTREE)\\)"};
    Regex known_virtual{
        R"((?i)VMware|VirtualBox|Hyper-V|vEthernet|Docker|WSL|Npcap|Loopback|Bluetooth.*PAN)"};
    Regex cellular{R"((?i)\b(PPP|RAS|RNDIS|WWAN|LTE|5G|cellular|mobile broadband)\b|USB.*tether)"};
    Regex tunnel_identity{
        R"((?i)\b(TUN|TAP|Wintun|WireGuard|Tailscale|ZeroTier|OpenVPN|VPN|Mihomo|Clash|)"
        R"(sing[- ]?box|v2ray|xray|tun2socks|WinDivert|redirect|packet[ -]?filter)\b|tap0901)"};
    Regex hardware_bus{R"((?i)^(PCI|USB)\\)"};
};

const Patterns& patterns() {
    static const Patterns compiled;
    return compiled;
}

constexpr const char* kEvidenceMediaTypeIp = "MediaType=IP";
constexpr const char* kEvidenceTunnelIdentity = "tunnel/VPN identity in adapter, service or driver";
constexpr const char* kEvidenceFakeIpAddress = "198.18/15 or fdfe:: style interface address";
constexpr const char* kEvidenceFakeIpDns = "198.18/15 or fdfe:: style DNS";
constexpr const char* kEvidenceLoopbackDns = "loopback DNS (weak signal)";
constexpr const char* kEvidenceVirtualOwnsDefault = "virtual/non-physical adapter owns default route";
constexpr const char* kEvidenceNoConventionalGateway = "default route without conventional gateway";
constexpr const char* kEvidencePhysical = "Win32_NetworkAdapter.PhysicalAdapter=true";
constexpr const char* kEvidenceHardwareBus = "hardware-enumerated PCI/USB network device";
constexpr const char* kEvidenceCellular = "PPP/RNDIS/WWAN carrier identity";
constexpr const char* kEvidenceKnownVirtualCarrier = "known virtual/bridged carrier identity";

bool is_wired_or_wireless(const std::string& type_word) {
    return type_word == "802.3" || type_word == "Native 802.11";
}

struct DefaultRoutes {
    bool v4 = false;
    bool v6 = false;
    bool conventional_gateway = false;
};

DefaultRoutes default_routes_of(std::uint32_t if_index, const std::vector<RouteRow>& routes) {
    DefaultRoutes found;
    for (const RouteRow& route : routes) {
        if (route.if_index != if_index || route.prefix_len != 0 || !route.destination) continue;
        std::string_view unspecified;
        if (route.family == kFamilyIpv4 && *route.destination == "0.0.0.0") {
            found.v4 = true;
            unspecified = "0.0.0.0";
        } else if (route.family == kFamilyIpv6 && *route.destination == "::") {
            found.v6 = true;
            unspecified = "::";
        } else {
            continue;
        }
        if (route.next_hop && !route.next_hop->empty() && *route.next_hop != unspecified)
            found.conventional_gateway = true;
    }
    return found;
}

} // namespace

const PnpDevice* device_of(const AdapterInfo& adapter,
                           const std::unordered_map<std::string, PnpDevice>& pnp_by_guid) {
    if (!adapter.guid) return nullptr;
    const auto it = pnp_by_guid.find(to_lower_ascii(*adapter.guid));
    return it != pnp_by_guid.end() ? &it->second : nullptr;
}

std::string identity_text(const AdapterInfo& adapter, const PnpDevice* device) {
    std::string text = adapter.friendly_name + " " + adapter.description + " ";
    if (device != nullptr) {
        text +=
            device->service + " " + device->provider_name.value_or("") + " " + device->inf_path.value_or("");
    } else {
        text += "  ";
    }
    return text;
}

InterfaceAssessment assess_interface(const AdapterInfo& adapter, const PnpDevice* device,
                                     const std::vector<RouteRow>& routes) {
    const Patterns& re = patterns();
    InterfaceAssessment a;
    a.name = adapter.friendly_name;
    a.if_index = adapter.if_index;
    a.if_type_word = if_type_word(adapter.if_type);
    if (device != nullptr) {
        a.instance_id = device->instance_id;
        a.service = device->service;
        a.provider_name = device->provider_name.value_or("");
        a.inf_path = device->inf_path.value_or("");
        a.driver_version = device->driver_version.value_or("");
        a.characteristics = device->characteristics;
    }

    const DefaultRoutes defaults = default_routes_of(adapter.if_index, routes);
    a.has_default_v4 = defaults.v4;
    a.has_default_v6 = defaults.v6;
    a.has_conventional_gateway = defaults.conventional_gateway;
    const bool has_default = defaults.v4 || defaults.v6;

    const bool physical_flag = (a.characteristics & kNcfPhysical) != 0;
    a.is_physical = device != nullptr && physical_flag;
    a.is_virtual = re.software_enumerated.search(a.instance_id) || (a.characteristics & kNcfVirtual) != 0 ||
                   (device != nullptr && !physical_flag);

    std::vector<std::string> fake_addresses;
    for (const auto* list : {&adapter.ipv4, &adapter.ipv6})
        for (const IfAddress& address : *list)
            if (is_fake_ip(address.address)) fake_addresses.push_back(address.address);
    std::vector<std::string> fake_dns;
    std::vector<std::string> loopback_dns;
    for (const std::string& server : adapter.dns_servers) {
        if (is_fake_ip(server)) fake_dns.push_back(server);
        if (is_loopback_dns(server)) loopback_dns.push_back(server);
    }
    a.fake_ip_addresses = join(fake_addresses, ", ");
    a.fake_ip_dns = join(fake_dns, ", ");
    a.loopback_dns = join(loopback_dns, ", ");

    const std::string identity = identity_text(adapter, device);
    const bool tunnel_identity = re.tunnel_identity.search(identity);
    const bool cellular = re.cellular.search(identity);
    const bool known_virtual = re.known_virtual.search(identity);

    double ts = 0.0;
    double cs = 0.0;
    const auto add = [&a](double& score, double points, const char* evidence) {
        score += points;
        if (evidence != nullptr) a.evidence.emplace_back(evidence);
    };

    if (a.if_type_word == "IP") add(ts, 6.0, kEvidenceMediaTypeIp);
    if (tunnel_identity) add(ts, 8.0, kEvidenceTunnelIdentity);
    if (!fake_addresses.empty()) add(ts, 6.0, kEvidenceFakeIpAddress);
    if (!fake_dns.empty()) add(ts, 5.0, kEvidenceFakeIpDns);
    if (!loopback_dns.empty()) add(ts, 0.75, kEvidenceLoopbackDns);
    if (a.is_virtual && has_default && !cellular && !known_virtual) add(ts, 4.0, kEvidenceVirtualOwnsDefault);
    if (a.is_virtual && has_default && !a.has_conventional_gateway && !cellular)
        add(ts, 1.5, kEvidenceNoConventionalGateway);

    if (a.is_physical) add(cs, 7.0, kEvidencePhysical);
    if (is_wired_or_wireless(a.if_type_word)) add(cs, 2.0, nullptr);
    if (re.hardware_bus.search(a.instance_id) && !(device != nullptr && !physical_flag))
        add(cs, 2.5, kEvidenceHardwareBus);
    if (cellular) add(cs, 5.0, kEvidenceCellular);
    if (known_virtual && has_default) add(cs, 4.0, kEvidenceKnownVirtualCarrier);
    if (has_default) add(cs, 1.0, nullptr);

    double confidence = 0.35;
    a.role = kRoleOther;
    if (ts >= 7.0 && ts > cs + 1.5) {
        a.role = kRoleTunnel;
        confidence = std::min(0.74 + 0.02 * ts, 0.98);
    } else if (has_default && ts >= 4.0 && ts >= cs) {
        a.role = kRoleSuspectedTunnel;
        confidence = std::min(0.5 + 0.035 * ts, 0.79);
    } else if (cs >= 5.0 && cs > ts) {
        a.role = kRoleCarrier;
        confidence = std::min(0.68 + 0.025 * cs, 0.98);
    } else if (!a.is_virtual && has_default) {
        const bool carrier = is_wired_or_wireless(a.if_type_word);
        a.role = carrier ? kRoleCarrier : kRoleAmbiguousRoute;
        confidence = carrier ? 0.68 : 0.45;
    } else if (has_default) {
        a.role = kRoleAmbiguousRoute;
        confidence = 0.45;
    }

    a.tunnel_score = round_two_decimals(ts);
    a.carrier_score = round_two_decimals(cs);
    a.role_confidence = round_two_decimals(confidence);
    return a;
}

std::unordered_map<std::uint32_t, InterfaceAssessment> assess_interfaces(const FactSnapshot& snapshot) {
    std::unordered_map<std::uint32_t, InterfaceAssessment> assessments;
    for (const AdapterInfo& adapter : snapshot.adapters)
        assessments[adapter.if_index] =
            assess_interface(adapter, device_of(adapter, snapshot.pnp_by_guid), snapshot.routes);
    return assessments;
}

} // namespace wirelux
