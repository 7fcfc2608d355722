#pragma once
// Route-netlink messages read from raw bytes. Nothing here talks to the kernel: the functions take the
// bytes of one received datagram (or one message payload) and never read outside them, whatever the
// length fields claim.

#include <array>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux::platform::netlink {

struct Message {
    std::uint16_t type = 0;
    std::uint16_t flags = 0;
    std::uint32_t seq = 0;
    std::string_view payload; // the bytes after the header, as far as the header's length says
};

struct DatagramScan {
    std::vector<Message> messages; // data messages answering the sequence, in order
    bool finished = false;  // the answer is complete (end of dump, error, acknowledgement, single answer)
    int error = 0;          // errno the kernel reported, 0 when none
    bool malformed = false; // a header did not fit; the rest of the datagram was dropped
};

// Splits one datagram into the messages that answer request `seq`; messages of other sequences are
// skipped.
DatagramScan scan_datagram(std::string_view bytes, std::uint32_t seq);

inline std::uint16_t load_u16(const char* p) {
    std::uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline std::uint32_t load_u32(const char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Attributes of one message by type (the nested and byte-order flags masked off). Types at or beyond
// N are ignored. A later attribute of the same type replaces an earlier one.
template <std::size_t N> struct AttributeTable {
    std::array<std::string_view, N> value{};
    std::bitset<N> present;
    bool malformed = false; // an attribute header was too short or ran past the end

    std::optional<std::string_view> get(std::size_t type) const {
        if (type >= N || !present[type]) return std::nullopt;
        return value[type];
    }
};

inline constexpr std::uint16_t kAttributeTypeMask = 0x3FFF;

template <std::size_t N> AttributeTable<N> parse_attributes(std::string_view bytes) {
    AttributeTable<N> table;
    while (!bytes.empty()) {
        if (bytes.size() < 4) {
            table.malformed = true;
            break;
        }
        const std::uint16_t length = load_u16(bytes.data());
        const std::uint16_t type = load_u16(bytes.data() + 2) & kAttributeTypeMask;
        if (length < 4 || length > bytes.size()) {
            table.malformed = true;
            break;
        }
        if (type < N) {
            table.value[type] = bytes.substr(4, length - 4u);
            table.present.set(type);
        }
        const std::size_t step = (static_cast<std::size_t>(length) + 3u) & ~std::size_t{3};
        bytes.remove_prefix(std::min(step, bytes.size()));
    }
    return table;
}

std::optional<std::uint32_t> attribute_u32(std::optional<std::string_view> data);

// Text of an attribute holding a zero-terminated string (cut at the first zero byte).
std::string attribute_string(std::optional<std::string_view> data);

// Windows family number (2 or 23) of an AF_INET/AF_INET6 value; 0 for any other.
std::uint16_t windows_family(std::uint8_t address_family);

// Address text of raw address bytes of the family; absent when the length does not match it.
std::optional<std::string> address_text(std::uint8_t address_family, std::string_view bytes);

struct LinkRecord {
    std::uint32_t index = 0;
    std::uint16_t hardware_type = 0; // ARPHRD_*
    std::uint32_t flags = 0;         // IFF_*
    std::string name;
    std::string address;           // link-layer address bytes
    std::string permanent_address; // burnt-in address bytes, when the driver reports one
    std::uint32_t mtu = 0;
    std::uint8_t operstate = 0; // IF_OPER_*
    std::string kind;           // link kind of a software device ("veth", "tun", "wireguard", ...)
    std::string alias;
    std::uint32_t master = 0;      // the bridge or bond this link is a port of; 0 when none
    std::uint32_t parent = 0;      // the link below a VLAN or MAC VLAN, a veth's peer; 0 when none
    bool parent_elsewhere = false; // the parent's index belongs to another network namespace
};

struct AddressRecord {
    std::uint32_t index = 0;
    std::uint16_t family = 0; // 2 or 23
    std::uint8_t prefix_len = 0;
    std::uint32_t flags = 0; // IFA_F_*
    std::string address;
};

struct NextHop {
    std::optional<std::string> gateway;
    std::uint32_t if_index = 0;
};

struct RouteRecord {
    std::uint16_t family = 0; // 2 or 23
    std::uint8_t prefix_len = 0;
    std::uint32_t table = 0;
    std::uint8_t type = 0;   // RTN_*
    std::string destination; // the unspecified address for a default route
    std::vector<NextHop> next_hops;
    std::uint32_t priority = 0;
    std::optional<std::string> preferred_source;
};

// Each parser returns nothing for a message of another type, a payload too short for its fixed
// header, an address family other than IPv4/IPv6 (addresses, routes) or malformed attributes.
std::optional<LinkRecord> parse_link(const Message& message);
std::optional<AddressRecord> parse_address(const Message& message);
std::optional<RouteRecord> parse_route(const Message& message);

// Destination prefix length of a route message, read from its fixed header alone (a cheap pre-filter
// for default routes); absent for another message type or a short payload.
std::optional<std::uint8_t> route_prefix_length(const Message& message);

// A dump request for links, addresses or routes (RTM_GETLINK, RTM_GETADDR, RTM_GETROUTE) of a family.
std::string dump_request(std::uint16_t type, std::uint8_t address_family, std::uint32_t seq);

// A route look-up toward one address (4 or 16 bytes) of the family.
std::string route_get_request(std::uint8_t address_family, std::span<const std::uint8_t> address,
                              std::uint32_t seq);

// Writes the sequence number into a request built by the functions above.
void set_sequence(std::string& request, std::uint32_t seq);

} // namespace wirelux::platform::netlink
