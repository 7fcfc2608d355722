#include "win/route_convert.h"

namespace wirelux::platform {

void append_route_rows(const MIB_IPFORWARD_TABLE2& table, std::uint16_t family, std::vector<RouteRow>& rows) {
    const MIB_IPFORWARD_ROW2* row = table.Table;
    for (ULONG i = 0; i < table.NumEntries; ++i, ++row) {
        RouteRow out;
        out.destination = sockaddr_inet_text(row->DestinationPrefix.Prefix);
        out.next_hop = sockaddr_inet_text(row->NextHop);
        out.if_index = row->InterfaceIndex;
        out.metric = row->Metric;
        out.family = family;
        out.prefix_len = row->DestinationPrefix.PrefixLength;
        rows.push_back(std::move(out));
    }
}

std::optional<BestRoute> convert_best_route(DWORD status, const MIB_IPFORWARD_ROW2& row,
                                            const SOCKADDR_INET& source, std::uint16_t family) {
    if (status != NO_ERROR) return std::nullopt;
    BestRoute best;
    best.next_hop = sockaddr_inet_text(row.NextHop).value_or(std::string());
    best.source_address = sockaddr_inet_text(source).value_or(std::string());
    best.if_index = row.InterfaceIndex;
    best.family = family;
    return best;
}

} // namespace wirelux::platform
