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
static_assert(sizeof(MIB_TCPROW_OWNER_PID) == layout::kTcpRowSize);
static_assert(offsetof(MIB_TCPROW_OWNER_PID, dwOwningPid) == 20);
static_assert(offsetof(MIB_TCP6TABLE_OWNER_PID, table) == layout::kTableRowsOffset);
static_assert(sizeof(MIB_TCP6ROW_OWNER_PID) == layout::kTcp6RowSize);
static_assert(offsetof(MIB_TCP6ROW_OWNER_PID, dwLocalPort) == 20);
static_assert(offsetof(MIB_TCP6ROW_OWNER_PID, ucRemoteAddr) == 24);
static_assert(offsetof(MIB_TCP6ROW_OWNER_PID, dwRemotePort) == 44);
static_assert(offsetof(MIB_TCP6ROW_OWNER_PID, dwState) == 48);
static_assert(offsetof(MIB_TCP6ROW_OWNER_PID, dwOwningPid) == 52);
static_assert(offsetof(MIB_UDPTABLE_OWNER_PID, table) == layout::kTableRowsOffset);
static_assert(sizeof(MIB_UDPROW_OWNER_PID) == layout::kUdpRowSize);
static_assert(offsetof(MIB_UDP6TABLE_OWNER_PID, table) == layout::kTableRowsOffset);
static_assert(sizeof(MIB_UDP6ROW_OWNER_PID) == layout::kUdp6RowSize);
static_assert(offsetof(MIB_UDP6ROW_OWNER_PID, dwLocalPort) == 20);
static_assert(offsetof(MIB_UDP6ROW_OWNER_PID, dwOwningPid) == 24);

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
