#pragma once
// Conversions of the buffers the Windows process and socket calls fill, read byte by byte from their
// documented x64 layouts so that they run, and are tested, on any platform. Every reader stops at the
// end of the buffer, whatever the row count in it claims.

#include "model/snapshot.h"

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace wirelux::platform {

// Row sizes and field offsets the Windows reader checks against the system headers at compile time.
namespace layout {
inline constexpr std::size_t kTableRowsOffset = 4; // after the DWORD row count

// Where one socket table row keeps its fields. Addresses are 4 or 16 bytes; ports are DWORDs holding
// the network-order port in their low two bytes. UDP rows have no remote end and no state.
struct SocketRow {
    std::size_t size;
    bool ipv6;
    std::size_t local_address;
    std::size_t local_port;
    std::size_t pid;
    std::size_t remote_address = 0;
    std::size_t remote_port = 0;
    std::size_t state = 0;
};

// MIB_TCPROW_OWNER_PID: dwState, dwLocalAddr, dwLocalPort, dwRemoteAddr, dwRemotePort, dwOwningPid
inline constexpr SocketRow kTcpRow{.size = 24,
                                   .ipv6 = false,
                                   .local_address = 4,
                                   .local_port = 8,
                                   .pid = 20,
                                   .remote_address = 12,
                                   .remote_port = 16,
                                   .state = 0};
// MIB_TCP6ROW_OWNER_PID: ucLocalAddr[16], dwLocalScopeId, dwLocalPort, ucRemoteAddr[16],
// dwRemoteScopeId, dwRemotePort, dwState, dwOwningPid
inline constexpr SocketRow kTcp6Row{.size = 56,
                                    .ipv6 = true,
                                    .local_address = 0,
                                    .local_port = 20,
                                    .pid = 52,
                                    .remote_address = 24,
                                    .remote_port = 44,
                                    .state = 48};
// MIB_UDPROW_OWNER_PID: dwLocalAddr, dwLocalPort, dwOwningPid
inline constexpr SocketRow kUdpRow{.size = 12, .ipv6 = false, .local_address = 0, .local_port = 4, .pid = 8};
// MIB_UDP6ROW_OWNER_PID: ucLocalAddr[16], dwLocalScopeId, dwLocalPort, dwOwningPid
inline constexpr SocketRow kUdp6Row{
    .size = 28, .ipv6 = true, .local_address = 0, .local_port = 20, .pid = 24};

inline constexpr std::size_t kProcessEntrySize = 568; // PROCESSENTRY32W
inline constexpr std::size_t kProcessEntryPidOffset = 8;
inline constexpr std::size_t kProcessEntryExeFileOffset = 44;
inline constexpr std::size_t kProcessEntryExeFileUnits = 260;
} // namespace layout

// MIB_TCPTABLE_OWNER_PID, MIB_TCP6TABLE_OWNER_PID, MIB_UDPTABLE_OWNER_PID, MIB_UDP6TABLE_OWNER_PID:
// addresses as canonical text (IPv6 scope ids dropped), ports in host order, the state as given.
std::vector<TcpRow> tcp_rows_from_table(std::string_view bytes);
std::vector<TcpRow> tcp6_rows_from_table(std::string_view bytes);
std::vector<UdpRow> udp_rows_from_table(std::string_view bytes);
std::vector<UdpRow> udp6_rows_from_table(std::string_view bytes);

// One PROCESSENTRY32W: the process id and the image name up to its first zero unit (unpaired
// surrogates replaced). Absent when the entry is shorter than the structure.
std::optional<ProcessInfo> process_from_toolhelp_entry(std::string_view bytes);

} // namespace wirelux::platform
