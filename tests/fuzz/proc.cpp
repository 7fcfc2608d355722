// The /proc texts the Linux process and socket readers take: the /proc/net socket tables and a
// process's cmdline, exe link, stat and descriptor links. The first byte picks the reader.
#include "common/harness.h"
#include "platform/proc_net.h"
#include "platform/process_query.h"
#include "util/utf.h"

namespace wirelux::fuzz {

using namespace platform;

namespace {

void socket_table(std::string_view text, unsigned selector) {
    const bool ipv6 = (selector & 1) != 0;
    const auto order = (selector & 2) != 0 ? std::endian::big : std::endian::little;
    const std::vector<ProcNetSocket> sockets = parse_proc_net_sockets(text, ipv6, order);
    const SocketOwners owners{{sockets.empty() ? 0 : sockets.front().inode, 42}};
    const std::vector<TcpRow> tcp = tcp_rows_from_proc(sockets, owners);
    check(tcp.size() <= sockets.size(), "no more TCP rows than sockets");
    check(udp_rows_from_proc(sockets, owners).size() == sockets.size(), "one UDP row per socket");
}

} // namespace

void fuzz_one_input(std::string_view input) {
    const auto [selector, text] = take_selector(input);
    switch (selector % 5) {
    case 0:
        socket_table(text, selector / 5);
        break;
    case 1: {
        const std::string line = command_line_from_proc_cmdline(text);
        check(is_valid_utf8(line), "a command line is UTF-8");
        break;
    }
    case 2:
        check(is_valid_utf8(image_path_from_exe_link(text, (selector & 8) != 0)), "an image path is UTF-8");
        check(is_valid_utf8(image_name_from_path(text)), "an image name is UTF-8");
        break;
    case 3: {
        const std::string name = command_name_from_stat(text);
        check(is_valid_utf8(name), "a command name is UTF-8");
        check(!is_valid_utf8(text) || text.find(name) != std::string_view::npos, "the command name lies in the stat text");
        break;
    }
    default:
        (void)socket_inode_from_fd_link(text);
        (void)pid_from_proc_entry(text);
        break;
    }
}

} // namespace wirelux::fuzz
