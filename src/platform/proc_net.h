#pragma once
// Parsers for the Linux /proc texts behind the process and socket readers. They take the text as read
// and never fail: a line that does not have the expected shape is skipped, a text whose header is not
// the expected one gives nothing.

#include "model/snapshot.h"

#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace wirelux::platform {

// One row of /proc/net/tcp, tcp6, udp or udp6. The state is the kernel's own number.
struct ProcNetSocket {
    std::string local_address;
    std::string remote_address;
    std::uint64_t inode = 0; // 0 for sockets no file refers to (TIME_WAIT, half-open requests)
    std::uint32_t kernel_state = 0;
    std::uint16_t local_port = 0;
    std::uint16_t remote_port = 0;
};

// The kernel prints each 32-bit word of an address as it lies in its memory, so the byte order of the
// machine that produced the text decides how the hexadecimal digits map to address bytes.
std::vector<ProcNetSocket> parse_proc_net_sockets(std::string_view text, bool ipv6,
                                                  std::endian kernel_order = std::endian::native);

// The Windows MIB_TCP_STATE number for a kernel TCP state; absent for a number the kernel does not use.
std::optional<std::uint32_t> tcp_state_from_kernel(std::uint32_t kernel_state);

// Owning process id by socket inode.
using SocketOwners = std::unordered_map<std::uint64_t, std::uint32_t>;

// TCP rows with Windows state numbers and their owners (0 where none is known); rows whose state the
// kernel does not define are dropped.
std::vector<TcpRow> tcp_rows_from_proc(const std::vector<ProcNetSocket>& sockets, const SocketOwners& owners);

std::vector<UdpRow> udp_rows_from_proc(const std::vector<ProcNetSocket>& sockets, const SocketOwners& owners);

// The inode of a "socket:[N]" descriptor link; absent for every other link.
std::optional<std::uint64_t> socket_inode_from_fd_link(std::string_view link_text);

// The process id named by a /proc directory entry; absent for entries that are not process ids.
std::optional<std::uint32_t> pid_from_proc_entry(std::string_view name);

// The command name of /proc/<pid>/stat: the text between the first "(" and the last ")", which holds
// it unescaped even when it contains parentheses or spaces. Empty when the text has no such pair.
std::string command_name_from_stat(std::string_view stat_text);

// The final component of an image path (after the last "/" or "\"), invalid UTF-8 replaced.
std::string image_name_from_path(std::string_view path);

} // namespace wirelux::platform
