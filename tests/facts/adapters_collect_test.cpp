#include "facts/adapters_collect.h"
#include "facts/interface_assessment.h"
#include "platform/pnp_map.h"

#include <gtest/gtest.h>

namespace wirelux {
namespace {

using platform::add_pnp_device;
using platform::PnpDriverValues;

PnpDriverValues device(std::optional<std::string> id, std::string instance = "PCI\\VEN_8086&DEV_15F3\\3&1") {
    PnpDriverValues v;
    v.net_cfg_instance_id = std::move(id);
    v.instance_id = std::move(instance);
    v.service = "e1000e";
    return v;
}

TEST(PnpMap, DevicesWithoutAnInstanceIdAreLeftOut) {
    std::unordered_map<std::string, PnpDevice> map;
    add_pnp_device(map, device(std::nullopt));
    add_pnp_device(map, device(std::string()));
    EXPECT_TRUE(map.empty());
}

TEST(PnpMap, KeyIsLowerCaseAndALaterDeviceReplacesAnEarlierOne) {
    std::unordered_map<std::string, PnpDevice> map;
    PnpDriverValues first = device("{4D36E972-AAAA-11CE-BFC1-08002BE10318}");
    first.characteristics = 0x84;
    first.provider_name = "Intel";
    add_pnp_device(map, first);
    ASSERT_EQ(map.count("{4d36e972-aaaa-11ce-bfc1-08002be10318}"), 1u);
    const PnpDevice& stored = map.at("{4d36e972-aaaa-11ce-bfc1-08002be10318}");
    EXPECT_EQ(stored.net_cfg_instance_id, "{4D36E972-AAAA-11CE-BFC1-08002BE10318}")
        << "the value keeps its case";
    EXPECT_EQ(stored.characteristics, 0x84u);
    EXPECT_EQ(stored.provider_name, "Intel");
    EXPECT_FALSE(stored.inf_path);

    add_pnp_device(map, device("{4d36e972-aaaa-11ce-bfc1-08002be10318}", "ROOT\\NET\\0001"));
    ASSERT_EQ(map.size(), 1u);
    EXPECT_EQ(map.begin()->second.instance_id, "ROOT\\NET\\0001");
    EXPECT_EQ(map.begin()->second.characteristics, 0u) << "a missing Characteristics value reads as 0";
}

TEST(AdapterDeviceJoin, GuidMatchesWhateverItsCase) {
    std::unordered_map<std::string, PnpDevice> map;
    add_pnp_device(map, device("{d1a2b3c4-0000-4000-8000-00000000abcd}"));
    AdapterInfo adapter;
    adapter.guid = "{D1A2B3C4-0000-4000-8000-00000000ABCD}";
    const PnpDevice* found = device_of(adapter, map);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->service, "e1000e");

    adapter.guid = "{D1A2B3C4-0000-4000-8000-00000000ABCE}";
    EXPECT_EQ(device_of(adapter, map), nullptr);
    adapter.guid.reset();
    EXPECT_EQ(device_of(adapter, map), nullptr);
}

TEST(AdapterLookup, FindsByInterfaceIndexOnly) {
    FactSnapshot snapshot;
    std::vector<AdapterInfo>& adapters = snapshot.adapters;
    adapters.resize(3);
    adapters[0].if_index = 1;
    adapters[1].if_index = 14;
    adapters[1].ipv6_if_index = 7;
    adapters[1].friendly_name = "Ethernet";
    adapters[2].if_index = 7;
    adapters[2].friendly_name = "Wi-Fi";
    EXPECT_EQ(find_adapter(snapshot, 14), &adapters[1]);
    EXPECT_EQ(find_adapter(snapshot, 7), &adapters[2]);
    EXPECT_EQ(find_adapter(snapshot, 2), nullptr);
    EXPECT_EQ(find_adapter(FactSnapshot{}, 1), nullptr);
}

} // namespace
} // namespace wirelux
