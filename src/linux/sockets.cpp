#include "platform/sockets.h"
#include "linux/proc_read.h"
#include "platform/proc_net.h"

#include <fcntl.h>
#include <unordered_set>

namespace wirelux::platform {

namespace {

// Far beyond any real table (about 150 bytes a socket); a runaway file is cut, not swallowed whole.
constexpr std::size_t kTableLimit = 256u * 1024 * 1024;

std::vector<ProcNetSocket> read_table(const char* name, bool ipv6) {
    // /proc/self/net is the network namespace this process lives in, the one whose sockets matter.
    const auto text = read_proc_file(std::string("/proc/self/net/") + name, kTableLimit);
    return text ? parse_proc_net_sockets(*text, ipv6) : std::vector<ProcNetSocket>{};
}

std::unordered_set<std::uint64_t> inodes_of(const std::vector<ProcNetSocket>& a,
                                            const std::vector<ProcNetSocket>& b) {
    std::unordered_set<std::uint64_t> inodes;
    inodes.reserve(a.size() + b.size());
    for (const auto* list : {&a, &b})
        for (const ProcNetSocket& socket : *list)
            if (socket.inode != 0) inodes.insert(socket.inode);
    return inodes;
}

// One pass over every process's descriptors. A socket shared by several processes (inherited across
// fork) is credited to the lowest process id, normally the one that created it.
SocketOwners socket_owners(const std::unordered_set<std::uint64_t>& wanted) {
    SocketOwners owners;
    if (wanted.empty()) return owners;
    owners.reserve(wanted.size());
    for (const std::uint32_t pid : list_process_ids()) {
        const std::string fd_dir = "/proc/" + std::to_string(pid) + "/fd";
        DirStream fds(::opendir(fd_dir.c_str()));
        if (!fds.valid()) continue; // gone, or not ours to look at
        const int dir_fd = ::dirfd(fds.get());
        while (const dirent* entry = ::readdir(fds.get())) {
            if (entry->d_name[0] == '.') continue;
            const auto link = read_proc_link(dir_fd, entry->d_name);
            if (!link) continue;
            const auto inode = socket_inode_from_fd_link(*link);
            if (!inode || !wanted.contains(*inode)) continue;
            owners.try_emplace(*inode, pid); // pids ascend, so the first owner found is the lowest
        }
    }
    return owners;
}

} // namespace

std::vector<TcpRow> read_tcp_table() {
    const auto v4 = read_table("tcp", false);
    const auto v6 = read_table("tcp6", true);
    const SocketOwners owners = socket_owners(inodes_of(v4, v6));
    std::vector<TcpRow> rows = tcp_rows_from_proc(v4, owners);
    std::vector<TcpRow> rows6 = tcp_rows_from_proc(v6, owners);
    rows.insert(rows.end(), std::make_move_iterator(rows6.begin()), std::make_move_iterator(rows6.end()));
    return rows;
}

std::vector<UdpRow> read_udp_table() {
    const auto v4 = read_table("udp", false);
    const auto v6 = read_table("udp6", true);
    const SocketOwners owners = socket_owners(inodes_of(v4, v6));
    std::vector<UdpRow> rows = udp_rows_from_proc(v4, owners);
    std::vector<UdpRow> rows6 = udp_rows_from_proc(v6, owners);
    rows.insert(rows.end(), std::make_move_iterator(rows6.begin()), std::make_move_iterator(rows6.end()));
    return rows;
}

} // namespace wirelux::platform
