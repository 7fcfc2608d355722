#include "linux/netlink_parse.h"

#include "model/snapshot.h"
#include "platform/address_text.h"

#include <cerrno>
#include <cstddef>
#include <limits>
#include <linux/if_addr.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

namespace wirelux::platform::netlink {

namespace {

constexpr std::size_t kHeaderSize = sizeof(nlmsghdr);
constexpr std::size_t align4(std::size_t n) {
    return (n + 3u) & ~std::size_t{3};
}

const std::uint8_t* as_bytes(std::string_view bytes) {
    return reinterpret_cast<const std::uint8_t*>(bytes.data());
}

// The signed errno field that opens NLMSG_ERROR and (optionally) NLMSG_DONE payloads.
std::optional<std::int32_t> leading_int(std::string_view payload) {
    if (payload.size() < 4) return std::nullopt;
    std::int32_t v;
    std::memcpy(&v, payload.data(), sizeof v);
    return v;
}

// The errno a kernel code stands for: a negative errno is an error, anything else none. No errno is
// as large as INT32_MIN, which cannot be negated: a message carrying it is corrupt and still an error.
int errno_of(std::int32_t code) {
    if (code >= 0) return 0;
    return code == std::numeric_limits<std::int32_t>::min() ? EPROTO : -code;
}

void put_u16(std::string& out, std::size_t at, std::uint16_t v) {
    std::memcpy(out.data() + at, &v, sizeof v);
}
void put_u32(std::string& out, std::size_t at, std::uint32_t v) {
    std::memcpy(out.data() + at, &v, sizeof v);
}

std::string request_header(std::uint16_t type, std::uint16_t flags, std::size_t body_size,
                           std::uint32_t seq) {
    std::string out(kHeaderSize + align4(body_size), '\0');
    put_u32(out, 0, static_cast<std::uint32_t>(out.size()));
    put_u16(out, 4, type);
    put_u16(out, 6, flags);
    put_u32(out, 8, seq);
    return out;
}

void append_attribute(std::string& out, std::uint16_t type, std::string_view data) {
    const std::size_t at = out.size();
    out.resize(at + align4(4 + data.size()), '\0');
    put_u16(out, at, static_cast<std::uint16_t>(4 + data.size()));
    put_u16(out, at + 2, type);
    std::memcpy(out.data() + at + 4, data.data(), data.size());
    put_u32(out, 0, static_cast<std::uint32_t>(out.size()));
}

std::optional<std::string> gateway_of(std::uint8_t family, const AttributeTable<RTA_MAX + 1>& attrs) {
    if (auto gw = attrs.get(RTA_GATEWAY)) return address_text(family, *gw);
    if (auto via = attrs.get(RTA_VIA); via && via->size() >= 2)
        return address_text(static_cast<std::uint8_t>(load_u16(via->data())), via->substr(2));
    return std::nullopt;
}

// rtnexthop entries of RTA_MULTIPATH: {u16 length, u8 flags, u8 hops, s32 ifindex} then attributes.
bool parse_multipath(std::uint8_t family, std::string_view bytes, std::vector<NextHop>& hops) {
    constexpr std::size_t kEntryHeader = 8;
    while (!bytes.empty()) {
        if (bytes.size() < kEntryHeader) return false;
        const std::uint16_t length = load_u16(bytes.data());
        if (length < kEntryHeader || length > bytes.size()) return false;
        const auto attrs = parse_attributes<RTA_MAX + 1>(bytes.substr(kEntryHeader, length - kEntryHeader));
        if (attrs.malformed) return false;
        hops.push_back({gateway_of(family, attrs), load_u32(bytes.data() + 4)});
        bytes.remove_prefix(std::min(align4(length), bytes.size()));
    }
    return true;
}

} // namespace

DatagramScan scan_datagram(std::string_view bytes, std::uint32_t seq) {
    DatagramScan scan;
    while (!bytes.empty() && !scan.finished) {
        if (bytes.size() < kHeaderSize) {
            scan.malformed = true;
            break;
        }
        const std::uint32_t length = load_u32(bytes.data());
        if (length < kHeaderSize || length > bytes.size()) {
            scan.malformed = true;
            break;
        }
        Message m;
        m.type = load_u16(bytes.data() + 4);
        m.flags = load_u16(bytes.data() + 6);
        m.seq = load_u32(bytes.data() + 8);
        m.payload = bytes.substr(kHeaderSize, length - kHeaderSize);
        bytes.remove_prefix(std::min<std::size_t>(align4(length), bytes.size()));

        if (m.seq != seq || m.type == NLMSG_NOOP) continue;
        if (m.type == NLMSG_ERROR) {
            const auto code = leading_int(m.payload);
            if (!code) {
                scan.malformed = true;
                break;
            }
            scan.error = errno_of(*code);
            scan.finished = true;
        } else if (m.type == NLMSG_DONE) {
            const auto code = leading_int(m.payload);
            if (code) scan.error = errno_of(*code);
            scan.finished = true;
        } else if (m.type == NLMSG_OVERRUN) {
            scan.malformed = true;
            break;
        } else {
            scan.messages.push_back(m);
            if ((m.flags & NLM_F_MULTI) == 0) scan.finished = true;
        }
    }
    return scan;
}

std::optional<std::uint32_t> attribute_u32(std::optional<std::string_view> data) {
    if (!data || data->size() < 4) return std::nullopt;
    return load_u32(data->data());
}

std::string attribute_string(std::optional<std::string_view> data) {
    if (!data) return {};
    const std::size_t end = data->find('\0');
    return std::string(data->substr(0, end));
}

std::uint16_t windows_family(std::uint8_t address_family) {
    if (address_family == AF_INET) return kFamilyIpv4;
    if (address_family == AF_INET6) return kFamilyIpv6;
    return 0;
}

std::optional<std::string> address_text(std::uint8_t address_family, std::string_view bytes) {
    if (address_family == AF_INET && bytes.size() == 4)
        return ipv4_text(std::span<const std::uint8_t, 4>(as_bytes(bytes), 4));
    if (address_family == AF_INET6 && bytes.size() == 16)
        return ipv6_text(std::span<const std::uint8_t, 16>(as_bytes(bytes), 16));
    return std::nullopt;
}

std::optional<LinkRecord> parse_link(const Message& message) {
    if (message.type != RTM_NEWLINK || message.payload.size() < sizeof(ifinfomsg)) return std::nullopt;
    ifinfomsg header;
    std::memcpy(&header, message.payload.data(), sizeof header);
    const auto attrs = parse_attributes<IFLA_MAX + 1>(message.payload.substr(align4(sizeof header)));
    if (attrs.malformed) return std::nullopt;

    LinkRecord link;
    link.index = static_cast<std::uint32_t>(header.ifi_index);
    link.hardware_type = header.ifi_type;
    link.flags = header.ifi_flags;
    link.name = attribute_string(attrs.get(IFLA_IFNAME));
    link.address = std::string(attrs.get(IFLA_ADDRESS).value_or(std::string_view()));
    link.permanent_address = std::string(attrs.get(IFLA_PERM_ADDRESS).value_or(std::string_view()));
    link.mtu = attribute_u32(attrs.get(IFLA_MTU)).value_or(0);
    if (auto state = attrs.get(IFLA_OPERSTATE); state && !state->empty())
        link.operstate = static_cast<std::uint8_t>((*state)[0]);
    link.alias = attribute_string(attrs.get(IFLA_IFALIAS));
    link.master = attribute_u32(attrs.get(IFLA_MASTER)).value_or(0);
    link.parent = attribute_u32(attrs.get(IFLA_LINK)).value_or(0);
    link.parent_elsewhere = attrs.get(IFLA_LINK_NETNSID).has_value();
    if (auto info = attrs.get(IFLA_LINKINFO)) {
        const auto nested = parse_attributes<IFLA_INFO_MAX + 1>(*info);
        if (!nested.malformed) link.kind = attribute_string(nested.get(IFLA_INFO_KIND));
    }
    return link;
}

std::optional<AddressRecord> parse_address(const Message& message) {
    if (message.type != RTM_NEWADDR || message.payload.size() < sizeof(ifaddrmsg)) return std::nullopt;
    ifaddrmsg header;
    std::memcpy(&header, message.payload.data(), sizeof header);
    const std::uint16_t family = windows_family(header.ifa_family);
    if (family == 0) return std::nullopt;
    const auto attrs = parse_attributes<IFA_MAX + 1>(message.payload.substr(align4(sizeof header)));
    if (attrs.malformed) return std::nullopt;

    // On a point-to-point link IFA_ADDRESS is the peer and IFA_LOCAL the interface's own address.
    auto bytes = attrs.get(IFA_LOCAL);
    if (!bytes) bytes = attrs.get(IFA_ADDRESS);
    if (!bytes) return std::nullopt;
    auto text = address_text(header.ifa_family, *bytes);
    if (!text) return std::nullopt;

    AddressRecord record;
    record.index = header.ifa_index;
    record.family = family;
    record.prefix_len = header.ifa_prefixlen;
    record.flags = attribute_u32(attrs.get(IFA_FLAGS)).value_or(header.ifa_flags);
    record.address = std::move(*text);
    return record;
}

std::optional<RouteRecord> parse_route(const Message& message) {
    if (message.type != RTM_NEWROUTE || message.payload.size() < sizeof(rtmsg)) return std::nullopt;
    rtmsg header;
    std::memcpy(&header, message.payload.data(), sizeof header);
    const std::uint16_t family = windows_family(header.rtm_family);
    if (family == 0) return std::nullopt;
    const auto attrs = parse_attributes<RTA_MAX + 1>(message.payload.substr(align4(sizeof header)));
    if (attrs.malformed) return std::nullopt;

    RouteRecord route;
    route.family = family;
    route.prefix_len = header.rtm_dst_len;
    route.table = attribute_u32(attrs.get(RTA_TABLE)).value_or(header.rtm_table);
    route.type = header.rtm_type;
    if (auto dst = attrs.get(RTA_DST)) {
        auto text = address_text(header.rtm_family, *dst);
        if (!text) return std::nullopt;
        route.destination = std::move(*text);
    } else {
        route.destination = family == kFamilyIpv4 ? "0.0.0.0" : "::";
    }
    route.priority = attribute_u32(attrs.get(RTA_PRIORITY)).value_or(0);
    if (auto src = attrs.get(RTA_PREFSRC)) route.preferred_source = address_text(header.rtm_family, *src);

    if (auto multipath = attrs.get(RTA_MULTIPATH)) {
        if (!parse_multipath(header.rtm_family, *multipath, route.next_hops)) return std::nullopt;
    }
    if (route.next_hops.empty())
        route.next_hops.push_back(
            {gateway_of(header.rtm_family, attrs), attribute_u32(attrs.get(RTA_OIF)).value_or(0)});
    return route;
}

std::optional<std::uint8_t> route_prefix_length(const Message& message) {
    if (message.type != RTM_NEWROUTE || message.payload.size() < sizeof(rtmsg)) return std::nullopt;
    return static_cast<std::uint8_t>(message.payload[offsetof(rtmsg, rtm_dst_len)]);
}

std::string dump_request(std::uint16_t type, std::uint8_t address_family, std::uint32_t seq) {
    const std::uint16_t flags = NLM_F_REQUEST | NLM_F_DUMP;
    std::size_t body = sizeof(rtmsg);
    if (type == RTM_GETLINK) body = sizeof(ifinfomsg);
    if (type == RTM_GETADDR) body = sizeof(ifaddrmsg);
    std::string out = request_header(type, flags, body, seq);
    // Every one of the three headers opens with the family byte.
    out[kHeaderSize] = static_cast<char>(address_family);
    if (type == RTM_GETLINK) {
        const std::uint32_t mask =
            RTEXT_FILTER_SKIP_STATS; // counters are not needed and make the dump larger
        append_attribute(out, IFLA_EXT_MASK,
                         std::string_view(reinterpret_cast<const char*>(&mask), sizeof mask));
    }
    return out;
}

std::string route_get_request(std::uint8_t address_family, std::span<const std::uint8_t> address,
                              std::uint32_t seq) {
    std::string out = request_header(RTM_GETROUTE, NLM_F_REQUEST, sizeof(rtmsg), seq);
    rtmsg header{};
    header.rtm_family = address_family;
    header.rtm_dst_len = static_cast<unsigned char>(address.size() * 8);
    std::memcpy(out.data() + kHeaderSize, &header, sizeof header);
    append_attribute(out, RTA_DST,
                     std::string_view(reinterpret_cast<const char*>(address.data()), address.size()));
    return out;
}

void set_sequence(std::string& request, std::uint32_t seq) {
    if (request.size() >= kHeaderSize) put_u32(request, 8, seq);
}

} // namespace wirelux::platform::netlink
