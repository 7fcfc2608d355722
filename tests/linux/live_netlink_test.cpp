// The Linux readers on the machine they run on. The unit suite runs in an empty network namespace
// whose only link is a loopback that is up.
#ifdef __linux__

#include "facts/adapters_collect.h"
#include "facts/interface_assessment.h"
#include "platform/adapters.h"
#include "platform/routes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace wirelux {
namespace {

const AdapterInfo* loopback(const std::vector<AdapterInfo>& adapters) {
    const auto it = std::find_if(adapters.begin(), adapters.end(),
                                 [](const AdapterInfo& a) { return a.friendly_name == "lo"; });
    return it == adapters.end() ? nullptr : &*it;
}

TEST(LiveLinux, LoopbackIsEnumeratedAndJoinsItsDevice) {
    const std::vector<AdapterInfo> adapters = platform::enumerate_adapters();
    const AdapterInfo* lo = loopback(adapters);
    ASSERT_NE(lo, nullptr);
    EXPECT_EQ(lo->if_type, 24u);
    EXPECT_TRUE(lo->oper_up);
    EXPECT_EQ(lo->mac, "");
    const bool has_v4 = std::any_of(lo->ipv4.begin(), lo->ipv4.end(), [](const IfAddress& a) {
        return a.address == "127.0.0.1" && a.prefix_len == 8;
    });
    EXPECT_TRUE(has_v4);

    const auto devices = platform::enumerate_pnp_devices();
    const PnpDevice* device = device_of(*lo, devices);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->instance_id, "ROOT\\NET\\lo");
    EXPECT_EQ(device->characteristics, 0x1u);

    const auto again = find_adapter(lo->if_index);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->friendly_name, "lo");
}

TEST(LiveLinux, RouteTableAndBestRouteAnswer) {
    const std::vector<RouteRow> routes = platform::read_route_table();
    for (const RouteRow& r : routes) {
        EXPECT_TRUE(r.family == kFamilyIpv4 || r.family == kFamilyIpv6);
        EXPECT_TRUE(r.destination.has_value());
    }
    EXPECT_TRUE(std::is_partitioned(routes.begin(), routes.end(), [](const RouteRow& r) {
        return r.family == kFamilyIpv4;
    })) << "IPv4 rows come first";

    const std::vector<AdapterInfo> adapters = platform::enumerate_adapters();
    const AdapterInfo* lo = loopback(adapters);
    ASSERT_NE(lo, nullptr);
    const auto best = platform::best_route("127.0.0.1");
    ASSERT_TRUE(best);
    EXPECT_EQ(best->source_address, "127.0.0.1");
    EXPECT_EQ(best->next_hop, "");
    EXPECT_EQ(best->family, kFamilyIpv4);
    EXPECT_EQ(best->if_index, lo->if_index);

    EXPECT_FALSE(platform::best_route("not an address"));
    EXPECT_FALSE(platform::best_route(""));
    const bool has_default = std::any_of(routes.begin(), routes.end(), [](const RouteRow& r) {
        return r.prefix_len == 0 && r.family == kFamilyIpv4;
    });
    if (!has_default) {
        EXPECT_FALSE(platform::best_route("223.5.5.5")) << "nowhere to go without a default route";
    }
}

} // namespace
} // namespace wirelux

#endif
