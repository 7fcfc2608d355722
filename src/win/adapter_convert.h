#pragma once
// The adapter list GetAdaptersAddresses returns, converted to plain records.

#include "model/snapshot.h"
#include "win/ip_helper.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace wirelux::platform {

// Interface GUID text of a LUID, absent when the system cannot say.
using GuidLookup = std::function<std::optional<std::string>(const NET_LUID&)>;

// One record per list entry, in list order.
std::vector<AdapterInfo> convert_adapter_list(const IP_ADAPTER_ADDRESSES* first, const GuidLookup& guid_of);

std::string guid_text(const GUID& guid);

} // namespace wirelux::platform
