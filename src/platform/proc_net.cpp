#include "platform/proc_net.h"

#include "util/ip_text.h"
#include "util/utf.h"

#include <array>

namespace wirelux::platform {

namespace {

// Data lines have at least the fields up to the inode plus the reference count and the socket pointer
// after it; requiring them also rejects a last line cut in the middle of its inode.
constexpr std::size_t kFieldsNeeded = 12;
constexpr std::size_t kLocalField = 1;
constexpr std::size_t kRemoteField = 2;
constexpr std::size_t kStateField = 3;
constexpr std::size_t kInodeField = 9;

using Fields = std::array<std::string_view, kFieldsNeeded>;

// The first kFieldsNeeded blank-separated fields of the line; returns how many there were (capped).
std::size_t split_fields(std::string_view line, Fields& fields) {
    std::size_t count = 0;
    std::size_t i = 0;
    while (count < fields.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i == line.size()) break;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        fields[count++] = line.substr(start, i - start);
    }
    return count;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::uint32_t> parse_hex32(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : digits) {
        const int d = hex_digit(c);
        if (d < 0) return std::nullopt;
        value = value << 4 | static_cast<std::uint32_t>(d);
    }
    return value;
}

std::optional<std::uint64_t> parse_decimal(std::string_view digits) {
    if (digits.empty() || digits.size() > 19) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

struct Endpoint {
    std::string address;
    std::uint16_t port = 0;
};

// "0100007F:1F90" or the 32-digit IPv6 form.
std::optional<Endpoint> parse_endpoint(std::string_view field, bool ipv6, std::endian order) {
    const std::size_t address_digits = ipv6 ? 32 : 8;
    if (field.size() != address_digits + 5 || field[address_digits] != ':') return std::nullopt;
    const auto port = parse_hex32(field.substr(address_digits + 1));
    if (!port) return std::nullopt;

    std::array<std::uint8_t, 16> bytes{};
    for (std::size_t word = 0; word < address_digits / 8; ++word) {
        const auto value = parse_hex32(field.substr(word * 8, 8));
        if (!value) return std::nullopt;
        for (std::size_t k = 0; k < 4; ++k) {
            const std::size_t shift = order == std::endian::little ? 8 * k : 8 * (3 - k);
            bytes[word * 4 + k] = static_cast<std::uint8_t>(*value >> shift);
        }
    }
    return Endpoint{ipv6 ? format_ipv6(bytes.data()) : format_ipv4(bytes.data()),
                    static_cast<std::uint16_t>(*port)};
}

bool is_slot_field(std::string_view field) {
    if (field.size() < 2 || field.back() != ':') return false;
    for (std::size_t k = 0; k + 1 < field.size(); ++k)
        if (field[k] < '0' || field[k] > '9') return false;
    return true;
}

bool is_expected_header(std::string_view line) {
    Fields fields;
    if (split_fields(line, fields) < kFieldsNeeded) return false;
    return fields[0] == "sl" && fields[kLocalField] == "local_address" &&
           (fields[kRemoteField] == "rem_address" || fields[kRemoteField] == "remote_address") &&
           fields[kStateField] == "st" && line.find(" inode") != std::string_view::npos;
}

std::optional<ProcNetSocket> parse_row(std::string_view line, bool ipv6, std::endian order) {
    Fields fields;
    if (split_fields(line, fields) < kFieldsNeeded || !is_slot_field(fields[0])) return std::nullopt;
    auto local = parse_endpoint(fields[kLocalField], ipv6, order);
    auto remote = parse_endpoint(fields[kRemoteField], ipv6, order);
    const auto state = fields[kStateField].size() == 2 ? parse_hex32(fields[kStateField]) : std::nullopt;
    const auto inode = parse_decimal(fields[kInodeField]);
    if (!local || !remote || !state || !inode) return std::nullopt;

    ProcNetSocket row;
    row.local_address = std::move(local->address);
    row.local_port = local->port;
    row.remote_address = std::move(remote->address);
    row.remote_port = remote->port;
    row.kernel_state = *state;
    row.inode = *inode;
    return row;
}

} // namespace

std::vector<ProcNetSocket> parse_proc_net_sockets(std::string_view text, bool ipv6,
                                                  std::endian kernel_order) {
    std::vector<ProcNetSocket> rows;
    std::size_t start = 0;
    bool header_seen = false;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!header_seen) {
            if (!is_expected_header(line)) return {};
            header_seen = true;
            continue;
        }
        if (auto row = parse_row(line, ipv6, kernel_order)) rows.push_back(std::move(*row));
    }
    return rows;
}

std::optional<std::uint32_t> tcp_state_from_kernel(std::uint32_t kernel_state) {
    switch (kernel_state) {
    case 0x01:
        return 5; // ESTABLISHED
    case 0x02:
        return 3; // SYN_SENT
    case 0x03:
        return 4; // SYN_RECV
    case 0x04:
        return 6; // FIN_WAIT1
    case 0x05:
        return 7; // FIN_WAIT2
    case 0x06:
        return 11; // TIME_WAIT
    case 0x07:
        return 1; // CLOSE
    case 0x08:
        return 8; // CLOSE_WAIT
    case 0x09:
        return 10; // LAST_ACK
    case 0x0A:
        return 2; // LISTEN
    case 0x0B:
        return 9; // CLOSING
    case 0x0C:
        return 4; // NEW_SYN_RECV: a connection request not yet accepted
    case 0x0D:
        return 1; // BOUND_INACTIVE: bound, neither listening nor connected
    default:
        return std::nullopt;
    }
}

namespace {

std::uint32_t owner_of(const SocketOwners& owners, std::uint64_t inode) {
    if (inode == 0) return 0;
    const auto it = owners.find(inode);
    return it == owners.end() ? 0 : it->second;
}

} // namespace

std::vector<TcpRow> tcp_rows_from_proc(const std::vector<ProcNetSocket>& sockets,
                                       const SocketOwners& owners) {
    std::vector<TcpRow> rows;
    rows.reserve(sockets.size());
    for (const ProcNetSocket& socket : sockets) {
        const auto state = tcp_state_from_kernel(socket.kernel_state);
        if (!state) continue;
        TcpRow row;
        row.local_address = socket.local_address;
        row.remote_address = socket.remote_address;
        row.state = *state;
        row.pid = owner_of(owners, socket.inode);
        row.local_port = socket.local_port;
        row.remote_port = socket.remote_port;
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<UdpRow> udp_rows_from_proc(const std::vector<ProcNetSocket>& sockets,
                                       const SocketOwners& owners) {
    std::vector<UdpRow> rows;
    rows.reserve(sockets.size());
    for (const ProcNetSocket& socket : sockets)
        rows.push_back(UdpRow{socket.local_address, owner_of(owners, socket.inode), socket.local_port});
    return rows;
}

std::optional<std::uint64_t> socket_inode_from_fd_link(std::string_view link_text) {
    constexpr std::string_view kPrefix = "socket:[";
    if (!link_text.starts_with(kPrefix) || !link_text.ends_with("]")) return std::nullopt;
    return parse_decimal(link_text.substr(kPrefix.size(), link_text.size() - kPrefix.size() - 1));
}

std::optional<std::uint32_t> pid_from_proc_entry(std::string_view name) {
    if (name.empty() || name.size() > 10 || name.front() == '0') return std::nullopt;
    const auto value = parse_decimal(name);
    if (!value || *value > 0xFFFFFFFFu) return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

std::string command_name_from_stat(std::string_view stat_text) {
    const std::size_t open = stat_text.find('(');
    const std::size_t close = stat_text.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) return {};
    return sanitize_utf8(stat_text.substr(open + 1, close - open - 1));
}

std::string image_name_from_path(std::string_view path) {
    const std::size_t separator = path.find_last_of("/\\");
    return sanitize_utf8(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

} // namespace wirelux::platform
