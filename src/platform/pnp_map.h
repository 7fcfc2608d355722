#pragma once
// The device map keyed by network-configuration instance id, built the same way on every platform.

#include "model/snapshot.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace wirelux::platform {

// What the platform reported for one present network-class device and its driver key.
struct PnpDriverValues {
    std::string instance_id;
    std::string service;
    std::optional<std::string> net_cfg_instance_id;
    std::optional<std::string> provider_name;
    std::optional<std::string> inf_path;
    std::optional<std::string> driver_version;
    std::optional<std::uint32_t> characteristics;
};

// The key a device is filed under and looked up by: the instance id in lower case, so that an adapter
// GUID in any case finds its device.
std::string pnp_key(std::string_view net_cfg_instance_id);

// Files the device under its key; a device without an instance id is left out, and a later device
// with the same key replaces the earlier one.
void add_pnp_device(std::unordered_map<std::string, PnpDevice>& map, PnpDriverValues values);

} // namespace wirelux::platform
