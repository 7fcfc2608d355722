#ifdef _WIN32

#include "win/route_convert.h"

#include <gtest/gtest.h>

#include <memory>

namespace wirelux::platform {
namespace {

SOCKADDR_INET inet(const char* text) {
    SOCKADDR_INET a{};
    if (inet_pton(AF_INET, text, &a.Ipv4.sin_addr) == 1) {
        a.si_family = AF_INET;
    } else {
        inet_pton(AF_INET6, text, &a.Ipv6.sin6_addr);
        a.si_family = AF_INET6;
    }
    return a;
}

// A table of n rows laid out as GetIpForwardTable2 returns it.
struct Table {
    explicit Table(ULONG n)
        : storage(
              new std::uint64_t[(sizeof(MIB_IPFORWARD_TABLE2) + n * sizeof(MIB_IPFORWARD_ROW2)) / 8 + 1]()) {
        table()->NumEntries = n;
    }
    MIB_IPFORWARD_TABLE2* table() { return reinterpret_cast<MIB_IPFORWARD_TABLE2*>(storage.get()); }
    MIB_IPFORWARD_ROW2& row(ULONG i) { return table()->Table[i]; }
    std::unique_ptr<std::uint64_t[]> storage;
};

TEST(RouteConvert, RowsKeepTableOrderAndTheCallsFamily) {
    Table t(3);
    t.row(0).DestinationPrefix.Prefix = inet("0.0.0.0");
    t.row(0).DestinationPrefix.PrefixLength = 0;
    t.row(0).NextHop = inet("192.168.1.1");
    t.row(0).InterfaceIndex = 14;
    t.row(0).Metric = 25;
    t.row(1).DestinationPrefix.Prefix = inet("198.18.0.0");
    t.row(1).DestinationPrefix.PrefixLength = 15;
    t.row(1).NextHop = inet("0.0.0.0");
    t.row(1).InterfaceIndex = 52;
    t.row(2).DestinationPrefix.Prefix.si_family = AF_UNSPEC; // neither family: no texts
    t.row(2).NextHop.si_family = 99;
    t.row(2).InterfaceIndex = 9;

    std::vector<RouteRow> rows;
    rows.push_back(RouteRow{});
    append_route_rows(*t.table(), kFamilyIpv4, rows);
    ASSERT_EQ(rows.size(), 4u) << "appended after what was there";
    EXPECT_EQ(rows[1].destination, "0.0.0.0");
    EXPECT_EQ(rows[1].prefix_len, 0);
    EXPECT_EQ(rows[1].next_hop, "192.168.1.1");
    EXPECT_EQ(rows[1].if_index, 14u);
    EXPECT_EQ(rows[1].metric, 25u);
    EXPECT_EQ(rows[1].family, kFamilyIpv4);
    EXPECT_EQ(rows[2].destination, "198.18.0.0");
    EXPECT_EQ(rows[2].prefix_len, 15);
    EXPECT_EQ(rows[2].next_hop, "0.0.0.0") << "on-link rows keep the unspecified next hop";
    EXPECT_FALSE(rows[3].destination);
    EXPECT_FALSE(rows[3].next_hop);
    EXPECT_EQ(rows[3].if_index, 9u);
}

TEST(RouteConvert, Ipv6RowsAreCompressedText) {
    Table t(1);
    t.row(0).DestinationPrefix.Prefix = inet("::");
    t.row(0).NextHop = inet("fe80::1");
    t.row(0).NextHop.Ipv6.sin6_scope_id = 12;
    t.row(0).InterfaceIndex = 12;
    t.row(0).Metric = 256;
    std::vector<RouteRow> rows;
    append_route_rows(*t.table(), kFamilyIpv6, rows);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].destination, "::");
    EXPECT_EQ(rows[0].next_hop, "fe80::1");
    EXPECT_EQ(rows[0].family, kFamilyIpv6);
    Table empty(0);
    append_route_rows(*empty.table(), kFamilyIpv6, rows);
    EXPECT_EQ(rows.size(), 1u);
}

TEST(RouteConvert, BestRouteOnlyWhenTheCallSucceeded) {
    MIB_IPFORWARD_ROW2 row{};
    row.InterfaceIndex = 14;
    row.NextHop = inet("192.168.1.1");
    const SOCKADDR_INET source = inet("192.168.1.20");
    const auto best = convert_best_route(NO_ERROR, row, source, kFamilyIpv4);
    ASSERT_TRUE(best);
    EXPECT_EQ(best->if_index, 14u);
    EXPECT_EQ(best->next_hop, "192.168.1.1");
    EXPECT_EQ(best->source_address, "192.168.1.20");
    EXPECT_EQ(best->family, kFamilyIpv4);

    EXPECT_FALSE(convert_best_route(ERROR_NOT_SUPPORTED, row, source, kFamilyIpv4)) << "what Wine answers";

    MIB_IPFORWARD_ROW2 odd{};
    odd.NextHop.si_family = AF_UNSPEC;
    const auto partial = convert_best_route(NO_ERROR, odd, SOCKADDR_INET{}, kFamilyIpv6);
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->next_hop, "");
    EXPECT_EQ(partial->source_address, "");
    EXPECT_EQ(partial->family, kFamilyIpv6);
}

} // namespace
} // namespace wirelux::platform

#endif
