#include "platform/sockets.h"
#include "platform/sized_read.h"
#include "platform/socket_tables.h"

// Winsock before the IP helper headers, which build on it.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>

#include <cstddef>

namespace wirelux::platform {

namespace {

// The byte readers follow these structures; a header that disagrees must not compile.
static_assert(offsetof(MIB_TCPTABLE_OWNER_PID, table) == layout::kTableRowsOffset);
static_assert(offsetof(MIB_TCP6TABLE_OWNER_PID, table) == layout::kTableRowsOffset);
static_assert(offsetof(MIB_UDPTABLE_OWNER_PID, table) == layout::kTableRowsOffset);
static_assert(offsetof(MIB_UDP6TABLE_OWNER_PID, table) == layout::kTableRowsOffset);

static_assert(sizeof(MIB_TCPROW_OWNER_PID) == layout::kTcpRow.size);
static_assert(offsetof(MIB_TCPROW_OWNER_PID, dwState) == layout::kTcpRow.state);
static_assert(offsetof(MIB_TCPROW_OWNER_PID, dwLocalAddr) == layout::kTcpRow.local_address);
static_assert(offsetof(MIB_TCPROW_OWNER_PID, dwLocalPort) == layout::kTcpRow.local_port);
static_assert(offsetof(MIB_TCPROW_OWNER_PID, dwRemoteAddr) == layout::kTcpRow.remote_address);
static_assert(offsetof(MIB_TCPROW_OWNER_PID, dwRemotePort) == layout::kTcpRow.remote_port);
static_assert(offsetof(MIB_TCPROW_OWNER_PID, dwOwningPid) == layout::kTcpRow.pid);

static_assert(sizeof(MIB_TCP6ROW_OWNER_PID) == layout::kTcp6Row.size);
static_assert(offsetof(MIB_TCP6ROW_OWNER_PID, ucLocalAddr) == layout::kTcp6Row.local_address);
static_assert(offsetof(MIB_TCP6ROW_OWNER_PID, dwLocalPort) == layout::kTcp6Row.local_port);
static_assert(offsetof(MIB_TCP6ROW_OWNER_PID, ucRemoteAddr) == layout::kTcp6Row.remote_address);
static_assert(offsetof(MIB_TCP6ROW_OWNER_PID, dwRemotePort) == layout::kTcp6Row.remote_port);
static_assert(offsetof(MIB_TCP6ROW_OWNER_PID, dwState) == layout::kTcp6Row.state);
static_assert(offsetof(MIB_TCP6ROW_OWNER_PID, dwOwningPid) == layout::kTcp6Row.pid);

static_assert(sizeof(MIB_UDPROW_OWNER_PID) == layout::kUdpRow.size);
static_assert(offsetof(MIB_UDPROW_OWNER_PID, dwLocalAddr) == layout::kUdpRow.local_address);
static_assert(offsetof(MIB_UDPROW_OWNER_PID, dwLocalPort) == layout::kUdpRow.local_port);
static_assert(offsetof(MIB_UDPROW_OWNER_PID, dwOwningPid) == layout::kUdpRow.pid);

static_assert(sizeof(MIB_UDP6ROW_OWNER_PID) == layout::kUdp6Row.size);
static_assert(offsetof(MIB_UDP6ROW_OWNER_PID, ucLocalAddr) == layout::kUdp6Row.local_address);
static_assert(offsetof(MIB_UDP6ROW_OWNER_PID, dwLocalPort) == layout::kUdp6Row.local_port);
static_assert(offsetof(MIB_UDP6ROW_OWNER_PID, dwOwningPid) == layout::kUdp6Row.pid);

SizedCallStatus status_of(DWORD result) {
    if (result == NO_ERROR) return SizedCallStatus::Done;
    if (result == ERROR_INSUFFICIENT_BUFFER) return SizedCallStatus::BufferTooSmall;
    return SizedCallStatus::Failed;
}

std::string_view view(const std::vector<std::uint8_t>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::optional<std::vector<std::uint8_t>> tcp_table(ULONG family) {
    return read_sized_table([family](std::uint8_t* buffer, std::uint32_t& size) {
        DWORD length = size;
        const DWORD result =
            ::GetExtendedTcpTable(buffer, &length, FALSE, family, TCP_TABLE_OWNER_PID_ALL, 0);
        size = length;
        return status_of(result);
    });
}

std::optional<std::vector<std::uint8_t>> udp_table(ULONG family) {
    return read_sized_table([family](std::uint8_t* buffer, std::uint32_t& size) {
        DWORD length = size;
        const DWORD result = ::GetExtendedUdpTable(buffer, &length, FALSE, family, UDP_TABLE_OWNER_PID, 0);
        size = length;
        return status_of(result);
    });
}

template <class Row> void append(std::vector<Row>& into, std::vector<Row> rows) {
    into.insert(into.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
}

} // namespace

std::vector<TcpRow> read_tcp_table() {
    std::vector<TcpRow> rows;
    if (const auto bytes = tcp_table(AF_INET)) append(rows, tcp_rows_from_table(view(*bytes)));
    if (const auto bytes = tcp_table(AF_INET6)) append(rows, tcp6_rows_from_table(view(*bytes)));
    return rows;
}

std::vector<UdpRow> read_udp_table() {
    std::vector<UdpRow> rows;
    if (const auto bytes = udp_table(AF_INET)) append(rows, udp_rows_from_table(view(*bytes)));
    if (const auto bytes = udp_table(AF_INET6)) append(rows, udp6_rows_from_table(view(*bytes)));
    return rows;
}

} // namespace wirelux::platform
