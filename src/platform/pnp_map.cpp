#include "platform/pnp_map.h"

#include "util/text.h"

namespace wirelux::platform {

std::string pnp_key(std::string_view net_cfg_instance_id) {
    return to_lower_ascii(net_cfg_instance_id);
}

void add_pnp_device(std::unordered_map<std::string, PnpDevice>& map, PnpDriverValues values) {
    if (!values.net_cfg_instance_id || values.net_cfg_instance_id->empty()) return;
    PnpDevice device;
    device.net_cfg_instance_id = std::move(*values.net_cfg_instance_id);
    device.instance_id = std::move(values.instance_id);
    device.service = std::move(values.service);
    device.provider_name = std::move(values.provider_name);
    device.inf_path = std::move(values.inf_path);
    device.driver_version = std::move(values.driver_version);
    device.characteristics = values.characteristics.value_or(0);
    std::string key = pnp_key(device.net_cfg_instance_id);
    map.insert_or_assign(std::move(key), std::move(device));
}

} // namespace wirelux::platform
