#include "linux/link_identity.h"

#include "platform/address_text.h"
#include "util/text.h"

#include <cctype>
#include <linux/if.h>
#include <linux/if_arp.h>

namespace wirelux::platform::linux_net {

namespace {

std::span<const std::uint8_t> byte_span(std::string_view bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

std::uint64_t fnv1a(std::string_view bytes, std::uint64_t hash) {
    for (const char c : bytes) {
        hash ^= static_cast<std::uint8_t>(c);
        hash *= 0x100000001B3ull;
    }
    return hash;
}

// Spreads every input bit over the whole word (the splitmix64 finaliser).
std::uint64_t mix(std::uint64_t x) {
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// "0x8086\n" -> "8086"
std::string hex_id(std::string_view text) {
    text = trim(text);
    if (starts_with_ci(text, "0x")) text.remove_prefix(2);
    return upper(text);
}

std::string normalized_module(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c == '-') c = '_';
    return out;
}

} // namespace

std::uint32_t iana_if_type(std::uint16_t hardware_type, bool wireless) {
    switch (hardware_type) {
    case ARPHRD_ETHER:
    case ARPHRD_EETHER:
    case ARPHRD_IEEE802:
        return wireless ? kIfTypeWifi : kIfTypeEthernet;
    case ARPHRD_IEEE80211:
    case ARPHRD_IEEE80211_PRISM:
    case ARPHRD_IEEE80211_RADIOTAP:
        return kIfTypeWifi;
    case ARPHRD_LOOPBACK:
        return kIfTypeLoopback;
    case ARPHRD_PPP:
        return kIfTypePpp;
    case ARPHRD_NONE:
    case ARPHRD_RAWIP:
    case ARPHRD_TUNNEL:
    case ARPHRD_TUNNEL6:
    case ARPHRD_SIT:
    case ARPHRD_IPGRE:
    case ARPHRD_IP6GRE:
        return kIfTypeTunnel;
    case ARPHRD_INFINIBAND:
        return kIfTypeInfiniband;
    default:
        return kIfTypeOther;
    }
}

bool link_oper_up(const netlink::LinkRecord& link) {
    if (link.operstate == IF_OPER_UP) return true;
    return link.operstate == IF_OPER_UNKNOWN && (link.flags & IFF_UP) != 0 && (link.flags & IFF_RUNNING) != 0;
}

std::string link_mac_text(const netlink::LinkRecord& link, std::uint32_t if_type) {
    if (if_type == kIfTypeLoopback || if_type == kIfTypePpp || if_type == kIfTypeTunnel) return {};
    return mac_text(byte_span(link.address));
}

std::string link_guid(const netlink::LinkRecord& link) {
    const std::string_view hardware =
        !link.permanent_address.empty() && !all_zero(byte_span(link.permanent_address))
            ? link.permanent_address
            : link.address;
    std::string key = link.name;
    key.push_back('\0');
    key.append(hardware);
    const std::uint64_t high = mix(fnv1a(key, 0xCBF29CE484222325ull));
    const std::uint64_t low = mix(fnv1a(key, 0x84222325CBF29CE4ull) ^ high);

    // Shaped as an RFC 9562 version-8 (implementation-defined) UUID so that it reads as one.
    const auto data1 = static_cast<std::uint32_t>(high >> 32);
    const auto data2 = static_cast<std::uint16_t>(high >> 16);
    const auto data3 = static_cast<std::uint16_t>((high & 0x0FFFu) | 0x8000u);
    std::uint8_t data4[8];
    for (int i = 0; i < 8; ++i)
        data4[i] = static_cast<std::uint8_t>(low >> (56 - 8 * i));
    data4[0] = static_cast<std::uint8_t>((data4[0] & 0x3Fu) | 0x80u);
    return guid_text(data1, data2, data3, std::span<const std::uint8_t, 8>(data4));
}

std::uint64_t link_luid(std::uint32_t if_index, std::uint32_t if_type) {
    return (static_cast<std::uint64_t>(if_type & 0xFFFFu) << 48) |
           (static_cast<std::uint64_t>(if_index & 0xFFFFFFu) << 24);
}

bool safe_path_component(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

bool safe_interface_name(std::string_view name) {
    return safe_path_component(name) && name.size() < IFNAMSIZ;
}

std::string sysfs_address_text(std::string_view bytes) {
    std::string text = to_lower_ascii(mac_text(byte_span(bytes)));
    for (char& c : text)
        if (c == '-') c = ':';
    // mac_text stops at eight bytes; longer addresses (InfiniBand) are not compared past them.
    return text;
}

std::uint64_t link_speed_bps(std::string_view speed_file) {
    const std::string_view text = trim(speed_file);
    if (text.empty() || text.size() > 9) return 0;
    std::uint64_t mbps = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return 0; // "-1" (unknown) included
        mbps = mbps * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return mbps * 1000000ull;
}

std::optional<std::string> uevent_value(std::string_view uevent, std::string_view key) {
    while (!uevent.empty()) {
        const std::size_t end = uevent.find('\n');
        const std::string_view line = uevent.substr(0, end);
        uevent.remove_prefix(end == std::string_view::npos ? uevent.size() : end + 1);
        if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == '=')
            return std::string(trim(line.substr(key.size() + 1)));
    }
    return std::nullopt;
}

std::string device_instance_id(const std::vector<DeviceNode>& chain, std::string_view if_name) {
    if (chain.empty()) return "ROOT\\NET\\" + std::string(if_name);
    for (const DeviceNode& node : chain) {
        if (node.vendor.empty() || node.product.empty()) continue;
        if (node.subsystem == "usb") {
            const std::string_view instance =
                trim(node.serial).empty() ? std::string_view(node.name) : trim(node.serial);
            return "USB\\VID_" + hex_id(node.vendor) + "&PID_" + hex_id(node.product) + "\\" +
                   upper(instance);
        }
        if (node.subsystem == "pci")
            return "PCI\\VEN_" + hex_id(node.vendor) + "&DEV_" + hex_id(node.product) + "\\" +
                   upper(node.name);
    }
    const DeviceNode& nearest = chain.front();
    return upper(nearest.subsystem.empty() ? std::string_view("BUS") : std::string_view(nearest.subsystem)) +
           "\\" + upper(nearest.name);
}

std::optional<std::string> module_path(std::string_view modules_list, std::string_view module) {
    const std::string wanted = normalized_module(module);
    if (wanted.empty()) return std::nullopt;
    while (!modules_list.empty()) {
        const std::size_t end = modules_list.find('\n');
        std::string_view line = modules_list.substr(0, end);
        modules_list.remove_prefix(end == std::string_view::npos ? modules_list.size() : end + 1);
        line = trim(line.substr(0, line.find(':')));
        const std::size_t slash = line.rfind('/');
        std::string_view base = slash == std::string_view::npos ? line : line.substr(slash + 1);
        const std::size_t ko = base.find(".ko");
        if (ko == std::string_view::npos) continue;
        if (normalized_module(base.substr(0, ko)) == wanted) return std::string(line);
    }
    return std::nullopt;
}

} // namespace wirelux::platform::linux_net
