// The conversions of the Windows table buffers, on buffers laid out by hand byte by byte; they run on
// every platform. The offsets themselves are checked against the system headers when src/win compiles.
#include "platform/socket_tables.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <string>

namespace wirelux::platform {
namespace {

using namespace std::string_literals;

// Little-endian DWORDs, and the table's habit of keeping network-order values inside them.
struct Buffer {
    std::string bytes;

    Buffer& dword(std::uint32_t v) {
        for (int k = 0; k < 4; ++k)
            bytes.push_back(static_cast<char>(v >> (8 * k)));
        return *this;
    }
    Buffer& port(std::uint16_t p) { // network order in the low two bytes
        bytes.push_back(static_cast<char>(p >> 8));
        bytes.push_back(static_cast<char>(p & 0xff));
        bytes.append(2, '\0');
        return *this;
    }
    Buffer& raw(std::initializer_list<std::uint8_t> list) {
        for (const std::uint8_t b : list)
            bytes.push_back(static_cast<char>(b));
        return *this;
    }
    Buffer& v6(std::array<std::uint8_t, 16> address) {
        bytes.append(reinterpret_cast<const char*>(address.data()), 16);
        return *this;
    }
};

constexpr std::array<std::uint8_t, 16> kLoopback6{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
constexpr std::array<std::uint8_t, 16> kLinkLocal{0xfe, 0x80, 0,    0,    0,    0,    0,    0,
                                                  0x02, 0x11, 0x22, 0xff, 0xfe, 0x33, 0x44, 0x55};

Buffer tcp_v4_table() {
    Buffer b;
    b.dword(2);
    b.dword(2).raw({127, 0, 0, 1}).port(7890).raw({0, 0, 0, 0}).port(0).dword(4242);     // LISTEN
    b.dword(5).raw({192, 168, 1, 10}).port(51000).raw({1, 1, 1, 1}).port(443).dword(77); // ESTABLISHED
    return b;
}

TEST(WindowsTcpTable, ConvertsRowsWithHostOrderPortsAndCanonicalAddresses) {
    const auto rows = tcp_rows_from_table(tcp_v4_table().bytes);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].local_address, "127.0.0.1");
    EXPECT_EQ(rows[0].local_port, 7890);
    EXPECT_EQ(rows[0].remote_address, "0.0.0.0");
    EXPECT_EQ(rows[0].remote_port, 0);
    EXPECT_EQ(rows[0].state, 2u);
    EXPECT_EQ(rows[0].pid, 4242u);
    EXPECT_EQ(rows[1].local_address, "192.168.1.10");
    EXPECT_EQ(rows[1].local_port, 51000);
    EXPECT_EQ(rows[1].remote_address, "1.1.1.1");
    EXPECT_EQ(rows[1].remote_port, 443);
    EXPECT_EQ(rows[1].state, 5u);
    EXPECT_EQ(rows[1].pid, 77u);
}

TEST(WindowsTcpTable, NeverReadsPastTheBuffer) {
    Buffer claims_more = tcp_v4_table();
    claims_more.bytes[0] = 9; // says nine rows, holds two
    EXPECT_EQ(tcp_rows_from_table(claims_more.bytes).size(), 2u);

    Buffer cut = tcp_v4_table();
    cut.bytes.resize(cut.bytes.size() - 1); // second row incomplete
    EXPECT_EQ(tcp_rows_from_table(cut.bytes).size(), 1u);

    Buffer claims_less = tcp_v4_table();
    claims_less.bytes[0] = 1;
    EXPECT_EQ(tcp_rows_from_table(claims_less.bytes).size(), 1u);

    EXPECT_TRUE(tcp_rows_from_table("").empty());
    EXPECT_TRUE(tcp_rows_from_table("\x02\x00\x00"s).empty());
    EXPECT_TRUE(tcp_rows_from_table(Buffer().dword(0).bytes).empty());
    EXPECT_TRUE(tcp_rows_from_table(Buffer().dword(0xFFFFFFFF).bytes).empty());
}

TEST(WindowsTcpTable, ConvertsIpv6RowsAndDropsScopeIds) {
    Buffer b;
    b.dword(2);
    b.v6({}).dword(0).port(1080).v6({}).dword(0).port(0).dword(2).dword(900);
    b.v6(kLinkLocal).dword(12).port(49152).v6(kLoopback6).dword(0).port(8080).dword(11).dword(0);
    const auto rows = tcp6_rows_from_table(b.bytes);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].local_address, "::");
    EXPECT_EQ(rows[0].local_port, 1080);
    EXPECT_EQ(rows[0].remote_address, "::");
    EXPECT_EQ(rows[0].state, 2u);
    EXPECT_EQ(rows[0].pid, 900u);
    EXPECT_EQ(rows[1].local_address, "fe80::211:22ff:fe33:4455");
    EXPECT_EQ(rows[1].local_port, 49152);
    EXPECT_EQ(rows[1].remote_address, "::1");
    EXPECT_EQ(rows[1].remote_port, 8080);
    EXPECT_EQ(rows[1].state, 11u);
    EXPECT_EQ(rows[1].pid, 0u);

    b.bytes.resize(b.bytes.size() - 4);
    EXPECT_EQ(tcp6_rows_from_table(b.bytes).size(), 1u);
}

TEST(WindowsUdpTable, ConvertsBothFamilies) {
    Buffer v4;
    v4.dword(2).raw({0, 0, 0, 0}).port(5353).dword(10).raw({127, 0, 0, 1}).port(53).dword(11);
    const auto rows = udp_rows_from_table(v4.bytes);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].local_address, "0.0.0.0");
    EXPECT_EQ(rows[0].local_port, 5353);
    EXPECT_EQ(rows[0].pid, 10u);
    EXPECT_EQ(rows[1].local_address, "127.0.0.1");
    EXPECT_EQ(rows[1].local_port, 53);
    EXPECT_EQ(rows[1].pid, 11u);

    Buffer v6;
    v6.dword(1).v6(kLinkLocal).dword(7).port(546).dword(1234);
    const auto rows6 = udp6_rows_from_table(v6.bytes);
    ASSERT_EQ(rows6.size(), 1u);
    EXPECT_EQ(rows6[0].local_address, "fe80::211:22ff:fe33:4455");
    EXPECT_EQ(rows6[0].local_port, 546);
    EXPECT_EQ(rows6[0].pid, 1234u);

    v6.bytes.pop_back();
    EXPECT_TRUE(udp6_rows_from_table(v6.bytes).empty());
    v4.bytes.resize(4 + 12 + 11);
    EXPECT_EQ(udp_rows_from_table(v4.bytes).size(), 1u);
}

std::string toolhelp_entry(std::uint32_t pid, std::u16string name) {
    std::string bytes(layout::kProcessEntrySize, '\x55'); // fill that a careless reader would show
    for (int k = 0; k < 4; ++k)
        bytes[layout::kProcessEntryPidOffset + static_cast<std::size_t>(k)] =
            static_cast<char>(pid >> (8 * k));
    for (std::size_t k = 0; k < name.size() && k < layout::kProcessEntryExeFileUnits; ++k) {
        bytes[layout::kProcessEntryExeFileOffset + 2 * k] = static_cast<char>(name[k] & 0xff);
        bytes[layout::kProcessEntryExeFileOffset + 2 * k + 1] = static_cast<char>(name[k] >> 8);
    }
    return bytes;
}

TEST(ToolhelpEntry, TakesThePidAndTheNameUpToItsTerminator) {
    const auto info =
        process_from_toolhelp_entry(toolhelp_entry(4321, u"Clash-Verge.exe"s + u'\0' + u"junk"));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->pid, 4321u);
    EXPECT_EQ(info->name, "Clash-Verge.exe");
    EXPECT_TRUE(info->path.empty());
    EXPECT_TRUE(info->command_line.empty());

    EXPECT_EQ(process_from_toolhelp_entry(toolhelp_entry(8, u"代理.exe"s + u'\0'))->name, "代理.exe");
    EXPECT_EQ(process_from_toolhelp_entry(toolhelp_entry(8, u"a\xD800z.exe"s + u'\0'))->name,
              "a\xEF\xBF\xBDz.exe");
}

TEST(ToolhelpEntry, StopsAtTheFieldEndWithoutATerminatorAndRejectsShortEntries) {
    const std::u16string full(layout::kProcessEntryExeFileUnits, u'x');
    const auto info = process_from_toolhelp_entry(toolhelp_entry(1, full));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->name, std::string(layout::kProcessEntryExeFileUnits, 'x'));

    std::string short_entry = toolhelp_entry(1, u"a.exe"s + u'\0');
    short_entry.pop_back();
    EXPECT_FALSE(process_from_toolhelp_entry(short_entry));
}

} // namespace
} // namespace wirelux::platform
