// The /proc parsers on texts captured from a Linux machine (x86-64, so little-endian words) and on
// damaged copies of them. Pure code: this runs on every platform.
#include "platform/proc_net.h"

#include <gtest/gtest.h>

#include <string>

namespace wirelux::platform {
namespace {

using namespace std::string_literals;

// A listener on 127.0.0.1:7890 with one accepted connection and one in TIME_WAIT; a dual-stack
// listener on [::]:7891 with an IPv6 client and an IPv4 client (shown IPv4-mapped); UDP on 0.0.0.0:5353
// and [::1]:53.
const char* const kTcp = "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
                         "timeout inode                                                     \n"
                         "   0: 0100007F:1ED2 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0  "
                         "      0 199580 1 000000005b02025f 100 0 0 10 0                    \n"
                         "   1: 0100007F:D3BC 0100007F:1ED3 01 00000000:00000000 00:00000000 00000000     0  "
                         "      0 199586 2 00000000d1dc9afd 20 0 0 10 -1                    \n"
                         "   2: 0100007F:1ED2 0100007F:97B8 01 00000000:00000000 00:00000000 00000000     0  "
                         "      0 199583 1 00000000807dc700 20 0 0 10 -1                    \n"
                         "   3: 0100007F:97B8 0100007F:1ED2 01 00000000:00000000 00:00000000 00000000     0  "
                         "      0 199582 2 00000000568fb9b1 20 0 0 10 -1                    \n"
                         "   4: 0100007F:97BA 0100007F:1ED2 06 00000000:00000000 03:00001770 00000000     0  "
                         "      0 0 3 00000000db1d21eb                                      \n";

const char* const kTcp6 =
    "  sl  local_address                         remote_address                        st tx_queue rx_queue "
    "tr tm->when retrnsmt   uid  timeout inode\n"
    "   0: 00000000000000000000000000000000:1ED3 00000000000000000000000000000000:0000 0A 00000000:00000000 "
    "00:00000000 00000000     0        0 199581 1 0000000054923895 100 0 0 10 0\n"
    "   1: 00000000000000000000000001000000:D3E6 00000000000000000000000001000000:1ED3 01 00000000:00000000 "
    "00:00000000 00000000     0        0 199584 2 00000000081c4245 20 0 0 10 -1\n"
    "   2: 00000000000000000000000001000000:1ED3 00000000000000000000000001000000:D3E6 01 00000000:00000000 "
    "00:00000000 00000000     0        0 199585 1 00000000a8f93307 20 0 0 10 -1\n"
    "   3: 0000000000000000FFFF00000100007F:1ED3 0000000000000000FFFF00000100007F:D3BC 01 00000000:00000000 "
    "00:00000000 00000000     0        0 199587 1 00000000b7de7e68 20 0 0 10 -1\n";

const char* const kUdp = "   sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid "
                         " timeout inode ref pointer drops            \n"
                         "12883: 00000000:14E9 00000000:0000 07 00000000:00000000 00:00000000 00000000     0 "
                         "       0 199588 2 00000000debf0700 0        \n";

const char* const kUdp6 =
    "  sl  local_address                         remote_address                        st tx_queue rx_queue "
    "tr tm->when retrnsmt   uid  timeout inode ref pointer drops\n"
    " 7583: 00000000000000000000000001000000:0035 00000000000000000000000000000000:0000 07 00000000:00000000 "
    "00:00000000 00000000     0        0 199589 2 00000000adaa3998 0\n";

constexpr auto kLittle = std::endian::little;

TEST(ProcNetSockets, ReadsTheCapturedIpv4Table) {
    const auto rows = parse_proc_net_sockets(kTcp, false, kLittle);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].local_address, "127.0.0.1");
    EXPECT_EQ(rows[0].local_port, 7890);
    EXPECT_EQ(rows[0].remote_address, "0.0.0.0");
    EXPECT_EQ(rows[0].remote_port, 0);
    EXPECT_EQ(rows[0].kernel_state, 0x0Au);
    EXPECT_EQ(rows[0].inode, 199580u);
    EXPECT_EQ(rows[2].remote_port, 38840);
    EXPECT_EQ(rows[4].kernel_state, 0x06u); // TIME_WAIT: no file, inode 0
    EXPECT_EQ(rows[4].inode, 0u);
    EXPECT_EQ(rows[4].local_port, 38842);
}

TEST(ProcNetSockets, ReadsTheCapturedIpv6TablesInCompressedForm) {
    const auto rows = parse_proc_net_sockets(kTcp6, true, kLittle);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].local_address, "::");
    EXPECT_EQ(rows[0].local_port, 7891);
    EXPECT_EQ(rows[1].local_address, "::1");
    EXPECT_EQ(rows[1].remote_address, "::1");
    EXPECT_EQ(rows[1].remote_port, 7891);
    EXPECT_EQ(rows[3].local_address, "::ffff:127.0.0.1");
    EXPECT_EQ(rows[3].remote_address, "::ffff:127.0.0.1");
    EXPECT_EQ(rows[3].remote_port, 54204);
    EXPECT_EQ(rows[3].inode, 199587u);

    const auto udp = parse_proc_net_sockets(kUdp, false, kLittle);
    ASSERT_EQ(udp.size(), 1u);
    EXPECT_EQ(udp[0].local_address, "0.0.0.0");
    EXPECT_EQ(udp[0].local_port, 5353);
    EXPECT_EQ(udp[0].inode, 199588u);
    const auto udp6 = parse_proc_net_sockets(kUdp6, true, kLittle);
    ASSERT_EQ(udp6.size(), 1u);
    EXPECT_EQ(udp6[0].local_address, "::1");
    EXPECT_EQ(udp6[0].local_port, 53);
}

TEST(ProcNetSockets, HonoursTheByteOrderOfTheKernelThatWroteTheText) {
    const std::string header =
        "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n";
    const std::string line = "   0: 7F000001:1ED2 C0A8010A:01BB 01 00000000:00000000 00:00000000 00000000    "
                             " 0        0 5 1 0000000000000000 20 0 0 10 -1\n";
    const auto rows = parse_proc_net_sockets(header + line, false, std::endian::big);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].local_address, "127.0.0.1");
    EXPECT_EQ(rows[0].remote_address, "192.168.1.10");
    EXPECT_EQ(rows[0].remote_port, 443);

    const std::string header6 = "  sl  local_address                         remote_address                  "
                                "      st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n";
    const std::string line6 =
        "   0: 20010DB8000000000000000000000001:0050 00000000000000000000000000000000:0000 0A "
        "00000000:00000000 00:00000000 00000000     0        0 6 1 0000000000000000 20 0 0 10 -1\n";
    EXPECT_EQ(parse_proc_net_sockets(header6 + line6, true, std::endian::big)[0].local_address,
              "2001:db8::1");
    EXPECT_EQ(parse_proc_net_sockets(header6 + line6, true, std::endian::little)[0].local_address,
              "b80d:120::100:0");
}

TEST(ProcNetSockets, RefusesTextsWithoutTheExpectedHeader) {
    const std::string body = std::string(kTcp).substr(std::string(kTcp).find('\n') + 1);
    EXPECT_TRUE(parse_proc_net_sockets(body, false, kLittle).empty()); // header missing
    EXPECT_TRUE(parse_proc_net_sockets("sl local rem st\n" + body, false, kLittle).empty());
    EXPECT_TRUE(parse_proc_net_sockets("", false, kLittle).empty());
    EXPECT_TRUE(parse_proc_net_sockets("\n\n", false, kLittle).empty());
    // A header alone is an empty table, not an error.
    EXPECT_TRUE(
        parse_proc_net_sockets(std::string(kTcp).substr(0, std::string(kTcp).find('\n') + 1), false, kLittle)
            .empty());
}

TEST(ProcNetSockets, SkipsDamagedLinesAndKeepsTheRest) {
    const std::string text = kTcp;
    const std::size_t first_row = text.find('\n') + 1;

    // A table read that was cut in the middle of its last line: before the inode, right after it (the
    // inode may be cut short), after the reference count.
    for (const std::size_t cut : {std::size_t{20}, std::size_t{92}, std::size_t{94}}) {
        const std::size_t end = text.rfind("   4:") + cut;
        const auto rows = parse_proc_net_sockets(text.substr(0, end), false, kLittle);
        EXPECT_EQ(rows.size(), 4u) << "cut at " << cut;
    }

    auto damaged = [&](const std::string& from, const std::string& to) {
        std::string copy = text;
        const std::size_t at = copy.find(from, first_row);
        copy.replace(at, from.size(), to);
        return parse_proc_net_sockets(copy, false, kLittle).size();
    };
    EXPECT_EQ(damaged("0100007F:1ED2 00000000", "0100007G:1ED2 00000000"), 4u); // not hexadecimal
    EXPECT_EQ(damaged("0100007F:1ED2 00000000", "100007F:1ED2 00000000"), 4u);  // short address
    EXPECT_EQ(damaged("0100007F:1ED2 00000000", "0100007F:1ED 00000000"), 4u);  // short port
    EXPECT_EQ(damaged("0100007F:1ED2 00000000", "0100007F-1ED2 00000000"), 4u); // no colon
    EXPECT_EQ(damaged(" 0A ", " A "), 4u);                                      // one-digit state
    EXPECT_EQ(damaged(" 0A ", " ZZ "), 4u);
    EXPECT_EQ(damaged("199580", "19958x"), 4u); // inode
    EXPECT_EQ(damaged("   0:", "   0 "), 4u);   // slot
    EXPECT_EQ(damaged("   0:", "\t0:\t"), 5u);  // tabs separate too
    EXPECT_EQ(parse_proc_net_sockets(text + "\x01\xFF garbage\n\n", false, kLittle).size(), 5u);
    // An IPv6 line in an IPv4 table is wrong for it.
    EXPECT_EQ(parse_proc_net_sockets(text + std::string(kTcp6).substr(std::string(kTcp6).find("   1:")),
                                     false, kLittle)
                  .size(),
              5u);
}

TEST(ProcNetSockets, ReadsAHugeTableInFull) {
    std::string text = std::string(kTcp).substr(0, std::string(kTcp).find('\n') + 1);
    constexpr int kRows = 100000;
    text.reserve(static_cast<std::size_t>(kRows) * 150);
    char line[200];
    for (int k = 0; k < kRows; ++k) {
        std::snprintf(
            line, sizeof line,
            "%6d: 0100007F:%04X 0100007F:1ED2 01 00000000:00000000 00:00000000 00000000     0        0 %d 1 "
            "0000000000000000 20 0 0 10 -1\n",
            k, k % 65536, 1000 + k);
        text += line;
    }
    const auto rows = parse_proc_net_sockets(text, false, kLittle);
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kRows));
    EXPECT_EQ(rows.back().inode, static_cast<std::uint64_t>(1000 + kRows - 1));
    EXPECT_EQ(rows.back().local_port, (kRows - 1) % 65536);
}

TEST(KernelTcpStates, MapToTheWindowsNumbers) {
    const std::pair<std::uint32_t, std::uint32_t> table[] = {
        {0x01, 5}, {0x02, 3},  {0x03, 4}, {0x04, 6}, {0x05, 7}, {0x06, 11}, {0x07, 1},
        {0x08, 8}, {0x09, 10}, {0x0A, 2}, {0x0B, 9}, {0x0C, 4}, {0x0D, 1}};
    for (const auto& [kernel, windows] : table)
        EXPECT_EQ(tcp_state_from_kernel(kernel), windows) << kernel;
    EXPECT_FALSE(tcp_state_from_kernel(0));
    EXPECT_FALSE(tcp_state_from_kernel(0x0E));
    EXPECT_FALSE(tcp_state_from_kernel(0xFF));
}

TEST(ProcNetRows, JoinOwnersAndStatesAndDropUnknownStates) {
    auto sockets = parse_proc_net_sockets(kTcp, false, kLittle);
    sockets[1].kernel_state = 0x42; // unknown to this kernel's vocabulary
    const SocketOwners owners = {{199580, 100}, {199583, 100}, {199582, 200}, {0, 999}};
    const auto rows = tcp_rows_from_proc(sockets, owners);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].state, 2u);
    EXPECT_EQ(rows[0].pid, 100u);
    EXPECT_EQ(rows[1].local_port, 7890);
    EXPECT_EQ(rows[1].state, 5u);
    EXPECT_EQ(rows[1].pid, 100u);
    EXPECT_EQ(rows[2].pid, 200u);
    EXPECT_EQ(rows[3].state, 11u);
    EXPECT_EQ(rows[3].pid, 0u); // inode 0 belongs to nobody, whatever the map says

    const auto udp = udp_rows_from_proc(parse_proc_net_sockets(kUdp, false, kLittle), {});
    ASSERT_EQ(udp.size(), 1u);
    EXPECT_EQ(udp[0].pid, 0u);
    EXPECT_EQ(udp[0].local_port, 5353);
}

TEST(ProcEntries, RecogniseSocketLinksAndProcessIds) {
    EXPECT_EQ(socket_inode_from_fd_link("socket:[199580]"), 199580u);
    EXPECT_FALSE(socket_inode_from_fd_link("socket:[]"));
    EXPECT_FALSE(socket_inode_from_fd_link("socket:[12a]"));
    EXPECT_FALSE(socket_inode_from_fd_link("socket:[12"));
    EXPECT_FALSE(socket_inode_from_fd_link("pipe:[199580]"));
    EXPECT_FALSE(socket_inode_from_fd_link("/tmp/socket:[1]"));
    EXPECT_FALSE(socket_inode_from_fd_link("anon_inode:[eventpoll]"));

    EXPECT_EQ(pid_from_proc_entry("1"), 1u);
    EXPECT_EQ(pid_from_proc_entry("4194304"), 4194304u);
    for (const char* name : {"", "self", "thread-self", "0", "01", "12a", "99999999999", "-1", "net"})
        EXPECT_FALSE(pid_from_proc_entry(name)) << name;
}

TEST(ProcEntries, TakeProcessNamesFromStatAndPaths) {
    EXPECT_EQ(command_name_from_stat("1234 (mihomo) S 1 1234 1234 0 -1"), "mihomo");
    EXPECT_EQ(command_name_from_stat("1234 (a) b (c)) R 1"), "a) b (c)");
    EXPECT_EQ(command_name_from_stat("77 (kworker/0:1-events) I 2"), "kworker/0:1-events");
    EXPECT_EQ(command_name_from_stat("5 (\xFF) S"), "\xEF\xBF\xBD");
    EXPECT_EQ(command_name_from_stat("1234 mihomo S"), "");
    EXPECT_EQ(command_name_from_stat("1234 )x( S"), "");
    EXPECT_EQ(command_name_from_stat(""), "");

    EXPECT_EQ(image_name_from_path("/usr/local/bin/sing-box"), "sing-box");
    EXPECT_EQ(image_name_from_path(R"(C:\Program Files\Clash\clash.exe)"), "clash.exe");
    EXPECT_EQ(image_name_from_path("tun2socks"), "tun2socks");
    EXPECT_EQ(image_name_from_path("/"), "");
}

} // namespace
} // namespace wirelux::platform
