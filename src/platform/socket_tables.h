#pragma once
// Conversions of the buffers the Windows process and socket calls fill, read byte by byte from their
// documented x64 layouts so that they run, and are tested, on any platform. Every reader stops at the
// end of the buffer, whatever the row count in it claims.

#include "facts/snapshot.h"

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace wirelux::platform {

// Row sizes and field offsets the Windows reader checks against the system headers at compile time.
namespace layout {
inline constexpr std::size_t kTableRowsOffset = 4;    // after the DWORD row count
inline constexpr std::size_t kTcpRowSize = 24;        // MIB_TCPROW_OWNER_PID
inline constexpr std::size_t kTcp6RowSize = 56;       // MIB_TCP6ROW_OWNER_PID
inline constexpr std::size_t kUdpRowSize = 12;        // MIB_UDPROW_OWNER_PID
inline constexpr std::size_t kUdp6RowSize = 28;       // MIB_UDP6ROW_OWNER_PID
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
