#include "platform/socket_tables.h"

#include "util/ip_text.h"
#include "util/utf.h"

#include <cstdint>
#include <type_traits>
#include <utility>

namespace wirelux::platform {

namespace {

using namespace layout;

const std::uint8_t* at(std::string_view bytes, std::size_t offset) {
    return reinterpret_cast<const std::uint8_t*>(bytes.data()) + offset;
}

std::uint32_t dword(std::string_view bytes, std::size_t offset) {
    const std::uint8_t* p = at(bytes, offset);
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The tables keep a port in network order in the low two bytes of a DWORD.
std::uint16_t port(std::string_view bytes, std::size_t offset) {
    const std::uint8_t* p = at(bytes, offset);
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

// How many whole rows the buffer really holds, never more than it claims.
std::size_t row_count(std::string_view bytes, std::size_t row_size) {
    if (bytes.size() < kTableRowsOffset) return 0;
    const std::size_t claimed = dword(bytes, 0);
    const std::size_t present = (bytes.size() - kTableRowsOffset) / row_size;
    return claimed < present ? claimed : present;
}

std::string address(std::string_view row, std::size_t offset, bool ipv6) {
    return ipv6 ? format_ipv6(at(row, offset)) : format_ipv4(at(row, offset));
}

template <class Row> std::vector<Row> rows_from_table(std::string_view bytes, const SocketRow& fields) {
    const std::size_t count = row_count(bytes, fields.size);
    std::vector<Row> rows;
    rows.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
        const std::string_view row = bytes.substr(kTableRowsOffset + k * fields.size, fields.size);
        Row r;
        r.local_address = address(row, fields.local_address, fields.ipv6);
        r.local_port = port(row, fields.local_port);
        r.pid = dword(row, fields.pid);
        if constexpr (std::is_same_v<Row, TcpRow>) {
            r.remote_address = address(row, fields.remote_address, fields.ipv6);
            r.remote_port = port(row, fields.remote_port);
            r.state = dword(row, fields.state);
        }
        rows.push_back(std::move(r));
    }
    return rows;
}

} // namespace

std::vector<TcpRow> tcp_rows_from_table(std::string_view bytes) {
    return rows_from_table<TcpRow>(bytes, kTcpRow);
}

std::vector<TcpRow> tcp6_rows_from_table(std::string_view bytes) {
    return rows_from_table<TcpRow>(bytes, kTcp6Row);
}

std::vector<UdpRow> udp_rows_from_table(std::string_view bytes) {
    return rows_from_table<UdpRow>(bytes, kUdpRow);
}

std::vector<UdpRow> udp6_rows_from_table(std::string_view bytes) {
    return rows_from_table<UdpRow>(bytes, kUdp6Row);
}

std::optional<ProcessInfo> process_from_toolhelp_entry(std::string_view bytes) {
    if (bytes.size() < kProcessEntrySize) return std::nullopt;
    ProcessInfo info;
    info.pid = dword(bytes, kProcessEntryPidOffset);
    std::u16string units =
        utf16le_bytes_to_units(bytes.substr(kProcessEntryExeFileOffset, kProcessEntryExeFileUnits * 2));
    if (const std::size_t end = units.find(u'\0'); end != std::u16string::npos) units.resize(end);
    info.name = utf16_to_utf8(units);
    return info;
}

} // namespace wirelux::platform
