// The Windows readers on the system they run on (under Wine in the project's own runs: there the
// adapter list works, the device class is empty and the best-route call is not supported).
#ifdef _WIN32

#include "facts/adapters_collect.h"
#include "platform/adapters.h"
#include "platform/pnp_map.h"
#include "platform/routes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

namespace wirelux {
namespace {

TEST(LiveWindows, AdapterListHasTheLoopbackWithGuids) {
    const std::vector<AdapterInfo> adapters = platform::enumerate_adapters();
    ASSERT_FALSE(adapters.empty());
    const auto lo = std::find_if(adapters.begin(), adapters.end(), [](const AdapterInfo& a) {
        return a.if_type == 24 && std::any_of(a.ipv4.begin(), a.ipv4.end(), [](const IfAddress& x) {
                   return x.address == "127.0.0.1" && x.prefix_len == 8;
               });
    });
    ASSERT_NE(lo, adapters.end());
    EXPECT_EQ(lo->mac, "");
    const std::regex guid_form(R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})");
    for (const AdapterInfo& a : adapters) {
        ASSERT_TRUE(a.guid) << a.friendly_name;
        EXPECT_TRUE(std::regex_match(*a.guid, guid_form)) << *a.guid;
    }
    const auto again = find_adapter(lo->if_index);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->luid, lo->luid);
}

TEST(LiveWindows, DeviceMapRouteTableAndBestRouteCallsReturn) {
    for (const auto& [key, device] : platform::enumerate_pnp_devices()) {
        EXPECT_EQ(key, platform::pnp_key(device.net_cfg_instance_id));
    }
    const std::vector<RouteRow> routes = platform::read_route_table();
    EXPECT_TRUE(std::is_partitioned(routes.begin(), routes.end(),
                                    [](const RouteRow& r) { return r.family == kFamilyIpv4; }));
    EXPECT_FALSE(platform::best_route("not an address"));
    if (const auto best = platform::best_route("127.0.0.1")) {
        EXPECT_EQ(best->family, kFamilyIpv4);
    }
}

} // namespace
} // namespace wirelux

#endif
