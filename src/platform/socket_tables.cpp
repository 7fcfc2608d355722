#include "platform/socket_tables.h"

#include "util/ip_text.h"
#include "util/utf.h"

#include <cstdint>

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

template <class Row, class Convert>
std::vector<Row> rows_from_table(std::string_view bytes, std::size_t row_size, Convert convert) {
    const std::size_t count = row_count(bytes, row_size);
    std::vector<Row> rows;
    rows.reserve(count);
    for (std::size_t k = 0; k < count; ++k)
        rows.push_back(convert(bytes.substr(kTableRowsOffset + k * row_size, row_size)));
    return rows;
}

} // namespace

std::vector<TcpRow> tcp_rows_from_table(std::string_view bytes) {
    // dwState, dwLocalAddr, dwLocalPort, dwRemoteAddr, dwRemotePort, dwOwningPid
    return rows_from_table<TcpRow>(bytes, kTcpRowSize, [](std::string_view row) {
        TcpRow r;
        r.state = dword(row, 0);
        r.local_address = format_ipv4(at(row, 4));
        r.local_port = port(row, 8);
        r.remote_address = format_ipv4(at(row, 12));
        r.remote_port = port(row, 16);
        r.pid = dword(row, 20);
        return r;
    });
}

std::vector<TcpRow> tcp6_rows_from_table(std::string_view bytes) {
    // ucLocalAddr[16], dwLocalScopeId, dwLocalPort, ucRemoteAddr[16], dwRemoteScopeId, dwRemotePort,
    // dwState, dwOwningPid
    return rows_from_table<TcpRow>(bytes, kTcp6RowSize, [](std::string_view row) {
        TcpRow r;
        r.local_address = format_ipv6(at(row, 0));
        r.local_port = port(row, 20);
        r.remote_address = format_ipv6(at(row, 24));
        r.remote_port = port(row, 44);
        r.state = dword(row, 48);
        r.pid = dword(row, 52);
        return r;
    });
}

std::vector<UdpRow> udp_rows_from_table(std::string_view bytes) {
    // dwLocalAddr, dwLocalPort, dwOwningPid
    return rows_from_table<UdpRow>(bytes, kUdpRowSize, [](std::string_view row) {
        UdpRow r;
        r.local_address = format_ipv4(at(row, 0));
        r.local_port = port(row, 4);
        r.pid = dword(row, 8);
        return r;
    });
}

std::vector<UdpRow> udp6_rows_from_table(std::string_view bytes) {
    // ucLocalAddr[16], dwLocalScopeId, dwLocalPort, dwOwningPid
    return rows_from_table<UdpRow>(bytes, kUdp6RowSize, [](std::string_view row) {
        UdpRow r;
        r.local_address = format_ipv6(at(row, 0));
        r.local_port = port(row, 20);
        r.pid = dword(row, 24);
        return r;
    });
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
