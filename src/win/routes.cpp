#include "platform/routes.h"

#include "win/route_convert.h"

#include <memory>

namespace wirelux::platform {

namespace {

struct MibTableFree {
    void operator()(MIB_IPFORWARD_TABLE2* table) const { ::FreeMibTable(table); }
};

void append_family(ADDRESS_FAMILY af, std::uint16_t family, std::vector<RouteRow>& rows) {
    MIB_IPFORWARD_TABLE2* raw = nullptr;
    if (::GetIpForwardTable2(af, &raw) != NO_ERROR) return;
    const std::unique_ptr<MIB_IPFORWARD_TABLE2, MibTableFree> table(raw);
    if (table) append_route_rows(*table, family, rows);
}

// The destination as a socket address; absent when the text is not an IPv4 or IPv6 address.
std::optional<SOCKADDR_INET> destination_address(std::string_view text) {
    const std::string zero_terminated(text);
    SOCKADDR_INET address{};
    if (::inet_pton(AF_INET, zero_terminated.c_str(), &address.Ipv4.sin_addr) == 1) {
        address.si_family = AF_INET;
        return address;
    }
    if (::inet_pton(AF_INET6, zero_terminated.c_str(), &address.Ipv6.sin6_addr) == 1) {
        address.si_family = AF_INET6;
        return address;
    }
    return std::nullopt;
}

} // namespace

std::vector<RouteRow> read_route_table() {
    std::vector<RouteRow> rows;
    append_family(AF_INET, kFamilyIpv4, rows);
    append_family(AF_INET6, kFamilyIpv6, rows);
    return rows;
}

std::optional<BestRoute> best_route(std::string_view destination) {
    const auto target = destination_address(destination);
    if (!target) return std::nullopt;
    NET_LUID no_interface{};
    MIB_IPFORWARD_ROW2 row{};
    SOCKADDR_INET source{};
    const DWORD status = ::GetBestRoute2(&no_interface, 0, nullptr, &*target, 0, &row, &source);
    return convert_best_route(status, row, source, target->si_family == AF_INET ? kFamilyIpv4 : kFamilyIpv6);
}

} // namespace wirelux::platform
