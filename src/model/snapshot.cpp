#include "model/snapshot.h"

namespace wirelux {

const AdapterInfo* find_adapter(const std::vector<AdapterInfo>& adapters, std::uint32_t if_index) {
    for (const AdapterInfo& adapter : adapters)
        if (adapter.if_index == if_index) return &adapter;
    return nullptr;
}

const AdapterInfo* find_adapter(const FactSnapshot& snapshot, std::uint32_t if_index) {
    return find_adapter(snapshot.adapters, if_index);
}

} // namespace wirelux
